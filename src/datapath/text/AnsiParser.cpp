#include "datapath/text/AnsiParser.h"

#include <algorithm>

namespace zenta {

namespace {

constexpr char32_t kEsc = 0x1B;
constexpr char32_t kBel = 0x07;

}  // namespace

std::uint32_t PaletteColour(int index) {
    static constexpr std::uint32_t kBasic[16] = {
        0x000000, 0xCD0000, 0x00CD00, 0xCDCD00, 0x0000EE, 0xCD00CD, 0x00CDCD, 0xE5E5E5,
        0x7F7F7F, 0xFF0000, 0x00FF00, 0xFFFF00, 0x5C5CFF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    index = std::clamp(index, 0, 255);
    if (index < 16) {
        return kBasic[index];
    }
    if (index < 232) {
        const int i = index - 16;
        auto level = [](int v) { return static_cast<std::uint32_t>(v == 0 ? 0 : 55 + v * 40); };
        return level(i / 36) << 16 | level(i / 6 % 6) << 8 | level(i % 6);
    }
    const auto grey = static_cast<std::uint32_t>(8 + (index - 232) * 10);
    return grey << 16 | grey << 8 | grey;
}

void AnsiParser::Feed(std::u16string_view in, std::u16string& out, std::vector<StyleMark>& marks,
                      std::vector<LineAction>& actions) {
    actions_ = &actions;
    out_ = &out;
    Feed(in, out, marks);
    actions_ = nullptr;
    out_ = nullptr;
}

bool AnsiParser::Act(LineAction::Kind kind, int count) {
    if (actions_ == nullptr) {
        return false;
    }
    actions_->push_back({out_->size(), kind, count});
    return true;
}

int AnsiParser::FirstParam() const {
    int v = 0;
    for (const char ch : params_) {
        if (ch < '0' || ch > '9') {
            break;
        }
        v = std::min(v * 10 + (ch - '0'), 100000);
    }
    return v;
}

void AnsiParser::Feed(std::u16string_view in, std::u16string& out, std::vector<StyleMark>& marks) {
    const bool acting = actions_ != nullptr;
    // The units that stop a run of plain text: ESC, and with actions CR, BS and BEL.
    auto stops = [acting](char16_t c) {
        return c < 0x20 && (c == kEsc || (acting && (c == u'\r' || c == u'\b' || c == kBel)));
    };
    std::size_t i = 0;
    const std::size_t n = in.size();
    while (i < n) {
        if (state_ == State::Ground) {
            std::size_t j = i;
            while (j < n && !stops(in[j])) {
                ++j;
            }
            if (j > i) {
                Show(out.size(), marks);
                out.append(in.substr(i, j - i));
                i = j;
                continue;
            }
        }
        if (!Step(in[i])) {
            Show(out.size(), marks);
            out.push_back(in[i]);
        }
        ++i;
    }
}

// A style is marked where the first unit drawn in it goes, so styles that change
// again before any text shows leave no mark, wherever the pieces were cut.
void AnsiParser::Show(std::size_t offset, std::vector<StyleMark>& marks) {
    if (!(style_ == shown_)) {
        marks.push_back({offset, style_});
        shown_ = style_;
    }
}

// The sequence ends unfinished; `c` is taken as if no sequence had begun.
bool AnsiParser::Abandon(char32_t c) {
    state_ = State::Ground;
    return Step(c);
}

bool AnsiParser::Step(char32_t c) {
    if (state_ != State::Ground && ++length_ > kMaxSequence) {
        return Abandon(c);
    }
    switch (state_) {
        case State::Ground:
            if (c == u'\r') {
                return Act(LineAction::Return, 1);
            }
            if (c == u'\b') {
                return Act(LineAction::Back, 1);
            }
            if (c == kBel) {
                return Act(LineAction::Bell, 1);
            }
            if (c != kEsc) {
                return false;
            }
            state_ = State::Escape;
            length_ = 1;
            return true;
        case State::Escape:
            if (c == '[') {
                state_ = State::Csi;
                csiPlain_ = true;
                params_.clear();
            } else if (c == ']' || c == 'P' || c == 'X' || c == '^' || c == '_') {
                state_ = State::String;
            } else if ((c >= 0x20 && c <= 0x2F) || c == 'N' || c == 'O') {
                // ESC O P (F1) and the like: a single shift takes the next character too.
                state_ = State::EscapeTail;
            } else if (c >= 0x30 && c <= 0x7E) {
                state_ = State::Ground;  // a two-character sequence (ESC 7, ESC c...)
            } else if (c == kEsc) {
                length_ = 1;  // the first ESC began nothing
            } else {
                return Abandon(c);
            }
            return true;
        case State::EscapeTail:
            if (c >= 0x30 && c <= 0x7E) {
                state_ = State::Ground;
            } else if (c < 0x20 || c > 0x2F) {
                return Abandon(c);
            }
            return true;
        case State::Csi:
            if (c >= 0x30 && c <= 0x3F) {
                if (params_.empty() && c >= 0x3C) {
                    csiPlain_ = false;  // private marker: ESC [ ? 25 h and the like
                }
                params_.push_back(static_cast<char>(c));
            } else if (c >= 0x20 && c <= 0x2F) {
                csiPlain_ = false;
            } else if (c >= 0x40 && c <= 0x7E) {
                if (c == 'm' && csiPlain_) {
                    ApplySgr();
                } else if (csiPlain_ && c == 'K') {
                    Act(LineAction::EraseLine, FirstParam());
                } else if (csiPlain_ && c == 'J' && FirstParam() == 0) {
                    Act(LineAction::EraseBelow, 0);
                } else if (csiPlain_ && (c == 'P' || c == '@' || c == 'X')) {
                    const LineAction::Kind k = c == 'P'   ? LineAction::DeleteCells
                                               : c == '@' ? LineAction::InsertCells
                                                          : LineAction::BlankCells;
                    Act(k, std::max(FirstParam(), 1));
                } else if (csiPlain_ && (c == 'A' || c == 'B')) {
                    Act(c == 'A' ? LineAction::Up : LineAction::Down, std::max(FirstParam(), 1));
                } else if (csiPlain_ && (c == 'D' || c == 'C' || c == 'G')) {
                    const LineAction::Kind k = c == 'D'   ? LineAction::Left
                                               : c == 'C' ? LineAction::Right
                                                          : LineAction::Column;
                    Act(k, std::max(FirstParam(), 1));
                }
                state_ = State::Ground;
            } else if (c == kEsc) {
                state_ = State::Escape;
                length_ = 1;
            } else {
                return Abandon(c);
            }
            return true;
        case State::String:
            if (c == kBel) {
                state_ = State::Ground;
            } else if (c == kEsc) {
                state_ = State::StringEscape;
            } else if (c < 0x20) {
                return Abandon(c);
            }
            return true;
        case State::StringEscape:
            if (c == '\\') {
                state_ = State::Ground;
                return true;
            }
            state_ = State::Escape;  // a new sequence began
            length_ = 1;
            return Step(c);
    }
    return false;
}

void AnsiParser::ApplySgr() {
    std::vector<int> p;
    int value = -1;
    for (const char ch : params_) {
        if (ch >= '0' && ch <= '9') {
            value = std::min((value < 0 ? 0 : value) * 10 + (ch - '0'), 100000);
        } else {
            p.push_back(std::max(value, 0));
            value = -1;
        }
    }
    p.push_back(std::max(value, 0));

    // 38/48 ; 5 ; n and 38/48 ; 2 ; r ; g ; b; returns the colour, 0 when malformed.
    auto extended = [&p](std::size_t& i) -> std::uint32_t {
        if (i + 2 < p.size() && p[i + 1] == 5) {
            const int n = p[i + 2];
            i += 2;
            return n <= 255 ? TextStyle::kSet | PaletteColour(n) : 0;
        }
        if (i + 4 < p.size() && p[i + 1] == 2) {
            const auto part = [&p](std::size_t k) {
                return static_cast<std::uint32_t>(std::min(p[k], 255));
            };
            const std::uint32_t rgb = part(i + 2) << 16 | part(i + 3) << 8 | part(i + 4);
            i += 4;
            return TextStyle::kSet | rgb;
        }
        i = p.size();  // the rest cannot be read reliably
        return 0;
    };
    for (std::size_t i = 0; i < p.size(); ++i) {
        const int v = p[i];
        if (v == 0) {
            style_ = TextStyle{};
        } else if (v == 1) {
            style_.flags |= TextStyle::Bold;
        } else if (v == 2) {
            style_.flags |= TextStyle::Dim;
        } else if (v == 3) {
            style_.flags |= TextStyle::Italic;
        } else if (v == 4) {
            style_.flags |= TextStyle::Underline;
        } else if (v == 7) {
            style_.flags |= TextStyle::Inverse;
        } else if (v == 9) {
            style_.flags |= TextStyle::Strike;
        } else if (v == 22) {
            style_.flags &= static_cast<std::uint8_t>(~(TextStyle::Bold | TextStyle::Dim));
        } else if (v == 23) {
            style_.flags &= static_cast<std::uint8_t>(~TextStyle::Italic);
        } else if (v == 29) {
            style_.flags &= static_cast<std::uint8_t>(~TextStyle::Strike);
        } else if (v == 24) {
            style_.flags &= static_cast<std::uint8_t>(~TextStyle::Underline);
        } else if (v == 27) {
            style_.flags &= static_cast<std::uint8_t>(~TextStyle::Inverse);
        } else if (v >= 30 && v <= 37) {
            style_.fg = TextStyle::kSet | PaletteColour(v - 30);
        } else if (v == 38) {
            if (const std::uint32_t c = extended(i)) {
                style_.fg = c;
            }
        } else if (v == 39) {
            style_.fg = 0;
        } else if (v >= 40 && v <= 47) {
            style_.bg = TextStyle::kSet | PaletteColour(v - 40);
        } else if (v == 48) {
            if (const std::uint32_t c = extended(i)) {
                style_.bg = c;
            }
        } else if (v == 49) {
            style_.bg = 0;
        } else if (v >= 90 && v <= 97) {
            style_.fg = TextStyle::kSet | PaletteColour(v - 90 + 8);
        } else if (v >= 100 && v <= 107) {
            style_.bg = TextStyle::kSet | PaletteColour(v - 100 + 8);
        }
    }
}

std::string AnsiParser::StyleSequence(const TextStyle& style) {
    if (style.plain()) {
        return {};
    }
    std::string s = "\x1b[0";
    if (style.has(TextStyle::Bold)) {
        s += ";1";
    }
    if (style.has(TextStyle::Underline)) {
        s += ";4";
    }
    if (style.has(TextStyle::Inverse)) {
        s += ";7";
    }
    if (style.has(TextStyle::Dim)) {
        s += ";2";
    }
    if (style.has(TextStyle::Italic)) {
        s += ";3";
    }
    if (style.has(TextStyle::Strike)) {
        s += ";9";
    }
    auto colour = [&s](const char* lead, std::uint32_t c) {
        if (c != 0) {
            s += lead;
            s += std::to_string(c >> 16 & 0xFF) + ';' + std::to_string(c >> 8 & 0xFF) + ';' +
                 std::to_string(c & 0xFF);
        }
    };
    colour(";38;2;", style.fg);
    colour(";48;2;", style.bg);
    s += 'm';
    return s;
}

}  // namespace zenta
