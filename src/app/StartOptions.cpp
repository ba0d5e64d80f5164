// The command line's choices applied to the window at start-up.
#include "app/StartOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QVariant>

#include "app/ConnectionPanel.h"
#include "app/MainWindow.h"
#include "app/PortNames.h"
#include "serial/ctl/CPortCtl.h"

namespace {

zenta::StartOptions& Pending() {
    static zenta::StartOptions options;
    return options;
}

// Set on the language box while --lang holds: the choice the settings file keeps.
constexpr char kStoredEnglish[] = "zentaStoredEnglish";

void ApplyPort(MainWindow& f, const QString& port) {
    try {
        f.port.SetPort(port.toStdString());
    } catch (const std::exception&) {
        // Nothing is open yet at start-up; the start tick reports a failing open.
    }
    // The start tick opens what the port box shows: select the port's entry, or type the path.
    TComComboBox* box = f.connection->portBox;
    for (int i = 0; i < box->count(); ++i) {
        if (QString::fromStdString(NormalizePortName(box->itemText(i).toStdString())) == port) {
            box->setCurrentIndex(i);
            return;
        }
    }
    box->setEditText(port);
}

void ApplyBaudRate(MainWindow& f, int rate) {
    ConnectionPanel& c = *f.connection;
    int index = 0;
    for (int i = static_cast<int>(brCustom) + 1; i <= static_cast<int>(br2000000); ++i) {
        if (BaudRateValue(static_cast<TBaudRate>(i)) == rate) {
            index = i;
        }
    }
    try {
        if (index > 0) {
            f.port.SetBaudRate(static_cast<TBaudRate>(index));
            c.customBaudEdit->hide();
        } else {
            f.port.SetBaudRate(brCustom);
            f.port.SetCustomBaudRate(rate);
            c.customBaudEdit->setText(QString::number(rate));
            c.customBaudEdit->show();
        }
    } catch (const std::exception&) {
        // The port refused it at open time; the window's own rule falls back to 115200.
        try {
            f.port.SetBaudRate(br115200);
        } catch (const std::exception&) {
            // Nothing left to fall back to; the box shows what the port holds.
        }
        c.customBaudEdit->hide();
    }
    c.baudBox->setCurrentIndex(static_cast<int>(f.port.BaudRate()));
}

// --line and --flow: through the line parameter boxes, whose handlers set the port and
// fall back as a choice in the window would.
void ApplyLine(MainWindow& f, const zenta::StartOptions& options) {
    ConnectionPanel& c = *f.connection;
    auto choose = [](TComComboBox* box, int index) {
        box->setCurrentIndex(index);
        if (box->OnChange) {
            box->OnChange(box);
        }
    };
    if (options.dataBits) {
        choose(c.dataBitsBox, static_cast<int>(*options.dataBits));
    }
    if (options.parity) {
        choose(c.parityBox, static_cast<int>(*options.parity));
    }
    if (options.stopBits) {
        choose(c.stopBitsBox, static_cast<int>(*options.stopBits));
    }
    if (options.flow) {
        const TFlowControl flow = *options.flow == zenta::FlowOption::RtsCts    ? fcHardware
                                  : *options.flow == zenta::FlowOption::XonXoff ? fcSoftware
                                                                                : fcNone;
        choose(c.flowBox, static_cast<int>(flow));
    }
}

void ApplyLanguage(MainWindow& f, bool english) {
    QCheckBox* box = f.englishCheck;
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
        MainWindow::SettingsFolder = options.configDir;
    }
}

void ApplyStartOptions(MainWindow& form) {
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
    ApplyLine(form, options);
}

bool StoredLanguageIsEnglish(const MainWindow& window) {
    const QVariant stored = window.englishCheck->property(kStoredEnglish);
    return stored.isValid() ? stored.toBool() : window.englishCheck->isChecked();
}
