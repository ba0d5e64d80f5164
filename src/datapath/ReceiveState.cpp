#include "datapath/ReceiveState.h"

#include <algorithm>

#include "datapath/SettingsValues.h"

namespace zenta {

namespace {

// Length of `bytes` that ends on a character boundary when read as double-byte text
// (a byte of 80h or more starts a two-byte character); equals size()+1 when the last
// byte is a lead byte without its trail. A byte below 80h always ends a character
// (alone or as a trail), so only the run of high bytes after the last one is paired.
std::size_t WalkPairs(std::string_view bytes) {
    std::size_t from = bytes.size();
    while (from > 0 && static_cast<unsigned char>(bytes[from - 1]) >= 0x80) {
        --from;
    }
    return from + (bytes.size() - from + 1) / 2 * 2;
}

// True when the text display form of `raw` ends on a lead byte that waits for its
// trail, walked as above but over the display bytes (NUL and LF become two ASCII
// bytes, CR none) without building them. Every other byte below 80h ends a character
// there too, so the walk starts after the last one.
bool EndsInsidePair(std::string_view raw) {
    std::size_t from = raw.size();
    while (from > 0) {
        const auto b = static_cast<unsigned char>(raw[from - 1]);
        if (b < 0x80 && b != 0x0D) {
            break;
        }
        --from;
    }
    bool inPair = false;
    for (const char ch : raw.substr(from)) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == 0x0D) {
            continue;
        }
        inPair = !inPair && b >= 0x80;
    }
    return inPair;
}

// The accumulators are largest just before a trim. Room for that is taken at once
// when they first need to grow: growing by doubling would copy everything at each
// step, keep old and new copies at the same time and leave up to half of the last
// step unused. Room that is never written costs no memory.
void ReserveRoom(std::string& s, std::size_t adding, std::size_t perByte) {
    constexpr std::size_t kRoomBytes = ReceiveState::kTrimAbove + (1u << 20);
    const std::size_t need = s.size() + adding * perByte;
    if (need > s.capacity()) {
        s.reserve(std::max(need, kRoomBytes * perByte));
    }
}

}  // namespace

ReceiveOutput ReceiveState::OnChunk(const ReceiveInput& in) {
    ReceiveOutput out;
    const std::string_view chunk = in.chunk;
    if (chunkTap && !chunk.empty()) {
        chunkTap(chunk);
    }

    ReserveRoom(rxRawAll, chunk.size(), 1);
    ReserveRoom(rxHexAll, chunk.size(), 3);
    ReserveRoom(rxTextAll, chunk.size(), 1);
    rxCount += static_cast<std::int64_t>(chunk.size());
    rxRawAll.append(chunk);
    const std::size_t hexStart = rxHexAll.size();
    AppendHex(rxHexAll, chunk);

    // The text form is kept the same way in both display modes: the trim holds a lead
    // byte back whatever the mode, so the next chunk must take it in either mode, or a
    // later switch to text shows a byte lost and the pairs after it misaligned.
    std::string piece;
    if (leadBytePending && !chunk.empty()) {
        piece.push_back(pendingLeadByte);
    }
    const std::size_t prefix = piece.size();
    AppendDisplayText(piece, chunk, in.progress);

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
    } else if (out.display.empty()) {
        out.display = std::move(piece);
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
    const std::string_view kept = std::string_view(rxRawAll).substr(start);

    // The text is rebuilt from the kept bytes alone: it starts on a character boundary
    // of the old stream, and an unpaired lead byte at its end becomes the held byte.
    // Deriving both from the rebuilt text is what keeps a byte from being shown in the
    // text and held back for the next chunk at the same time.
    std::string text = ToDisplayText(kept);
    if (EndsInsidePair(std::string_view(rxRawAll).substr(0, start)) && !text.empty()) {
        text.erase(0, 1);
    }
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0x80 &&
        WalkPairs(text) == text.size() + 1) {
        pendingLeadByte = text.back();
        leadBytePending = true;
        text.pop_back();
    } else {
        leadBytePending = false;
    }

    // Refilled in place: the room taken for the next round stays.
    rxRawAll.erase(0, start);
    rxHexAll.clear();
    AppendHex(rxHexAll, rxRawAll);
    rxTextAll.assign(text);
    rxCount = static_cast<std::int64_t>(keep);
}

void ReceiveState::Clear() {
    rxRawAll.clear();
    rxHexAll.clear();
    rxTextAll.clear();
    rxCount = 0;
    txCount = 0;
}

void ReceiveState::ResetReplyStream() {
    rxRawAll.clear();
    rxHexAll.clear();
    rxCount = 0;
}

}  // namespace zenta
