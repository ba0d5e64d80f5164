#pragma once
// Finds the numbers in received text lines. Fed raw bytes in whatever pieces the port
// delivers them; each complete line (ended by CR, LF or both) is split into fields:
// - plain fields are columns (0, 1, 2, ... in the order they appear); a field that is not
//   a number ("ERR", "---", "N/A") is a gap in its column, so the next ones keep theirs;
//   brackets and symbols glued to a number are not part of it ("(1.0,", "$1", "3*/");
// - "name:value" and "name=value" pairs carry their name's raw bytes (any encoding; the
//   caller decodes), without JSON quotes; a line with names gives its named values only
//   (a log line's tick or process number is no series);
// - Teleplot lines ">name:value" and ">name:time:value" give a named value (the device's
//   time is not used: every point is placed at its receive time);
// - a line of words only ("time temp hum") or of labels only ("temp: hum:") is a header:
//   it names the columns;
// - a line with control bytes (other than tab, NUL and colour sequences) is noise and
//   gives nothing. Whether its bytes are whole characters is asked (IsText) only by whoever
//   is to make something lasting of it: the check costs as much as the parsing.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zenta::plot {

struct LineValue {
    std::string_view name;  // raw bytes of the name; empty for a column value
    int column = -1;        // column index of a plain number; -1 for a named value
    double value = 0;
};

enum class LineKind { Blank, Values, Header, Noise };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::vector<LineValue> values;         // kind Values: at most kMaxLineValues
    std::vector<std::string_view> labels;  // kind Header: the name of each column
    std::size_t valuesLeftOut = 0;         // values past kMaxLineValues
    std::size_t columns = 0;               // plain fields, numbers and gaps
    std::string_view text;                 // the line as far as it was read
    void Clear() {
        kind = LineKind::Blank;
        values.clear();
        labels.clear();
        valuesLeftOut = 0;
        columns = 0;
    }
};

// Longest line looked at; the rest of a longer line is skipped up to its end.
inline constexpr std::size_t kMaxLineBytes = 4096;
// Values taken from one line at most.
inline constexpr std::size_t kMaxLineValues = 64;
// Longest name taken, in bytes.
inline constexpr std::size_t kMaxNameBytes = 64;

// Reads one number at the start of `text`: optional sign, decimal with fraction and
// exponent, or 0x hex. Returns the bytes used (0: no number). `finite` is false for
// nan/inf, which count as a number that yields no point.
std::size_t ParseNumber(std::string_view text, double& value, bool& finite);

// Whether the bytes of 0x80 and above in `line` are whole characters of UTF-8 or of GBK
// (GB18030): text a device prints, not noise from a wrong bit rate.
bool IsText(std::string_view line);

// Whether `name` (quotes and brackets already taken off) can name a series: a letter of
// any script or '_' first, then letters, digits and a few marks; multi-byte characters
// must be whole UTF-8 or GBK ones. Noise rarely passes.
bool LooksLikeName(std::string_view name);

// Splits one line (without its end). `separator` is one more field separator the user
// chose ('|', '/'; 0 for none) besides blanks, commas and semicolons. Views in `out`
// point into `line`.
void ParseLine(std::string_view line, ParsedLine& out, char separator = 0);
// The values of one line only (appended to `out`).
void ParseLine(std::string_view line, std::vector<LineValue>& out);

class LineParser {
  public:
    using LineSink = std::function<void(const ParsedLine&)>;

    // Calls `sink` once per complete line that holds values, is a header, or is noise.
    void Feed(const char* data, std::size_t size, const LineSink& sink);
    // Forgets a line begun but not ended.
    void Reset();
    void SetSeparator(char separator) { separator_ = separator; }
    char Separator() const { return separator_; }
    // Lines cut because they were longer than kMaxLineBytes.
    uint64_t LinesCut() const { return linesCut_; }
    // Values left out because their line had more than kMaxLineValues.
    uint64_t ValuesLeftOut() const { return valuesLeftOut_; }

  private:
    void EndLine(const LineSink& sink);

    std::string partial_;
    bool overlong_ = false;
    char separator_ = 0;
    uint64_t linesCut_ = 0;
    uint64_t valuesLeftOut_ = 0;
    ParsedLine line_;
};

}  // namespace zenta::plot
