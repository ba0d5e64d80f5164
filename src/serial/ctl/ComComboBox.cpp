#include <QSignalBlocker>

#include "serial/ctl/CPortCtl.h"

// The combo box's own list seen through TComItems.
class TComComboBox::Items : public TComItems {
  public:
    explicit Items(QComboBox& box) : box_(box) {}
    void Clear() override { box_.clear(); }
    void Add(const std::string& text) override { box_.addItem(QString::fromStdString(text)); }
    int Count() const override { return box_.count(); }
    std::string Get(int index) const override { return box_.itemText(index).toStdString(); }
    int IndexOf(const std::string& text) const override {
        const QString wanted = QString::fromStdString(text);
        for (int i = 0; i < box_.count(); ++i) {
            if (box_.itemText(i).compare(wanted, Qt::CaseInsensitive) == 0) {
                return i;
            }
        }
        return -1;
    }

  private:
    QComboBox& box_;
};

TComComboBox::TComComboBox(QWidget* parent)
    : QComboBox(parent), items_(std::make_unique<Items>(*this)), select_(*items_) {
    setEditable(false);
    // Only a user's choice counts as a change; programmatic selection is silent.
    connect(this, &QComboBox::activated, this, [this](int) {
        if (!select_.ChangeByUser(Text().toStdString())) {
            // Refused: show what the port still has; the owner is not told of a change.
            UpdateSettings();
            return;
        }
        if (OnChange) {
            OnChange(this);
        }
        emit userChanged();
    });
}

TComComboBox::~TComComboBox() = default;

void TComComboBox::SetComPort(TCustomComPort* port) {
    const bool changed = select_.SetComPort(port, [this] {
        if (count() > 0) {
            setCurrentIndex(0);
        }
    });
    if (changed && port != nullptr) {
        UpdateSettings();
    }
}

void TComComboBox::SetComProperty(TComProperty property) {
    {
        const QSignalBlocker block(this);
        select_.SetComProperty(property);
        setCurrentIndex(-1);
    }
    if (count() == 0) {
        return;
    }
    if (select_.ComPort() != nullptr) {
        UpdateSettings();
    } else {
        setCurrentIndex(0);
    }
}

QString TComComboBox::Text() const {
    return currentIndex() < 0 ? QString() : itemText(currentIndex());
}

void TComComboBox::SetText(const QString& text) {
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).compare(text, Qt::CaseInsensitive) == 0) {
            setCurrentIndex(i);
            return;
        }
    }
}

void TComComboBox::UpdateSettings() {
    int index = currentIndex();
    select_.UpdateSettings(index);
    setCurrentIndex(index);
}

void TComComboBox::SetItems(const QStringList& items, int index) {
    clear();
    addItems(items);
    setCurrentIndex(index);
}

void TComComboBox::SelectByUser(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    setCurrentIndex(index);
    emit activated(index);
}
