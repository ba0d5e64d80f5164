#pragma once

#include <chrono>
#include <cstdint>

#include "devsim/LineSettings.h"
#include "devsim/Options.h"
#include "devsim/Session.h"

namespace devsim {

int RunBootloader(Session& session, const Options& options);

// Time one character takes on the line: start bit, data bits, the even parity bit the
// bootloader always uses (a pseudo-terminal never reports parity), stop bits.
std::chrono::nanoseconds CharacterTime(const LineSettings& line);

}  // namespace devsim
