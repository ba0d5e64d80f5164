// The prepared-string page's controls and their row layout.
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/WindowLinks.h"
#include "app/core/SettingsFile.h"

PreparedPanel::PreparedPanel(QWidget* tab, WindowLinks& window)
    : QObject(tab), page(tab), window_(window) {
    BuildControls();
    CreateRows();
    loopTimer = panel_widgets::Named(new QTimer(this), "loopTimer");
    loopTimer->setInterval(1000);
    connect(widerButton, &QPushButton::clicked, this, &PreparedPanel::onWiderClicked);
    connect(narrowerButton, &QPushButton::clicked, this, &PreparedPanel::onNarrowerClicked);
    connect(loopCheck, &QCheckBox::clicked, this, &PreparedPanel::onLoopClicked);
    connect(loopTimer, &QTimer::timeout, this, &PreparedPanel::onLoopTick);
}

void PreparedPanel::BuildControls() {
    using namespace panel_widgets;
    QWidget* t = page;
    loopRow = Named(new PanelFrame(t), "loopRow");
    Place(loopRow, 0, 2, 232, 20);
    loopCheck = Check(loopRow, "loopCheck", QStringLiteral("自动循环发送,  间隔: "));
    Place(loopCheck, 0, 1, 150, 17);
    loopIntervalEdit = Edit(loopRow, "loopIntervalEdit", QStringLiteral("1000"));
    Place(loopIntervalEdit, 152, 0, 50, 19);
    loopUnitLabel = Label(loopRow, "loopUnitLabel", QStringLiteral("ms"));
    Place(loopUnitLabel, 205, 2, 20, 16);
    dragHint = Label(t, "dragHint", QStringLiteral("←拖动分割线    "));
    dragHint->setStyleSheet(QStringLiteral("color: grey;"));
    Place(dragHint, 230, 4, 90, 16);
    hexTitle = Label(t, "hexTitle", QStringLiteral("HEX    "));
    Place(hexTitle, 0, 24, 34, 13);
    textTitle = Label(t, "textTitle", QStringLiteral("字符串(双击注释)            "));
    Place(textTitle, 34, 24, 150, 13);
    sendTitle = Label(t, "sendTitle", QStringLiteral("点击发送          "));
    Place(sendTitle, 202, 24, 80, 13);
    for (QLabel* l : {hexTitle, textTitle, sendTitle, dragHint}) {
        QFont f = l->font();
        f.setPixelSize(11);
        l->setFont(f);
    }
    widerButton = Button(t, "widerButton", QStringLiteral("<"));
    Place(widerButton, 317 - 25, 24, 12, 13);
    narrowerButton = Button(t, "narrowerButton", QStringLiteral(">"));
    Place(narrowerButton, 317 - 13, 24, 12, 13);
    for (auto* b : {widerButton, narrowerButton}) {
        b->setFlat(true);
        QFont f = b->font();
        f.setPixelSize(10);
        b->setFont(f);
    }
    loopRow->setFocusPolicy(Qt::StrongFocus);
}

// Key releases and double-clicks of the row edits, which have no signals of their own,
// and the page's own size changes, which lay the rows out again.
bool PreparedPanel::eventFilter(QObject* watched, QEvent* e) {
    if (watched == page) {
        if (e->type() == QEvent::Resize || e->type() == QEvent::Show) {
            LayoutRows();
        }
    } else if (e->type() == QEvent::KeyRelease) {
        window_.SaveSettings();
    } else if (e->type() == QEvent::MouseButtonDblClick) {
        onRowNoteRequested(watched->property("tag").toInt());
        return true;
    }
    return QObject::eventFilter(watched, e);
}

int PreparedPanel::RowHeight() const {
    return loopCheck->height();
}

int PreparedPanel::RowTop() const {
    return textTitle->y() + textTitle->height();
}

void PreparedPanel::CreateRows() {
    const int h = RowHeight();
    const int t = 0;
    rowsArea = panel_widgets::Named(new QScrollArea(page), "preparedRows");
    rowsArea->setFrameShape(QFrame::NoFrame);
    rowsArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rowsArea->setWidgetResizable(false);
    rowsHost = panel_widgets::Named(new QWidget, "preparedRowsHost");
    rowsHost->resize(page->width(), h * kRows + 2);
    rowsArea->setWidget(rowsHost);
    rowsArea->setGeometry(0, RowTop(), page->width(), std::max(0, page->height() - RowTop()));
    for (int i = 0; i < kRows; ++i) {
        auto* box = new QCheckBox(QString::number(i), rowsHost);
        box->setObjectName(QStringLiteral("rowHex%1").arg(i));
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
        connect(box, &QCheckBox::clicked, this, [this] { window_.SaveSettings(); });
        hexBoxes_.append(box);
    }
    for (int i = 0; i < kRows; ++i) {
        auto* edit = new QLineEdit(rowsHost);
        edit->setObjectName(QStringLiteral("rowText%1").arg(i));
        edit->setGeometry(h, h * i + t, 10 * h, h);
        edit->setProperty("tag", i);
        edit->setTextMargins(0, 0, 0, 0);
        edit->installEventFilter(this);
        edits_.append(edit);
    }
    for (int i = 0; i < kRows; ++i) {
        auto* send = new QPushButton(QString::number(i + 1), rowsHost);
        send->setObjectName(QStringLiteral("rowSend%1").arg(i));
        send->setGeometry(11 * h, h * i + t + 1, 7 * h, h);
        send->setProperty("tag", i);
        send->setToolTip(QString::number(i));
        connect(send, &QPushButton::clicked, this, [this, i] { onRowSendClicked(i); });
        sendButtons_.append(send);
    }
    for (int i = 0; i < kRows; ++i) {
        hexBoxes_[i]->show();
        edits_[i]->show();
        sendButtons_[i]->show();
    }
    page->installEventFilter(this);
    // The built-in rows present before any settings are read; the other send buttons keep
    // their number as caption until a note of the user's is loaded.
    const auto defaults = zenta::DefaultPreparedRows();
    for (int i = 0; i < kRows; ++i) {
        const zenta::PreparedRow& row = defaults[static_cast<std::size_t>(i)];
        if (!row.text.isEmpty()) {
            hexBox(i)->setChecked(row.hex);
            edit(i)->setText(row.text);
        }
        edit(i)->setProperty("note", row.note);
        ShowNote(i);
    }
    // Column titles and page buttons stay clickable above the rows.
    for (QWidget* w : std::initializer_list<QWidget*>{loopRow, hexTitle, textTitle, sendTitle,
                                                      dragHint, widerButton, narrowerButton}) {
        w->raise();
    }
}

void PreparedPanel::LayoutRows() {
    // A hidden page has no width of its own yet; the pass runs again when it is shown.
    if (!page->isVisible()) {
        return;
    }
    const int h = RowHeight();
    rowsArea->setGeometry(0, RowTop(), page->width(), std::max(0, page->height() - RowTop()));
    const int width = rowsArea->viewport()->width();
    rowsHost->resize(width, rowsHost->height());
    for (int i = 0; i < kRows; ++i) {
        QWidget* text = edits_[i];
        QWidget* send = sendButtons_[i];
        const int editWidth = width - send->width() - h;
        text->resize(editWidth, text->height());
        send->move(editWidth + h, send->y());
    }
    sendTitle->move(sendButtons_[0]->x() + 15, sendTitle->y());
    widerButton->move(page->width() - 25, widerButton->y());
    narrowerButton->move(page->width() - 13, narrowerButton->y());
}
