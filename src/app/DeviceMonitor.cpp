#include "app/DeviceMonitor.h"

#include <QSocketNotifier>
#include <cstring>

#include "app/ComMainForm.h"

#ifdef ZENTA_HAVE_UDEV
#include <libudev.h>
#endif

struct TDeviceMonitor::Impl {
#ifdef ZENTA_HAVE_UDEV
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
#endif
    std::unique_ptr<QSocketNotifier> notifier;
};

TDeviceMonitor::TDeviceMonitor() : impl_(std::make_unique<Impl>()) {
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
    impl_->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, [this] {
        udev_device* dev = udev_monitor_receive_device(impl_->monitor);
        if (!dev) {
            return;
        }
        const char* action = udev_device_get_action(dev);
        TDeviceChange msg;
        msg.DeviceType = TDeviceChange::TypePort;
        if (action && std::strcmp(action, "add") == 0) {
            msg.Event = TDeviceChange::DeviceArrival;
        } else if (action && std::strcmp(action, "remove") == 0) {
            msg.Event = TDeviceChange::DeviceRemoveComplete;
        }
        udev_device_unref(dev);
        if (msg.Event != 0 && OnChange) {
            OnChange(msg);
        }
    });
#endif
}

TDeviceMonitor::~TDeviceMonitor() {
    impl_->notifier.reset();
#ifdef ZENTA_HAVE_UDEV
    if (impl_->monitor) {
        udev_monitor_unref(impl_->monitor);
    }
    if (impl_->context) {
        udev_unref(impl_->context);
    }
#endif
}

bool TDeviceMonitor::Active() const {
    return impl_->notifier != nullptr;
}
