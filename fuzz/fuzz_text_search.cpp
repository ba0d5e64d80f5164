// Find in received text: the fast literal search (with and without case) finds exactly
// what a plain unit-by-unit comparison finds, the step back and forth lands on real
// matches, the live list of a text grown in pieces equals a fresh search, and a hex
// query is either refused or comes out as whole bytes.
#include "FuzzInput.h"

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "datapath/text/LiveMatches.h"
#include "datapath/text/TextSearch.h"

using namespace zenta;

namespace {

// Bytes to units from a small alphabet where case folding matters.
std::u16string Units(const std::string& bytes) {
    static const char16_t kAlphabet[] = u"aAbB \nÄäΣσЖжЀѐѠѡ中0Dd×÷";
    std::u16string out;
    for (unsigned char b : bytes)
        out.push_back(kAlphabet[b % (sizeof kAlphabet / sizeof(char16_t) - 1)]);
    return out;
}

std::vector<TextMatch> Naive(const std::u16string& text, const std::u16string& needle,
                             bool matchCase) {
    std::vector<TextMatch> out;
    if (needle.empty())
        return out;
    auto same = [&](char16_t a, char16_t b) {
        return matchCase ? a == b : FoldCase(a) == FoldCase(b);
    };
    for (std::size_t i = 0; i + needle.size() <= text.size();) {
        std::size_t k = 0;
        while (k < needle.size() && same(text[i + k], needle[k]))
            ++k;
        if (k == needle.size()) {
            out.push_back({i, needle.size()});
            i += needle.size();
        } else {
            ++i;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const bool matchCase = in.ConsumeBool();
    const std::string needleBytes = in.ConsumeRandomLengthString(8);
    const std::size_t cut = in.ConsumeIntegralInRange<std::size_t>(0, 4096);
    const std::u16string needle = Units(needleBytes);
    const std::u16string text = Units(in.ConsumeRemainingBytesAsString());

    const LiteralMatcher m(needle, matchCase);
    const MatchList all = FindAll(text, m, 1u << 20);
    FUZZ_CHECK(all.matches == Naive(text, needle, matchCase));
    FUZZ_CHECK(all.total == all.matches.size() && !all.capped);
    const std::size_t pos = text.empty() ? 0 : cut % (text.size() + 1);
    for (const auto& found : {FindNext(text, m, pos), FindPrevious(text, m, pos)}) {
        FUZZ_CHECK(found.has_value() == !all.matches.empty());
        if (found) {
            FUZZ_CHECK(found->end() <= text.size());
            FUZZ_CHECK(Naive(text.substr(found->pos, found->len), needle, matchCase).size() == 1);
        }
    }

    // The text as it grows: two pieces, the cut anywhere.
    LiveMatches live(1u << 20, 1u << 20);
    const std::size_t split = text.empty() ? 0 : cut % text.size();
    live.update(std::u16string_view(text).substr(0, split), m);
    live.update(text, m);
    FUZZ_CHECK(live.list().total == all.total);

    // Hex queries: refused, or pairs of upper-case digits with one space between.
    if (const auto hex = HexBytesMatcher::Normalize(Units(needleBytes))) {
        FUZZ_CHECK(hex->size() % 3 == 2);
        for (std::size_t i = 0; i < hex->size(); ++i) {
            const char16_t c = (*hex)[i];
            FUZZ_CHECK(i % 3 == 2 ? c == u' '
                                  : ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')));
        }
    }
    return 0;
}
