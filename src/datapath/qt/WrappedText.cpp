#include "datapath/qt/WrappedText.h"

#include <algorithm>
#include <cstring>

namespace zenta {

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}
bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

// Adds a signed difference to an offset (modular arithmetic keeps it exact).
std::size_t shifted(std::size_t v, std::ptrdiff_t delta) {
    return v + static_cast<std::size_t>(delta);
}

}  // namespace

CellWidths::CellWidths() : table_(new std::uint8_t[0x10000]) {
    reset();
}

void CellWidths::reset() {
    std::memset(table_.get(), kUnknown, 0x10000);
    asciiNarrow_ = -1;
}

bool CellWidths::printableAsciiNarrow() const {
    if (asciiNarrow_ < 0) {
        asciiNarrow_ = 1;
        for (char16_t c = 0x20; c < 0x7F; ++c) {
            if (cells(c) != 1)
                asciiNarrow_ = 0;
        }
    }
    return asciiNarrow_ == 1;
}

int CellWidths::fill(char16_t c) const {
    const int v = std::clamp(measure(c), 0, 2);
    table_[c] = static_cast<std::uint8_t>(v);
    return v;
}

WrappedText::WrappedText(const CellWidths& widths, int columns)
    : widths_(widths), columns_(std::max(columns, kMinColumns)) {
    layoutAll(true);
}

std::size_t WrappedText::rowEnd(std::size_t row) const {
    if (row + 1 < rows_.size())
        return rowEndsLine(row) ? rows_[row + 1] - 1 : rows_[row + 1];
    return text_.size();
}

bool WrappedText::rowEndsLine(std::size_t row) const {
    return row + 1 >= rows_.size() || text_[rows_[row + 1] - 1] == u'\n';
}

std::size_t WrappedText::rowOf(std::size_t offset) const {
    auto it = std::upper_bound(rows_.begin(), rows_.end(), offset);
    return static_cast<std::size_t>(it - rows_.begin()) - 1;
}

std::size_t WrappedText::lineOf(std::size_t offset) const {
    auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    return static_cast<std::size_t>(it - lineStarts_.begin()) - 1;
}

std::size_t WrappedText::lineEnd(std::size_t line) const {
    return line + 1 < lineStarts_.size() ? lineStarts_[line + 1] - 1 : text_.size();
}

int WrappedText::cellsAt(char16_t c, int col) const {
    if (c == u'\t')
        return std::max(0, std::min(kTabStop - col % kTabStop, columns_ - col));
    return widths_.cells(c);
}

bool WrappedText::isNarrow(std::u16string_view s) const {
    // Received text is mostly printable ASCII and line breaks: whole blocks of it are
    // checked at once, without a table look-up per character.
    std::size_t i = 0;
    if (widths_.printableAsciiNarrow()) {
        constexpr std::size_t kBlock = 32;
        for (; i + kBlock <= s.size(); i += kBlock) {
            bool other = false;
            for (std::size_t k = i; k < i + kBlock; ++k) {
                const char16_t c = s[k];
                other |= static_cast<char16_t>(c - 0x20) >= 0x5F && c != u'\n';
            }
            if (other)
                break;
        }
    }
    for (char16_t c : s.substr(i)) {
        if (c == u'\n')
            continue;
        if (c == u'\t' || widths_.cells(c) != 1)
            return false;
    }
    return true;
}

std::size_t WrappedText::breakRow(std::size_t s, std::size_t e, bool narrow) const {
    const char16_t* t = text_.data();
    const auto cols = static_cast<std::size_t>(columns_);
    if (narrow) {
        // Same rule as below, by arithmetic: a blank may hang past the edge, else
        // break after the last blank of the row, else break hard.
        if (e - s <= cols)
            return e;
        if (t[s + cols] == u' ')
            return s + cols + 1;
        for (std::size_t j = s + cols; j-- > s;) {
            if (t[j] == u' ')
                return j + 1;
        }
        return s + cols;
    }
    int col = 0;
    std::size_t lastBreak = s;
    for (std::size_t i = s; i < e; ++i) {
        const char16_t c = t[i];
        const int w = cellsAt(c, col);
        if (col + w > columns_ && i > s) {
            if (isBlank(c))
                return i + 1;
            if (w >= 2)
                return i;  // wide characters may start a row anywhere
            return lastBreak > s ? lastBreak : i;
        }
        col += w;
        if (isBlank(c) || isLowSurrogate(c) || (w >= 2 && !isHighSurrogate(c)))
            lastBreak = i + 1;
    }
    return e;
}

void WrappedText::layoutAll(bool remeasure) {
    std::vector<std::size_t> oldStarts;
    oldStarts.swap(lineStarts_);
    std::vector<bool> flags;
    flags.swap(lineNarrow_);
    rows_.clear();
    const std::size_t n = text_.size();
    std::size_t s = 0;
    for (std::size_t line = 0;; ++line) {
        std::size_t e;
        if (!remeasure && line + 1 < oldStarts.size()) {
            e = oldStarts[line + 1] - 1;
        } else {
            e = text_.find(u'\n', s);
            if (e == std::u16string::npos)
                e = n;
        }
        const bool narrow = (!remeasure && line < flags.size())
                                ? flags[line]
                                : isNarrow(std::u16string_view(text_).substr(s, e - s));
        lineStarts_.push_back(s);
        lineNarrow_.push_back(narrow);
        rows_.push_back(s);
        for (std::size_t cur = s, next; (next = breakRow(cur, e, narrow)) < e; cur = next)
            rows_.push_back(next);
        if (e >= n)
            break;
        s = e + 1;
    }
}

void WrappedText::setText(std::u16string_view text, char16_t skip) {
    text_.clear();
    // Room to keep appending: the first append after a large replace would otherwise
    // copy everything at once.
    const std::size_t wanted = text.size() + text.size() / 4 + 65536;
    if (text_.capacity() < wanted) {
        std::u16string room;
        room.reserve(wanted);
        text_.swap(room);
    }
    for (std::size_t from = 0; from < text.size();) {
        std::size_t to = text.find(skip, from);
        if (to == std::u16string_view::npos) {
            to = text.size();
        }
        text_.append(text.substr(from, to - from));
        from = to + 1;
    }
    lineStarts_.clear();
    lineNarrow_.clear();
    layoutAll(true);
}

void WrappedText::setColumns(int columns) {
    columns = std::max(columns, kMinColumns);
    if (columns == columns_)
        return;
    columns_ = columns;
    layoutAll(false);
}

void WrappedText::relayout() {
    layoutAll(true);
}

void WrappedText::splice(std::size_t pos, std::size_t removed, std::u16string_view inserted) {
    const std::size_t oldSize = text_.size();
    pos = std::min(pos, oldSize);
    removed = std::min(removed, oldSize - pos);
    if (removed == 0 && inserted.empty())
        return;
    const std::size_t oldEnd = pos + removed;
    const std::size_t insEnd = pos + inserted.size();
    const auto delta =
        static_cast<std::ptrdiff_t>(inserted.size()) - static_cast<std::ptrdiff_t>(removed);

    // A row's break can depend on the first characters of the next row, so the row
    // before the edited one (within its line) is re-wrapped too.
    const std::size_t line0 = lineOf(pos);
    std::size_t r = rowOf(pos);
    if (r > 0 && rows_[r] != lineStarts_[line0])
        --r;
    const std::size_t restart = rows_[r];

    bool narrow = isNarrow(inserted);
    for (std::size_t l = line0, last = lineOf(oldEnd); narrow && l <= last; ++l)
        narrow = lineNarrow_[l];

    std::vector<std::size_t> insLf;
    for (std::size_t i = 0; i < inserted.size(); ++i) {
        if (inserted[i] == u'\n')
            insLf.push_back(i);
    }

    if (oldSize - removed + inserted.size() > text_.capacity()) {
        // Grow by half rather than double: a receive window holds tens of megabytes,
        // and the old and the new buffer both live while the text is copied.
        std::u16string grown;
        grown.reserve(
            std::max(oldSize - removed + inserted.size(), text_.capacity() + text_.capacity() / 2));
        grown.append(text_);
        text_.swap(grown);
    }
    text_.replace(pos, removed, inserted);
    const std::size_t newSize = text_.size();

    // Next LF at or after `s` in the new text, found from the old line table.
    auto nextLf = [&](std::size_t s) -> std::size_t {
        if (s < pos) {
            auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), s);
            if (it != lineStarts_.end() && *it - 1 < pos)
                return *it - 1;
            s = pos;
        }
        if (s < insEnd) {
            auto it = std::lower_bound(insLf.begin(), insLf.end(), s - pos);
            if (it != insLf.end())
                return pos + *it;
            s = insEnd;
        }
        const std::size_t so = s - insEnd + oldEnd;
        auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), so);
        return it != lineStarts_.end() ? *it - 1 - oldEnd + insEnd : newSize;
    };

    // Re-wrap from `restart` until a row start past the edit matches an old one:
    // everything after it is the old layout moved by `delta`.
    std::vector<std::size_t> newRows;
    std::vector<std::size_t> newLines;
    std::size_t k = r;
    std::size_t resync = rows_.size();
    auto matchesOld = [&](std::size_t n) {
        if (n <= insEnd)
            return false;
        const std::size_t ov = n - insEnd + oldEnd;
        while (k < rows_.size() && rows_[k] < ov)
            ++k;
        if (k < rows_.size() && rows_[k] == ov) {
            resync = k;
            return true;
        }
        return false;
    };
    for (std::size_t s = restart;;) {
        const std::size_t e = nextLf(s);
        newRows.push_back(s);
        bool done = false;
        for (std::size_t cur = s, next; (next = breakRow(cur, e, narrow)) < e; cur = next) {
            if ((done = matchesOld(next)))
                break;
            newRows.push_back(next);
        }
        if (done || e >= newSize)
            break;
        s = e + 1;
        if (matchesOld(s))
            break;
        newLines.push_back(s);
    }

    const bool synced = resync < rows_.size();
    const std::size_t resyncOld = synced ? rows_[resync] : oldSize + 1;

    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(r),
                rows_.begin() + static_cast<std::ptrdiff_t>(resync));
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(r), newRows.begin(), newRows.end());
    for (std::size_t i = r + newRows.size(); i < rows_.size(); ++i)
        rows_[i] = shifted(rows_[i], delta);

    auto first = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), restart);
    auto last = std::lower_bound(first, lineStarts_.end(), resyncOld);
    const auto li = first - lineStarts_.begin();
    const auto lj = last - lineStarts_.begin();
    lineStarts_.erase(first, last);
    lineStarts_.insert(lineStarts_.begin() + li, newLines.begin(), newLines.end());
    lineNarrow_.erase(lineNarrow_.begin() + li, lineNarrow_.begin() + lj);
    lineNarrow_.insert(lineNarrow_.begin() + li, newLines.size(), narrow);
    lineNarrow_[line0] = narrow;
    for (std::size_t i = static_cast<std::size_t>(li) + newLines.size(); i < lineStarts_.size();
         ++i)
        lineStarts_[i] = shifted(lineStarts_[i], delta);
}

}  // namespace zenta
