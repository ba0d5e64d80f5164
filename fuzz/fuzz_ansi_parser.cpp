// Escape sequences in received text, fed in random pieces: the visible text and its
// styles do not depend on the cuts, no ESC is ever shown, every mark lies inside the
// text, and the style sequence written for a trimmed text restores the style.
#include "FuzzInput.h"

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "datapath/text/AnsiParser.h"

using namespace zenta;

namespace {

struct Result {
    std::u16string text;
    std::vector<StyleMark> marks;
    TextStyle end;
};

Result Run(const std::u16string& in, const std::vector<std::size_t>& cuts) {
    AnsiParser parser;
    Result r;
    std::size_t from = 0;
    for (std::size_t i = 0; from < in.size(); ++i) {
        const std::size_t n = cuts.empty() ? in.size() : cuts[i % cuts.size()] + 1;
        const std::size_t to = std::min(in.size(), from + n);
        parser.Feed(std::u16string_view(in).substr(from, to - from), r.text, r.marks);
        from = to;
    }
    r.end = parser.style();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    std::vector<std::size_t> cuts(in.ConsumeIntegralInRange<std::size_t>(0, 8));
    for (std::size_t& c : cuts) {
        c = in.ConsumeIntegralInRange<std::size_t>(0, 40);
    }
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    // Bytes as the units a Latin-1 decoder makes (every value reaches the parser).
    std::u16string text;
    for (const unsigned char b : bytes) {
        text.push_back(b);
    }

    const Result whole = Run(text, {});
    const Result pieces = Run(text, cuts);
    FUZZ_CHECK(whole.text == pieces.text);
    FUZZ_CHECK(whole.end == pieces.end);
    FUZZ_CHECK(whole.marks.size() == pieces.marks.size());
    for (std::size_t i = 0; i < whole.marks.size(); ++i) {
        FUZZ_CHECK(whole.marks[i].offset == pieces.marks[i].offset);
        FUZZ_CHECK(whole.marks[i].style == pieces.marks[i].style);
        FUZZ_CHECK(whole.marks[i].offset <= whole.text.size());
        FUZZ_CHECK(i == 0 || whole.marks[i - 1].offset < whole.marks[i].offset);
    }
    FUZZ_CHECK(whole.text.size() <= text.size());
    FUZZ_CHECK(whole.text.find(u'\x1b') == std::u16string::npos);

    AnsiParser again;
    for (const char c : AnsiParser::StyleSequence(whole.end)) {
        FUZZ_CHECK(again.Step(static_cast<unsigned char>(c)));
    }
    FUZZ_CHECK(again.style() == whole.end && !again.InSequence());
    return 0;
}
