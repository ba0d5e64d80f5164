#include "app/PortWatcher.h"

#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace zenta {

uint64_t DeviceNumber(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return 0;
    }
    // A real device number is never 0:0; keep the value apart from "none".
    return static_cast<uint64_t>(st.st_rdev) + 1;
}

std::string SerialIdentity(const std::string& devicePath, const std::string& byIdDir) {
    const uint64_t wanted = DeviceNumber(devicePath);
    if (wanted == 0) {
        return {};
    }
    std::error_code ec;
    for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (DeviceNumber(it->path().string()) == wanted) {
            return it->path().filename().string();
        }
    }
    return {};
}

int64_t FileClockNs() {
    // File times come from the kernel's coarse clock; a fine one can run ahead of them.
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

namespace {

bool StaleLink(const std::string& path, int64_t openedAtNs) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return false;
    }
    const int64_t changed =
        static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return changed < openedAtNs;
}

}  // namespace

std::string ReturnedPort(const std::string& path, const std::string& identity,
                         const std::string& byIdDir, int64_t openedAtNs) {
    if (DeviceNumber(path) != 0 && !StaleLink(path, openedAtNs)) {
        return path;
    }
    if (identity.empty()) {
        return {};
    }
    const fs::path link = fs::path(byIdDir) / identity;
    std::error_code ec;
    const fs::path device = fs::canonical(link, ec);
    if (ec || DeviceNumber(device.string()) == 0) {
        return {};
    }
    return device.string();
}

bool MayBePortName(const std::string& fileName) {
    return fileName.rfind("tty", 0) == 0 && fileName.find('.') == std::string::npos;
}

std::string LinkFolder(const std::string& portPath) {
    if (portPath.empty() || portPath[0] != '/' || portPath.rfind("/dev/", 0) == 0) {
        return {};
    }
    return fs::path(portPath).parent_path().string();
}

}  // namespace zenta
