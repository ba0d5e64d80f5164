#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "datapath/ByteForms.h"
#include "datapath/PacketHeader.h"
#include "datapath/text/AnsiParser.h"
#include "datapath/text/TextEncoding.h"

namespace zenta {

// What one receive event needs to know besides the bytes.
struct ReceiveInput {
    std::string_view chunk;
    bool hexDisplay = false;
    bool packetSplit = false;
    std::string_view timeoutText;  // packet timeout box; 1 ms when not a number
    std::uint32_t nowTickMs = 0;   // monotonic milliseconds, wraps like a tick count
    TimeOfDay time;                // local time for the packet header
    bool englishUI = false;
    ProgressFn progress;  // for chunks of kDisplayProgressThreshold bytes or more
};

struct ReceiveOutput {
    // GB18030 bytes to append to the window: packet header (if any) + display piece.
    std::string display;
    // Bytes at the start of `display` that are the packet header (in `encoding`).
    std::size_t headerSize = 0;
    // The accumulators were trimmed: replace the whole window text with
    // WindowText(hexDisplay) instead of appending `display`.
    bool trimmed = false;
};

// The receive accumulators and counters, and the per-event receive logic without I/O.
// Fields are public because the file preview and the programmer also write them.
class ReceiveState {
  public:
    static constexpr std::int64_t kTrimAbove = 5'000'000;
    static constexpr std::size_t kTrimKeep = 100'000;

    std::string rxRawAll;   // raw bytes since the last clear
    std::string rxTextAll;  // their text display form (after the hold-back below)
    std::int64_t rxCount = 0;
    std::int64_t txCount = 0;
    // The end of the text form that is not a whole character yet (a GB18030 lead byte,
    // the start of a UTF-8 sequence): held back, it begins the next chunk's text.
    std::string heldBytes;
    // The last chunk ended with a CR: whether it is bare or half of a CR LF is told by the
    // next byte.
    bool heldCr = false;
    // Code page of the text form: decides what counts as a whole character above and
    // where the text starts after a trim. Changing it takes effect with the next chunk.
    TextEncoding encoding = TextEncoding::Gb18030;
    // The window shows colour sequences as colours: a trim then starts the text after
    // a sequence it cut and with the colours in force there.
    bool ansiColours = true;
    std::uint32_t lastRxTick = 0;
    // Sees every received chunk in arrival order (a programming run reads its replies
    // here, unaffected by a Clear or a trim of the accumulators).
    std::function<void(std::string_view)> chunkTap;

    // One receive event: accumulate, convert, hold back a split double-byte
    // character, add the packet header, and trim when the count passes kTrimAbove.
    ReceiveOutput OnChunk(const ReceiveInput& in);

    // The HEX display form of rxRawAll. Made when it is asked for (a switch to HEX, a
    // trim, a save), not for every chunk: most of the time nobody reads it.
    const std::string& HexAll() const;
    // A file preview's HEX text, which is not that of the raw form it leaves; bytes
    // received later are added to it.
    void SetHexAll(std::string hex);

    // The text the window shows for a display mode (HEX switch, trim).
    std::string_view WindowText(bool hexDisplay) const {
        return hexDisplay ? std::string_view(HexAll()) : std::string_view(rxTextAll);
    }

    // Clear button: empties accumulators and both counters; the held lead byte and
    // the packet timer survive.
    void Clear();

    // A programming run counts replies from its first byte.
    void ResetReplyStream();

  private:
    void Trim();
    void ForgetHex() const;
    mutable std::string hexAll_;
    // Bytes at the start of rxRawAll that hexAll_ holds the HEX form of.
    mutable std::size_t hexUpTo_ = 0;
    // Escape sequence state at the start of rxRawAll's text form.
    AnsiParser ansiAtStart_;
};

}  // namespace zenta
