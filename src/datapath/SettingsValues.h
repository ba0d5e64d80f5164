#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zenta {

// The one integer rule of the settings loader and the interval/timeout boxes:
// optional blanks (space, tab) around an optional sign and decimal digits only, in
// the range of a 32-bit int. Anything else ("12abc", "", "0x10", "99999999999")
// is not an integer, and the caller's default applies.
// Header-only so that the Qt-side settings code shares it without a link dependency.
inline std::optional<int> ParseInteger(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value > INT_MAX || value < INT_MIN) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

inline int ParseIntegerOr(std::string_view text, int fallback) {
    return ParseInteger(text).value_or(fallback);
}

}  // namespace zenta
