#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zenta {

// What Enter (and the send line's line-end box) sends.
enum class LineEnd : std::uint8_t { CrLf, Cr, Lf, None };
std::string_view LineEndBytes(LineEnd end);
// "CRLF", "CR", "LF", "None": the names kept in the settings file.
std::string_view LineEndName(LineEnd end);
std::optional<LineEnd> LineEndFromName(std::string_view name);

// Keys that reach a device as escape sequences in character mode.
enum class TermKey : std::uint8_t {
    Up,
    Down,
    Right,
    Left,
    Home,
    End,
    Insert,
    Delete,
    PageUp,
    PageDown,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
};
// The sequence a VT220-style terminal sends for the key (xterm's for Home, End and
// F1-F4, which shells and line editors on small boards understand).
std::string_view TermKeySequence(TermKey key);

// The control character of Ctrl with a key ('a'-'z', '@', '[', '\\', ']', '^', '_',
// ' '), or nothing.
std::optional<char> ControlCharacter(char key);

}  // namespace zenta
