#include "transfer/FileName.h"

#include <cstddef>

namespace zenta::transfer {

namespace {

constexpr std::size_t kMaxName = 200;  // leaves room for " (99).part" under NAME_MAX

}  // namespace

std::string PlainFileName(std::string_view raw, std::string_view fallback) {
    // A NUL ends the name, as it does on the far end.
    if (const auto nul = raw.find('\0'); nul != std::string_view::npos) {
        raw = raw.substr(0, nul);
    }
    if (const auto slash = raw.find_last_of("/\\"); slash != std::string_view::npos) {
        raw = raw.substr(slash + 1);
    }
    std::string name;
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == ':') {
            continue;
        }
        name.push_back(ch);
    }
    // Leading dots would hide the file or make "..", trailing blanks and dots confuse users.
    const auto first = name.find_first_not_of(". ");
    name = first == std::string::npos ? std::string() : name.substr(first);
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) {
        name.pop_back();
    }
    if (name.size() > kMaxName) {
        std::size_t cut = kMaxName;
        // Back up to the start of a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
    }
    return name.empty() ? std::string(fallback) : name;
}

}  // namespace zenta::transfer
