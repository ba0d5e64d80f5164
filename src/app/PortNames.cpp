#include "app/PortNames.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string NormalizePortName(const std::string& entry) {
    if (!entry.empty() && entry[0] == '/') {
        const auto blank = entry.find(' ');
        return blank == std::string::npos ? entry : entry.substr(0, blank);
    }
    const auto at = entry.find("COM");
    if (at == std::string::npos) {
        return {};
    }
    std::size_t i = at + 3;
    while (i < entry.size() && (entry[i] == ' ' || entry[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < entry.size() && (entry[i] == '+' || entry[i] == '-')) {
        negative = entry[i] == '-';
        ++i;
    }
    // Saturate instead of overflowing on absurdly long digit runs.
    int64_t value = 0;
    for (; i < entry.size() && IsDigit(entry[i]); ++i) {
        value = std::min<int64_t>(value * 10 + (entry[i] - '0'), INT32_MAX);
    }
    if (negative) {
        value = -value;
    }
    return "COM" + std::to_string(value);
}

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ie = i;
            std::size_t je = j;
            while (ie < a.size() && a[ie] == '0') {
                ++ie;
            }
            while (je < b.size() && b[je] == '0') {
                ++je;
            }
            std::size_t ae = ie;
            std::size_t be = je;
            while (ae < a.size() && IsDigit(a[ae])) {
                ++ae;
            }
            while (be < b.size() && IsDigit(b[be])) {
                ++be;
            }
            if (ae - ie != be - je) {
                return ae - ie < be - je;
            }
            const int cmp = a.compare(ie, ae - ie, b, je, be - je);
            if (cmp != 0) {
                return cmp < 0;
            }
            // Equal values: fewer leading zeros first, so the order stays strict.
            if (ie - i != je - j) {
                return ie - i < je - j;
            }
            i = ae;
            j = be;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

int PortGroup(const std::string& device) {
    if (device.rfind("/tmp/tty", 0) == 0) {
        return 1;
    }
    const auto slash = device.rfind('/');
    const std::string name = slash == std::string::npos ? device : device.substr(slash + 1);
    // ttyUSB, ttyACM and the vendor drivers' own names (ttyCH341USB0, ttyXRUSB0).
    if (name.rfind("tty", 0) == 0 &&
        (name.find("USB") != std::string::npos || name.find("ACM") != std::string::npos)) {
        return 0;
    }
    return 2;
}

bool PortLess(const std::string& a, const std::string& b) {
    const int ga = PortGroup(a);
    const int gb = PortGroup(b);
    if (ga != gb) {
        return ga < gb;
    }
    return NaturalLess(a, b);
}

std::vector<std::string> BuildPortEntries(std::vector<PortCandidate> ports) {
    std::stable_sort(ports.begin(), ports.end(),
                     [](const PortCandidate& x, const PortCandidate& y) {
                         return PortLess(x.device, y.device);
                     });
    std::vector<std::string> entries;
    entries.reserve(ports.size());
    for (const auto& p : ports) {
        if (p.device.empty()) {
            continue;
        }
        if (!entries.empty() && NormalizePortName(entries.back()) == p.device) {
            continue;  // the same device reported twice
        }
        entries.push_back(p.friendly.empty() ? p.device : p.device + " " + p.friendly);
    }
    return entries;
}

int PickPortEntry(const std::vector<std::string>& entries, const std::string& currentPort) {
    if (entries.empty()) {
        return -1;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (NormalizePortName(entries[i]) == currentPort) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

int PortDropDownWidth(const std::vector<std::string>& entriesAsBytes) {
    std::size_t longest = 0;
    for (const auto& e : entriesAsBytes) {
        longest = std::max(longest, e.size());
    }
    return static_cast<int>(static_cast<double>(longest) * 6.5);
}
