#pragma once
// The window's two clocks: local time of day for packet headers and echoes, and a
// millisecond tick for the packet split.

#include <QTime>
#include <cstdint>

#include "datapath/PacketHeader.h"
#include "serial/PortCore.h"

namespace zenta {

inline TimeOfDay Now() {
    const QTime now = QTime::currentTime();
    return {now.hour(), now.minute(), now.second(), now.msec()};
}

// The engine's monotonic milliseconds, wrapping at 32 bits like a system tick count.
inline uint32_t TickMs() {
    return static_cast<uint32_t>(MonotonicMs());
}

}  // namespace zenta
