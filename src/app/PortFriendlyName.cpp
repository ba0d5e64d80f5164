#include "app/PortFriendlyName.h"

#include <filesystem>
#include <fstream>

#ifdef ZENTA_HAVE_UDEV
#include <libudev.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

std::string Join(const std::string& a, const std::string& b) {
    if (a.empty()) {
        return b;
    }
    return b.empty() ? a : a + " " + b;
}

#ifdef ZENTA_HAVE_UDEV
std::string FromUdev(const std::string& sysname) {
    udev* ctx = udev_new();
    if (!ctx) {
        return {};
    }
    std::string name;
    if (udev_device* dev = udev_device_new_from_subsystem_sysname(ctx, "tty", sysname.c_str())) {
        auto prop = [dev](const char* key) {
            const char* v = udev_device_get_property_value(dev, key);
            return std::string(v ? v : "");
        };
        std::string vendor = prop("ID_VENDOR_FROM_DATABASE");
        if (vendor.empty()) {
            vendor = prop("ID_VENDOR");
        }
        std::string model = prop("ID_MODEL_FROM_DATABASE");
        if (model.empty()) {
            model = prop("ID_MODEL");
        }
        name = Join(Join(vendor, model), prop("ID_SERIAL_SHORT"));
        udev_device_unref(dev);
    }
    udev_unref(ctx);
    return name;
}
#endif

}  // namespace

std::string PortFriendlyName(const std::string& devicePath, const std::string& sysfsRoot) {
    std::error_code ec;
    fs::path dev = fs::canonical(devicePath, ec);
    if (ec) {
        dev = devicePath;
    }
    const std::string sysname = dev.filename().string();
    if (sysname.empty()) {
        return {};
    }
#ifdef ZENTA_HAVE_UDEV
    if (sysfsRoot == "/sys") {
        if (std::string name = FromUdev(sysname); !name.empty()) {
            return name;
        }
    }
#endif
    // Walk up from the tty's device to the USB device that carries the strings.
    fs::path node = fs::canonical(fs::path(sysfsRoot) / "class/tty" / sysname / "device", ec);
    if (ec) {
        return {};
    }
    for (int depth = 0; depth < 4 && !node.empty() && node != node.root_path(); ++depth) {
        if (fs::exists(node / "product", ec)) {
            return Join(Join(ReadLine(node / "manufacturer"), ReadLine(node / "product")),
                        ReadLine(node / "serial"));
        }
        node = node.parent_path();
    }
    return {};
}
