#include "plot/LineParser.h"

#include <charconv>
#include <cmath>

namespace zenta::plot {
namespace {

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsAsciiLetter(unsigned char c) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}
bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}

// Field separators. Control bytes count too, so binary noise and colour sequences split
// fields instead of gluing numbers to their neighbours.
bool IsSeparator(unsigned char c) {
    return c == ' ' || c == ',' || c == ';' || c < 0x20 || c == 0x7F;
}

bool IsNameEnd(unsigned char c) {
    return IsSeparator(c) || c == ':' || c == '=';
}

int HexDigit(unsigned char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    const unsigned char l = c | 0x20;
    if (l >= 'a' && l <= 'f') {
        return l - 'a' + 10;
    }
    return -1;
}

// Matches `word` case-insensitively at the start of `text`, not followed by a letter.
bool StartsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) | 0x20) != word[i]) {
            return false;
        }
    }
    return text.size() == word.size() ||
           !IsAsciiLetter(static_cast<unsigned char>(text[word.size()]));
}

// Past an escape sequence starting at `i` (ESC): CSI sequences as terminals colour text,
// otherwise ESC and the byte after it.
std::size_t SkipEscape(std::string_view line, std::size_t i) {
    ++i;
    if (i < line.size() && line[i] == '[') {
        ++i;
        while (i < line.size()) {
            const auto c = static_cast<unsigned char>(line[i++]);
            if (c >= 0x40 && c <= 0x7E) {
                break;
            }
        }
        return i;
    }
    return i < line.size() ? i + 1 : i;
}

std::size_t NextSeparator(std::string_view line, std::size_t i) {
    while (i < line.size() && !IsSeparator(static_cast<unsigned char>(line[i]))) {
        ++i;
    }
    return i;
}

// A name starts with a letter of any script or '_' after leading punctuation ("[temp");
// a word that starts with a digit there ("12:30:45", "[12:30") is a time, not a name.
std::string_view NameOf(std::string_view word) {
    std::size_t b = 0;
    while (b < word.size()) {
        const auto c = static_cast<unsigned char>(word[b]);
        if (c >= 0x80 || IsAsciiLetter(c) || c == '_' || IsDigit(c)) {
            break;
        }
        ++b;
    }
    if (b == word.size() || IsDigit(static_cast<unsigned char>(word[b]))) {
        return {};
    }
    return word.substr(b);
}

}  // namespace

std::size_t ParseNumber(std::string_view text, double& value, bool& finite) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);
    if (rest.size() >= 3 && rest[0] == '0' && (rest[1] | 0x20) == 'x' &&
        HexDigit(static_cast<unsigned char>(rest[2])) >= 0) {
        double v = 0;
        std::size_t j = 2;
        for (int d; j < rest.size() && (d = HexDigit(static_cast<unsigned char>(rest[j]))) >= 0;
             ++j) {
            v = v * 16 + d;
        }
        value = negative ? -v : v;
        finite = std::isfinite(value);
        return i + j;
    }
    if (StartsWithWord(rest, "infinity")) {
        finite = false;
        return i + 8;
    }
    if (StartsWithWord(rest, "inf") || StartsWithWord(rest, "nan")) {
        finite = false;
        return i + 3;
    }
    if (rest.empty()) {
        return 0;
    }
    const auto c0 = static_cast<unsigned char>(rest[0]);
    if (!IsDigit(c0) &&
        !(c0 == '.' && rest.size() > 1 && IsDigit(static_cast<unsigned char>(rest[1])))) {
        return 0;
    }
    double v = 0;
    const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), v);
    if (ptr == rest.data()) {
        return 0;
    }
    // Out of range: too big to plot (an underflow to zero would also land here).
    finite = ec == std::errc() && std::isfinite(v);
    value = negative ? -v : v;
    return i + static_cast<std::size_t>(ptr - rest.data());
}

void ParseLine(std::string_view line, std::vector<LineValue>& out) {
    std::size_t taken = 0;
    int column = 0;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && taken < kMaxLineValues) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == 0x1B) {
            i = SkipEscape(line, i);
            continue;
        }
        if (IsSeparator(c)) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < n && !IsNameEnd(static_cast<unsigned char>(line[j]))) {
            ++j;
        }
        std::size_t k = j;
        while (k < n && IsBlank(static_cast<unsigned char>(line[k]))) {
            ++k;
        }
        if (k < n && (line[k] == ':' || line[k] == '=')) {
            if (j == i) {
                i = k + 1;  // a stray ':' or '='
                continue;
            }
            const std::string_view name = NameOf(line.substr(i, j - i));
            if (name.empty()) {
                i = NextSeparator(line, i);
                continue;
            }
            std::size_t p = k + 1;
            while (p < n && IsBlank(static_cast<unsigned char>(line[p]))) {
                ++p;
            }
            double v = 0;
            bool finite = false;
            const std::size_t used = ParseNumber(line.substr(p), v, finite);
            if (used == 0) {
                i = k + 1;  // "sensor: temp=25.3": the value may be a pair of its own
                continue;
            }
            if (finite) {
                out.push_back({name, -1, v});
                ++taken;
            }
            i = NextSeparator(line, p + used);  // a unit after the number
            continue;
        }
        double v = 0;
        bool finite = false;
        const std::size_t used = ParseNumber(line.substr(i, j - i), v, finite);
        if (used > 0) {
            if (finite) {
                out.push_back({{}, column, v});
                ++taken;
            }
            ++column;
        }
        i = NextSeparator(line, i + (used > 0 ? used : 1));
    }
}

void LineParser::Reset() {
    partial_.clear();
    overlong_ = false;
}

void LineParser::EndLine(const LineSink& sink) {
    std::string_view line = partial_;
    if (overlong_) {
        ++linesCut_;
        // The byte after the cut tells whether the last field was cut in two; a cut number
        // would be a wrong value, so it goes.
        const bool splitField = line.size() > kMaxLineBytes &&
                                !IsSeparator(static_cast<unsigned char>(line[kMaxLineBytes]));
        line = line.substr(0, kMaxLineBytes);
        if (splitField) {
            std::size_t e = line.size();
            while (e > 0 && !IsSeparator(static_cast<unsigned char>(line[e - 1]))) {
                --e;
            }
            line = line.substr(0, e);
        }
    }
    values_.clear();
    ParseLine(line, values_);
    if (!values_.empty()) {
        sink(values_);
    }
    partial_.clear();
    overlong_ = false;
}

void LineParser::Feed(const char* data, std::size_t size, const LineSink& sink) {
    const char* p = data;
    const char* const end = data + size;
    while (p < end) {
        const char* q = p;
        while (q < end && *q != '\n' && *q != '\r') {
            ++q;
        }
        const std::size_t len = static_cast<std::size_t>(q - p);
        // Keep one byte past the limit to see whether the cut splits a field.
        if (partial_.size() <= kMaxLineBytes) {
            partial_.append(p, std::min(len, kMaxLineBytes + 1 - partial_.size()));
        }
        if (partial_.size() > kMaxLineBytes) {
            overlong_ = true;
        }
        if (q == end) {
            return;
        }
        if (!partial_.empty()) {
            EndLine(sink);
        }
        p = q + 1;
    }
}

}  // namespace zenta::plot
