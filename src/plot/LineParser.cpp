#include "plot/LineParser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

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
bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}
// Control bytes no text line holds (tab and NUL padding do; ESC starts a colour sequence;
// a line end is taken as the end of the line).
bool IsNoise(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return IsControl(c) && c != '\t' && c != 0 && c != 0x1B && c != '\r' && c != '\n';
}

// What each byte can be, as bits, for one choice of extra separator.
enum : uint8_t {
    kFieldEnd = 1,    // blanks, commas, semicolons, the user's separator, control bytes
    kNameEnd = 2,     // a field end, ':' or '='
    kLeadMark = 4,    // a mark glued in front of a number: "(1.0", "[1", "$1", "/*1", "#3"
    kNameByte = 8,    // a byte a name may hold: letters, digits, a few marks, 0x80 and above
    kNameFirst = 16,  // a byte a name may begin with: a letter, '_', 0x80 and above
};

struct ByteClasses {
    uint8_t of[256];
};

ByteClasses MakeClasses(unsigned char separator) {
    ByteClasses t{};
    for (int i = 0; i < 256; ++i) {
        const auto c = static_cast<unsigned char>(i);
        uint8_t bits = 0;
        if (c == ' ' || c == ',' || c == ';' || IsControl(c) || (separator && c == separator)) {
            bits |= kFieldEnd | kNameEnd;
        }
        if (c == ':' || c == '=') {
            bits |= kNameEnd;
        }
        // Signs and the decimal point belong to the number.
        if (c > 0x20 && c < 0x7F && !IsDigit(c) && !IsAsciiLetter(c) && c != '+' && c != '-' &&
            c != '.' && c != '_') {
            bits |= kLeadMark;
        }
        if (IsAsciiLetter(c) || IsDigit(c) || c >= 0x80 || c == '_' || c == '.' || c == '-' ||
            c == '/' || c == '(' || c == ')' || c == '[' || c == ']' || c == '%' || c == '#') {
            bits |= kNameByte;
        }
        if (IsAsciiLetter(c) || c == '_' || c >= 0x80) {
            bits |= kNameFirst;
        }
        t.of[i] = bits;
    }
    return t;
}

// Tables for every separator, made once, before any line is read.
const std::vector<ByteClasses> kClasses = [] {
    std::vector<ByteClasses> all(256);
    for (int s = 0; s < 256; ++s) {
        all[s] = MakeClasses(static_cast<unsigned char>(s));
    }
    return all;
}();

const ByteClasses& ClassesFor(unsigned char separator) {
    return kClasses[separator];
}

const ByteClasses& kPlain = kClasses[0];

struct Fields {
    const ByteClasses& classes;
    bool End(unsigned char c) const { return classes.of[c] & kFieldEnd; }
    bool NameEnd(unsigned char c) const { return classes.of[c] & kNameEnd; }
    std::size_t Next(std::string_view line, std::size_t i) const {
        while (i < line.size() && !End(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        return i;
    }
};

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
        // A byte outside the sequence's range ends it unread: it may begin a character.
        while (i < line.size()) {
            const auto c = static_cast<unsigned char>(line[i]);
            if (c < 0x20 || c > 0x7E) {
                break;
            }
            ++i;
            if (c >= 0x40) {
                break;
            }
        }
        return i;
    }
    const bool pair = i < line.size() && static_cast<unsigned char>(line[i]) >= 0x20 &&
                      static_cast<unsigned char>(line[i]) < 0x7F;
    return pair ? i + 1 : i;
}

// Marks glued in front of a number: "(1.0", "[1", "$1", "/*1", "#3". Signs and the
// decimal point belong to the number.
bool IsLeadingMark(unsigned char c) {
    return kPlain.of[c] & kLeadMark;
}

bool MayHoldNames(std::string_view rest) {
    return rest.find_first_of(":=") != std::string_view::npos;
}

bool IsBracketOrQuote(unsigned char c) {
    return c == '(' || c == ')' || c == '[' || c == ']' || c == '{' || c == '}' || c == '<' ||
           c == '>' || c == '"' || c == '\'';
}

// A name without what surrounds it: "{\"a\"" -> "a", "[temp" -> "temp", "(x)" -> "x".
std::string_view StripName(std::string_view word) {
    const auto first = static_cast<unsigned char>(word.front());
    const char last = word.back();
    if (!IsLeadingMark(first) && last != '"' && last != '\'' && last != ')' && last != ']' &&
        last != '}' && last != '>') {
        return word;  // the usual case: nothing around it
    }
    std::size_t b = 0;
    while (b < word.size() && IsLeadingMark(static_cast<unsigned char>(word[b]))) {
        ++b;
    }
    word.remove_prefix(b);
    // A closing mark after a byte of 0x80 and above may be the second half of a GBK
    // character ("\x81]"): it stays.
    while (!word.empty() &&
           (word.size() < 2 || static_cast<unsigned char>(word[word.size() - 2]) < 0x80)) {
        const char c = word.back();
        const bool closing = c == ')' || c == ']' || c == '}' || c == '>';
        const char opener = c == ')' ? '(' : c == ']' ? '[' : c == '}' ? '{' : '<';
        if (c == '"' || c == '\'' || (closing && word.find(opener) == std::string_view::npos)) {
            word.remove_suffix(1);
        } else {
            break;
        }
    }
    return word;
}

bool IsUtf8(const unsigned char* p, const unsigned char* end) {
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        const std::ptrdiff_t n = c >= 0xC2 && c <= 0xDF   ? 2
                                 : c >= 0xE0 && c <= 0xEF ? 3
                                 : c >= 0xF0 && c <= 0xF4 ? 4
                                                          : 0;
        if (n == 0 || end - p < n) {
            return false;
        }
        for (std::ptrdiff_t k = 1; k < n; ++k) {
            if ((p[k] & 0xC0) != 0x80) {
                return false;
            }
        }
        p += n;
    }
    return true;
}

bool IsGbk(const unsigned char* p, const unsigned char* end) {
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        if (c == 0x80 || c == 0xFF || end - p < 2) {
            return false;
        }
        const unsigned char t = p[1];
        if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE)) {
            p += 2;
        } else if (t >= 0x30 && t <= 0x39 && end - p >= 4 && p[2] >= 0x81 && p[2] <= 0xFE &&
                   p[3] >= 0x30 && p[3] <= 0x39) {
            p += 4;  // a GB18030 four-byte character
        } else {
            return false;
        }
    }
    return true;
}

bool AllText(std::string_view line) {
    std::size_t i = 0;
    for (; i + 8 <= line.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, line.data() + i, 8);
        if (word & 0x8080808080808080ULL) {
            break;
        }
    }
    const auto* p = reinterpret_cast<const unsigned char*>(line.data()) + i;
    const auto* end = reinterpret_cast<const unsigned char*>(line.data()) + line.size();
    while (p < end && *p < 0x80) {
        ++p;
    }
    return p == end || IsUtf8(p, end) || IsGbk(p, end);
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

namespace {

// The shape of a name: what LooksLikeName asks, but bytes of 0x80 and above are taken as
// they are (whether they are whole characters is asked of the whole line, once, when a
// series is to be made).
bool NameShape(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameBytes) {
        return false;
    }
    if (!(kPlain.of[static_cast<unsigned char>(name[0])] & kNameFirst)) {
        return false;
    }
    for (char c : name) {
        if (!(kPlain.of[static_cast<unsigned char>(c)] & kNameByte)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsText(std::string_view line) {
    return AllText(line);
}

bool LooksLikeName(std::string_view name) {
    // Whole characters of one encoding, as a device prints a name.
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    return NameShape(name) && (IsUtf8(p, p + name.size()) || IsGbk(p, p + name.size()));
}

namespace {

// ">name:value", ">name:time:value", several "time:value" points apart by ';', a unit
// after '§' and flags after '|'. False when the line is not of that form.
bool ParseTeleplot(std::string_view line, ParsedLine& out) {
    std::string_view body = line.substr(1);
    if (const std::size_t bar = body.find('|'); bar != std::string_view::npos) {
        std::string_view flags = body.substr(bar + 1);
        body = body.substr(0, bar);
        // Text and xy plots are not series over time.
        for (std::size_t from = 0; from <= flags.size();) {
            const std::size_t comma = std::min(flags.find(',', from), flags.size());
            const std::string_view flag = flags.substr(from, comma - from);
            if (flag == "t" || flag == "xy") {
                return true;
            }
            from = comma + 1;
        }
    }
    if (const std::size_t unit = body.find("\xC2\xA7"); unit != std::string_view::npos) {
        body = body.substr(0, unit);
    }
    const std::size_t colon = body.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view name = body.substr(0, colon);
    if (!LooksLikeName(name)) {
        return false;
    }
    std::string_view points = body.substr(colon + 1);
    while (!points.empty()) {
        const std::size_t semi = std::min(points.find(';'), points.size());
        std::string_view point = points.substr(0, semi);
        points.remove_prefix(std::min(semi + 1, points.size()));
        if (const std::size_t c = point.rfind(':'); c != std::string_view::npos) {
            point.remove_prefix(c + 1);  // the device's time
        }
        while (!point.empty() && IsBlank(static_cast<unsigned char>(point[0]))) {
            point.remove_prefix(1);
        }
        double v = 0;
        bool finite = false;
        if (ParseNumber(point, v, finite) > 0 && finite) {
            out.values.push_back({name, -1, v});
        }
    }
    return true;
}

}  // namespace

namespace {

// One pass over a line. Unless `keepMarked`, a number glued to a mark ("(1234)") in a line
// that may hold names is not read: a log line's tick, dropped anyway once a name is found.
// Returns false when it left one out and no name came: read the line again, keeping them.
bool ParseFields(std::string_view line, ParsedLine& out, char separator, bool keepMarked) {
    out.Clear();
    out.text = line;
    const Fields fields{ClassesFor(static_cast<unsigned char>(separator))};
    const std::size_t n = line.size();
    if (n > 0 && line[0] == '>' && ParseTeleplot(line, out)) {
        if (std::any_of(line.begin(), line.end(), [](char c) { return IsNoise(c); })) {
            out.Clear();
            out.text = line;
            out.kind = LineKind::Noise;
            return true;
        }
        out.kind = out.values.empty() ? LineKind::Blank : LineKind::Values;
        if (out.values.size() > kMaxLineValues) {
            out.valuesLeftOut = out.values.size() - kMaxLineValues;
            out.values.resize(kMaxLineValues);
        }
        return true;
    }

    int column = 0;
    bool named = false;           // a name with a number
    bool number = false;          // any number, nan and inf too
    bool headerish = true;        // words and labels only so far
    bool anyLabel = false;        // a "name:" without a number
    bool lastLabel = false;       // the field before was such a label
    bool afterDelimiter = false;  // a comma, semicolon or separator since the last field
    bool skipped = false;         // a marked number left out
    std::size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == 0x1B) {
            i = SkipEscape(line, i);
            continue;
        }
        if (fields.End(c)) {
            if (IsNoise(c)) {
                out.Clear();
                out.text = line;
                out.kind = LineKind::Noise;
                return true;
            }
            if (c == ',' || c == ';' || (separator && c == static_cast<unsigned char>(separator))) {
                if (afterDelimiter) {
                    ++column;  // "1,,3": an empty field is a gap in its column too
                    headerish = false;
                }
                afterDelimiter = true;
            }
            ++i;
            continue;
        }
        afterDelimiter = false;
        // The bytes up to a name's end, noting on the way whether they all may be in a name.
        std::size_t j = i;
        uint8_t all = kNameByte;
        while (j < n) {
            const uint8_t bits = fields.classes.of[static_cast<unsigned char>(line[j])];
            if (bits & kNameEnd) {
                break;
            }
            all &= bits;
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
            std::string_view name = line.substr(i, j - i);
            // The usual name has nothing around it to take off.
            const char last = name.back();
            const bool plain = all && name.size() <= kMaxNameBytes &&
                               (kPlain.of[static_cast<unsigned char>(name[0])] & kNameFirst) &&
                               last != ')' && last != ']';
            if (!plain) {
                name = StripName(name);
            }
            if (!plain && !NameShape(name)) {
                // A time of day ("12:30:45", "[12:30") or junk: a gap in its column.
                headerish = false;
                lastLabel = false;
                ++column;
                i = fields.Next(line, i);
                continue;
            }
            std::size_t p = k + 1;
            while (p < n && IsBlank(static_cast<unsigned char>(line[p]))) {
                ++p;
            }
            if (p < n && (line[p] == '"' || line[p] == '\'')) {
                ++p;  // a number in quotes
            }
            double v = 0;
            bool finite = false;
            const std::size_t used = ParseNumber(line.substr(p), v, finite);
            if (used == 0) {
                // A label: a header's ("temp:"), or before a pair ("sensor: temp=25.3").
                if (!number) {
                    out.labels.push_back(name);
                }
                anyLabel = lastLabel = true;
                i = k + 1;
                continue;
            }
            if (!named) {
                // A line with names gives those only: what it took so far were columns, the
                // ticks, counters and process numbers of a log line.
                out.values.clear();
                named = true;
            }
            number = true;
            lastLabel = false;
            if (finite) {
                out.values.push_back({name, -1, v});
            }
            i = fields.Next(line, p + used);  // a unit after the number
            continue;
        }
        // A plain field, [i, j): a number or a gap, in its own column.
        const std::string_view field = line.substr(i, j - i);
        std::size_t b = 0;
        while (b < field.size() && IsLeadingMark(static_cast<unsigned char>(field[b]))) {
            ++b;
        }
        if (b > 0 && !named && !keepMarked && MayHoldNames(line.substr(j))) {
            skipped = true;
            ++column;
            lastLabel = false;
            i = j;
            continue;
        }
        double v = 0;
        bool finite = false;
        const std::size_t used = ParseNumber(field.substr(b), v, finite);
        if (used > 0) {
            number = true;
            if (finite && !named) {
                out.values.push_back({{}, column, v});
            }
            ++column;
        } else {
            bool bracketsOnly = true;
            for (char f : field) {
                bracketsOnly = bracketsOnly && IsBracketOrQuote(static_cast<unsigned char>(f));
            }
            if (!bracketsOnly) {
                ++column;
                // Words matter only while the line may be a header (no number in it yet).
                if (headerish && !number) {
                    const std::string_view word = StripName(field);
                    if (NameShape(word) && !lastLabel) {
                        out.labels.push_back(word);
                    } else {
                        headerish = false;  // a text value ("mode: idle") or a gap mark
                    }
                }
            }
        }
        lastLabel = false;
        i = j;
    }
    out.columns = static_cast<std::size_t>(column);
    if (!out.values.empty()) {
        out.kind = LineKind::Values;
        out.labels.clear();
        if (out.values.size() > kMaxLineValues) {
            out.valuesLeftOut = out.values.size() - kMaxLineValues;
            out.values.resize(kMaxLineValues);
        }
    } else if (!number && headerish && (anyLabel || out.labels.size() >= 2)) {
        out.kind = LineKind::Header;
    } else {
        out.labels.clear();
    }
    return named || !skipped;
}

}  // namespace

void ParseLine(std::string_view line, ParsedLine& out, char separator) {
    if (!ParseFields(line, out, separator, false)) {
        ParseFields(line, out, separator, true);  // no name came after all
    }
}

void ParseLine(std::string_view line, std::vector<LineValue>& out) {
    ParsedLine parsed;
    ParseLine(line, parsed);
    out.insert(out.end(), parsed.values.begin(), parsed.values.end());
}

void LineParser::Reset() {
    partial_.clear();
    overlong_ = false;
}

void LineParser::EndLine(const LineSink& sink) {
    std::string_view line = partial_;
    const Fields fields{ClassesFor(static_cast<unsigned char>(separator_))};
    if (overlong_) {
        ++linesCut_;
        // The byte after the cut tells whether the last field was cut in two; a cut number
        // would be a wrong value, so it goes.
        const bool splitField = line.size() > kMaxLineBytes &&
                                !fields.End(static_cast<unsigned char>(line[kMaxLineBytes]));
        line = line.substr(0, kMaxLineBytes);
        if (splitField) {
            std::size_t e = line.size();
            while (e > 0 && !fields.End(static_cast<unsigned char>(line[e - 1]))) {
                --e;
            }
            line = line.substr(0, e);
        }
    }
    ParseLine(line, line_, separator_);
    valuesLeftOut_ += line_.valuesLeftOut;
    if (line_.kind != LineKind::Blank) {
        sink(line_);
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
