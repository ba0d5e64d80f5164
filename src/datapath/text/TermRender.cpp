#include "datapath/text/TermRender.h"

namespace zenta {

void TermRender::reset() {
    parser_.Reset();
    line_.newLine();
    swallowLf_ = false;
}

void TermRender::feed(std::u16string_view units, TermSink& sink) {
    visible_.clear();
    marks_.clear();
    actions_.clear();
    mark_ = 0;
    style_ = parser_.shownStyle();
    parser_.Feed(units, visible_, marks_, actions_);
    // A CR right before an LF changes nothing the LF does not: CR LF lines go to the sink
    // whole, not line by line.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < actions_.size(); ++i) {
        const LineAction& a = actions_[i];
        const bool lastHere = i + 1 == actions_.size() || actions_[i + 1].offset != a.offset;
        if (!(a.kind == LineAction::Return && lastHere && a.offset < visible_.size() &&
              visible_[a.offset] == u'\n')) {
            actions_[kept++] = a;
        }
    }
    actions_.resize(kept);
    std::size_t pos = 0;
    for (const LineAction& a : actions_) {
        write(pos, a.offset, sink);
        pos = a.offset;
        act(a, sink);
    }
    write(pos, visible_.size(), sink);
    // A rebuild renders megabytes at once: their room is not kept for the small pieces
    // that follow.
    constexpr std::size_t kKeep = 256 * 1024;
    if (visible_.capacity() > kKeep) {
        std::u16string().swap(visible_);
        std::vector<StyleMark>().swap(marks_);
        std::vector<LineAction>().swap(actions_);
    }
}

void TermRender::write(std::size_t from, std::size_t to, TermSink& sink) {
    while (from < to) {
        if (swallowLf_) {
            swallowLf_ = false;
            if (visible_[from] == u'\n') {
                ++from;
                continue;
            }
        }
        while (mark_ < marks_.size() && marks_[mark_].offset <= from) {
            style_ = marks_[mark_++].style;
        }
        const std::u16string_view rest = std::u16string_view(visible_).substr(from, to - from);
        if (line_.atEnd()) {
            // The usual case: all of it goes to the end in one piece.
            const TextStyle start = style_;
            if (from == 0 && to == visible_.size()) {
                // The whole text: its marks as they are.
                if (!marks_.empty()) {
                    style_ = marks_.back().style;
                }
                mark_ = marks_.size();
                sink.append(rest, marks_, start);
            } else {
                std::vector<StyleMark> marks;
                for (; mark_ < marks_.size() && marks_[mark_].offset < to; ++mark_) {
                    marks.push_back({marks_[mark_].offset - from, marks_[mark_].style});
                    style_ = marks_[mark_].style;
                }
                sink.append(rest, marks, start);
            }
            if (rest.rfind(u'\n') != std::u16string_view::npos) {
                line_.newLine();
            }
            return;
        }
        std::size_t stop = to;
        if (mark_ < marks_.size() && marks_[mark_].offset < stop) {
            stop = marks_[mark_].offset;
        }
        std::size_t k = from;
        while (k < stop && visible_[k] != u'\n' && visible_[k] != u'\t') {
            ++k;
        }
        if (k > from) {
            apply(line_.write(sink.currentLine(), rest.substr(0, k - from)), style_, sink);
            from = k;
        } else if (visible_[k] == u'\n') {
            // On the last row the line ends whole, whatever stands right of the cursor.
            if (!line_.nextRow(sink.currentLine())) {
                sink.append(u"\n", {}, style_);
                line_.newLine();
            }
            ++from;
        } else {
            line_.tab(sink.currentLine());
            ++from;
        }
    }
}

void TermRender::apply(const TermLine::Edit& edit, const TextStyle& style, TermSink& sink) {
    if (edit.none()) {
        return;
    }
    if (edit.removed == 0 && edit.pos == sink.currentLine().size()) {
        sink.append(edit.inserted, {}, style);
    } else {
        sink.replace(edit.pos, edit.removed, edit.inserted, style);
    }
}

void TermRender::act(const LineAction& a, TermSink& sink) {
    if (a.kind != LineAction::Bell) {
        swallowLf_ = false;
    }
    const std::u16string_view cur =
        a.kind == LineAction::Bell ? std::u16string_view() : sink.currentLine();
    // Erased cells keep only the background, as on a terminal.
    TextStyle blank;
    blank.bg = style_.bg;
    switch (a.kind) {
        case LineAction::Return:
            if (crNewLine_) {
                sink.append(u"\n", {}, style_);
                line_.newLine();
                swallowLf_ = true;
            } else {
                line_.home(cur);
            }
            break;
        case LineAction::Back:
            line_.left(cur, 1);
            break;
        case LineAction::Bell:
            sink.bell();
            break;
        case LineAction::EraseLine:
            if (a.count <= 2) {
                apply(line_.erase(cur, a.count), blank, sink);
            }
            break;
        case LineAction::Left:
            line_.left(cur, a.count);
            break;
        case LineAction::Right:
            line_.right(cur, a.count);
            break;
        case LineAction::Column:
            line_.toColumn(cur, a.count);
            break;
        case LineAction::Up:
            line_.up(cur, a.count);
            break;
        case LineAction::Down:
            line_.down(cur, a.count);
            break;
        case LineAction::DeleteCells:
            apply(line_.deleteCells(cur, a.count), blank, sink);
            break;
        case LineAction::InsertCells:
            apply(line_.insertCells(cur, a.count), blank, sink);
            break;
        case LineAction::BlankCells:
            apply(line_.blankCells(cur, a.count), blank, sink);
            break;
        case LineAction::EraseBelow:
            apply(line_.eraseBelow(cur), blank, sink);
            break;
    }
}

}  // namespace zenta
