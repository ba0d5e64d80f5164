#pragma once

#include <string>
#include <string_view>

namespace zenta {

// Local time of day of a packet, as the window reads it from the clock.
struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Display pieces are GB18030 byte strings (the receive window decodes them), so the
// marks are stored in that encoding too.

// "\r\n[hh:mm:ss.mmm]IN←◆" (English) or "\r\n[hh:mm:ss.mmm]收←◆" (Chinese).
std::string ReceiveHeader(const TimeOfDay& t, bool englishUI);

// The echo of a send in packet mode: "\r\n[hh:mm:ss.mmm]OUT→◇" or "...]发→◇", the
// bytes in the current display form (HEX or text), then "□".
std::string SendEcho(std::string_view bytes, bool hexDisplay, const TimeOfDay& t, bool englishUI);

}  // namespace zenta
