#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "datapath/text/AnsiParser.h"
#include "datapath/text/TermLine.h"
#include "datapath/text/TextStyle.h"

namespace zenta {

// Where rendered text goes: the kept text of the receive window, or a plain string in
// tests.
class TermSink {
  public:
    virtual ~TermSink() = default;
    // Text for the end (LF ends a line); marks are offsets into `units`, `style` is the
    // style of its start.
    virtual void append(std::u16string_view units, const std::vector<StyleMark>& marks,
                        const TextStyle& style) = 0;
    // The line being written, without its time stamp.
    virtual std::u16string_view currentLine() = 0;
    // Replaces currentLine()[pos, pos + removed) with `units` drawn in `style`.
    virtual void replace(std::size_t pos, std::size_t removed, std::u16string_view units,
                         const TextStyle& style) = 0;
    virtual void bell() {}
};

// Decoded received text to the lines a terminal would show, without ever losing a
// finished line: colour sequences style the text, CR, BS and the sequences that edit
// a line (erase in line, cursor left, right, to a column) rewrite the line being
// written, and every other sequence (clear screen, cursor up...) is hidden. LF ends
// a line and moves on, so the log only grows.
class TermRender {
  public:
    AnsiParser& parser() { return parser_; }
    TermLine& line() { return line_; }

    // A CR that no LF follows ends the line too (devices that end lines with CR only);
    // CR LF stays one line end.
    void setCrNewLine(bool on) { crNewLine_ = on; }
    bool crNewLine() const { return crNewLine_; }

    // Text with no ESC, BS or BEL and only CR LF line ends may go to the end of the text
    // as it is (its CRs removed) instead of through feed(): the cursor stands at the line
    // end and no sequence is open.
    bool ready() const { return line_.atEnd() && !swallowLf_ && !parser_.InSequence(); }

    void feed(std::u16string_view units, TermSink& sink);
    // Ground state, plain style, the cursor at the start of a new line.
    void reset();

  private:
    // Visible text [from, to) of the last feed, at the cursor.
    void write(std::size_t from, std::size_t to, TermSink& sink);
    void apply(const TermLine::Edit& edit, const TextStyle& style, TermSink& sink);
    void act(const LineAction& a, TermSink& sink);

    AnsiParser parser_;
    TermLine line_;
    bool crNewLine_ = false;
    // A CR ended the line: an LF right after it belongs to it.
    bool swallowLf_ = false;
    std::u16string visible_;
    std::vector<StyleMark> marks_;
    std::vector<LineAction> actions_;
    std::size_t mark_ = 0;
    TextStyle style_;
};

}  // namespace zenta
