// The receive window as a console: a real bash on the far end of a pty pair, typed to in
// character mode, with what the window shows compared to a reference terminal.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QtTest>
#include <atomic>
#include <thread>

#include "app/ConsoleBar.h"
#include "app/MainWindow.h"
#include "app/ReceivePanel.h"
#include "app/StatusPanels.h"
#include "app/support/E2eDriver.h"
#include "datapath/ReceiveState.h"
#include "datapath/qt/ReceiveView.h"
#include "support/Pty.h"
#include "support/VtermReference.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;

namespace {

// bash on a terminal of its own, its bytes relayed to and from the master of the pty the
// window opens: to the window the shell is a device on a serial line.
class ShellOnPty {
  public:
    explicit ShellOnPty(int deviceMaster) : device_(deviceMaster) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        pid_ = forkpty(&shell_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            setenv("TERM", "xterm", 1);
            setenv("PS1", "$ ", 1);
            setenv("HISTFILE", "/dev/null", 1);
            execl("/bin/bash", "bash", "--norc", "--noprofile", "-i", nullptr);
            _exit(127);
        }
        if (pid_ > 0 && pipe(wake_) == 0) {
            relay_ = std::thread([this] { Relay(); });
        }
    }
    ~ShellOnPty() {
        stop_ = true;
        if (relay_.joinable()) {
            (void)!write(wake_[1], "x", 1);
            relay_.join();
        }
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {shell_, wake_[0], wake_[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    bool Ok() const { return pid_ > 0 && relay_.joinable(); }

  private:
    void Relay() {
        char buf[4096];
        while (!stop_) {
            pollfd fds[3] = {{device_, POLLIN, 0}, {shell_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (poll(fds, 3, 1000) <= 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].revents & POLLIN) {
                    const ssize_t n = read(fds[i].fd, buf, sizeof buf);
                    const int to = i == 0 ? shell_ : device_;
                    for (ssize_t off = 0; n > 0 && off < n;) {
                        const ssize_t w = write(to, buf + off, static_cast<size_t>(n - off));
                        if (w <= 0) {
                            break;
                        }
                        off += w;
                    }
                }
            }
        }
    }

    int device_;
    int shell_ = -1;
    int wake_[2] = {-1, -1};
    pid_t pid_ = -1;
    std::atomic<bool> stop_{false};
    std::thread relay_;
};

}  // namespace

class ConsoleTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    TWindowFixture fixture_;
    std::unique_ptr<MainWindow> form_;
    std::unique_ptr<TPty> pty_;
    std::unique_ptr<ShellOnPty> shell_;

    zenta::ReceiveView* View() const { return form_->receive->view; }
    QString Text() const { return View()->toPlainText(); }
    void Type(const QString& keys) { QTest::keyClicks(View(), keys); }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(View(), key, mods);
    }
    // The shell's answers come in their own time: wait for them, within a bound.
    bool Shows(const QString& text, int ms = 10000) {
        QElapsedTimer t;
        t.start();
        while (!Text().contains(text)) {
            if (t.elapsed() > ms) {
                return false;
            }
            QTest::qWait(20);
        }
        return true;
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        pty_ = std::make_unique<TPty>();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        form_->show();
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(pty_->SlavePath())));
        shell_ = std::make_unique<ShellOnPty>(pty_->Master());
        QVERIFY(shell_->Ok());
        form_->console->charModeCheck->setChecked(true);
        form_->console->lineEndBox->setCurrentIndex(1);  // CR, as a terminal sends
        View()->setFocus();
        QVERIFY2(Shows(QStringLiteral("$ ")), qPrintable(Text()));
    }
    void cleanup() {
        shell_.reset();
        form_.reset();
        pty_.reset();
        fixture_.Stop();
    }

    void keysReachTheShellAsFromATerminal() {
        // Tab completes, Enter runs.
        Type(QStringLiteral("ech"));
        Key(Qt::Key_Tab);
        Type(QStringLiteral("completed"));
        Key(Qt::Key_Return);
        QVERIFY2(Shows(QStringLiteral("$ echo completed\ncompleted\n")), qPrintable(Text()));

        // The shell's own line editing shows as it does in a terminal: a typo taken back.
        Type(QStringLiteral("echo typx"));
        Key(Qt::Key_Backspace);
        Type(QStringLiteral("o"));
        Key(Qt::Key_Left);
        Key(Qt::Key_Left);
        Key(Qt::Key_Left);
        Key(Qt::Key_Left);
        Type(QStringLiteral("X"));
        Key(Qt::Key_End);
        Key(Qt::Key_Return);
        QVERIFY2(Shows(QStringLiteral("$ echo Xtypo\nXtypo\n")), qPrintable(Text()));

        // Ctrl+C stops a command that would run for 100 s.
        Type(QStringLiteral("sleep 100"));
        Key(Qt::Key_Return);
        QVERIFY(Shows(QStringLiteral("sleep 100\n")));
        Key(Qt::Key_C, Qt::ControlModifier);
        Type(QStringLiteral("echo after"));
        Key(Qt::Key_Return);
        QVERIFY2(Shows(QStringLiteral("\nafter\n")), qPrintable(Text()));

        // Up recalls the last command.
        Key(Qt::Key_Up);
        Key(Qt::Key_Return);
        QVERIFY2(Shows(QStringLiteral("after\n$ echo after\nafter\n")), qPrintable(Text()));

        // A command longer than the shell's 80 columns wraps there; edited at its start it
        // is still one whole line.
        const QString word = QStringLiteral("0123456789").repeated(9);
        Type(QStringLiteral("echo ") + word);
        Key(Qt::Key_Home);
        Key(Qt::Key_Right);
        Key(Qt::Key_Right);
        Key(Qt::Key_Right);
        Key(Qt::Key_Right);
        Key(Qt::Key_Delete);
        Key(Qt::Key_Return);
        QVERIFY2(Shows(QStringLiteral("$ echo") + word + QStringLiteral("\n")), qPrintable(Text()));

        // Nothing was echoed locally: every line is as the shell drew it, as a reference
        // terminal shows the same bytes.
        QTRY_VERIFY(Text().endsWith(QStringLiteral("$ ")));
        const std::string& raw = form_->received.rxRawAll;
        const std::vector<std::string> expected = ReferenceLines(raw, 80);
        std::vector<std::string> shown;
        for (const QString& line : Text().split(u'\n')) {
            for (qsizetype at = 0; at == 0 || at < line.size(); at += 80) {
                shown.push_back(RightTrimmed(line.mid(at, 80).toStdString()));
            }
        }
        while (!shown.empty() && shown.back().empty()) {
            shown.pop_back();
        }
        QCOMPARE(shown, expected);
    }

    void lineModeRefusesControlKeysAndSendsThePasteWithTheLine() {
        form_->console->charModeCheck->setChecked(false);
        form_->console->lineEndBox->setCurrentIndex(1);
        // Esc would have ridden unseen in the next line: refused, and said so.
        Key(Qt::Key_Escape);
        QVERIFY(form_->statusBar->PanelText(0).contains(QStringLiteral("字符模式")));
        QApplication::clipboard()->setText(QStringLiteral("echo pas"));
        Key(Qt::Key_V, Qt::ControlModifier);
        Type(QStringLiteral("ted"));
        Key(Qt::Key_Return);
        QVERIFY2(Shows(QStringLiteral("\npasted\n")), qPrintable(Text()));
    }
};

QTEST_MAIN(ConsoleTest)
#include "tst_console.moc"
