// The command line's choices applied to the window at start-up.
#include "app/StartOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QVariant>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/PortNames.h"
#include "serial/ctl/CPortCtl.h"

namespace {

zenta::StartOptions& Pending() {
    static zenta::StartOptions options;
    return options;
}

// Set on the language box while --lang holds: the choice the settings file keeps.
constexpr char kStoredEnglish[] = "zentaStoredEnglish";

void ApplyPort(TForm1& f, const QString& port) {
    try {
        f.ComPort.SetPort(port.toStdString());
    } catch (const std::exception&) {
        // Nothing is open yet at start-up; the start tick reports a failing open.
    }
    // The start tick opens what the port box shows: select the port's entry, or type the path.
    for (int i = 0; i < f.ComComboBox1->count(); ++i) {
        if (QString::fromStdString(NormalizePortName(f.ComComboBox1->itemText(i).toStdString())) ==
            port) {
            f.ComComboBox1->setCurrentIndex(i);
            return;
        }
    }
    f.ComComboBox1->setEditText(port);
}

void ApplyBaudRate(TForm1& f, int rate) {
    int index = 0;
    for (int i = 1; i <= static_cast<int>(br2000000); ++i) {
        if (BaudRateValue(static_cast<TBaudRate>(i)) == rate) {
            index = i;
        }
    }
    try {
        if (index > 0) {
            f.ComPort.SetBaudRate(static_cast<TBaudRate>(index));
            f.CustomBaudInput->hide();
        } else {
            f.ComPort.SetBaudRate(brCustom);
            f.ComPort.SetCustomBaudRate(rate);
            f.CustomBaudInput->setText(QString::number(rate));
            f.CustomBaudInput->show();
        }
    } catch (const std::exception&) {
        // The port refused it at open time; the window's own rule falls back to 115200.
        try {
            f.ComPort.SetBaudRate(br115200);
        } catch (const std::exception&) {
            // Nothing left to fall back to; the box shows what the port holds.
        }
        f.CustomBaudInput->hide();
    }
    f.ComComboBox2->setCurrentIndex(static_cast<int>(f.ComPort.BaudRate()));
}

void ApplyLanguage(TForm1& f, bool english) {
    QCheckBox* box = f.CheckBox18;
    box->setProperty(kStoredEnglish, box->isChecked());
    box->setChecked(english);
    // Any later change of the box is the user's own choice and is saved as such.
    QObject::connect(box, &QCheckBox::toggled, box,
                     [box] { box->setProperty(kStoredEnglish, QVariant()); });
}

}  // namespace

void InstallStartOptions(const zenta::StartOptions& options) {
    Pending() = options;
    if (!options.configDir.isEmpty()) {
        TForm1::SettingsFolder = options.configDir;
    }
}

void ApplyStartOptions(TForm1& form) {
    const zenta::StartOptions options = std::exchange(Pending(), zenta::StartOptions{});
    if (options.port) {
        ApplyPort(form, *options.port);
    }
    if (options.baudRate) {
        ApplyBaudRate(form, *options.baudRate);
    }
    if (options.english) {
        ApplyLanguage(form, *options.english);
    }
}

bool StoredLanguageIsEnglish(const TForm1& form) {
    const QVariant stored = form.CheckBox18->property(kStoredEnglish);
    return stored.isValid() ? stored.toBool() : form.CheckBox18->isChecked();
}
