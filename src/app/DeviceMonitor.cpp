#include "app/DeviceMonitor.h"

#include <optional>

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cstring>
#include <map>
#include <vector>

#include "app/PortWatcher.h"

#ifdef ZENTA_HAVE_UDEV
#include <libudev.h>
#endif

namespace {

// Folder events of one device (a node and its link renamed into place) come together.
constexpr int kSettleMs = 50;

// A udev monitor opens without a daemon but then never hears anything.
bool UdevDaemonRuns() {
    return ::access("/run/udev/control", F_OK) == 0;
}

}  // namespace

struct TDeviceMonitor::Impl {
#ifdef ZENTA_HAVE_UDEV
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
#endif
    bool fromUdev = false;
    int inotifyFd = -1;
    std::map<int, std::string> watches;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QSocketNotifier> folderNotifier;
    QTimer settle;
    bool arrived = false;
    bool removed = false;
};

TDeviceMonitor::TDeviceMonitor(Source source) : impl_(std::make_unique<Impl>()) {
    if (source == Source::Automatic && UdevDaemonRuns()) {
        StartUdev();
    }
    // Links to pseudo-terminals never make a udev event: their folders are watched always.
    StartFolders();
}

TDeviceMonitor::~TDeviceMonitor() {
    impl_->notifier.reset();
    impl_->folderNotifier.reset();
    if (impl_->inotifyFd >= 0) {
        ::close(impl_->inotifyFd);
    }
#ifdef ZENTA_HAVE_UDEV
    if (impl_->monitor) {
        udev_monitor_unref(impl_->monitor);
    }
    if (impl_->context) {
        udev_unref(impl_->context);
    }
#endif
}

void TDeviceMonitor::StartUdev() {
#ifdef ZENTA_HAVE_UDEV
    impl_->context = udev_new();
    if (!impl_->context) {
        return;
    }
    impl_->monitor = udev_monitor_new_from_netlink(impl_->context, "udev");
    if (!impl_->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(impl_->monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(impl_->monitor) < 0) {
        return;
    }
    const int fd = udev_monitor_get_fd(impl_->monitor);
    if (fd < 0) {
        return;
    }
    impl_->fromUdev = true;
    impl_->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, [this] {
        udev_device* dev = udev_monitor_receive_device(impl_->monitor);
        if (!dev) {
            return;
        }
        const char* action = udev_device_get_action(dev);
        std::optional<DeviceChange> change;
        if (action && std::strcmp(action, "add") == 0) {
            change = DeviceChange::PortArrived;
        } else if (action && std::strcmp(action, "remove") == 0) {
            change = DeviceChange::PortRemoved;
        }
        udev_device_unref(dev);
        if (change) {
            Report(*change);
        }
    });
#endif
}

void TDeviceMonitor::StartFolders() {
    impl_->inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (impl_->inotifyFd < 0) {
        return;
    }
    impl_->folderNotifier =
        std::make_unique<QSocketNotifier>(impl_->inotifyFd, QSocketNotifier::Read);
    QObject::connect(impl_->folderNotifier.get(), &QSocketNotifier::activated,
                     [this] { ReadFolderEvents(); });
    impl_->settle.setSingleShot(true);
    impl_->settle.setInterval(kSettleMs);
    QObject::connect(&impl_->settle, &QTimer::timeout, [this] {
        const bool arrived = impl_->arrived;
        const bool removed = impl_->removed;
        impl_->arrived = impl_->removed = false;
        if (removed) {
            Report(DeviceChange::PortRemoved);
        }
        if (arrived) {
            Report(DeviceChange::PortArrived);
        }
    });
    if (!impl_->fromUdev) {
        WatchFolder("/dev");
        WatchFolder(zenta::kSerialByIdDir);
    }
    WatchFolder("/tmp");
}

void TDeviceMonitor::WatchFolder(const std::string& dir) {
    if (impl_->inotifyFd < 0 || dir.empty()) {
        return;
    }
    for (const auto& [wd, path] : impl_->watches) {
        if (path == dir) {
            return;
        }
    }
    const int wd = ::inotify_add_watch(
        impl_->inotifyFd, dir.c_str(),
        IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR);
    if (wd >= 0) {
        impl_->watches[wd] = dir;
    }
}

void TDeviceMonitor::ReadFolderEvents() {
    alignas(inotify_event) char buf[8192];
    for (;;) {
        const ssize_t n = ::read(impl_->inotifyFd, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            const bool byId = impl_->watches[ev->wd] == zenta::kSerialByIdDir;
            if (ev->len == 0 || (!byId && !zenta::MayBePortName(ev->name))) {
                continue;
            }
            if (ev->mask & (IN_CREATE | IN_MOVED_TO | IN_ATTRIB)) {
                impl_->arrived = true;
            } else if (ev->mask & (IN_DELETE | IN_MOVED_FROM)) {
                impl_->removed = true;
            }
        }
    }
    if ((impl_->arrived || impl_->removed) && !impl_->settle.isActive()) {
        impl_->settle.start();
    }
}

void TDeviceMonitor::Report(DeviceChange change) {
    if (OnChange) {
        OnChange(change);
    }
}

bool TDeviceMonitor::Active() const {
    return impl_->notifier != nullptr || impl_->folderNotifier != nullptr;
}

bool TDeviceMonitor::UsesUdev() const {
    return impl_->fromUdev;
}
