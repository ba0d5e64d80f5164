#include "datapath/PacketHeader.h"

#include <cstdio>

#include "datapath/ByteForms.h"

namespace zenta {

namespace {

// GB18030 bytes of the marks.
constexpr std::string_view kInEnglish = "]IN\xA1\xFB\xA1\xF4";         // ]IN←◆
constexpr std::string_view kInChinese = "]\xCA\xD5\xA1\xFB\xA1\xF4";   // ]收←◆
constexpr std::string_view kOutEnglish = "]OUT\xA1\xFA\xA1\xF3";       // ]OUT→◇
constexpr std::string_view kOutChinese = "]\xB7\xA2\xA1\xFA\xA1\xF3";  // ]发→◇
constexpr std::string_view kEchoEnd = "\xA1\xF5";                      // □

std::string Stamp(const TimeOfDay& t) {
    char buf[40];
    int n = std::snprintf(buf, sizeof buf, "\r\n[%02d:%02d:%02d.%03d", t.hour, t.minute, t.second,
                          t.millisecond);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace

std::string ReceiveHeader(const TimeOfDay& t, bool englishUI) {
    std::string out = Stamp(t);
    out += englishUI ? kInEnglish : kInChinese;
    return out;
}

std::string SendEcho(std::string_view bytes, bool hexDisplay, const TimeOfDay& t, bool englishUI) {
    std::string out = Stamp(t);
    out += englishUI ? kOutEnglish : kOutChinese;
    if (hexDisplay) {
        AppendHex(out, bytes);
    } else {
        AppendDisplayText(out, bytes);
    }
    out += kEchoEnd;
    return out;
}

}  // namespace zenta
