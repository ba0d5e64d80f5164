#include "datapath/text/TermLine.h"

#include <climits>

namespace zenta {

namespace {

bool Wide(char16_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) ||
           // high halves of planes 2 and 3 (CJK extensions)
           (c >= 0xD840 && c <= 0xD8BF);
}

bool Joins(char16_t c) {
    return (c >= 0xDC00 && c <= 0xDFFF) || (c >= 0x0300 && c <= 0x036F) ||
           (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F);
}

std::u16string Spaces(int n) {
    return std::u16string(static_cast<std::size_t>(std::max(n, 0)), u' ');
}

// Index after the cluster that starts at u.
std::size_t ClusterEnd(std::u16string_view line, std::size_t u) {
    std::size_t e = u + 1;
    while (e < line.size() && Joins(line[e])) {
        ++e;
    }
    return e;
}

int TextCells(std::u16string_view text, int col) {
    int c = col;
    for (char16_t u : text) {
        c += TermCells(u, c);
    }
    return c - col;
}

}  // namespace

int TermCells(char16_t c, int col) {
    if (c == u'\t') {
        return 8 - col % 8;
    }
    if (Joins(c)) {
        return 0;
    }
    return Wide(c) ? 2 : 1;
}

void TermLine::newLine() {
    col_ = 0;
    atEnd_ = true;
    forget();
}

TermLine::Spot TermLine::walk(std::u16string_view line, Point from, int col) const {
    std::size_t u = from.unit;
    int c = from.col;
    const std::size_t n = line.size();
    while (u < n && c < col) {
        const int w = TermCells(line[u], c);
        if (c + w > col) {
            return {u, c, true};
        }
        c += w;
        u = ClusterEnd(line, u);
    }
    return {u, c, false};
}

TermLine::Spot TermLine::locate(std::u16string_view line, int col) {
    Point from;
    const Point* back = nullptr;
    for (const Point* p : {&known_, &end_}) {
        if (p->unit > line.size()) {
            continue;
        }
        if (p->col <= col) {
            from = p->col >= from.col ? *p : from;
        } else if (back == nullptr || p->col < back->col) {
            back = p;
        }
    }
    if (back != nullptr && back->col - col < col - from.col) {
        // Backwards is shorter (BS at a long line's end). A tab's width depends on what
        // stands before it, so meeting one sends the walk forward after all.
        Point p = *back;
        while (p.col > col && p.unit > 0) {
            std::size_t b = p.unit - 1;
            while (b > 0 && Joins(line[b])) {
                --b;
            }
            if (line[b] == u'\t') {
                break;
            }
            p.col -= TermCells(line[b], 0);
            p.unit = b;
        }
        if (p.col <= col && p.col >= 0) {
            from = p;
        }
    }
    const Spot s = walk(line, from, col);
    known_ = {s.unit, s.col};
    return s;
}

int TermLine::width(std::u16string_view line) {
    if (end_.unit > line.size()) {
        end_ = Point{};
    }
    const Spot s = walk(line, end_, INT_MAX);
    end_ = {s.unit, s.col};
    return s.col;
}

int TermLine::column(std::u16string_view line) {
    return atEnd_ ? width(line) : col_;
}

int TermLine::position(std::u16string_view line) {
    const int c = column(line);
    const bool pending = atEnd_ ? rowWidth_ > 0 && c > 0 && c % rowWidth_ == 0 : pending_;
    return pending ? c - 1 : c;
}

void TermLine::moveTo(std::u16string_view line, int col) {
    const int w = width(line);
    col_ = std::clamp(col, 0, std::max(w, kMaxColumn));
    pending_ = false;
    atEnd_ = col_ == w && !(rowWidth_ > 0 && w > 0 && w % rowWidth_ == 0);
}

void TermLine::home(std::u16string_view line) {
    moveTo(line, rowStart(position(line)));
}

void TermLine::left(std::u16string_view line, int n) {
    const int p = position(line);
    moveTo(line, std::max(rowStart(p), p - std::max(n, 1)));
}

void TermLine::right(std::u16string_view line, int n) {
    const int p = position(line);
    moveTo(line, std::min(p + std::max(n, 1), rowEnd(p) - 1));
}

void TermLine::toColumn(std::u16string_view line, int n) {
    const int p = position(line);
    moveTo(line, std::min(rowStart(p) + std::max(n, 1) - 1, rowEnd(p) - 1));
}

void TermLine::up(std::u16string_view line, int n) {
    if (rowWidth_ > 0) {
        const int p = position(line);
        moveTo(line, std::max(p - std::max(n, 1) * rowWidth_, p % rowWidth_));
    }
}

void TermLine::down(std::u16string_view line, int n) {
    if (rowWidth_ > 0) {
        const int p = position(line);
        moveTo(line, p + std::min(std::max(n, 1), kMaxColumn / rowWidth_) * rowWidth_);
    }
}

bool TermLine::nextRow(std::u16string_view line) {
    const int p = position(line);
    if (rowWidth_ == 0 || width(line) <= rowEnd(p)) {
        return false;
    }
    moveTo(line, rowEnd(p));
    return true;
}

void TermLine::tab(std::u16string_view line) {
    const int p = position(line);
    moveTo(line, std::min(p + 8 - p % 8, rowEnd(p) - 1));
}

void TermLine::keepKnownBefore(std::size_t pos, int col) {
    for (Point* p : {&known_, &end_}) {
        if (p->unit > pos) {
            *p = {pos, col};
        }
    }
}

TermLine::Edit TermLine::write(std::u16string_view line, std::u16string_view text) {
    Edit e;
    if (text.empty()) {
        return e;
    }
    if (atEnd_) {
        e.pos = line.size();
        e.inserted.assign(text);
        return e;
    }
    const std::size_t n = line.size();
    const Spot s = locate(line, col_);
    const int cells = TextCells(text, col_);
    const int endCol = col_ + cells;
    e.pos = s.unit;
    keepKnownBefore(s.unit, s.col);
    if (s.unit >= n) {
        // Right of the line end: the cells in between are blank.
        e.inserted = Spaces(col_ - s.col);
        e.inserted.append(text);
        col_ = endCol;
        atEnd_ = true;
        pending_ = false;
        return e;
    }
    // A wide character cut by the cursor or by the end of the new text loses both
    // halves: the half not written over shows blank.
    e.inserted = s.split ? Spaces(col_ - s.col) : std::u16string();
    e.inserted.append(text);
    const Spot t = walk(line, {s.unit, s.col}, endCol);
    std::size_t stop = t.unit;
    if (t.split) {
        e.inserted.append(Spaces(t.col + TermCells(line[t.unit], t.col) - endCol));
        stop = ClusterEnd(line, t.unit);
    }
    e.removed = stop - s.unit;
    col_ = endCol;
    atEnd_ = stop >= n && !t.split;
    pending_ = !atEnd_ && rowWidth_ > 0 && col_ % rowWidth_ == 0;
    return e;
}

TermLine::Edit TermLine::blank(std::u16string_view line, int from, int to) {
    Edit e;
    const std::size_t n = line.size();
    if (from >= width(line) || to <= from) {
        return e;
    }
    const Spot s = locate(line, from);
    e.pos = s.unit;
    keepKnownBefore(s.unit, s.col);
    if (to >= width(line)) {
        e.removed = n - s.unit;
        e.inserted = Spaces(from - s.col);
        return e;
    }
    const Spot t = walk(line, {s.unit, s.col}, to);
    std::size_t stop = t.unit;
    int stopCol = t.col;
    if (t.split) {
        stopCol = t.col + TermCells(line[t.unit], t.col);
        stop = ClusterEnd(line, t.unit);
    }
    e.removed = stop - s.unit;
    e.inserted = Spaces(stopCol - s.col);
    return e;
}

TermLine::Edit TermLine::erase(std::u16string_view line, int mode) {
    const int p = position(line);
    if (mode == 0) {
        return clear(line, p, p, rowEnd(p));
    }
    if (mode == 1) {
        return clear(line, p, rowStart(p), p + 1);
    }
    return clear(line, p, rowStart(p), rowEnd(p));
}

TermLine::Edit TermLine::eraseBelow(std::u16string_view line) {
    const int p = position(line);
    return clear(line, p, p, INT_MAX);
}

std::u16string TermLine::cellsText(std::u16string_view line, int from, int to) {
    std::u16string out;
    if (to <= from) {
        return out;
    }
    const Spot s = locate(line, from);
    std::size_t u = s.unit;
    int c = s.col;
    if (s.split) {
        const int w = TermCells(line[u], c);
        out.append(Spaces(std::min(c + w, to) - from));
        c += w;
        u = ClusterEnd(line, u);
    }
    while (u < line.size() && c < to) {
        const int w = TermCells(line[u], c);
        const std::size_t e = ClusterEnd(line, u);
        if (c + w > to) {
            out.append(Spaces(to - c));
            return out;
        }
        out.append(line.substr(u, e - u));
        c += w;
        u = e;
    }
    return out;
}

TermLine::Edit TermLine::replaceCells(std::u16string_view line, int from, int to,
                                      std::u16string_view text) {
    Edit e;
    const Spot s = locate(line, from);
    const Spot t = walk(line, {s.unit, s.col}, to);
    std::size_t stop = t.unit;
    std::u16string tail;
    if (t.split) {
        tail = Spaces(t.col + TermCells(line[t.unit], t.col) - to);
        stop = ClusterEnd(line, t.unit);
    }
    e.pos = s.unit;
    e.removed = stop - s.unit;
    e.inserted = Spaces(from - s.col);
    e.inserted.append(text);
    e.inserted.append(tail);
    keepKnownBefore(s.unit, s.col);
    return e;
}

bool TermLine::stopAtCursor(std::u16string_view line, int& p, int& w) {
    p = position(line);
    w = width(line);
    col_ = p;
    pending_ = false;
    atEnd_ = false;
    return p < w;
}

TermLine::Edit TermLine::deleteCells(std::u16string_view line, int n) {
    const bool pending = column(line) != position(line);
    int p = 0;
    int w = 0;
    if (!stopAtCursor(line, p, w)) {
        return {};
    }
    n = std::clamp(n, 1, kMaxColumn);
    const int end = std::min(rowEnd(p), w);
    std::u16string kept = cellsText(line, std::min(p + n, end), end);
    if (rowEnd(p) < w) {
        // The row keeps its width: blanks come in at its end.
        kept.append(Spaces(std::min(n, end - p)));
    }
    const bool shortened = rowEnd(p) >= w;
    Edit e = replaceCells(line, p, end, kept);
    atEnd_ = shortened && kept.empty() && !pending;
    // A wrap that was pending stays so: the next character goes to the next row.
    col_ = pending ? p + 1 : p;
    pending_ = pending;
    return e;
}

TermLine::Edit TermLine::insertCells(std::u16string_view line, int n) {
    int p = 0;
    int w = 0;
    if (!stopAtCursor(line, p, w)) {
        return {};
    }
    n = std::clamp(n, 1, rowEnd(p) - p);
    const int end = std::min(rowEnd(p), w);
    // What is pushed past the row's end is gone, as on the screen.
    std::u16string moved = Spaces(n);
    moved.append(cellsText(line, p, std::max(p, std::min(end, rowEnd(p) - n))));
    return replaceCells(line, p, end, moved);
}

TermLine::Edit TermLine::blankCells(std::u16string_view line, int n) {
    const int p = position(line);
    return clear(line, p, p, std::min(p + std::clamp(n, 1, kMaxColumn), rowEnd(p)));
}

TermLine::Edit TermLine::clear(std::u16string_view line, int cursor, int from, int to) {
    const int w = width(line);
    Edit e = blank(line, from, to);
    // Blanking up to the line end ends the line there.
    const int newWidth = to >= w && from < w ? from : w;
    col_ = cursor;
    pending_ = false;
    atEnd_ = cursor == newWidth && !(rowWidth_ > 0 && cursor > 0 && cursor % rowWidth_ == 0);
    return e;
}

}  // namespace zenta
