#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace zenta {

// Cells a unit takes on a terminal line: 2 for East Asian wide characters, 0 for
// combining marks and the low half of a surrogate pair (they belong to the unit
// before), a tab up to the next stop of 8, 1 for everything else.
int TermCells(char16_t c, int col);

// The cursor of the line a device is writing, as a terminal keeps it: a bare CR goes
// back to the line start, BS one cell left, and text written left of the line end
// overwrites the cells there. The line itself is kept by the caller; every call that
// may change it is given its current units and returns the edit to make.
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

    bool atEnd() const { return atEnd_; }
    // A new, empty line (after LF), or a line the caller changed on its own.
    void newLine();
    // The line changed in a way the cursor did not make (typing): walks start afresh.
    void forget() { known_ = end_ = Point{}; }

    // Writes text (no control characters) at the cursor.
    Edit write(std::u16string_view line, std::u16string_view text);
    // CR: to the line start.
    void home(std::u16string_view line) { moveTo(line, 0); }
    // BS and ESC[nD.
    void left(std::u16string_view line, int n) { moveTo(line, column(line) - std::max(n, 1)); }
    // ESC[nC.
    void right(std::u16string_view line, int n) { moveTo(line, column(line) + std::max(n, 1)); }
    // ESC[nG: n counts from 1.
    void toColumn(std::u16string_view line, int n) { moveTo(line, std::max(n, 1) - 1); }
    // TAB while the cursor is left of the line end: it moves, it does not write.
    void tab(std::u16string_view line) {
        const int c = column(line);
        moveTo(line, c + 8 - c % 8);
    }
    // ESC[K (0: cursor to end, 1: start to cursor, 2: whole line). The cursor stays.
    Edit erase(std::u16string_view line, int mode);

    // Column of the cursor.
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
    // The line before `pos` is unchanged, so a walk may start from a known point there.
    void keepKnownBefore(std::size_t pos, int col);

    // A cluster start of the line whose column is known: walks start from the nearest
    // one instead of the line start, so a long line costs its length once, not per edit.
    struct Point {
        std::size_t unit = 0;
        int col = 0;
    };
    Spot walk(std::u16string_view line, Point from, int col) const;

    int col_ = 0;
    bool atEnd_ = true;
    Point known_;  // where the last walk ended
    Point end_;    // towards the end: the line's width is walked from here
};

}  // namespace zenta
