#pragma once
// The end of a session or a kill from outside closes the window the ordinary way, so
// the settings are saved and the port is released before the process ends.

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace zenta {

// Turns SIGTERM, SIGINT and SIGHUP into a close of `window` on the event loop, and closes
// it when the application is told to quit (end of the desktop session). One at a time.
class QuitSignals : public QObject {
    Q_OBJECT
  public:
    explicit QuitSignals(QWidget* window);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

  private:
    void CloseWindow();

    QPointer<QWidget> window_;
};

}  // namespace zenta
