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

void TermLine::moveTo(std::u16string_view line, int col) {
    const int w = width(line);
    col_ = std::clamp(col, 0, std::max(w, kMaxColumn));
    atEnd_ = col_ == w;
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
    e.pos = s.unit;
    keepKnownBefore(s.unit, s.col);
    if (s.unit >= n) {
        // Right of the line end: the cells in between are blank.
        e.inserted = Spaces(col_ - s.col);
        e.inserted.append(text);
        col_ += cells;
        atEnd_ = true;
        return e;
    }
    // A wide character cut by the cursor or by the end of the new text loses both
    // halves: the half not written over shows blank.
    e.inserted = s.split ? Spaces(col_ - s.col) : std::u16string();
    e.inserted.append(text);
    const int endCol = col_ + cells;
    const Spot t = walk(line, {s.unit, s.col}, endCol);
    std::size_t stop = t.unit;
    if (t.split) {
        e.inserted.append(Spaces(t.col + TermCells(line[t.unit], t.col) - endCol));
        stop = ClusterEnd(line, t.unit);
    }
    e.removed = stop - s.unit;
    col_ = endCol;
    atEnd_ = stop >= n && !t.split;
    return e;
}

TermLine::Edit TermLine::erase(std::u16string_view line, int mode) {
    Edit e;
    const std::size_t n = line.size();
    const int c = column(line);
    if (mode == 2) {
        e.removed = n;
        forget();
        col_ = c;
        atEnd_ = c == 0;
        return e;
    }
    if (mode == 1) {
        // Blanks the cells up to and with the cursor's.
        const Spot t = locate(line, c + 1);
        std::size_t stop = t.unit;
        int blank = std::min(c + 1, t.col);
        if (t.split) {
            stop = ClusterEnd(line, t.unit);
            blank = t.col + TermCells(line[t.unit], t.col);
        }
        e.removed = stop;
        e.inserted = Spaces(blank);
        forget();
        col_ = c;
        atEnd_ = false;
        return e;
    }
    const Spot s = locate(line, c);
    if (s.unit >= n) {
        col_ = c;
        return e;
    }
    e.pos = s.unit;
    e.removed = n - s.unit;
    e.inserted = s.split ? Spaces(c - s.col) : std::u16string();
    keepKnownBefore(s.unit, s.col);
    col_ = c;
    atEnd_ = true;
    return e;
}

}  // namespace zenta
