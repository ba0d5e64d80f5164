#pragma once

#include <string>
#include <string_view>

#include "datapath/PacketHeader.h"

namespace zenta {

// "[hh:mm:ss.mmm] ", the time stamp in front of a received line.
std::string FormatStamp(const TimeOfDay& t);

// Puts the time stamp of a line's first byte in front of every line of a byte stream
// fed in chunks (a line starts the stream and follows every LF). The stamps do not
// depend on where the chunks were cut, only on when each line's first byte came.
class LineStamper {
  public:
    // `chunk` with its stamps; `arrived` is when the chunk came.
    std::string Stamp(std::string_view chunk, const TimeOfDay& arrived);
    // The next byte starts a line.
    void Reset() { atLineStart_ = true; }

  private:
    bool atLineStart_ = true;
};

}  // namespace zenta
