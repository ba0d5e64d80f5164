#pragma once

#include <functional>
#include <memory>

struct TDeviceChange;
class QSocketNotifier;

// Watches the kernel's device events for serial ports (udev "tty" subsystem) and reports
// them on the GUI thread. Without udev it stays silent.
class TDeviceMonitor {
  public:
    TDeviceMonitor();
    ~TDeviceMonitor();
    TDeviceMonitor(const TDeviceMonitor&) = delete;
    TDeviceMonitor& operator=(const TDeviceMonitor&) = delete;

    bool Active() const;
    std::function<void(const TDeviceChange&)> OnChange;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
