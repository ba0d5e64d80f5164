// The file row: preview, file send with progress and stop.
#include "app/FileRowPanel.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/PanelWidgets.h"
#include "app/SaveFolder.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "datapath/FilePreview.h"
#include "datapath/FileSend.h"
#include "datapath/FileTexts.h"
#include "datapath/ReceiveState.h"
#include "datapath/qt/ReceiveView.h"
#include "serial/CPort.h"
#include "text/Gb18030.h"

using zenta::LocalPath;

namespace {

// Status and progress are painted at most this often during a send; the texts are
// exact again when it ends.
constexpr qint64 kSendPaintMs = 50;
// Longest a queued write waits for the port before its piece is looked at again (a stop
// gives up the rest of the piece).
constexpr int kPortWaitMs = 20;
// Longest stretch of writes the port takes at once before the window serves its events.
constexpr qint64 kTurnMs = 8;
// How often a write the port holds back is looked at.
constexpr int kPollMs = 2;

QString U8(const std::string& s) {
    return QString::fromStdString(s);
}

class AsyncRequest {
  public:
    AsyncRequest() { InitAsync(async); }
    ~AsyncRequest() { DoneAsync(async); }
    AsyncRequest(const AsyncRequest&) = delete;
    AsyncRequest& operator=(const AsyncRequest&) = delete;
    PAsync async = nullptr;
};

// Gives the writes issued while it lives a total time limit of `ms`.
class WriteTimeLimit {
  public:
    WriteTimeLimit(TComTimeouts& t, int32_t ms)
        : t_(t), multiplier_(t.WriteTotalMultiplier()), constant_(t.WriteTotalConstant()) {
        t_.SetWriteTotalMultiplier(0);
        t_.SetWriteTotalConstant(ms);
    }
    ~WriteTimeLimit() {
        t_.SetWriteTotalMultiplier(multiplier_);
        t_.SetWriteTotalConstant(constant_);
    }
    WriteTimeLimit(const WriteTimeLimit&) = delete;
    WriteTimeLimit& operator=(const WriteTimeLimit&) = delete;

  private:
    TComTimeouts& t_;
    int32_t multiplier_;
    int32_t constant_;
};

// Queues a write that the port may cut short after kPortWaitMs; it never blocks. The
// limit is read when the write is issued, so the port's own limits are back before
// anything else can write.
void IssueWrite(TComPort& port, std::string_view bytes, PAsync& async) {
    const WriteTimeLimit limit(port.Timeouts(), kPortWaitMs);
    port.WriteAsync(bytes.data(), static_cast<int>(bytes.size()), async);
}

// The window's side of a file send: counters, status, progress and the events.
class WindowSendLink : public zenta::FileSendLink {
  public:
    explicit WindowSendLink(WindowLinks& window) : window_(window) { paint_.start(); }

    // The panel writes the pieces itself, as the port takes them.
    std::int64_t Write(std::string_view) override { return -1; }
    void BlockSent(std::int64_t blockBytes, std::int64_t fileBytesSent, int progress) override {
        window_.Received().txCount += blockBytes;
        progress_ = progress;
        Show(fileBytesSent, false);
    }
    bool StopRequested() override { return StopFlag != 0; }
    void PartSent(std::int64_t bytes, std::int64_t fileBytesSent) override {
        window_.Received().txCount += bytes;
        Show(fileBytesSent, true);
    }
    void Show(std::int64_t fileBytesSent, bool now) {
        if (!now && paint_.elapsed() < kSendPaintMs) {
            return;
        }
        paint_.start();
        window_.Status()->SetPanelText(
            1, QStringLiteral("S:") + QString::number(window_.Received().txCount));
        window_.Status()->SetPanelText(0, QStringLiteral("File:") + QString::number(fileBytesSent));
        window_.Progress()->setValue(progress_);
    }

  private:
    WindowLinks& window_;
    QElapsedTimer paint_;
    int progress_ = 0;
};

}  // namespace

// A file send in progress: the file, how far it got, and the write the port holds.
struct FileRowPanel::Send {
    Send(std::string_view data, WindowLinks& window) : steps(data), link(window) {}
    zenta::FileSendSteps steps;
    WindowSendLink link;
    AsyncRequest request;
    bool writing = false;        // a write is queued in the port
    std::int64_t pieceDone = 0;  // bytes of the present piece the port took
};

FileRowPanel::FileRowPanel(QWidget* host, WindowLinks& window)
    : QObject(host), window_(window), pump_(new QTimer(this)) {
    pump_->setSingleShot(true);
    pump_->setTimerType(Qt::PreciseTimer);
    connect(pump_, &QTimer::timeout, this, &FileRowPanel::Pump);
    using namespace panel_widgets;
    // Placed by the window's row layout; design widths are minimums there.
    pathEdit = Edit(host, "filePathEdit", QString());
    openFileButton = Button(host, "openFileButton", QStringLiteral("打开文件"));
    sendFileButton = Button(host, "sendFileButton", QStringLiteral("发送文件"));
    stopButton = Button(host, "stopButton", QStringLiteral("停止"));
    connect(openFileButton, &QPushButton::clicked, this, &FileRowPanel::onOpenFileClicked);
    connect(sendFileButton, &QPushButton::clicked, this, &FileRowPanel::onSendFileClicked);
    connect(stopButton, &QPushButton::clicked, this, &FileRowPanel::onStopClicked);
}

// ---- preview

void FileRowPanel::onOpenFileClicked() {
    // A preview goes through the receive path, where a programming run reads its replies.
    if (window_.ProgrammerRunning()) {
        return;
    }
    const QString picked = Prompts().OpenFile(
        QString(), QStringLiteral("*.* (*);;hex (*.hex);;hex,bin,txt (*.hex *.bin *.txt)"));
    if (!picked.isEmpty()) {
        pathEdit->setText(picked);
        pathEdit->setCursorPosition(static_cast<int>(pathEdit->text().size()));
    }
    std::string first(zenta::kPreviewBytes, '\0');
    const zenta::FileRead read =
        zenta::ReadFileInto(LocalPath(pathEdit->text()), first.data(), first.size());
    if (read.error != zenta::FileReadError::None) {
        // Nothing to show; say why rather than leave the window as it was.
        if (!pathEdit->text().isEmpty()) {
            Prompts().ShowMessage(
                U8(zenta::FileUnreadableText(LocalPath(pathEdit->text()), read, EnglishUI == 1)));
        }
        return;
    }
    first.resize(read.loaded);
    const zenta::FilePreviewText t = zenta::ApplyFilePreview(window_.Received(), first, read.length,
                                                             window_.HexDisplay(), EnglishUI == 1);
    window_.View()->setPlainText(
        U8(t.header) +
        zenta::FromGb18030(QByteArrayView(t.body.data(), static_cast<qsizetype>(t.body.size()))));
}

// ---- file send

void FileRowPanel::onSendFileClicked() {
    if (send_ || window_.ProgrammerRunning()) {
        return;
    }
    const bool english = EnglishUI == 1;
    const QString path = pathEdit->text();
    char* buffer = zenta::FileSendBuffer();
    const zenta::FileRead read =
        zenta::ReadFileInto(LocalPath(path), buffer, zenta::kFileSendBufferSize);
    if (read.error != zenta::FileReadError::None) {
        Prompts().ShowMessage(U8(zenta::FileUnreadableText(LocalPath(path), read, english)));
        return;
    }
    // A custom rate is the rate the line runs at; the table has none for it.
    TComPort& port = window_.Port();
    const int64_t baud =
        port.BaudRate() == brCustom ? port.CustomBaudRate() : BaudRateValue(port.BaudRate());
    window_.View()->setPlainText(U8(zenta::FileSendReport(
        read.length, baud, zenta::EstimateSeconds(read.length, baud), english)));
    window_.View()->viewport()->repaint();

    StopFlag = 0;
    window_.Progress()->setValue(0);
    window_.Progress()->show();
    sendFileButton->setEnabled(false);
    window_.SetOpenEnabled(false);
    send_ = std::make_unique<Send>(std::string_view(buffer, read.loaded), window_);
    Pump();
}

// One turn of the send: writes while the port takes the bytes at once, for at most
// kTurnMs, then hands the window back; a write the port holds back is looked at again
// after kPollMs. Nothing here waits for the port.
void FileRowPanel::Pump() {
    if (!send_) {
        return;
    }
    if (window_.Closing()) {
        send_.reset();  // the window is going away: no texts, no messages
        return;
    }
    QElapsedTimer turn;
    turn.start();
    TComPort& port = window_.Port();
    Send& s = *send_;
    try {
        for (;;) {
            if (s.writing) {
                if (!port.IsAsyncCompleted(s.request.async)) {
                    pump_->start(kPollMs);
                    return;
                }
                s.writing = false;
                s.pieceDone += port.WaitForAsync(s.request.async);
            }
            const std::string_view piece = s.steps.Next();
            const auto size = static_cast<std::int64_t>(piece.size());
            if (s.pieceDone < size && !piece.empty() && StopFlag == 0) {
                // The rest of the piece: the port cut the last write short or took none yet.
                IssueWrite(port, piece.substr(static_cast<std::size_t>(s.pieceDone)),
                           s.request.async);
                s.writing = true;
                continue;
            }
            const std::int64_t took = s.pieceDone;
            s.pieceDone = 0;
            if (const auto r = s.steps.Took(took, s.link)) {
                Finish(*r);
                return;
            }
            if (turn.elapsed() >= kTurnMs) {
                pump_->start(0);
                return;
            }
        }
    } catch (const EComPort&) {
        Finish({zenta::FileSendOutcome::WriteFailed, s.steps.Sent()});
    }
}

void FileRowPanel::Finish(const zenta::FileSendResult& r) {
    const std::unique_ptr<Send> done = std::move(send_);
    pump_->stop();
    const bool english = EnglishUI == 1;
    switch (r.outcome) {
        case zenta::FileSendOutcome::WriteFailed:
            SendFailed();
            return;
        case zenta::FileSendOutcome::Stopped:
            StopFlag = 0;
            window_.Print(U8(zenta::UserAbortText(english)));
            break;
        case zenta::FileSendOutcome::Completed:
            window_.Print(U8(zenta::SendOkText(english)));
            break;
    }
    done->link.Show(r.sent, true);
    window_.Status()->SetPanelText(0, HomePanelText());
    window_.Progress()->setValue(100);
    window_.Progress()->hide();
    sendFileButton->setEnabled(true);
    window_.SetOpenEnabled(true);
    StopFlag = 1;
}

void FileRowPanel::SendFailed() {
    window_.RecoverFromPortError();
    // The send is over: its counter and bar go, as after a send that ended.
    window_.Status()->SetPanelText(0, HomePanelText());
    window_.Progress()->hide();
    Prompts().ShowMessage(U8(zenta::FileSendPortErrorText(EnglishUI == 1)));
    StopFlag = 1;
    window_.SetOpenEnabled(true);
}

void FileRowPanel::onStopClicked() {
    StopFlag = 1;
}

FileRowPanel::~FileRowPanel() = default;
