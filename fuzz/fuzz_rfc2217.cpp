// What a network port decodes from a server: any bytes, in any split, yield data no longer
// than the input, bounded replies and sub-negotiations, and data that survives escaping
// and decoding again unchanged.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "serial/net/ComPortOption.h"
#include "serial/net/Telnet.h"

using namespace zenta::net;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks how the stream is cut into reads.
    const std::size_t piece = data[0] % 16 + 1;
    const char* in = reinterpret_cast<const char*>(data + 1);
    const std::size_t n = size - 1;

    TTelnetCodec codec;
    TComPortAnswers answers;
    codec.SetSubHandler([&](uint8_t option, std::string_view payload) {
        FUZZ_CHECK(payload.size() <= TTelnetCodec::kMaxSub);
        if (option == telnet::kOptComPort) {
            answers.Take(payload);
        }
    });
    codec.Greeting(true);
    std::string decoded;
    for (std::size_t i = 0; i < n; i += piece) {
        codec.Feed(in + i, std::min(piece, n - i), decoded);
        FUZZ_CHECK(codec.TakeReplies().size() <= TTelnetCodec::kMaxReplies);
    }
    FUZZ_CHECK(decoded.size() <= n);
    FUZZ_CHECK(answers.Signature().size() <= TComPortAnswers::kMaxSignature);

    std::string wire;
    AppendEscaped(wire, decoded.data(), decoded.size());
    TTelnetCodec again;
    std::string back;
    again.Feed(wire.data(), wire.size(), back);
    FUZZ_CHECK(back == decoded);
    FUZZ_CHECK(again.TakeReplies().empty());
    return 0;
}
