// The lines a reference terminal (libvterm) shows for received bytes, to check the receive
// window's rendering against. Header only: a test that includes it links vterm itself.
#pragma once

#include <vterm.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datapath/text/Utf8.h"

namespace zenta::test {

inline std::string RightTrimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') {
        s.pop_back();
    }
    return s;
}

// Every row the bytes write on a screen `cols` wide, LF taken as CR LF (as a tty's output
// processing sends it), trailing blanks dropped. The screen is as tall as the text, so
// nothing scrolls away.
inline std::vector<std::string> ReferenceLines(std::string_view bytes, int cols = 200) {
    std::string in;
    int rows = 2 + static_cast<int>(bytes.size()) / cols;
    for (char c : bytes) {
        if (c == '\n') {
            in += '\r';
            ++rows;
        }
        in += c;
    }
    const int kCols = cols;
    std::unique_ptr<VTerm, decltype(&vterm_free)> vt(vterm_new(rows, kCols), vterm_free);
    vterm_set_utf8(vt.get(), 1);
    VTermScreen* screen = vterm_obtain_screen(vt.get());
    vterm_screen_reset(screen, 1);
    vterm_input_write(vt.get(), in.data(), in.size());
    std::vector<std::string> lines;
    for (int r = 0; r < rows - 1; ++r) {
        std::u16string line;
        for (int c = 0; c < kCols;) {
            VTermScreenCell cell{};
            vterm_screen_get_cell(screen, VTermPos{r, c}, &cell);
            const std::uint32_t ch = cell.chars[0];
            int width = cell.width > 0 ? cell.width : 1;
            if (width == 2) {
                // A wide character whose right half was written over shows blank.
                VTermScreenCell right{};
                vterm_screen_get_cell(screen, VTermPos{r, c + 1}, &right);
                if (right.chars[0] != 0xFFFFFFFFu) {
                    line.push_back(u' ');
                    c += 1;
                    continue;
                }
            }
            line.push_back(ch == 0 ? u' ' : static_cast<char16_t>(ch));
            c += width;
        }
        lines.push_back(RightTrimmed(EncodeUtf8(line)));
    }
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    return lines;
}

}  // namespace zenta::test
