#pragma once
// Finds the numbers in received text lines. Fed raw bytes in whatever pieces the port
// delivers them; each complete line (ended by CR, LF or both) is split into values:
// plain numbers are columns (0, 1, 2, ... in the order they appear), "name:value" and
// "name=value" pairs carry their name's raw bytes (any encoding; the caller decodes).

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

// Longest line looked at; the rest of a longer line is skipped up to its end.
inline constexpr std::size_t kMaxLineBytes = 4096;
// Values taken from one line at most.
inline constexpr std::size_t kMaxLineValues = 64;

// Reads one number at the start of `text`: optional sign, decimal with fraction and
// exponent, or 0x hex. Returns the bytes used (0: no number). `finite` is false for
// nan/inf, which count as a number that yields no point.
std::size_t ParseNumber(std::string_view text, double& value, bool& finite);

// Splits one line (without its end) into values; appends at most kMaxLineValues to `out`.
// Views in `out` point into `line`.
void ParseLine(std::string_view line, std::vector<LineValue>& out);

class LineParser {
  public:
    using LineSink = std::function<void(const std::vector<LineValue>&)>;

    // Calls `sink` once per complete line that holds at least one value.
    void Feed(const char* data, std::size_t size, const LineSink& sink);
    // Forgets a line begun but not ended.
    void Reset();
    // Lines cut because they were longer than kMaxLineBytes.
    uint64_t LinesCut() const { return linesCut_; }

  private:
    void EndLine(const LineSink& sink);

    std::string partial_;
    bool overlong_ = false;
    uint64_t linesCut_ = 0;
    std::vector<LineValue> values_;
};

}  // namespace zenta::plot
