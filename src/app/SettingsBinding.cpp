// The settings file: the snapshot of the controls, the save button and the loader.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/FormWidgets.h"
#include "app/SettingsWindow.h"
#include "app/Splitter.h"
#include "app/StartOptions.h"
#include "app/UiPrompts.h"
#include "app/core/Messages.h"
#include "serial/ctl/CPortCtl.h"

using zenta::SettingsKey;
using zenta::SettingsKeyHit;
using zenta::SettingsSnapshot;

QString zenta::WindowSettingsPath() {
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

SettingsSnapshot zenta::SnapshotOfWindow(const TForm1& f) {
    SettingsSnapshot s;
    s.english = StoredLanguageIsEnglish(f);
    s.portName = QString::fromStdString(f.ComPort.Port());
    s.baudRate = BaudRateValue(f.ComPort.BaudRate());
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
    const QByteArray bytes = zenta::BuildSettingsFile(zenta::SnapshotOfWindow(*this));
    const bool ok = zenta::WriteSettingsFile(zenta::WindowSettingsPath(), bytes);
    // Saves run on every key release: a failing folder reports once, then stays quiet
    // until a save works again. The program carries on either way.
    if (iniSaveLatch.OnSaveResult(ok)) {
        Prompts().ShowMessage(zenta::Msg(zenta::MsgId::IniError, EnglishUI == 1));
    }
}

void TForm1::LoadSettingsFile() {
    // Read-only and whole: a write-protected file still loads, long files lose nothing.
    const std::optional<QByteArray> file = zenta::ReadSettingsFile(zenta::WindowSettingsPath());
    if (!file) {
        return;
    }
    FontDialog1Font = Memo->font();
    // Each value reaches its control in the file's order, running the control's handler.
    zenta::LoadSettingsSnapshot(*file, zenta::SnapshotOfWindow(*this),
                                [this](const SettingsSnapshot& s, SettingsKeyHit hit) {
                                    zenta::ApplySettingsKey(*this, s, hit);
                                });
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

void ApplyBaudRate(TForm1& f, int bitRate) {
    TBaudRate rate = zenta::kDefaultBaudRate;
    for (int i = br110; i <= br2000000; ++i) {
        if (BaudRateValue(static_cast<TBaudRate>(i)) == bitRate) {
            rate = static_cast<TBaudRate>(i);
        }
    }
    try {
        f.ComPort.SetBaudRate(rate);
    } catch (const std::exception&) {
        try {
            f.ComPort.SetBaudRate(zenta::kDefaultBaudRate);
        } catch (const std::exception&) {
            // Nothing is open at load; the stored rate stays for the next open.
        }
    }
    f.ComComboBox2->setCurrentIndex(static_cast<int>(f.ComPort.BaudRate()));
}

// A stored size is taken only as far as the screen reaches.
QRect ScreenArea(const TForm1& f) {
    const QScreen* screen = f.screen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
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

void zenta::ApplySettingsKey(TForm1& f, const SettingsSnapshot& s, SettingsKeyHit hit) {
    const auto row = static_cast<std::size_t>(hit.row);
    switch (hit.key) {
        case SettingsKey::Row:
            f.RowHexBox(hit.row)->setChecked(s.rows[row].hex);
            f.RowEdit(hit.row)->setText(s.rows[row].text);
            break;
        case SettingsKey::Note:
            SetNote(f, hit.row, s.rows[row].note);
            break;
        case SettingsKey::English:
            TForm1::SetChecked(f.CheckBox18, s.english);
            break;
        case SettingsKey::PortName:
            ApplyPortName(f, s.portName);
            break;
        case SettingsKey::BaudRate:
            ApplyBaudRate(f, s.baudRate);
            break;
        case SettingsKey::WindowWidth:
            SetGeometryPart(
                f, [&](QRect& g) { g.setWidth(std::min(s.windowWidth, ScreenArea(f).width())); });
            break;
        case SettingsKey::WindowHeight:
            SetGeometryPart(f, [&](QRect& g) {
                g.setHeight(std::min(s.windowHeight, ScreenArea(f).height()));
            });
            break;
        case SettingsKey::WindowLeft:
            SetGeometryPart(f, [&s](QRect& g) { g.moveLeft(s.windowLeft); });
            break;
        case SettingsKey::WindowTop:
            SetGeometryPart(f, [&s](QRect& g) { g.moveTop(s.windowTop); });
            break;
        case SettingsKey::SidePanelWidth:
            f.Panel2->setFixedWidth(std::max(0, s.sidePanelWidth));
            f.Splitter1->Fit();
            f.Splitter1Moved(f.Splitter1);
            break;
        case SettingsKey::SendButtonWidth:
            for (int i = 0; i < zenta::kPreparedRows; ++i) {
                f.RowButton(i)->resize(s.sendButtonWidth, f.RowButton(i)->height());
            }
            f.Splitter1Moved(f.Splitter1);
            break;
        case SettingsKey::FontName:
            f.FontDialog1Font.setFamily(s.fontName);
            f.Memo->setFont(f.FontDialog1Font);
            break;
        case SettingsKey::FontSize:
            ApplyFontSize(f, s.fontSize);
            break;
        case SettingsKey::FilePath:
            f.Edit2->setText(s.filePath);
            break;
        case SettingsKey::TextLine:
            savedTextLine = s.savedTextLine;
            if (!f.CheckBox4->isChecked()) {
                f.Edit_Data->setText(savedTextLine);
            }
            break;
        case SettingsKey::HexLine:
            savedHexLine = s.savedHexLine;
            if (f.CheckBox4->isChecked()) {
                f.Edit_Data->setText(savedHexLine);
            }
            break;
        case SettingsKey::HexSend:
            TForm1::SetChecked(f.CheckBox4, s.hexSend);
            break;
        case SettingsKey::TimedInterval:
            f.Edit1->setText(s.timedInterval);
            break;
        case SettingsKey::AppendCrLf:
            TForm1::SetChecked(f.NewLine_CB, s.appendCrLf);
            break;
        case SettingsKey::LoopInterval:
            f.Edit35->setText(s.loopInterval);
            break;
        case SettingsKey::HexDisplay:
            TForm1::SetChecked(f.CheckBox5, s.hexDisplay);
            break;
        case SettingsKey::Checksum:
            f.verifyBox->setCurrentIndex(s.checksumIndex);
            break;
        case SettingsKey::PacketDisplay:
            TForm1::SetChecked(f.timeoutCRLF, s.packetDisplay);
            break;
        case SettingsKey::PacketTimeout:
            f.timeoutText->setText(s.packetTimeout);
            break;
    }
}
