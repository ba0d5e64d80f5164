#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

#include "serial/ctl/CPortCtl.h"

// The group's radio buttons seen as an item list; button id = item index.
class TComRadioGroup::Items : public TComItems {
  public:
    Items(QGroupBox& box, QButtonGroup& group) : box_(box), group_(group) {}
    void Clear() override {
        for (QAbstractButton* b : group_.buttons()) {
            group_.removeButton(b);
            delete b;
        }
    }
    void Add(const std::string& text) override {
        auto* button = new QRadioButton(QString::fromStdString(text), &box_);
        group_.addButton(button, Count());
        box_.layout()->addWidget(button);
    }
    int Count() const override { return static_cast<int>(group_.buttons().size()); }
    std::string Get(int index) const override {
        QAbstractButton* b = group_.button(index);
        return b != nullptr ? b->text().toStdString() : std::string();
    }
    int IndexOf(const std::string& text) const override {
        const QString wanted = QString::fromStdString(text);
        for (int i = 0; i < Count(); ++i) {
            if (group_.button(i)->text().compare(wanted, Qt::CaseInsensitive) == 0) {
                return i;
            }
        }
        return -1;
    }

  private:
    QGroupBox& box_;
    QButtonGroup& group_;
};

TComRadioGroup::TComRadioGroup(QWidget* parent)
    : QGroupBox(parent),
      group_(new QButtonGroup(this)),
      items_(std::make_unique<Items>(*this, *group_)),
      select_(*items_) {
    new QVBoxLayout(this);
    connect(group_, &QButtonGroup::idClicked, this, &TComRadioGroup::ButtonClicked);
}

TComRadioGroup::~TComRadioGroup() = default;

void TComRadioGroup::SetComPort(TCustomComPort* port) {
    const bool changed = select_.SetComPort(port, [this] {
        if (Count() > 0) {
            SetItemIndex(0);
        }
    });
    if (changed && port != nullptr) {
        UpdateSettings();
    }
}

void TComRadioGroup::SetComProperty(TComProperty property) {
    select_.SetComProperty(property);
    lastReported_ = -1;  // the old buttons are gone
    if (Count() == 0) {
        return;
    }
    if (select_.ComPort() != nullptr) {
        UpdateSettings();
    } else {
        SetItemIndex(0);
    }
}

int TComRadioGroup::Count() const {
    return items_->Count();
}

QString TComRadioGroup::ItemText(int index) const {
    QAbstractButton* b = group_->button(index);
    return b != nullptr ? b->text() : QString();
}

int TComRadioGroup::ItemIndex() const {
    return group_->checkedId();
}

void TComRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* b = group_->button(index)) {
        b->setChecked(true);
        return;
    }
    // An exclusive group cannot uncheck its last button directly.
    if (QAbstractButton* checked = group_->checkedButton()) {
        group_->setExclusive(false);
        checked->setChecked(false);
        group_->setExclusive(true);
    }
}

void TComRadioGroup::UpdateSettings() {
    int index = ItemIndex();
    select_.UpdateSettings(index);
    SetItemIndex(index);
}

void TComRadioGroup::ClickByUser(int index) {
    if (QAbstractButton* b = group_->button(index)) {
        b->click();
    }
}

void TComRadioGroup::ButtonClicked(int index) {
    if (index != lastReported_ && index != -1) {
        lastReported_ = index;
        if (!select_.ChangeByUser(ItemText(index).toStdString())) {
            lastReported_ = -1;
            UpdateSettings();
            return;
        }
    }
    if (OnClick) {
        OnClick(this);
    }
    emit userClicked();
}
