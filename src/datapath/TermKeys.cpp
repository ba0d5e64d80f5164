#include "datapath/TermKeys.h"

#include <array>

namespace zenta {

namespace {

constexpr std::array<std::string_view, 4> kLineEndNames = {"CRLF", "CR", "LF", "None"};

}  // namespace

std::string_view LineEndBytes(LineEnd end) {
    switch (end) {
        case LineEnd::CrLf:
            return "\r\n";
        case LineEnd::Cr:
            return "\r";
        case LineEnd::Lf:
            return "\n";
        case LineEnd::None:
            break;
    }
    return {};
}

std::string_view LineEndName(LineEnd end) {
    return kLineEndNames[static_cast<std::size_t>(end)];
}

std::optional<LineEnd> LineEndFromName(std::string_view name) {
    for (std::size_t i = 0; i < kLineEndNames.size(); ++i) {
        if (kLineEndNames[i] == name) {
            return static_cast<LineEnd>(i);
        }
    }
    return std::nullopt;
}

std::string_view TermKeySequence(TermKey key) {
    static constexpr std::array<std::string_view, 22> kSequences = {
        "\x1b[A",   "\x1b[B",   "\x1b[C",   "\x1b[D",   "\x1b[H",   "\x1b[F",
        "\x1b[2~",  "\x1b[3~",  "\x1b[5~",  "\x1b[6~",  "\x1bOP",   "\x1bOQ",
        "\x1bOR",   "\x1bOS",   "\x1b[15~", "\x1b[17~", "\x1b[18~", "\x1b[19~",
        "\x1b[20~", "\x1b[21~", "\x1b[23~", "\x1b[24~"};
    return kSequences[static_cast<std::size_t>(key)];
}

std::optional<char> ControlCharacter(char key) {
    if (key >= 'a' && key <= 'z') {
        return static_cast<char>(key - 'a' + 1);
    }
    if (key >= 'A' && key <= 'Z') {
        return static_cast<char>(key - 'A' + 1);
    }
    switch (key) {
        case '@':
        case ' ':
        case '2':
            return '\0';
        case '[':
            return '\x1b';
        case '\\':
            return '\x1c';
        case ']':
            return '\x1d';
        case '^':
        case '6':
            return '\x1e';
        case '_':
        case '-':
            return '\x1f';
        default:
            return std::nullopt;
    }
}

}  // namespace zenta
