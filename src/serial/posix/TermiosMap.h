// Translation of a device control record onto the kernel's termios2.
#pragma once

#include <asm/termbits.h>

#include "serial/CPortSettings.h"

namespace zenta {

// Fills t for dcb in raw mode, keeping nothing of its old contents but the fields termios
// lacks a setting for. Returns 0, or EINVAL for a configuration the line cannot take
// (bit rate 0 or above 2^31-1, 1.5 stop bits, data bits outside 5-8, unknown parity).
int DcbToTermios2(const TDCB& dcb, struct termios2& t);

// The line values t holds: bit rate, data bits, parity and stop bits of dcb; the rest of
// dcb is left alone.
void Termios2ToLine(const struct termios2& t, TDCB& dcb);

}  // namespace zenta
