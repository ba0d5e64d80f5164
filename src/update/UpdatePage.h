#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zenta {

// What the update page says, as raw bytes of the body. Lines end with CR LF; a link is
// whatever follows the first "http" up to the next CR, wherever it stands.
struct UpdatePage {
    std::array<std::string, 5> captions;
    std::array<std::string, 5> links;
    std::string version;
    std::string notice;
    std::string download;
};

UpdatePage ParseUpdatePage(std::string_view body);

// Byte-wise compare as unsigned codes; a prefix is the smaller. Returns -1, 0 or 1.
int CompareVersionBytes(std::string_view a, std::string_view b);

// Link bar geometry: each label is (caption bytes + 1) * 6 px wide, but never narrower
// than its text needs; the labels after H1 follow one another from x = width of H1.
struct LinkBarGeometry {
    std::array<int, 5> lefts{};
    std::array<int, 5> widths{};
};
LinkBarGeometry LayoutLinkBar(const std::array<std::size_t, 5>& captionBytes,
                              const std::array<int, 5>& textWidths, int h1Left);

// An address that may be handed to the browser: http or https, nothing that a shell or a
// URL handler could read as more than one address.
bool IsWebLink(std::string_view link);

}  // namespace zenta
