#include "transfer/Transfer.h"

#include <utility>

namespace zenta::transfer {

void TTransfer::Cancel(std::uint64_t /*nowMs*/) {
    if (!Finished()) {
        End(TransferState::Cancelled, "Transfer cancelled", true);
    }
}

std::string TTransfer::TakeOutput() {
    std::string taken;
    taken.swap(out_);
    return taken;
}

void TTransfer::End(TransferState state, std::string message, bool sendCancel) {
    if (Finished()) {
        return;
    }
    if (sendCancel) {
        // A frame in flight is abandoned: what was queued for it is not sent.
        out_.clear();
        for (int i = 0; i < 5; ++i) {
            Put(kCan);
        }
        // The backspaces wipe the CANs from a terminal that took them as text.
        for (int i = 0; i < 5; ++i) {
            Put(kBs);
        }
    }
    state_ = state;
    message_ = std::move(message);
    deadline_ = UINT64_MAX;
    const std::string more = OnEnd(state == TransferState::Done);
    if (!more.empty()) {
        message_ += message_.empty() ? more : "; " + more;
    }
}

}  // namespace zenta::transfer
