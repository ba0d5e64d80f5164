#pragma once
// Shared by the settings, prepared-string and language window tests: a temporary
// program folder per window, fresh window-wide state, and a pty reader.

#include <poll.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/FileRowPanel.h"
#include "app/LinkBar.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/SaveFolder.h"
#include "app/SendPanel.h"
#include "app/StatusPanels.h"
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "datapath/qt/ReceiveView.h"
#include "support/qt/WindowFixture.h"
#include "text/Gb18030.h"

// A temporary program folder that the window reads and writes while it lives.
struct ProgramFolder {
    QTemporaryDir dir;
    ProgramFolder() { MainWindow::SettingsFolder = dir.path(); }
    ~ProgramFolder() {
        QFile::setPermissions(
            dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        MainWindow::SettingsFolder.clear();
    }
    QString Ini() const { return dir.filePath(QStringLiteral("zenta5.ini")); }
    QByteArray Read() const {
        QFile f(Ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Write(const QByteArray& bytes) const {
        QFile f(Ini());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    void SetWritable(bool on) const {
        QFileDevice::Permissions p = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
        if (on) {
            p |= QFileDevice::WriteOwner;
        }
        QFile::setPermissions(dir.path(), p);
    }
};

// Window-wide state as a new process has it, then a window without its start-up tick.
// Per-test hooks of the window: prompts that answer, no ports, no system language.
inline void InstallWindowHooks(RecordingPrompts& prompts) {
    SetPrompts(&prompts);
    prompts = RecordingPrompts();
    ConnectionPanel::PortEntrySource = [] { return std::vector<std::string>{}; };
    MainWindow::SystemLanguageSource = [] { return 0; };
}

inline void RemoveWindowHooks() {
    SetPrompts(nullptr);
    ConnectionPanel::PortEntrySource = nullptr;
    MainWindow::SystemLanguageSource = nullptr;
}

inline std::unique_ptr<MainWindow> NewWindow() {
    zenta::test::ResetWindowGlobals();
    auto form = std::make_unique<MainWindow>();
    form->startTimer->stop();
    return form;
}

// Lines in the file's code page, each followed by the given break.
inline QByteArray FileOf(const QStringList& lines, const QByteArray& lineBreak = "\r\n") {
    QByteArray out;
    for (const QString& l : lines) {
        out += zenta::ToGb18030(l) + lineBreak;
    }
    return out;
}

// Everything the pty master receives within the time limit.
inline QByteArray ReadMaster(const zenta::test::TPty& pty, int waitMs = 300) {
    QByteArray got;
    pollfd p{pty.Master(), POLLIN, 0};
    while (::poll(&p, 1, waitMs) > 0 && (p.revents & POLLIN)) {
        char buf[4096];
        const ssize_t n = ::read(pty.Master(), buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        got.append(buf, n);
        waitMs = 50;
    }
    return got;
}

// Opens the window's port on the pty's slave through the Open button.
inline bool OpenOn(MainWindow& form, const zenta::test::TPty& pty) {
    ConnectionPanel::PortEntrySource = [s = pty.SlavePath()] {
        return std::vector<std::string>{s};
    };
    form.connection->RefreshPortList();
    panel_widgets::InvokeClick(form.connection->openButton);
    return form.port.Connected();
}
