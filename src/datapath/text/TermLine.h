#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>
#include <string_view>

namespace zenta {

// Cells a unit takes on a terminal line: 2 for East Asian wide characters, 0 for
// combining marks and the low half of a surrogate pair (they belong to the unit
// before), a tab up to the next stop of 8, 1 for everything else.
int TermCells(char16_t c, int col);

// The cursor of the line a device is writing, as a terminal keeps it: a bare CR goes
// back to the row start, BS one cell left, and text written left of the line end
// overwrites the cells there. The line itself is kept by the caller; every call that
// may change it is given its current units and returns the edit to make.
//
// A device draws for a terminal of some width (80 columns unless it was told otherwise):
// a line longer than that is several rows to it, and CR, BS, cursor moves and erasing
// act within one row, with the wrap at the right margin as xterm does it (the cursor
// waits on the last column until the next character). A row width of 0 is unlimited.
//
// While the cursor stands at the line end, written text is simply appended, which is
// what almost all received text does.
class TermLine {
  public:
    // Replace line[pos, pos + removed) with `inserted`.
    struct Edit {
        std::size_t pos = 0;
        std::size_t removed = 0;
        std::u16string inserted;
        bool none() const { return removed == 0 && inserted.empty(); }
    };
    // The cursor goes no further right than this past the line end: a broken sequence
    // cannot make a line of spaces without bound.
    static constexpr int kMaxColumn = 4096;
    static constexpr int kDefaultRowWidth = 80;

    void setRowWidth(int columns) { rowWidth_ = std::clamp(columns, 0, kMaxColumn); }
    int rowWidth() const { return rowWidth_; }

    bool atEnd() const { return atEnd_; }
    // A new, empty line (after LF), or a line the caller changed on its own.
    void newLine();
    // The line changed in a way the cursor did not make (typing): walks start afresh.
    void forget() { known_ = end_ = Point{}; }

    // Writes text (no control characters) at the cursor.
    Edit write(std::u16string_view line, std::u16string_view text);
    // CR: to the row start.
    void home(std::u16string_view line);
    // BS and ESC[nD; never past the row start.
    void left(std::u16string_view line, int n);
    // ESC[nC; never past the right margin.
    void right(std::u16string_view line, int n);
    // ESC[nG: n counts from 1.
    void toColumn(std::u16string_view line, int n);
    // ESC[nA and ESC[nB: rows of this line (never into the lines before it).
    void up(std::u16string_view line, int n);
    void down(std::u16string_view line, int n);
    // LF on a row above the line's last one goes to the next row's start, as on the
    // screen; false when the cursor is on the last row (LF then ends the line).
    bool nextRow(std::u16string_view line);
    // TAB while the cursor is left of the line end: it moves, it does not write.
    void tab(std::u16string_view line);
    // ESC[K (0: cursor to row end, 1: row start to cursor, 2: whole row). The cursor stays.
    Edit erase(std::u16string_view line, int mode);
    // ESC[J: everything from the cursor on (the rest of the line).
    Edit eraseBelow(std::u16string_view line);
    // ESC[nP, ESC[n@, ESC[nX: delete, insert or blank n cells at the cursor; deleting and
    // inserting shift the rest of the row, as line editors expect.
    Edit deleteCells(std::u16string_view line, int n);
    Edit insertCells(std::u16string_view line, int n);
    Edit blankCells(std::u16string_view line, int n);

    // Column of the cursor: where the next character goes (after a pending wrap).
    int column(std::u16string_view line);

  private:
    // The first cell cluster starting at or after `col`, and whether a wide cluster
    // covers `col` without starting there (then `unit` is that cluster's start).
    struct Spot {
        std::size_t unit = 0;
        int col = 0;
        bool split = false;
    };
    Spot locate(std::u16string_view line, int col);
    int width(std::u16string_view line);
    void moveTo(std::u16string_view line, int col);
    // Where the terminal shows the cursor: on the last column while a wrap is pending.
    int position(std::u16string_view line);
    int rowStart(int col) const { return rowWidth_ > 0 ? col / rowWidth_ * rowWidth_ : 0; }
    int rowEnd(int col) const { return rowWidth_ > 0 ? rowStart(col) + rowWidth_ : INT_MAX; }
    // Blanks cells [from, to); up to the line end it ends the line at `from` instead.
    Edit blank(std::u16string_view line, int from, int to);
    // The units of cells [from, to), a wide character cut at either end as blanks.
    std::u16string cellsText(std::u16string_view line, int from, int to);
    // Replaces cells [from, to) with `text`; the cursor stays where the terminal has it.
    Edit replaceCells(std::u16string_view line, int from, int to, std::u16string_view text);
    // Stops the cursor where the terminal shows it (p), w the line's width; false when
    // no cell stands there to shift.
    bool stopAtCursor(std::u16string_view line, int& p, int& w);
    // Blanks cells [from, to) with the cursor left at `cursor`.
    Edit clear(std::u16string_view line, int cursor, int from, int to);
    // The line before `pos` is unchanged, so a walk may start from a known point there.
    void keepKnownBefore(std::size_t pos, int col);

    // A cluster start of the line whose column is known: walks start from the nearest
    // one instead of the line start, so a long line costs its length once, not per edit.
    struct Point {
        std::size_t unit = 0;
        int col = 0;
    };
    Spot walk(std::u16string_view line, Point from, int col) const;

    int rowWidth_ = kDefaultRowWidth;
    int col_ = 0;
    bool atEnd_ = true;
    // The last write filled the row: the terminal holds the cursor on its last column.
    bool pending_ = false;
    Point known_;  // where the last walk ended
    Point end_;    // towards the end: the line's width is walked from here
};

}  // namespace zenta
