// The stored-settings INI from any text: parsing and rewriting are stable, numbers and
// characters read back as written, and a value written under a section reads back.
#include "FuzzInput.h"

#include <charconv>
#include <cstdint>

#include "FuzzCheck.h"
#include "serial/IniStore.h"

using namespace zenta;

namespace {

// Names and values the store writes for a port: no line breaks, no edge blanks, no "=".
std::string Token(zenta::FuzzInput& in, bool allowInnerBlank) {
    std::string s = in.ConsumeRandomLengthString(24);
    std::string out;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u > 32 && u < 127 && c != '=' && c != '[' && c != ']' && c != ';' && c != '#') {
            out.push_back(c);
        } else if (allowInnerBlank && c == ' ' && !out.empty()) {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out.empty() ? std::string("k") : out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zenta::FuzzInput in(data, size);
    const std::string section = Token(in, true);
    const std::string name = Token(in, false);
    const std::string value = Token(in, true);
    const int32_t number = in.ConsumeIntegral<int32_t>();
    const char ch = in.ConsumeIntegral<char>();
    const std::string text = in.ConsumeRemainingBytesAsString();

    TIniStore store;
    store.Parse(text);
    const std::string once = store.Text();
    TIniStore reread;
    reread.Parse(once);
    // A rewrite keeps the text byte for byte; only a last line without an ending gains
    // the file's ending (that of its first line).
    std::string expected = text;
    if (!text.empty() && text.back() != '\n') {
        const size_t lf = text.find('\n');
        expected += lf != std::string::npos && lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
    }
    FUZZ_CHECK(once == expected);
    FUZZ_CHECK(reread.Text() == once);
    FUZZ_CHECK(reread.Sections() == store.Sections());
    for (const std::string& s : store.Sections()) {
        store.Open(s);
        reread.Open(s);
        FUZZ_CHECK(reread.ReadString(name, "\n") == store.ReadString(name, "\n"));
    }

    // Reads of whatever the text holds never fail with a default.
    reread.Open(section);
    (void)reread.ReadString(name, "d");
    (void)reread.ReadInteger(name, 7);
    for (const std::string& s : reread.Sections()) {
        reread.Open(s);
        (void)reread.ValueExists(name);
    }

    reread.Open(section);
    reread.WriteString(name, value);
    reread.WriteInteger(name + "N", number);
    TIniStore back;
    back.Parse(reread.Text());
    back.Open(section);
    FUZZ_CHECK(back.ReadString(name, "") == value);
    FUZZ_CHECK(back.ReadInteger(name + "N", number == 0 ? 1 : 0) == number);

    // Text forms of the stored values.
    FUZZ_CHECK(zenta::TextToChar(zenta::CharToText(ch)) == ch);
    const std::optional<int32_t> parsed = zenta::ParseInt32(text);
    int32_t reference = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;  // from_chars takes no plus sign
    }
    const auto [end, ec] = std::from_chars(first, last, reference);
    const bool whole = !text.empty() && ec == std::errc() && end == last &&
                       !(text.size() > 1 && text[0] == '+' && text[1] == '-');
    FUZZ_CHECK(parsed.has_value() == whole);
    if (parsed) {
        FUZZ_CHECK(*parsed == reference);
    }
    (void)zenta::TextToRts(value);
    (void)zenta::TextToDtr(value);
    (void)zenta::TextToBool(value);
    return 0;
}
