// The settings file: the snapshot of the controls, the save button and the loader.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/FormWidgets.h"
#include "app/SettingsWindow.h"
#include "app/Splitter.h"
#include "app/StartOptions.h"
#include "app/UiPrompts.h"
#include "app/core/Messages.h"
#include "serial/ctl/CPortCtl.h"

using zenta::SettingsKeyLine;
using zenta::SettingsSnapshot;

QString WindowSettingsPath() {
    QString folder = TForm1::SettingsFolder;
    if (folder.isEmpty()) {
        folder = qEnvironmentVariable("ZENTA_CONFIG_DIR");
    }
    if (folder.isEmpty()) {
        return zenta::SettingsFilePath();
    }
    return QDir(folder).filePath(QLatin1String(zenta::kSettingsFileName));
}

namespace {

int FontPointSize(const QFont& font) {
    // The design font is given in pixels; the file keeps points.
    return font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
}

}  // namespace

SettingsSnapshot SnapshotOfWindow(const TForm1& f) {
    SettingsSnapshot s;
    s.english = StoredLanguageIsEnglish(f);
    s.portName = QString::fromStdString(f.ComPort.Port());
    const int baud = static_cast<int>(f.ComPort.BaudRate());
    s.baudRate = baud >= 0 && baud < static_cast<int>(BaudRateTable.size())
                     ? BaudRateTable[static_cast<std::size_t>(baud)]
                     : 0;
    // Client geometry, as start-up sets it, so a save and a load change nothing.
    const QRect g = f.geometry();
    s.windowWidth = g.width();
    s.windowHeight = g.height();
    s.windowLeft = g.x();
    s.windowTop = g.y();
    s.sidePanelWidth = f.Panel2->width();
    s.sendButtonWidth = f.RowButton(0)->width();
    s.fontName = f.Memo->font().family();
    s.fontSize = FontPointSize(f.Memo->font());
    for (int i = 0; i < zenta::kPreparedRows; ++i) {
        zenta::PreparedRow& row = s.rows[static_cast<std::size_t>(i)];
        row.hex = f.RowHexBox(i)->isChecked();
        row.text = f.RowEdit(i)->text();
        row.note = f.RowEdit(i)->toolTip();
    }
    s.filePath = f.Edit2->text();
    s.savedTextLine = savedTextLine;
    s.savedHexLine = savedHexLine;
    s.hexSend = f.CheckBox4->isChecked();
    s.timedInterval = f.Edit1->text();
    s.appendCrLf = f.NewLine_CB->isChecked();
    s.loopInterval = f.Edit35->text();
    s.hexDisplay = f.CheckBox5->isChecked();
    s.checksumIndex = f.verifyBox->currentIndex();
    s.packetDisplay = f.timeoutCRLF->isChecked();
    s.packetTimeout = f.timeoutText->text();
    return s;
}

void TForm1::saveconfigClick(QObject* /*Sender*/) {
    // The send line's text belongs to the slot of its current mode.
    (CheckBox4->isChecked() ? savedHexLine : savedTextLine) = Edit_Data->text();
    const QByteArray bytes = zenta::BuildSettingsFile(SnapshotOfWindow(*this));
    const bool ok = zenta::WriteSettingsFile(WindowSettingsPath(), bytes);
    // Saves run on every key release: a failing folder reports once, then stays quiet
    // until a save works again. The program carries on either way.
    if (ok) {
        iniErrorShown = false;
        return;
    }
    if (!iniErrorShown) {
        iniErrorShown = true;
        Prompts().ShowMessage(zenta::Msg(zenta::MsgId::IniError, EnglishUI == 1));
    }
}

void TForm1::LoadSettingsFile() {
    // Read-only and whole: a write-protected file still loads, long files lose nothing.
    const std::optional<QByteArray> file = zenta::ReadSettingsFile(WindowSettingsPath());
    if (!file) {
        return;
    }
    FontDialog1Font = Memo->font();
    for (const SettingsKeyLine& line : zenta::ParseSettingsFile(*file)) {
        ApplySettingsKey(*this, line);
    }
}

namespace {

void SetNote(TForm1& f, int row, const QString& note) {
    f.RowEdit(row)->setToolTip(note);
    f.RowButton(row)->setText(note);
    f.RowButton(row)->setToolTip(note);
}

void ApplyPortName(TForm1& f, const QString& value) {
    try {
        f.ComPort.SetPort(value.toStdString());
    } catch (const std::exception&) {
        // The name is kept even if a reopen under it failed; nothing is open at load.
    }
    const QString name = QString::fromStdString(f.ComPort.Port());
    for (int i = 0; i < f.ComComboBox1->count(); ++i) {
        if (f.ComComboBox1->itemText(i) == name) {
            f.ComComboBox1->setCurrentIndex(i);
            break;
        }
    }
}

void ApplyBaudRate(TForm1& f, const QString& value) {
    try {
        f.ComPort.SetBaudRate(static_cast<TBaudRate>(zenta::BaudIndexFromSetting(value)));
    } catch (const std::exception&) {
        try {
            f.ComPort.SetBaudRate(br115200);
        } catch (const std::exception&) {
        }
    }
    f.ComComboBox2->setCurrentIndex(static_cast<int>(f.ComPort.BaudRate()));
}

template <class Change>
void SetGeometryPart(TForm1& f, Change change) {
    QRect g = f.geometry();
    change(g);
    f.setGeometry(g);
}

void ApplyFontSize(TForm1& f, int points) {
    if (points <= 0) {
        return;  // no such font size; the window keeps its own
    }
    QFont font = f.Memo->font();
    font.setPointSize(points);
    f.Memo->setFont(font);
}

}  // namespace

void ApplySettingsKey(TForm1& f, const SettingsKeyLine& line) {
    const int k = line.key;
    const QString& v = line.value;
    if (k >= 1 && k <= zenta::kPreparedRows) {
        f.RowHexBox(k - 1)->setChecked(zenta::HexRowFromMarker(line.marker));
        f.RowEdit(k - 1)->setText(v);
        return;
    }
    if (k >= 101 && k <= 100 + zenta::kPreparedRows) {
        SetNote(f, k - 101, v);
        return;
    }
    switch (k) {
        case 100:
            TForm1::SetChecked(f.CheckBox18, zenta::EnglishFromSetting(v));
            break;
        case 80:
            ApplyPortName(f, v);
            break;
        case 81:
            ApplyBaudRate(f, v);
            break;
        case 82:
            SetGeometryPart(f, [&v](QRect& g) { g.setWidth(zenta::WindowWidthFromSetting(v)); });
            break;
        case 83:
            SetGeometryPart(f, [&v](QRect& g) { g.setHeight(zenta::WindowHeightFromSetting(v)); });
            break;
        case 84:
            SetGeometryPart(f, [&v](QRect& g) { g.moveLeft(zenta::WindowLeftFromSetting(v)); });
            break;
        case 85:
            SetGeometryPart(f, [&v](QRect& g) { g.moveTop(zenta::WindowTopFromSetting(v)); });
            break;
        case 86:
            f.Panel2->setFixedWidth(std::max(0, zenta::SidePanelWidthFromSetting(v)));
            f.Splitter1Moved(f.Splitter1);
            break;
        case 87: {
            const int width = zenta::SendButtonWidthFromSetting(v);
            for (int i = 0; i < zenta::kPreparedRows; ++i) {
                f.RowButton(i)->resize(width, f.RowButton(i)->height());
            }
            f.Splitter1Moved(f.Splitter1);
            break;
        }
        case 88:
            f.FontDialog1Font.setFamily(v);
            f.Memo->setFont(f.FontDialog1Font);
            break;
        case 89:
            ApplyFontSize(f, zenta::FontSizeFromSetting(v));
            break;
        case 52:
            f.Edit2->setText(v);
            break;
        case 53:
            savedTextLine = v;
            if (!f.CheckBox4->isChecked()) {
                f.Edit_Data->setText(v);
            }
            break;
        case 54:
            savedHexLine = v;
            if (f.CheckBox4->isChecked()) {
                f.Edit_Data->setText(v);
            }
            break;
        case 55:
            if (const std::optional<bool> hex = zenta::HexSendFromSetting(line.marker, v)) {
                TForm1::SetChecked(f.CheckBox4, *hex);
            }
            break;
        case 56:
            f.Edit1->setText(v);
            break;
        case 57:
            TForm1::SetChecked(f.NewLine_CB, zenta::YesFromSetting(v));
            break;
        case 58:
            f.Edit35->setText(v);
            break;
        case 59:
            if (const std::optional<bool> on = zenta::YesNoFromSetting(v)) {
                TForm1::SetChecked(f.CheckBox5, *on);
            }
            break;
        case 60:
            f.verifyBox->setCurrentIndex(zenta::ChecksumIndexFromSetting(v));
            break;
        case 64:
            if (const std::optional<bool> on = zenta::YesOnlyFromSetting(v)) {
                TForm1::SetChecked(f.timeoutCRLF, *on);
            }
            break;
        case 65:
            f.timeoutText->setText(v);
            break;
        default:
            break;  // unknown keys are ignored
    }
}
