#pragma once

#include <string>
#include <string_view>

#include "datapath/text/TextEncoding.h"

namespace zenta {

// Local time of day of a packet, as the window reads it from the clock.
struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Display pieces are byte strings in the window's code page (the window decodes them),
// so the marks are made in that code page too. Latin-1 has neither the arrows nor the
// Chinese words: there the marks are "IN<-*", "OUT->o" and "#".

// "\r\n[hh:mm:ss.mmm]IN←◆" (English) or "\r\n[hh:mm:ss.mmm]收←◆" (Chinese).
std::string ReceiveHeader(const TimeOfDay& t, bool englishUI,
                          TextEncoding encoding = TextEncoding::Gb18030);

// The echo of a send in packet mode: "\r\n[hh:mm:ss.mmm]OUT→◇" or "...]发→◇", the
// bytes in the current display form (HEX or text), then "□".
std::string SendEcho(std::string_view bytes, bool hexDisplay, const TimeOfDay& t, bool englishUI,
                     TextEncoding encoding = TextEncoding::Gb18030);

}  // namespace zenta
