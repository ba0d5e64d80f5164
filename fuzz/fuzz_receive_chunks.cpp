// Received bytes cut into random chunks show the same as the whole stream at once: the
// double-byte hold-back, NUL/CR/LF forms and the HEX form do not depend on the cuts.
#include "FuzzInput.h"

#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "datapath/ByteForms.h"
#include "datapath/ReceiveState.h"

using namespace zenta;

namespace {

// The two states live across inputs and start each one empty but with their room kept:
// a fresh state reserves the room of a whole trim window (tens of MiB), which dominated
// the time per input.
ReceiveState& Fresh(ReceiveState& s) {
    s.Clear();
    s.heldBytes.clear();
    s.ansiColours = true;
    s.lastRxTick = 0;
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zenta::FuzzInput in(data, size);
    const bool hex = in.ConsumeBool();
    // Display mode switched between chunks: the text form must not notice.
    const bool switching = in.ConsumeBool();
    const TextEncoding encoding = kAllTextEncodings[in.ConsumeIntegralInRange<int>(0, 2)];
    std::vector<std::size_t> cuts(in.ConsumeIntegralInRange<std::size_t>(1, 16));
    for (std::size_t& c : cuts) {
        c = in.ConsumeIntegralInRange<std::size_t>(0, 64);
    }
    const std::string stream = in.ConsumeRemainingBytesAsString();

    static ReceiveState stateA;
    static ReceiveState stateB;
    ReceiveInput whole;
    whole.hexDisplay = hex;
    ReceiveState& a = Fresh(stateA);
    a.encoding = encoding;
    whole.chunk = stream;
    const std::string wholeDisplay = a.OnChunk(whole).display;

    ReceiveState& b = Fresh(stateB);
    b.encoding = encoding;
    std::string shown;
    std::size_t pos = 0;
    for (std::size_t i = 0; pos < stream.size(); ++i) {
        ReceiveInput part;
        part.hexDisplay = switching ? (i % 3 == 1) : hex;
        const std::size_t n = std::min(cuts[i % cuts.size()], stream.size() - pos);
        part.chunk = std::string_view(stream).substr(pos, n);
        pos += n;
        const std::string display = b.OnChunk(part).display;
        shown += switching ? std::string() : display;
        if (i > stream.size() + cuts.size()) {
            break;  // all cuts empty
        }
    }
    if (pos < stream.size()) {
        ReceiveInput rest;
        rest.hexDisplay = hex;
        rest.chunk = std::string_view(stream).substr(pos);
        shown += b.OnChunk(rest).display;
    }

    FUZZ_CHECK(switching || shown == wholeDisplay);
    FUZZ_CHECK(a.rxRawAll == b.rxRawAll && a.rxRawAll == stream);
    FUZZ_CHECK(a.HexAll() == b.HexAll() && a.HexAll() == BytesToHex(stream));
    FUZZ_CHECK(a.rxTextAll == b.rxTextAll);
    FUZZ_CHECK(a.rxCount == b.rxCount);
    FUZZ_CHECK(a.heldBytes == b.heldBytes);
    FUZZ_CHECK(a.heldCr == b.heldCr);
    // The text form of the whole stream, less a last CR that waits to be told bare from
    // CR LF, and a lead byte still waiting for its trail.
    std::string text = ToDisplayText(stream);
    if (a.heldCr) {
        FUZZ_CHECK(!text.empty() && text.back() == '\r');
        text.pop_back();
    }
    FUZZ_CHECK(text.size() >= a.heldBytes.size());
    text.resize(text.size() - a.heldBytes.size());
    FUZZ_CHECK(a.rxTextAll == text);
    if (switching) {
        return 0;
    }
    FUZZ_CHECK(shown == (hex ? BytesToHex(stream) : text));
    return 0;
}
