#include "datapath/LoopSend.h"

namespace zenta {

std::optional<int> LoopSendTick(LoopSendState& state, bool portOpen,
                                std::span<const bool> isEmpty) {
    const int n = static_cast<int>(isEmpty.size());
    if (!portOpen || n == 0) {
        return std::nullopt;
    }
    for (;;) {
        state.loopPosition = state.loopPosition % n + 1;
        if (state.loopEmptyCount >= n) {
            state.loopEmptyCount = 0;
            return std::nullopt;
        }
        if (isEmpty[static_cast<std::size_t>(state.loopPosition - 1)]) {
            ++state.loopEmptyCount;
            continue;
        }
        state.loopEmptyCount = 0;
        return state.loopPosition - 1;
    }
}

}  // namespace zenta
