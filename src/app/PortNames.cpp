#include "app/PortNames.h"

#include "serial/CPort.h"
#include "serial/net/NetUrl.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string NormalizePortName(const std::string& entry) {
    // A network port is named by its URL; a wrong one is refused, with its reason, at open.
    if ((!entry.empty() && entry[0] == '/') || zenta::net::IsNetPortName(entry)) {
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

std::vector<std::string> BuildPortEntries(std::vector<PortCandidate> ports) {
    std::stable_sort(ports.begin(), ports.end(),
                     [](const PortCandidate& x, const PortCandidate& y) {
                         return zenta::PortOrderLess(x.device, y.device);
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
