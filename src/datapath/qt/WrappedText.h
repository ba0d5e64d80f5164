#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zenta {

// How many monospace cells a UTF-16 unit takes: 1 for ASCII, 2 for wide CJK, 0 for
// marks that sit on the previous character. Answers are cached in a 64 K table so
// the layout costs one load per character.
class CellWidths {
  public:
    virtual ~CellWidths() = default;

    int cells(char16_t c) const {
        const std::uint8_t v = table_[c];
        return v != kUnknown ? v : fill(c);
    }

    // Measures the characters of `s` not measured yet. A character never seen before can
    // cost a font load; learning them as text arrives spreads that over the arrivals
    // instead of one large layout.
    void learn(std::u16string_view s) const {
        // Text mostly holds known characters: one pass without branches says whether a
        // second has anything to do.
        bool unknown = false;
        for (char16_t c : s) {
            unknown |= table_[c] == kUnknown;
        }
        if (!unknown) {
            return;
        }
        for (char16_t c : s) {
            if (table_[c] == kUnknown) {
                fill(c);
            }
        }
    }
    // Drops cached answers, e.g. after a font change.
    void reset();
    // Every printable ASCII character takes one cell (true for any monospace font).
    bool printableAsciiNarrow() const;

  protected:
    CellWidths();
    // Width of a unit whose answer is not cached yet: 0, 1 or 2.
    virtual int measure(char16_t c) const = 0;

  private:
    static constexpr std::uint8_t kUnknown = 0xFF;
    int fill(char16_t c) const;
    std::unique_ptr<std::uint8_t[]> table_;
    // printableAsciiNarrow(): -1 not known yet.
    mutable int asciiNarrow_ = -1;
};

// Text of the receive window split into lines (at LF) and visual rows (wrapped at a
// column count). Row starts are kept for every row, so finding any row is O(1) and
// mapping an offset to its row is a binary search. An edit re-wraps only the rows it
// can change, which makes appending at the end independent of the text size.
class WrappedText {
  public:
    static constexpr int kMinColumns = 4;
    static constexpr int kTabStop = 8;

    explicit WrappedText(const CellWidths& widths, int columns = 80);

    const std::u16string& text() const { return text_; }
    std::size_t size() const { return text_.size(); }
    int columns() const { return columns_; }

    // Replaces [pos, pos + removed) with `inserted`; CR units must already be gone.
    void splice(std::size_t pos, std::size_t removed, std::u16string_view inserted);
    void append(std::u16string_view inserted) { splice(text_.size(), 0, inserted); }
    // Replaces everything, leaving out every `skip` unit (e.g. CR). The buffer and the
    // room reserved in it are kept.
    void setText(std::u16string_view text, char16_t skip = u'\r');
    void clear() { setText({}); }
    // Room for this many units, taken now so that appending never copies the text.
    void reserve(std::size_t units) { text_.reserve(units); }

    // Changes the wrap width; re-wraps everything (cheaply for lines of narrow cells).
    void setColumns(int columns);
    // Call after the cell widths changed (new font): re-measures every line.
    void relayout();

    std::size_t lineCount() const { return lineStarts_.size(); }
    std::size_t rowCount() const { return rows_.size(); }
    std::size_t rowStart(std::size_t row) const { return rows_[row]; }
    // End of a row's visible text: the next row's start, or the LF / text end.
    std::size_t rowEnd(std::size_t row) const;
    // True when the row ends its line (the row after it, if any, starts a new line).
    bool rowEndsLine(std::size_t row) const;
    // Row holding `offset`; an offset on a wrap point belongs to the later row.
    std::size_t rowOf(std::size_t offset) const;
    std::size_t lineOf(std::size_t offset) const;
    std::size_t lineStart(std::size_t line) const { return lineStarts_[line]; }
    // Offset of the line's LF, or the text size for the last line.
    std::size_t lineEnd(std::size_t line) const;

    // Cell width of `c` placed at column `col` of a row (tabs depend on the column).
    int cellsAt(char16_t c, int col) const;

    // Start offsets of all rows; exposed for checks against a fresh layout.
    const std::vector<std::size_t>& rowStarts() const { return rows_; }

  private:
    // Next row start after a row starting at `s` of a line ending at `e` (== e when
    // the row reaches the line end).
    std::size_t breakRow(std::size_t s, std::size_t e, bool narrow) const;
    bool isNarrow(std::u16string_view s) const;
    void layoutAll(bool remeasure);

    const CellWidths& widths_;
    int columns_;
    std::u16string text_;
    std::vector<std::size_t> lineStarts_;
    // Per line: every unit is one cell and not a tab, so rows are found by arithmetic.
    std::vector<bool> lineNarrow_;
    std::vector<std::size_t> rows_;
};

}  // namespace zenta
