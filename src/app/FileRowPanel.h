#pragma once
// The file row's own controls: the file path, preview (open), file send with its
// progress, and stop. Needs from outside: the port, the counters, the receive window,
// the progress bar and status bar, and the connection's safe state, through WindowLinks.

#include <QObject>
#include <memory>

class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;
class WindowLinks;
namespace zenta {
struct FileSendResult;
}

class FileRowPanel : public QObject {
    Q_OBJECT
  public:
    FileRowPanel(QWidget* host, WindowLinks& window);

    // ---- controls
    QLineEdit* pathEdit = nullptr;          // path of the file to send (N52)
    QPushButton* openFileButton = nullptr;  // "打开文件": choose and preview the file
    QPushButton* sendFileButton = nullptr;  // "发送文件"
    QPushButton* stopButton = nullptr;      // "停止": stops a file send or programming run

    // ---- handlers
    void onOpenFileClicked();
    void onSendFileClicked();
    void onStopClicked();

    // A file send is running: nothing else may take over the port meanwhile.
    bool SendRunning() const { return send_ != nullptr; }
    ~FileRowPanel() override;

  private:
    struct Send;
    void Pump();
    void Finish(const zenta::FileSendResult& r);
    void SendFailed();

    WindowLinks& window_;
    // Runs the send's next turn: the send is driven by this timer, never by a wait.
    QTimer* pump_ = nullptr;
    std::unique_ptr<Send> send_;
};
