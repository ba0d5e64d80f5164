// The 150 prepared-string controls and their row layout.
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ComMainForm.h"
#include "app/FormWidgets.h"

namespace {

// Key releases and double-clicks of the data edits, which have no signals of their own,
// and the page's own size changes, which lay the rows out again.
class TPrepEditEvents : public QObject {
  public:
    explicit TPrepEditEvents(TForm1* form) : QObject(form), form_(form) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == form_->TabSheet1) {
            if (e->type() == QEvent::Resize || e->type() == QEvent::Show) {
                form_->Splitter1Moved(watched);
            }
        } else if (e->type() == QEvent::KeyRelease) {
            form_->NEditKeyUp(watched);
        } else if (e->type() == QEvent::MouseButtonDblClick) {
            form_->NdataOnDblclick(watched);
            return true;
        }
        return QObject::eventFilter(watched, e);
    }

  private:
    TForm1* form_;
};

}  // namespace

QCheckBox* TForm1::RowHexBox(int i) const {
    return static_cast<QCheckBox*>(NList[i]);
}

QLineEdit* TForm1::RowEdit(int i) const {
    return static_cast<QLineEdit*>(NList[50 + i]);
}

QPushButton* TForm1::RowButton(int i) const {
    return static_cast<QPushButton*>(NList[100 + i]);
}

int TForm1::RowHeight() const {
    return CheckBox6->height();
}

int TForm1::RowTop() const {
    return Label24->y() + Label24->height();
}

void TForm1::CreatePrepRows() {
    const int h = RowHeight();
    const int t = RowTop();
    NList.clear();
    NList.reserve(150);
    for (int i = 0; i < 50; ++i) {
        auto* box = new QCheckBox(QString::number(i), TabSheet1);
        box->setObjectName(QStringLiteral("HEX%1").arg(i));
        box->setGeometry(0, h * i + t, h, h);
        box->setProperty("tag", i);
        // The number is the box's caption, but only the box itself fits in the row.
        QPalette pal = box->palette();
        pal.setColor(QPalette::WindowText, Qt::transparent);
        pal.setColor(QPalette::ButtonText, Qt::transparent);
        box->setPalette(pal);
        // The line parameter boxes lie under the rows and must not show through.
        box->setAutoFillBackground(true);
        // The box toggles before clicked is emitted, so the save sees the new state.
        connect(box, &QCheckBox::clicked, this, [this, box] { NCheckBoxMouseUp(box); });
        NList.append(box);
    }
    auto* editEvents = new TPrepEditEvents(this);
    editEvents->setObjectName(QStringLiteral("prepEditEvents"));
    for (int i = 0; i < 50; ++i) {
        auto* edit = new QLineEdit(TabSheet1);
        edit->setObjectName(QStringLiteral("Ndata%1").arg(i));
        edit->setGeometry(h, h * i + t, 10 * h, h);
        edit->setProperty("tag", i);
        edit->setTextMargins(0, 0, 0, 0);
        edit->installEventFilter(editEvents);
        NList.append(edit);
    }
    for (int i = 0; i < 50; ++i) {
        auto* send = new QPushButton(QString::number(i + 1), TabSheet1);
        send->setObjectName(QStringLiteral("Nsend%1").arg(i));
        send->setGeometry(11 * h, h * i + t + 1, 7 * h, h);
        send->setProperty("tag", i);
        send->setToolTip(QString::number(i));
        connect(send, &QPushButton::clicked, this, [this, send] { NsendOnclick(send); });
        NList.append(send);
    }
    for (QWidget* w : NList) {
        w->show();
    }
    TabSheet1->installEventFilter(editEvents);
    // The built-in rows present before any settings are read; the other send buttons keep
    // their number as caption until a note is loaded.
    const auto defaults = zenta::DefaultPreparedRows();
    for (int i = 0; i < zenta::kPreparedRows; ++i) {
        const zenta::PreparedRow& row = defaults[static_cast<std::size_t>(i)];
        RowEdit(i)->setToolTip(row.note);
        if (!row.text.isEmpty()) {
            RowHexBox(i)->setChecked(row.hex);
            RowEdit(i)->setText(row.text);
            RowButton(i)->setText(row.note);
        }
    }
    // Column titles and page buttons stay clickable above the rows.
    for (QWidget* w : std::initializer_list<QWidget*>{Panel3, Labe4, Label24, Label25, Label5,
                                                      SpeedButton3, SpeedButton4}) {
        w->raise();
    }
}

void TForm1::Splitter1Moved(QObject* /*Sender*/) {
    // A hidden page has no width of its own yet; the pass runs again when it is shown.
    if (!TabSheet1->isVisible()) {
        return;
    }
    const int h = RowHeight();
    const int page = TabSheet1->width();
    for (int i = 0; i < 50; ++i) {
        QWidget* edit = NList[50 + i];
        QWidget* send = NList[100 + i];
        const int editWidth = page - send->width() - h;
        edit->resize(editWidth, edit->height());
        send->move(editWidth + h, send->y());
    }
    Label25->move(NList[100]->x() + 15, Label25->y());
    SpeedButton3->move(page - 25, SpeedButton3->y());
    SpeedButton4->move(page - 13, SpeedButton4->y());
}
