// The order of the port list.
#include <algorithm>
#include <cctype>
#include <string>

#include "serial/CPort.h"

namespace zenta {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Name of the folder holding path ("dev" for /dev/ttyS0).
std::string FolderName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) {
        return {};
    }
    return BaseName(path.substr(0, slash));
}

// USB and ACM adapters (also vendor drivers' names such as ttyCH341USB0) first, then
// published links (outside the device folder), then the rest: built-in ports are rarely wired to
// anything.
int Group(const std::string& path) {
    const std::string name = BaseName(path);
    if (name.rfind("tty", 0) == 0 &&
        (name.find("USB") != std::string::npos || name.find("ACM") != std::string::npos)) {
        return 0;
    }
    return FolderName(path) == "dev" ? 2 : 1;
}

// Negative, zero or positive as a sorts before, with or after b: digit runs by value,
// letters ignoring case.
int NaturalCompare(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t is = i;
            std::size_t js = j;
            while (is < a.size() && a[is] == '0') {
                ++is;
            }
            while (js < b.size() && b[js] == '0') {
                ++js;
            }
            std::size_t ie = is;
            std::size_t je = js;
            while (ie < a.size() && IsDigit(a[ie])) {
                ++ie;
            }
            while (je < b.size() && IsDigit(b[je])) {
                ++je;
            }
            if (ie - is != je - js) {
                return ie - is < je - js ? -1 : 1;
            }
            if (const int cmp = a.compare(is, ie - is, b, js, je - js); cmp != 0) {
                return cmp;
            }
            i = ie;
            j = je;
            continue;
        }
        if (Lower(a[i]) != Lower(b[j])) {
            return static_cast<unsigned char>(Lower(a[i])) < static_cast<unsigned char>(Lower(b[j]))
                       ? -1
                       : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return i < a.size() ? 1 : -1;
    }
    return 0;
}

}  // namespace

bool PortOrderLess(const std::string& a, const std::string& b) {
    const int ga = Group(a);
    const int gb = Group(b);
    if (ga != gb) {
        return ga < gb;
    }
    const int cmp = NaturalCompare(a, b);
    // Names equal but for case or leading zeros keep a fixed order between them.
    return cmp != 0 ? cmp < 0 : a < b;
}

}  // namespace zenta
