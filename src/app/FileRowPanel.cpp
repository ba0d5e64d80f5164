// The file row: preview, file send with progress and stop, saving the received data
// and switching on the capture file.
#include <fcntl.h>
#include <unistd.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "text/Gb18030.h"
#include "datapath/DataFolder.h"
#include "datapath/FilePreview.h"
#include "datapath/FileSend.h"
#include "datapath/FileTexts.h"

namespace {

// Status and progress are painted at most this often during a send; the texts are
// exact again when it ends.
constexpr qint64 kSendPaintMs = 50;
// Longest a write waits for the port before the window serves its events again.
constexpr int kPortWaitMs = 20;

QString U8(const std::string& s) {
    return QString::fromStdString(s);
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString FromLocalPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string TimeStampNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return zenta::FileTimeStamp(local);
}

// The receive window's text as a multi-line edit saves it: every line ends in CR LF.
QByteArray WindowFileBytes(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    QByteArray out;
    for (const QString& line : lines) {
        out += zenta::ToGb18030(line);
        out += "\r\n";
    }
    return out;
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        *error = f.errorString();
        return false;
    }
    f.close();
    if (f.error() != QFileDevice::NoError) {
        *error = f.errorString();
        return false;
    }
    return true;
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

// A blocking write that the port may cut short after kPortWaitMs; the bytes it took.
// The limit is read when the write is issued, so the port's own limits are back before
// anything else can write.
int64_t WriteWithin(TComPort& port, std::string_view bytes) {
    AsyncRequest request;
    {
        const WriteTimeLimit limit(port.Timeouts(), kPortWaitMs);
        port.WriteAsync(bytes.data(), static_cast<int>(bytes.size()), request.async);
    }
    return port.WaitForAsync(request.async);
}

// The window's side of a file send: counters, status, progress and the events.
class WindowSendLink : public zenta::FileSendLink {
  public:
    explicit WindowSendLink(TForm1& form) : f_(form) { paint_.start(); }

    std::int64_t Write(std::string_view bytes) override {
        const int64_t n = f_.WriteFileBlock(bytes);
        return n;
    }
    void BlockSent(std::int64_t blockBytes, std::int64_t fileBytesSent, int progress) override {
        f_.Rx.txCount += blockBytes;
        progress_ = progress;
        Show(fileBytesSent, false);
        QCoreApplication::processEvents();
    }
    bool StopRequested() override { return StopFlag != 0; }
    void PartSent(std::int64_t bytes, std::int64_t fileBytesSent) override {
        f_.Rx.txCount += bytes;
        Show(fileBytesSent, true);
    }
    void Show(std::int64_t fileBytesSent, bool now) {
        if (!now && paint_.elapsed() < kSendPaintMs) {
            return;
        }
        paint_.start();
        f_.StatusBar1->SetPanelText(1, QStringLiteral("S:") + QString::number(f_.Rx.txCount));
        f_.StatusBar1->SetPanelText(0, QStringLiteral("File:") + QString::number(fileBytesSent));
        f_.ProgressBar1->setValue(progress_);
    }

  private:
    TForm1& f_;
    QElapsedTimer paint_;
    int progress_ = 0;
};

}  // namespace

void TForm1::ConnectFileChartHandlers() {
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(Button3); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(Button4); });
    connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(Button8); });
    connect(Button42, &QPushButton::clicked, this, [this] { Button42Click(Button42); });
    connect(CheckBox19, &QCheckBox::clicked, this, [this] { CheckBox19Click(CheckBox19); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(BitBtn1); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(BitBtn2); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(BitBtn3); });
    connect(CheckBox13, &QCheckBox::clicked, this, [this] { CheckBox13Click(CheckBox13); });
    connect(CheckBox14, &QCheckBox::clicked, this, [this] { CheckBox14Click(CheckBox14); });
}

QString TForm1::DataFolder() {
    const QString program =
        ProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath() : ProgramFolder;
    const std::string local = LocalPath(program);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString folder = FromLocalPath(
        zenta::ChooseDataFolder(local, zenta::FolderWritable(local), LocalPath(documents)));
    QDir().mkpath(folder);
    return folder;
}

// ---- preview

void TForm1::Button3Click(QObject* /*Sender*/) {
    // A preview goes through the receive path, where a programming run reads its replies.
    if (ispRunning) {
        return;
    }
    const QString picked = Prompts().OpenFile(
        QString(), QStringLiteral("*.* (*);;hex (*.hex);;hex,bin,txt (*.hex *.bin *.txt)"));
    if (!picked.isEmpty()) {
        Edit2->setText(picked);
        Edit2->setCursorPosition(static_cast<int>(Edit2->text().size()));
    }
    std::string first(zenta::kPreviewBytes, '\0');
    const zenta::FileRead read =
        zenta::ReadFileInto(LocalPath(Edit2->text()), first.data(), first.size());
    if (read.error != zenta::FileReadError::None) {
        return;
    }
    first.resize(read.loaded);
    const zenta::FilePreviewText t =
        zenta::ApplyFilePreview(Rx, first, read.length, CheckBox5->isChecked(), EnglishUI == 1);
    memo::SetText(Memo, U8(t.header) + zenta::FromGb18030(QByteArrayView(
                                           t.body.data(), static_cast<qsizetype>(t.body.size()))));
}

// ---- file send

void TForm1::Button4Click(QObject* /*Sender*/) {
    if (fileSendRunning_ || ispRunning) {
        return;
    }
    const bool english = EnglishUI == 1;
    const QString path = Edit2->text();
    char* buffer = zenta::FileSendBuffer();
    const zenta::FileRead read =
        zenta::ReadFileInto(LocalPath(path), buffer, zenta::kFileSendBufferSize);
    if (read.error != zenta::FileReadError::None) {
        Prompts().ShowMessage(U8(zenta::FileUnreadableText(LocalPath(path), read, english)));
        return;
    }
    // A custom rate is the rate the line runs at; the table has none for it.
    const int64_t baud = ComPort.BaudRate() == brCustom ? ComPort.CustomBaudRate()
                                                        : BaudRateValue(ComPort.BaudRate());
    memo::SetText(
        Memo, U8(zenta::FileSendReport(read.length, baud, zenta::EstimateSeconds(read.length, baud),
                                       english)));
    Memo->viewport()->repaint();

    fileSendRunning_ = true;
    StopFlag = 0;
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    Button4->setEnabled(false);
    Button_Open->setEnabled(false);

    WindowSendLink link(*this);
    const zenta::FileSendResult r =
        zenta::SendFileBlocks(std::string_view(buffer, read.loaded), link);
    fileSendRunning_ = false;
    if (closing_) {
        return;  // the window is going away: no texts, no messages
    }
    switch (r.outcome) {
        case zenta::FileSendOutcome::WriteFailed:
            FileSendFailed();
            return;
        case zenta::FileSendOutcome::Stopped:
            StopFlag = 0;
            winprint(U8(zenta::UserAbortText(english)));
            break;
        case zenta::FileSendOutcome::Completed:
            winprint(U8(zenta::SendOkText(english)));
            break;
    }
    link.Show(r.sent, true);
    StatusBar1->SetPanelText(0, HomePanelText());
    ProgressBar1->setValue(100);
    ProgressBar1->hide();
    Button4->setEnabled(true);
    Button_Open->setEnabled(true);
    StopFlag = 1;
}

// One block, written once the port has taken the previous bytes. The write waits on
// the port, but for at most kPortWaitMs at a time: while the port holds the block back
// the window serves its events in between, and a stop gives up the rest of the block.
int64_t TForm1::WriteFileBlock(std::string_view bytes) {
    const auto size = static_cast<int64_t>(bytes.size());
    int64_t done = 0;
    try {
        while (done < size) {
            done += WriteWithin(ComPort, bytes.substr(static_cast<std::size_t>(done)));
            if (done >= size) {
                break;
            }
            QCoreApplication::processEvents();
            if (StopFlag != 0 || closing_) {
                break;
            }
        }
    } catch (const EComPort&) {
        return -1;
    }
    return done;
}

void TForm1::FileSendFailed() {
    RecoverFromPortError();
    Prompts().ShowMessage(U8(zenta::FileSendPortErrorText(EnglishUI == 1)));
    StopFlag = 1;
    Button_Open->setEnabled(true);
}

void TForm1::Button8Click(QObject* /*Sender*/) {
    StopFlag = 1;
}

// ---- saving and capture

void TForm1::Button42Click(QObject* /*Sender*/) {
    const bool english = EnglishUI == 1;
    const std::string stamp = TimeStampNow();
    const QDir folder(DataFolder());
    const QString windowPath = folder.filePath(U8("SaveWindows" + stamp + ".TXT"));
    const QString dataPath = folder.filePath(U8("SAVE" + stamp + ".DAT"));
    QString error;
    if (!WriteWholeFile(windowPath, WindowFileBytes(memo::Text(Memo)), &error)) {
        Prompts().ShowMessage(
            U8(zenta::SaveFailedText(LocalPath(windowPath), error.toStdString(), english)));
        return;
    }
    const std::string& raw = Rx.rxRawAll;
    if (!WriteWholeFile(dataPath, QByteArray(raw.data(), static_cast<qsizetype>(raw.size())),
                        &error)) {
        Prompts().ShowMessage(
            U8(zenta::SaveFailedText(LocalPath(dataPath), error.toStdString(), english)));
        return;
    }
    Prompts().ShowMessage(
        U8(zenta::SavedText(LocalPath(dataPath), LocalPath(windowPath), english)));
}

void TForm1::CheckBox19Click(QObject* /*Sender*/) {
    if (!CheckBox19->isChecked()) {
        return;
    }
    const bool english = EnglishUI == 1;
    const QString path =
        QDir(DataFolder()).filePath(U8("ReceivedTofile" + TimeStampNow() + ".DAT"));
    const std::string local = LocalPath(path);
    // Two switch-ons within one second name the same file: the data goes on into it.
    const int fd = ::open(local.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        const std::string reason = std::strerror(errno);
        SetChecked(CheckBox19, false);
        Prompts().ShowMessage(U8(zenta::CaptureFailedText(local, reason, english)));
        return;
    }
    ::close(fd);
    captureFileName = path;
    Prompts().ShowMessage(U8(zenta::CaptureStartedText(local, english)));
}
