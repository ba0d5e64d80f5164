#include "update/UpdatePage.h"

#include <algorithm>
#include <cctype>

namespace zenta {
namespace {

// Up to the first CR, or all of it.
std::string_view FirstLine(std::string_view text) {
    return text.substr(0, text.find('\r'));
}

// Reads a link from the start of `rest` and cuts `rest` after the CR LF that ends it.
// Without any "http" only the first character goes.
std::string TakeLink(std::string_view& rest) {
    const std::size_t p = rest.find("http");
    if (p == std::string_view::npos) {
        rest.remove_prefix(std::min<std::size_t>(1, rest.size()));
        return {};
    }
    const std::size_t cr = rest.find('\r', p);
    std::string link(rest.substr(p, cr == std::string_view::npos ? rest.size() - p : cr - p));
    rest.remove_prefix(cr == std::string_view::npos ? rest.size() : std::min(rest.size(), cr + 2));
    return link;
}

}  // namespace

UpdatePage ParseUpdatePage(std::string_view body) {
    UpdatePage page;
    std::string_view rest = body;
    for (std::size_t k = 0; k < 5; ++k) {
        page.captions[k] = std::string(FirstLine(rest));
        page.links[k] = TakeLink(rest);
    }
    page.version = std::string(FirstLine(rest));
    TakeLink(rest);
    page.notice = std::string(FirstLine(rest));
    const std::size_t p = rest.find("http");
    if (p != std::string_view::npos) {
        page.download = std::string(FirstLine(rest.substr(p)));
    }
    return page;
}

int CompareVersionBytes(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

LinkBarGeometry LayoutLinkBar(const std::array<std::size_t, 5>& captionBytes,
                              const std::array<int, 5>& textWidths, int h1Left) {
    LinkBarGeometry g;
    int sum = 0;
    for (std::size_t k = 0; k < 5; ++k) {
        // A page of any size must not make a label wider than a widget can be.
        const std::size_t bytes = std::min<std::size_t>(captionBytes[k], 100000);
        g.widths[k] = std::max(static_cast<int>(bytes + 1) * 6, textWidths[k]);
        g.lefts[k] = k == 0 ? h1Left : sum;
        sum += g.widths[k];
    }
    return g;
}

bool IsWebLink(std::string_view link) {
    auto startsWith = [&](std::string_view prefix) {
        if (link.size() < prefix.size()) {
            return false;
        }
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(link[i])) != prefix[i]) {
                return false;
            }
        }
        return link.size() > prefix.size();
    };
    if (!startsWith("http://") && !startsWith("https://")) {
        return false;
    }
    return std::none_of(link.begin(), link.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7F || c == '"';
    });
}

}  // namespace zenta
