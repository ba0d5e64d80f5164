#pragma once

#include <cstdint>
#include <string>

namespace devsim {

// The slave side's terminal settings as the master sees them. Kept free of <termios.h>
// types because the kernel's termios2 (needed for arbitrary bit rates) clashes with them.
struct LineSettings {
    uint32_t iflag = 0;
    uint32_t oflag = 0;
    uint32_t cflag = 0;
    uint32_t lflag = 0;
    uint32_t ispeed = 0;
    uint32_t ospeed = 0;
    uint8_t cc[19] = {};

    bool operator==(const LineSettings&) const = default;
};

// Reads the settings of the slave through the master descriptor (TCGETS2).
bool ReadLineSettings(int masterFd, LineSettings& out);

// Puts the slave into raw mode at 9600 bit/s so that nothing written by either side is
// echoed or translated before a program configures the port itself.
bool MakeLineRaw(int masterFd);

// "115200 8N1", with " RTS/CTS" and/or " XON/XOFF" appended when those are on.
std::string DescribeLine(const LineSettings& s);

}  // namespace devsim
