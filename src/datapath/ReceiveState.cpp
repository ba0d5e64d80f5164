#include "datapath/ReceiveState.h"

#include <algorithm>

#include "datapath/SettingsValues.h"
#include "datapath/text/Utf8.h"

namespace zenta {

namespace {

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

// How many bytes at the start of `kept` (text display form) finish a character that
// began in `dropped` (raw bytes before it): the trim leaves them out, as the old
// stream showed them as part of that character.
std::size_t CutHead(TextEncoding encoding, std::string_view dropped, std::string_view kept) {
    if (encoding == TextEncoding::Gb18030) {
        return EndsInsidePair(dropped) && !kept.empty() ? 1 : 0;
    }
    if (encoding != TextEncoding::Utf8) {
        return 0;
    }
    // The display form of the last few bytes (CR shows nothing, other ASCII ends any
    // sequence), then the sequence still open there completed with the kept text.
    std::string open;
    for (std::size_t i = dropped.size(); i > 0 && open.size() < 3; --i) {
        const auto b = static_cast<unsigned char>(dropped[i - 1]);
        if (b == 0x0D) {
            continue;
        }
        if (b < 0x80) {
            break;
        }
        open.insert(open.begin(), static_cast<char>(b));
    }
    const std::size_t h = IncompleteTail(encoding, open);
    if (h == 0) {
        return 0;
    }
    std::string joined = open.substr(open.size() - h);
    joined.append(kept.substr(0, 3));
    const int len =
        Utf8SequenceAt(reinterpret_cast<const unsigned char*>(joined.data()), joined.size(), 0);
    return len > 0 ? static_cast<std::size_t>(len) - h : 0;
}

// Feeds the text display form of `raw` to `parser` the way the window sees it (CR
// left out), skipping ahead to the next ESC while no sequence is open.
void TrackDisplay(AnsiParser& parser, std::string_view raw) {
    std::size_t i = 0;
    while (i < raw.size()) {
        if (!parser.InSequence()) {
            i = raw.find('\x1b', i);
            if (i == std::string_view::npos) {
                return;
            }
        }
        const auto b = static_cast<unsigned char>(raw[i++]);
        if (b == 0x00) {
            parser.Step('\\');
            parser.Step('0');
        } else if (b != 0x0D) {
            parser.Step(b);
        }
    }
}

// Leaves out the rest of a sequence that the trim cut (what `parser` holds open) from
// the start of `text`, and puts the style in force there in front.
void StartAfterCutSequence(AnsiParser parser, std::string& text) {
    std::size_t k = 0;
    while (k < text.size() && parser.InSequence()) {
        const auto u = static_cast<unsigned char>(text[k]);
        if (u != '\r' && !parser.Step(u)) {
            break;  // the sequence broke off here: this unit shows
        }
        ++k;
    }
    text.erase(0, k);
    text.insert(0, AnsiParser::StyleSequence(parser.style()));
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
    ReserveRoom(rxTextAll, chunk.size(), 1);
    rxCount += static_cast<std::int64_t>(chunk.size());
    rxRawAll.append(chunk);

    // The text form is kept the same way in both display modes: the trim holds a lead
    // byte back whatever the mode, so the next chunk must take it in either mode, or a
    // later switch to text shows a byte lost and the pairs after it misaligned.
    std::string piece;
    if (!chunk.empty()) {
        piece = heldBytes;
        if (heldCr && chunk.front() != '\n') {
            piece.push_back('\r');
        }
        heldCr = false;
    }
    const std::size_t prefix = piece.size();
    AppendDisplayText(piece, chunk, in.progress);
    if (piece.size() > prefix && chunk.back() == '\r') {
        heldCr = true;
        piece.pop_back();
    }

    if (piece.size() == prefix) {
        if (prefix > heldBytes.size()) {
            // A bare CR held before goes out, and the held bytes before it make no
            // character now.
            heldBytes.clear();
        } else {
            piece.clear();  // nothing displayable: the held bytes stay held
        }
    } else {
        const std::size_t held = IncompleteTail(encoding, piece);
        heldBytes.assign(piece, piece.size() - held, held);
        piece.resize(piece.size() - held);
    }
    rxTextAll.append(piece);

    if (in.packetSplit) {
        const std::uint32_t gap = in.nowTickMs - lastRxTick;
        lastRxTick = in.nowTickMs;
        const std::int64_t timeout = ParseIntegerOr(in.timeoutText, 1);
        if (timeout < static_cast<std::int64_t>(gap)) {
            out.display = ReceiveHeader(in.time, in.englishUI, encoding);
            out.headerSize = out.display.size();
        }
    }
    if (in.hexDisplay) {
        AppendHex(out.display, chunk);
    } else if (out.display.empty()) {
        out.display = std::move(piece);
    } else {
        out.display.append(piece);
    }

    if (rxRawAll.size() > static_cast<std::size_t>(kTrimAbove)) {
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
    heldCr = !text.empty() && text.back() == '\r';
    if (heldCr) {
        text.pop_back();
    }
    const std::string_view dropped = std::string_view(rxRawAll).substr(0, start);
    text.erase(0, CutHead(encoding, dropped, text));
    TrackDisplay(ansiAtStart_, dropped);
    if (ansiColours) {
        StartAfterCutSequence(ansiAtStart_, text);
    }
    const std::size_t held = IncompleteTail(encoding, text);
    heldBytes.assign(text, text.size() - held, held);
    text.resize(text.size() - held);

    // Refilled in place: the room taken for the next round stays.
    rxRawAll.erase(0, start);
    ForgetHex();
    rxTextAll.assign(text);
    // rxCount goes on counting the session: only Clear resets it.
}

const std::string& ReceiveState::HexAll() const {
    if (hexUpTo_ > rxRawAll.size()) {
        ForgetHex();
    }
    if (hexUpTo_ < rxRawAll.size()) {
        const std::size_t adding = rxRawAll.size() - hexUpTo_;
        ReserveRoom(hexAll_, adding, 3);
        AppendHex(hexAll_, std::string_view(rxRawAll).substr(hexUpTo_));
        hexUpTo_ = rxRawAll.size();
    }
    return hexAll_;
}

void ReceiveState::SetHexAll(std::string hex) {
    hexAll_ = std::move(hex);
    hexUpTo_ = rxRawAll.size();
}

// Room stays for the next round.
void ReceiveState::ForgetHex() const {
    hexAll_.clear();
    hexUpTo_ = 0;
}

void ReceiveState::Clear() {
    rxRawAll.clear();
    ForgetHex();
    rxTextAll.clear();
    heldCr = false;
    rxCount = 0;
    txCount = 0;
    ansiAtStart_.Reset();
}

void ReceiveState::ResetReplyStream() {
    rxRawAll.clear();
    ForgetHex();
    rxCount = 0;
}

}  // namespace zenta
