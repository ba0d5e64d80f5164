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

struct Marks {
    std::string_view inEnglish, inChinese, outEnglish, outChinese, echoEnd;
};

const Marks& MarksFor(TextEncoding encoding) {
    static const Marks gb{kInEnglish, kInChinese, kOutEnglish, kOutChinese, kEchoEnd};
    // UTF-8 bytes of the same marks.
    static const Marks utf8{"]IN\xE2\x86\x90\xE2\x97\x86", "]\xE6\x94\xB6\xE2\x86\x90\xE2\x97\x86",
                            "]OUT\xE2\x86\x92\xE2\x97\x87", "]\xE5\x8F\x91\xE2\x86\x92\xE2\x97\x87",
                            "\xE2\x96\xA1"};
    static const Marks latin1{"]IN<-*", "]IN<-*", "]OUT->o", "]OUT->o", "#"};
    switch (encoding) {
        case TextEncoding::Utf8:
            return utf8;
        case TextEncoding::Latin1:
            return latin1;
        case TextEncoding::Gb18030:
            break;
    }
    return gb;
}

std::string Stamp(const TimeOfDay& t) {
    char buf[40];
    int n = std::snprintf(buf, sizeof buf, "\r\n[%02d:%02d:%02d.%03d", t.hour, t.minute, t.second,
                          t.millisecond);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace

std::string ReceiveHeader(const TimeOfDay& t, bool englishUI, TextEncoding encoding) {
    const Marks& m = MarksFor(encoding);
    std::string out = Stamp(t);
    out += englishUI ? m.inEnglish : m.inChinese;
    return out;
}

std::string SendEcho(std::string_view bytes, bool hexDisplay, const TimeOfDay& t, bool englishUI,
                     TextEncoding encoding) {
    const Marks& m = MarksFor(encoding);
    std::string out = Stamp(t);
    out += englishUI ? m.outEnglish : m.outChinese;
    if (hexDisplay) {
        AppendHex(out, bytes);
    } else {
        AppendDisplayText(out, bytes);
    }
    out += m.echoEnd;
    return out;
}

}  // namespace zenta
