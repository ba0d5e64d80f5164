// The update page and the version compare. Any body: the parser reads nothing past it and
// each field is a piece of it without a CR. The compare is a total order on byte strings.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "update/UpdatePage.h"

namespace {

bool IsPieceOf(const std::string& field, std::string_view body) {
    return field.find('\r') == std::string::npos &&
           (field.empty() || body.find(field) != std::string_view::npos);
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zenta::FuzzInput in(data, size);
    const std::string a = in.ConsumeRandomLengthString(64);
    const std::string b = in.ConsumeRandomLengthString(64);
    const std::string rest = in.ConsumeRemainingBytesAsString();

    // Versions: antisymmetric, equal only for equal bytes, and the order of unsigned bytes
    // (char_traits<char> compares as unsigned char).
    const int ab = zenta::CompareVersionBytes(a, b);
    FUZZ_CHECK(ab == -zenta::CompareVersionBytes(b, a));
    FUZZ_CHECK((ab == 0) == (a == b));
    FUZZ_CHECK(ab == Sign(a.compare(b)));
    FUZZ_CHECK(zenta::CompareVersionBytes(a, a) == 0);
    FUZZ_CHECK(zenta::CompareVersionBytes(a, a + '\0') == -1);

    // The body on the heap at exactly its size, so ASan sees any read past it.
    auto copy = std::make_unique<char[]>(rest.size());
    std::copy(rest.begin(), rest.end(), copy.get());
    const std::string_view body(copy.get(), rest.size());
    const zenta::UpdatePage page = zenta::ParseUpdatePage(body);
    std::array<std::size_t, 5> bytes{};
    std::array<int, 5> textWidths{};
    for (std::size_t k = 0; k < 5; ++k) {
        FUZZ_CHECK(IsPieceOf(page.captions[k], body));
        FUZZ_CHECK(IsPieceOf(page.links[k], body));
        FUZZ_CHECK(page.links[k].empty() || page.links[k].rfind("http", 0) == 0);
        (void)zenta::IsWebLink(page.links[k]);
        bytes[k] = page.captions[k].size();
        textWidths[k] = static_cast<int>(std::min<std::size_t>(bytes[k] * 12, 1200000));
    }
    FUZZ_CHECK(IsPieceOf(page.version, body));
    FUZZ_CHECK(IsPieceOf(page.notice, body));
    FUZZ_CHECK(IsPieceOf(page.download, body));
    FUZZ_CHECK(page.download.empty() || page.download.rfind("http", 0) == 0);
    (void)zenta::CompareVersionBytes(page.version, a);

    // Labels follow one another without overlap, each at least as wide as its text.
    const zenta::LinkBarGeometry g = zenta::LayoutLinkBar(bytes, textWidths, 3);
    FUZZ_CHECK(g.lefts[0] == 3);
    for (std::size_t k = 0; k < 5; ++k) {
        FUZZ_CHECK(g.widths[k] >= 6 && g.widths[k] >= textWidths[k]);
        if (k > 1) {
            FUZZ_CHECK(g.lefts[k] == g.lefts[k - 1] + g.widths[k - 1]);
        }
    }
    return 0;
}
