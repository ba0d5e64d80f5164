// The settings file: the snapshot of the controls, the save button and the loader.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "app/SettingsBinding.h"

#include "app/ConnectionPanel.h"
#include "app/FileRowPanel.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ReceivePanel.h"
#include "app/SendPanel.h"
#include "app/Splitter.h"
#include "app/StartOptions.h"
#include "app/UiPrompts.h"
#include "app/WindowState.h"
#include "app/core/Messages.h"
#include "datapath/qt/ReceiveView.h"
#include "serial/ctl/CPortCtl.h"

using zenta::SettingsKey;
using zenta::SettingsKeyHit;
using zenta::SettingsSnapshot;

QString zenta::WindowSettingsPath() {
    QString folder = MainWindow::SettingsFolder;
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

SettingsSnapshot zenta::SnapshotOfWindow(const MainWindow& f) {
    const PreparedPanel& rows = *f.prepared;
    const SendPanel& send = *f.send;
    const ReceivePanel& receive = *f.receive;
    SettingsSnapshot s;
    s.english = StoredLanguageIsEnglish(f);
    s.portName = QString::fromStdString(f.port.Port());
    s.baudRate = BaudRateValue(f.port.BaudRate());
    // Client geometry, as start-up sets it, so a save and a load change nothing.
    const QRect g = f.geometry();
    s.windowWidth = g.width();
    s.windowHeight = g.height();
    s.windowLeft = g.x();
    s.windowTop = g.y();
    s.sidePanelWidth = f.sidePanel->width();
    s.sendButtonWidth = rows.sendButton(0)->width();
    s.fontName = receive.view->font().family();
    s.fontSize = FontPointSize(receive.view->font());
    for (int i = 0; i < zenta::kPreparedRows; ++i) {
        zenta::PreparedRow& row = s.rows[static_cast<std::size_t>(i)];
        row.hex = rows.hexBox(i)->isChecked();
        row.text = rows.edit(i)->text();
        row.note = rows.Note(i);
    }
    s.filePath = f.files->pathEdit->text();
    s.savedTextLine = send.savedTextLine;
    s.savedHexLine = send.savedHexLine;
    s.hexSend = send.hexSendCheck->isChecked();
    s.timedInterval = send.intervalEdit->text();
    s.appendCrLf = send.crLfCheck->isChecked();
    s.loopInterval = rows.loopIntervalEdit->text();
    s.hexDisplay = receive.hexDisplayCheck->isChecked();
    s.checksumIndex = send.checksumBox->currentIndex();
    s.packetDisplay = receive.packetCheck->isChecked();
    s.packetTimeout = receive.timeoutEdit->text();
    return s;
}

void MainWindow::onSaveSettingsClicked() {
    if (settingsKeeper && !settingsKeeper->Writer()) {
        return;  // another window holds the folder
    }
    // The send line's text belongs to the slot of its current mode.
    send->StoreShownLine();
    const QByteArray bytes = zenta::BuildSettingsFile(zenta::SnapshotOfWindow(*this));
    QString backup;
    const bool ok = zenta::WriteSettingsFile(zenta::WindowSettingsPath(), bytes, nullptr, &backup);
    if (settingsKeeper) {
        settingsKeeper->NoteIniWritten(bytes);
    }
    // Saves run on every key release: a failing folder reports once, then stays quiet
    // until a save works again. The program carries on either way.
    if (iniSaveLatch.OnSaveResult(ok)) {
        Prompts().ShowMessage(zenta::Msg(zenta::MsgId::IniError, EnglishUI == 1));
    }
    // The file the loader could not read is the user's: say where it went. Once, since the
    // file written now is one the loader reads.
    if (!backup.isEmpty()) {
        Prompts().ShowMessage(zenta::Msg(zenta::MsgId::SettingsKeptAs, EnglishUI == 1).arg(backup));
    }
}

void MainWindow::LoadSettingsFile() {
    // Read-only and whole: a write-protected file still loads, long files lose nothing.
    const std::optional<QByteArray> file = zenta::ReadSettingsFile(zenta::WindowSettingsPath());
    if (!file) {
        return;
    }
    fontDialogFont = receive->view->font();
    // Each value reaches its control in the file's order, running the control's handler.
    zenta::LoadSettingsSnapshot(*file, zenta::SnapshotOfWindow(*this),
                                [this](const SettingsSnapshot& s, SettingsKeyHit hit) {
                                    zenta::ApplySettingsKey(*this, s, hit);
                                });
}

namespace {

void ApplyBaudRate(MainWindow& f, int bitRate) {
    TBaudRate rate = zenta::kDefaultBaudRate;
    for (int i = br110; i <= br2000000; ++i) {
        if (BaudRateValue(static_cast<TBaudRate>(i)) == bitRate) {
            rate = static_cast<TBaudRate>(i);
        }
    }
    try {
        f.port.SetBaudRate(rate);
    } catch (const std::exception&) {
        try {
            f.port.SetBaudRate(zenta::kDefaultBaudRate);
        } catch (const std::exception&) {
            // Nothing is open at load; the stored rate stays for the next open.
        }
    }
    f.connection->baudBox->setCurrentIndex(static_cast<int>(f.port.BaudRate()));
}

// A stored size is taken only as far as the screen reaches.
QRect ScreenArea(const MainWindow& f) {
    const QScreen* screen = f.screen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
}

template <class Change>
void SetGeometryPart(MainWindow& f, Change change) {
    QRect g = f.geometry();
    change(g);
    f.setGeometry(g);
}

void ApplyFontSize(MainWindow& f, int points) {
    if (points <= 0) {
        return;  // no such font size; the window keeps its own
    }
    QFont font = f.receive->view->font();
    font.setPointSize(points);
    f.receive->view->setFont(font);
}

}  // namespace

void zenta::ApplySettingsKey(MainWindow& f, const SettingsSnapshot& s, SettingsKeyHit hit) {
    using panel_widgets::SetChecked;
    PreparedPanel& rows = *f.prepared;
    SendPanel& send = *f.send;
    ReceivePanel& receive = *f.receive;
    const auto row = static_cast<std::size_t>(hit.row);
    switch (hit.key) {
        case SettingsKey::Row:
            rows.hexBox(hit.row)->setChecked(s.rows[row].hex);
            rows.edit(hit.row)->setText(s.rows[row].text);
            break;
        case SettingsKey::Note:
            rows.SetNote(hit.row, s.rows[row].note);
            break;
        case SettingsKey::English:
            SetChecked(f.englishCheck, s.english);
            break;
        case SettingsKey::PortName:
            f.connection->ChooseStoredPort(s.portName);
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
            f.sidePanel->setFixedWidth(std::max(0, s.sidePanelWidth));
            f.sideSplitter->Fit();
            rows.LayoutRows();
            break;
        case SettingsKey::SendButtonWidth:
            for (int i = 0; i < zenta::kPreparedRows; ++i) {
                rows.sendButton(i)->resize(s.sendButtonWidth, rows.sendButton(i)->height());
            }
            rows.LayoutRows();
            break;
        case SettingsKey::FontName:
            f.fontDialogFont.setFamily(s.fontName);
            receive.view->setFont(f.fontDialogFont);
            break;
        case SettingsKey::FontSize:
            ApplyFontSize(f, s.fontSize);
            break;
        case SettingsKey::FilePath:
            f.files->pathEdit->setText(s.filePath);
            break;
        case SettingsKey::TextLine:
            send.savedTextLine = s.savedTextLine;
            if (!send.hexSendCheck->isChecked()) {
                send.lineEdit->setText(send.savedTextLine);
            }
            break;
        case SettingsKey::HexLine:
            send.savedHexLine = s.savedHexLine;
            if (send.hexSendCheck->isChecked()) {
                send.lineEdit->setText(send.savedHexLine);
            }
            break;
        case SettingsKey::HexSend:
            SetChecked(send.hexSendCheck, s.hexSend);
            break;
        case SettingsKey::TimedInterval:
            send.intervalEdit->setText(s.timedInterval);
            break;
        case SettingsKey::AppendCrLf:
            SetChecked(send.crLfCheck, s.appendCrLf);
            break;
        case SettingsKey::LoopInterval:
            rows.loopIntervalEdit->setText(s.loopInterval);
            break;
        case SettingsKey::HexDisplay:
            SetChecked(receive.hexDisplayCheck, s.hexDisplay);
            break;
        case SettingsKey::Checksum:
            send.checksumBox->setCurrentIndex(s.checksumIndex);
            break;
        case SettingsKey::PacketDisplay:
            SetChecked(receive.packetCheck, s.packetDisplay);
            break;
        case SettingsKey::PacketTimeout:
            receive.timeoutEdit->setText(s.packetTimeout);
            break;
    }
}
