#pragma once
// The end of a session or a kill from outside closes the window the ordinary way, so
// the settings are saved and the port is released before the process ends.

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace zenta {

// Turns SIGTERM, SIGINT and SIGHUP into a close of the watched window on the event loop,
// and closes it when the application is told to quit (end of the desktop session). Made
// before the window: a signal that comes while the window is built waits for the loop.
// One at a time.
class QuitSignals : public QObject {
    Q_OBJECT
  public:
    QuitSignals();
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;
    void Watch(QWidget* window) { window_ = window; }

  private:
    void CloseWindow();

    QPointer<QWidget> window_;
};

}  // namespace zenta
