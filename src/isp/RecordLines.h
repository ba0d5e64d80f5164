#pragma once

#include <cstdint>
#include <string_view>

// Line-by-line reading shared by the text image formats: every record stands on a line of
// its own, so a record cut short never reads on into the next one.
namespace zenta::isp {

class TRecordLines {
  public:
    explicit TRecordLines(std::string_view text) : text_(text) {
        // A byte-order mark written by some editors is no part of the first line.
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
            text_.remove_prefix(3);
        }
    }

    // The next line without its line end and the blanks around it; false at the end.
    // `indent` is how many blanks were taken from its start, for columns.
    bool Next(std::string_view& line, std::uint32_t& indent) {
        if (pos_ >= text_.size()) {
            return false;
        }
        const std::size_t end = text_.find('\n', pos_);
        const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
        line = text_.substr(pos_, stop - pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
        ++number_;
        indent = 0;
        while (!line.empty() && IsBlank(line.front())) {
            line.remove_prefix(1);
            ++indent;
        }
        while (!line.empty() && IsBlank(line.back())) {
            line.remove_suffix(1);
        }
        return true;
    }
    std::uint32_t Number() const { return number_; }

    // Blanks around a record; 0x1A is the end-of-file mark of old DOS tools.
    static bool IsBlank(char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\x1A' || c == '\v' || c == '\f';
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::uint32_t number_ = 0;
};

// The value of a hexadecimal digit, or -1.
inline int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace zenta::isp
