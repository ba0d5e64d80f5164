#pragma once

#include <functional>
#include <memory>
#include <string>

// A serial device came or went (the system says which only loosely: a burst of changes
// in a watched folder makes one notice of each kind).
enum class DeviceChange { PortArrived, PortRemoved };

// Reports serial devices coming and going, on the GUI thread. Where a udev daemon runs
// its "tty" events report device nodes; elsewhere (containers, minimal systems) inotify
// on /dev does. inotify on /tmp (where pseudo-terminal links are published) and on any
// folder added with WatchFolder reports links. A burst of folder events makes one notice.
class TDeviceMonitor {
  public:
    enum class Source { Automatic, Folders };
    explicit TDeviceMonitor(Source source = Source::Automatic);
    ~TDeviceMonitor();
    TDeviceMonitor(const TDeviceMonitor&) = delete;
    TDeviceMonitor& operator=(const TDeviceMonitor&) = delete;

    bool Active() const;
    bool UsesUdev() const;
    // Watches one more folder for tty names (no-op when already watched).
    void WatchFolder(const std::string& dir);

    std::function<void(DeviceChange)> OnChange;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    void StartUdev();
    void StartFolders();
    void ReadFolderEvents();
    void Report(DeviceChange change);
};
