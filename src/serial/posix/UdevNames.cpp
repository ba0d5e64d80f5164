#include "serial/posix/UdevNames.h"

#include <algorithm>

#ifdef ZENTA_HAVE_UDEV
#include <libudev.h>
#endif

namespace zenta {

std::string JoinFriendlyName(const std::string& vendor, const std::string& model,
                             const std::string& serial) {
    std::string name = vendor;
    // Many devices repeat the vendor at the start of the model string.
    if (!model.empty() && model.rfind(vendor, 0) == 0 && !vendor.empty()) {
        name = model;
    } else if (!model.empty()) {
        name += name.empty() ? "" : " ";
        name += model;
    }
    if (!serial.empty()) {
        name += name.empty() ? "" : " ";
        name += "(" + serial + ")";
    }
    return name;
}

#ifdef ZENTA_HAVE_UDEV

namespace {

std::string Property(udev_device* dev, const char* key) {
    const char* value = udev_device_get_property_value(dev, key);
    return value ? value : "";
}

// ID_VENDOR and ID_MODEL spell blanks as underscores.
std::string Unmangle(std::string text) {
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

}  // namespace

std::string UdevFriendlyName(const std::string& ttyName) {
    udev* u = udev_new();
    if (!u) {
        return {};
    }
    std::string name;
    if (udev_device* dev = udev_device_new_from_subsystem_sysname(u, "tty", ttyName.c_str())) {
        std::string vendor = Property(dev, "ID_VENDOR_FROM_DATABASE");
        if (vendor.empty()) {
            vendor = Unmangle(Property(dev, "ID_VENDOR"));
        }
        std::string model = Property(dev, "ID_MODEL_FROM_DATABASE");
        if (model.empty()) {
            model = Unmangle(Property(dev, "ID_MODEL"));
        }
        name = JoinFriendlyName(vendor, model, Property(dev, "ID_SERIAL_SHORT"));
        udev_device_unref(dev);
    }
    udev_unref(u);
    return name;
}

#else

std::string UdevFriendlyName(const std::string&) {
    return {};
}

#endif

}  // namespace zenta
