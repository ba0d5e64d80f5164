#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datapath/text/TextStyle.h"

namespace zenta {

// A line edit that a control character or a sequence asks for, at an offset of the
// visible text.
struct LineAction {
    enum Kind : std::uint8_t {
        Return,       // CR
        Back,         // BS
        Bell,         // BEL
        EraseLine,    // ESC[nK, count = n
        Left,         // ESC[nD
        Right,        // ESC[nC
        Column,       // ESC[nG
        Up,           // ESC[nA
        Down,         // ESC[nB
        EraseBelow,   // ESC[J (ESC[0J)
        DeleteCells,  // ESC[nP
        InsertCells,  // ESC[n@
        BlankCells,   // ESC[nX
    };
    std::size_t offset = 0;
    Kind kind = Return;
    int count = 0;
};

// Terminal escape sequences in received text: SGR sequences (ESC [ ... m) set the
// style of the text after them; every other sequence (cursor moves, erase, OSC
// titles, DCS strings, two-character escapes) is hidden. Units are fed one by one
// and the state is kept between calls, so a sequence split across pieces acts as if
// it came whole.
//
// A control character (LF, CR, TAB...) inside a sequence ends it unfinished and is
// then shown, and a sequence longer than kMaxSequence units is given up at that unit,
// so broken input never hides the text that follows it.
class AnsiParser {
  public:
    static constexpr std::size_t kMaxSequence = 256;

    // Appends the visible units of `in` to `out` and a mark where a unit is drawn in
    // another style than the unit before it (offsets into `out`).
    void Feed(std::u16string_view in, std::u16string& out, std::vector<StyleMark>& marks);
    // The same, and CR, BS, BEL and the sequences that edit a line (erase in line,
    // cursor left, right and to a column) become actions instead of being shown or
    // hidden without effect.
    void Feed(std::u16string_view in, std::u16string& out, std::vector<StyleMark>& marks,
              std::vector<LineAction>& actions);
    // Units shown without Feed (text known to hold no ESC while no sequence is open)
    // were drawn in the current style.
    void MarkShown() { shown_ = style_; }
    // Style of the last unit shown.
    const TextStyle& shownStyle() const { return shown_; }
    // Feeds one unit; true when it belongs to a sequence (hidden).
    bool Step(char32_t c);

    // True while a sequence has begun and not ended.
    bool InSequence() const { return state_ != State::Ground; }
    const TextStyle& style() const { return style_; }
    // Ground state and plain style.
    void Reset() { *this = AnsiParser(); }

    // A sequence that sets `style` from scratch (for text that starts in the middle of
    // a stream), empty for the plain style.
    static std::string StyleSequence(const TextStyle& style);

  private:
    enum class State : std::uint8_t { Ground, Escape, EscapeTail, Csi, String, StringEscape };
    bool Abandon(char32_t c);
    void Show(std::size_t offset, std::vector<StyleMark>& marks);
    void ApplySgr();
    // The first number of the parameters (0 when there is none).
    int FirstParam() const;
    bool Act(LineAction::Kind kind, int count);

    State state_ = State::Ground;
    std::size_t length_ = 0;
    bool csiPlain_ = true;  // no private marker or intermediate byte: may be SGR
    std::string params_;
    TextStyle style_;
    TextStyle shown_;
    // While Feed runs with actions: where they go, and the text they point into.
    std::vector<LineAction>* actions_ = nullptr;
    const std::u16string* out_ = nullptr;
};

}  // namespace zenta
