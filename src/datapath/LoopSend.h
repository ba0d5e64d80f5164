#pragma once

#include <optional>
#include <span>

namespace zenta {

// Where the loop send of the prepared strings stands between ticks.
struct LoopSendState {
    int loopPosition = 0;    // number (1-based) of the entry taken last; 0 before the first
    int loopEmptyCount = 0;  // empty entries skipped in a row
};

// One timer tick over the entries' "is empty" flags (50 in the window). Returns the
// 0-based entry to send, or nullopt: port closed (nothing moves), or a full round
// found every entry empty (the count restarts and the tick sends nothing).
std::optional<int> LoopSendTick(LoopSendState& state, bool portOpen, std::span<const bool> isEmpty);

}  // namespace zenta
