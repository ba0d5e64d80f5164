#include "datapath/ReceiveState.h"

#include <algorithm>

#include "datapath/SettingsValues.h"

namespace zenta {

namespace {

// Length of `bytes` that ends on a character boundary when read as double-byte text
// (a byte of 80h or more starts a two-byte character); equals size()+1 when the last
// byte is a lead byte without its trail.
std::size_t WalkPairs(std::string_view bytes) {
    std::size_t i = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    while (i < n) {
        i += p[i] < 0x80 ? 1 : 2;
    }
    return i;
}

}  // namespace

ReceiveOutput ReceiveState::OnChunk(const ReceiveInput& in) {
    ReceiveOutput out;
    const std::string_view chunk = in.chunk;
    if (chunkTap && !chunk.empty()) {
        chunkTap(chunk);
    }

    if (!chunk.empty()) {
        pendingIsRawTail_ = false;  // new bytes end the raw stream now
    }
    rxCount += static_cast<std::int64_t>(chunk.size());
    rxRawAll.append(chunk);
    const std::size_t hexStart = rxHexAll.size();
    AppendHex(rxHexAll, chunk);

    std::string piece;
    if (!in.hexDisplay && leadBytePending && !chunk.empty()) {
        piece.push_back(pendingLeadByte);
    }
    const std::size_t prefix = piece.size();
    AppendDisplayText(piece, chunk, in.progress);

    if (!in.hexDisplay) {
        if (piece.size() == prefix) {
            piece.clear();  // nothing displayable: the held byte stays held
        } else {
            const auto last = static_cast<unsigned char>(piece.back());
            if (last < 0x80 || WalkPairs(piece) == piece.size()) {
                leadBytePending = false;
            } else {
                pendingLeadByte = piece.back();
                leadBytePending = true;
                piece.pop_back();
                pendingIsRawTail_ = static_cast<unsigned char>(chunk.back()) >= 0x80;
            }
        }
    }
    rxTextAll.append(piece);

    if (in.packetSplit) {
        const std::uint32_t gap = in.nowTickMs - lastRxTick;
        lastRxTick = in.nowTickMs;
        const std::int64_t timeout = ParseIntegerOr(in.timeoutText, 1);
        if (timeout < static_cast<std::int64_t>(gap)) {
            out.display = ReceiveHeader(in.time, in.englishUI);
        }
    }
    if (in.hexDisplay) {
        out.display.append(rxHexAll, hexStart, std::string::npos);
    } else {
        out.display.append(piece);
    }

    if (rxCount > kTrimAbove) {
        Trim();
        out.trimmed = true;
    }
    return out;
}

void ReceiveState::Trim() {
    const std::size_t keep = std::min(kTrimKeep, rxRawAll.size());
    const std::size_t start = rxRawAll.size() - keep;

    // Start the text on a character boundary of the old stream.
    std::size_t textStart = start;
    if (WalkPairs(std::string_view(rxRawAll).substr(0, start)) == start + 1) {
        ++textStart;
    }
    std::size_t textEnd = rxRawAll.size();
    if (leadBytePending && pendingIsRawTail_ && textEnd > textStart) {
        --textEnd;  // still held back: it will arrive with the next piece
    }
    std::string text =
        ToDisplayText(std::string_view(rxRawAll).substr(textStart, textEnd - textStart));

    rxRawAll.erase(0, start);
    rxHexAll = BytesToHex(rxRawAll);
    rxTextAll = std::move(text);
    rxCount = static_cast<std::int64_t>(keep);
}

void ReceiveState::Clear() {
    rxRawAll.clear();
    rxHexAll.clear();
    rxTextAll.clear();
    rxCount = 0;
    txCount = 0;
    pendingIsRawTail_ = false;
}

void ReceiveState::ResetReplyStream() {
    rxRawAll.clear();
    rxHexAll.clear();
    rxCount = 0;
    pendingIsRawTail_ = false;
}

}  // namespace zenta
