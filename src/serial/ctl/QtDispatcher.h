#pragma once
// Delivers port events on the Qt GUI thread.

#include <QObject>
#include <functional>
#include <memory>

#include "serial/Dispatcher.h"

// Runs each delivery from the event loop of the thread that created the dispatcher.
// Create it on the GUI thread and keep it alive longer than the ports that use it
// (set it with TCustomComPort::SetDispatcher or TMainThreadDispatcher::SetDefault).
class TQtDispatcher : public TMainThreadDispatcher {
  public:
    TQtDispatcher();
    ~TQtDispatcher() override;

    // Thread-safe; called by the event thread.
    void Wake(std::function<void()> serve) override;

  private:
    // Deliveries queued on it are dropped with it.
    std::unique_ptr<QObject> context_;
};
