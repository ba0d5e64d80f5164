#include "datapath/text/LineStamper.h"

#include <cstdio>

namespace zenta {

std::string FormatStamp(const TimeOfDay& t) {
    char buf[48];
    const int n = std::snprintf(buf, sizeof buf, "[%02d:%02d:%02d.%03d] ", t.hour, t.minute,
                                t.second, t.millisecond);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string LineStamper::Stamp(std::string_view chunk, const TimeOfDay& arrived) {
    std::string out;
    if (chunk.empty()) {
        return out;
    }
    const std::string stamp = FormatStamp(arrived);
    out.reserve(chunk.size() + stamp.size());
    std::size_t from = 0;
    while (from < chunk.size()) {
        if (atLineStart_) {
            out += stamp;
        }
        const std::size_t lf = chunk.find('\n', from);
        const std::size_t to = lf == std::string_view::npos ? chunk.size() : lf + 1;
        out.append(chunk.substr(from, to - from));
        atLineStart_ = lf != std::string_view::npos;
        from = to;
    }
    return out;
}

}  // namespace zenta
