#include "serial/posix/SysfsPorts.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "serial/posix/UdevNames.h"

namespace fs = std::filesystem;

namespace zenta {

namespace {

// First line of a sysfs attribute, without trailing blanks; empty if unreadable.
std::string ReadAttribute(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return {};
    }
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.pop_back();
    }
    return line;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// A pseudo-terminal's node in devRoot/pts is its number; ptmx there is the multiplexer.
bool IsPtyNumber(const std::string& name) {
    return !name.empty() &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool IsPhantomSerialPort(const std::string& ttySysDir, const std::string& devicePath) {
    const fs::path typeFile = fs::path(ttySysDir) / "type";
    if (Exists(typeFile)) {
        return ReadAttribute(typeFile) == "0";
    }
    // Opening a port can pulse its modem lines, so only legacy 8250 names are probed.
    const std::string name = fs::path(devicePath).filename().string();
    if (name.rfind("ttyS", 0) != 0) {
        return false;
    }
    const int fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    const bool phantom = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
    close(fd);
    return phantom;
}

std::vector<std::string> ListSysfsSerialPorts(const TPortRoots& roots,
                                              const TPhantomTest& isPhantom) {
    std::vector<std::string> ports;
    std::error_code ec;
    fs::directory_iterator it(fs::path(roots.sysfs) / "class" / "tty", ec);
    if (ec) {
        return ports;
    }
    for (const fs::directory_entry& entry : it) {
        const fs::path ttyDir = entry.path();
        if (!Exists(ttyDir / "device")) {
            continue;
        }
        const std::string devicePath = roots.dev + "/" + ttyDir.filename().string();
        if (!Exists(devicePath)) {
            continue;
        }
        if (isPhantom && isPhantom(ttyDir.string(), devicePath)) {
            continue;
        }
        ports.push_back(devicePath);
    }
    return ports;
}

std::vector<std::string> ListPtyLinks(const TPortRoots& roots) {
    std::vector<std::string> links;
    std::error_code ec;
    const fs::path ptsDir = fs::weakly_canonical(fs::path(roots.dev) / "pts", ec);
    if (ec) {
        return links;
    }
    fs::directory_iterator it(roots.tmp, ec);
    if (ec) {
        return links;
    }
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        std::error_code linkEc;
        if (name.rfind("tty", 0) != 0 || !entry.is_symlink(linkEc)) {
            continue;
        }
        // A link left by a simulator that has ended points nowhere and is skipped here.
        const fs::path target = fs::canonical(entry.path(), linkEc);
        if (linkEc || target.parent_path() != ptsDir || !IsPtyNumber(target.filename().string())) {
            continue;
        }
        links.push_back(roots.tmp + "/" + name);
    }
    return links;
}

void SortPortNames(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), PortOrderLess);
}

bool CollectComPorts(std::vector<std::string>& list, const TPortRoots& roots,
                     const TPhantomTest& isPhantom) {
    std::vector<std::string> found = ListSysfsSerialPorts(roots, isPhantom);
    std::vector<std::string> links = ListPtyLinks(roots);
    found.insert(found.end(), links.begin(), links.end());
    if (found.empty()) {
        return false;
    }
    SortPortNames(found);
    list = std::move(found);
    return true;
}

std::string SysfsFriendlyName(const std::string& ttySysDir) {
    std::error_code ec;
    fs::path dir = fs::canonical(fs::path(ttySysDir) / "device", ec);
    if (ec) {
        return {};
    }
    // ttyUSB: port -> interface -> USB device; ttyACM: interface -> USB device.
    for (int depth = 0; depth < 4 && dir.has_relative_path(); ++depth, dir = dir.parent_path()) {
        if (!Exists(dir / "idVendor")) {
            continue;
        }
        const std::string vendor = ReadAttribute(dir / "manufacturer");
        const std::string model = ReadAttribute(dir / "product");
        const std::string serial = ReadAttribute(dir / "serial");
        if (vendor.empty() && model.empty()) {
            const std::string vid = ReadAttribute(dir / "idVendor");
            const std::string pid = ReadAttribute(dir / "idProduct");
            return JoinFriendlyName("USB", vid + ":" + pid, serial);
        }
        return JoinFriendlyName(vendor, model, serial);
    }
    return {};
}

std::string FriendlyPortName(const std::string& devicePath, const std::string& sysfsRoot) {
    const std::string ttyName = fs::path(devicePath).filename().string();
    if (ttyName.empty()) {
        return {};
    }
    if (sysfsRoot == "/sys") {
        std::string name = UdevFriendlyName(ttyName);
        if (!name.empty()) {
            return name;
        }
    }
    return SysfsFriendlyName(sysfsRoot + "/class/tty/" + ttyName);
}

std::string PortListEntry(const std::string& devicePath, const std::string& sysfsRoot) {
    const std::string name = FriendlyPortName(devicePath, sysfsRoot);
    return name.empty() ? devicePath : devicePath + " " + name;
}

std::vector<std::string> PortListEntries() {
    std::vector<std::string> devices;
    EnumComPorts(devices);
    std::vector<std::string> entries;
    entries.reserve(devices.size());
    for (const std::string& d : devices) {
        entries.push_back(PortListEntry(d));
    }
    return entries;
}

}  // namespace zenta
