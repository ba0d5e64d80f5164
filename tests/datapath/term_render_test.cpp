#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "datapath/text/TermRender.h"
#include "datapath/text/Utf8.h"
#include "support/VtermReference.h"

namespace zenta {
namespace {

// Keeps rendered text and a style per unit, as the receive window does.
class StringSink : public TermSink {
  public:
    std::u16string text;
    std::vector<TextStyle> styles;
    int bells = 0;

    void append(std::u16string_view units, const std::vector<StyleMark>& marks,
                const TextStyle& style) override {
        TextStyle s = style;
        std::size_t m = 0;
        for (std::size_t i = 0; i < units.size(); ++i) {
            while (m < marks.size() && marks[m].offset <= i) {
                s = marks[m++].style;
            }
            text.push_back(units[i]);
            styles.push_back(s);
            if (units[i] == u'\n') {
                lineStart_ = text.size();
            }
        }
    }
    std::u16string_view currentLine() override {
        return std::u16string_view(text).substr(lineStart());
    }
    void replace(std::size_t pos, std::size_t removed, std::u16string_view units,
                 const TextStyle& style) override {
        const std::size_t at = lineStart() + pos;
        text.replace(at, removed, units);
        styles.erase(styles.begin() + static_cast<std::ptrdiff_t>(at),
                     styles.begin() + static_cast<std::ptrdiff_t>(at + removed));
        styles.insert(styles.begin() + static_cast<std::ptrdiff_t>(at), units.size(), style);
    }
    void bell() override { ++bells; }

  private:
    std::size_t lineStart() const { return lineStart_; }
    std::size_t lineStart_ = 0;
};

// The lines zenta renders from `bytes` fed `step` bytes at a time (0: all at once),
// tabs expanded as the window draws them, trailing blanks dropped.
std::vector<std::string> Zenta(std::string_view bytes, std::size_t step = 0, bool crNewLine = false,
                               int rowWidth = 0) {
    TermRender render;
    render.setCrNewLine(crNewLine);
    render.line().setRowWidth(rowWidth);
    StringSink sink;
    Utf8Stream utf8;
    if (step == 0) {
        step = bytes.size() + 1;
    }
    for (std::size_t i = 0; i < bytes.size(); i += step) {
        render.feed(utf8.Decode(bytes.substr(i, step)), sink);
    }
    std::vector<std::string> lines;
    std::u16string line;
    auto flush = [&] {
        std::u16string expanded;
        int col = 0;
        for (char16_t c : line) {
            const int w = TermCells(c, col);
            if (c == u'\t') {
                expanded.append(static_cast<std::size_t>(w), u' ');
            } else {
                expanded.push_back(c);
            }
            col += w;
        }
        lines.push_back(test::RightTrimmed(EncodeUtf8(expanded)));
        line.clear();
    };
    for (char16_t c : sink.text) {
        if (c == u'\n') {
            flush();
        } else {
            line.push_back(c);
        }
    }
    flush();
    return lines;
}

// The same as rows of a screen `cols` wide (ASCII text: one cell a byte).
std::vector<std::string> ZentaRows(std::string_view bytes, int cols, std::size_t step = 0) {
    std::vector<std::string> rows;
    for (const std::string& line : Zenta(bytes, step, false, cols)) {
        for (std::size_t at = 0; at == 0 || at < line.size();
             at += static_cast<std::size_t>(cols)) {
            rows.push_back(test::RightTrimmed(line.substr(at, static_cast<std::size_t>(cols))));
        }
    }
    while (!rows.empty() && rows.back().empty()) {
        rows.pop_back();
    }
    return rows;
}

// Shapes real firmware consoles and tools send, each line ending with LF.
const char* const kShapes[] = {
    // Zephyr shell: typed with echo, a typo taken back, history recalled over the line.
    "\x1b[1;32muart:~$ \x1b[mhelx\b \bp\r\n"
    "\x1b[1;32muart:~$ \x1b[mkernel thre\x1b[11D\x1b[Jkernel threads\r\n",
    // linenoise (ESP-IDF console): every key redraws the whole line and puts the cursor.
    "esp32> \rest\x1b[0K\r\x1b[10Cesp32> tes\x1b[0K\r\x1b[10C\resp32> test\x1b[0K\r\x1b[12C\n"
    "\resp32> tast\x1b[0K\r\x1b[9C\x1b[1C\x1b[1De\x1b[0K\n",
    // U-Boot's count-down and its line editor.
    "Hit any key to stop autoboot:  3 \b\b\b 2 \b\b\b 1 \b\b\b 0 \n"
    "=> printenv bootz\b \bcmd\r\n",
    // NuttX nsh and a Linux getty.
    "nsh> lss\b \b\r\nnsh> \r\n\r\nDebian GNU/Linux 12 board ttyS0\r\n\r\nboard login: root\r\n",
    // Progress lines rewritten with a bare CR, and with erase-line first.
    "Downloading 10%\rDownloading 20%\rDownloading 100%\r\n"
    " 45% [=====>      ] 1,234K  12.3KB/s\r 99% [==========> ] 2,410K  13.0KB/s\r\n"
    "garbage\x1b[2K\ruart:~$ clean\n"
    "abcdef\x1b[3D\x1b[KXYZ\n"
    "12345\x1b[2G\x1b[1K\n"
    "ab\x1b[5Cx\n"
    "pip  \x1b[2K\r|####      | 40%\x1b[2K\r|##########| 100%\n",
    // Tabs: a tab left of the line end moves the cursor, it does not write.
    "a\tb\rX\n"
    "abcdefghij\r\tX\n"
    "\tindented\r>\n",
    // Wide characters overwritten whole and by halves.
    "温度: 23.6°C\r温度: 23.7°C\n"
    "中文字\rab\n"
    "ab中\r\x1b[1Cx\n"
    "x中文\x1b[2G\x1b[K\n",
    // Screen sequences never destroy the log; they are only hidden.
    "line one\n\x1b[2J\x1b[Hline two\x1b[1A\n",
};

TEST(TermRender, LinesMatchAReferenceTerminalHoweverTheBytesAreCut) {
    for (const char* shape : kShapes) {
        SCOPED_TRACE(shape);
        const std::vector<std::string> whole = Zenta(shape);
        if (std::string_view(shape).find("\x1b[2J") == std::string_view::npos) {
            std::vector<std::string> trimmed = whole;
            while (!trimmed.empty() && trimmed.back().empty()) {
                trimmed.pop_back();
            }
            EXPECT_EQ(trimmed, test::ReferenceLines(shape));
        }
        EXPECT_EQ(Zenta(shape, 1), whole);
        EXPECT_EQ(Zenta(shape, 3), whole);
    }
}

TEST(TermRender, LongLinesAreRowsOfTheWidthTheDeviceDrawsFor) {
    const std::string a78(78, 'a');
    const std::string x80(80, 'x');
    const std::string y120(120, 'y');
    const std::string shapes[] = {
        // A line editor's command longer than the screen: at the margin it writes a blank
        // and CR to wrap, BS stops at the row start, up and right reach the row above.
        "$ " + a78 + " \rbbbb\b\b\x1b[A\x1b[79CX\x1b[B\r\x1b[2Cc\n",
        // A progress line exactly as wide as the screen: CR returns to its own start.
        x80 + "\r" + std::string(80, 'z') + "\n",
        // A longer one: CR returns to the start of its last row.
        y120 + "\rshort\n",
        // Erasing: at the pending wrap, in a row of a longer line, and below.
        // (LF leaves from the last row, as line editors do.)
        x80 + "\x1b[K\n" + y120 + "\x1b[A\x1b[5G\x1b[K\x1b[B\n" + y120 + "\r\x1b[A\x1b[3C\x1b[J\n",
        // What bash sent for Delete near the start of a command of two rows.
        "$ echo " + std::string(90, '7') + "\x1b[A\r\x1b[C\x1b[C\x1b[C\x1b[C\x1b[C\x1b[C" +
            std::string(74, '7') + "\x1b[1P" + std::string(15, '7') +
            "\x1b[A\r\x1b[C\x1b[C\x1b[C\x1b[C\x1b[C\x1b[C\r\n\r\r\n",
        // Enter with the cursor on the first row of two: LF moves to the row below.
        "$ " + y120 + "\x1b[A\r\n\r\r\nnext\n",
        // Inserting, deleting and blanking cells inside one row and across the margin.
        "abcdefgh\r\x1b[2C\x1b[3@XY\x1b[2P\x1b[3X\n" + x80 + y120 + "\x1b[A\x1b[70G\x1b[4@\x1b[B\n",
        // Tabs stop at the margin.
        std::string(75, 't') + "\r\t\t\t\t\t\t\t\t\t\t\t\tT\n",
    };
    for (const std::string& shape : shapes) {
        SCOPED_TRACE(shape);
        const std::vector<std::string> rows = ZentaRows(shape, 80);
        EXPECT_EQ(rows, test::ReferenceLines(shape, 80));
        EXPECT_EQ(ZentaRows(shape, 80, 1), rows);
    }
}

TEST(TermRender, AWideCharacterHalfWrittenOverShowsBlank) {
    // Terminals differ here; a blank says plainly that the character is gone.
    EXPECT_EQ(Zenta("中文\bx\n"), (std::vector<std::string>{"中 x", ""}));
    EXPECT_EQ(Zenta("中文\rx\n"), (std::vector<std::string>{"x 文", ""}));
}

TEST(TermRender, ScreenSequencesAreHiddenAndTheLogKept) {
    EXPECT_EQ(Zenta("line one\n\x1b[2J\x1b[Hline two\x1b[1A\n"),
              (std::vector<std::string>{"line one", "line two", ""}));
}

TEST(TermRender, CrAloneStartsALineOnlyWhenAsked) {
    const char* shape = "T=1\rT=2\r\nT=3\r\rT=4\n";
    EXPECT_EQ(Zenta(shape), (std::vector<std::string>{"T=2", "T=4", ""}));
    const std::vector<std::string> split = {"T=1", "T=2", "T=3", "", "T=4", ""};
    EXPECT_EQ(Zenta(shape, 0, true), split);
    EXPECT_EQ(Zenta(shape, 1, true), split);
}

TEST(TermRender, OverwrittenCellsTakeTheNewStyleAndBellsAreCounted) {
    TermRender render;
    StringSink sink;
    render.feed(u"\x1b[31mred\x1b[0m\rab\a\n", sink);
    ASSERT_EQ(sink.text, u"abd\n");
    EXPECT_TRUE(sink.styles[0].plain());
    EXPECT_TRUE(sink.styles[1].plain());
    EXPECT_NE(sink.styles[2].fg, 0u);
    EXPECT_EQ(sink.bells, 1);
}

TEST(TermRender, BrokenInputStaysBounded) {
    // A cursor sent far right, and a long line walked back cell by cell, cost no more than
    // the line: a BS storm over a megabyte line must not rescan it each time.
    TermRender render;
    render.line().setRowWidth(0);
    StringSink sink;
    render.feed(u"x\x1b[99999999Cy", sink);
    EXPECT_LE(sink.text.size(), static_cast<std::size_t>(TermLine::kMaxColumn + 2));
    std::u16string big(1 << 20, u'a');
    render.feed(u"\n" + big, sink);
    std::u16string backs(20000, u'\b');
    render.feed(backs + u"Z\n", sink);
    const std::size_t z = sink.text.rfind(u'Z');
    ASSERT_NE(z, std::u16string::npos);
    EXPECT_EQ(sink.text.size() - z, 20001u);
}

}  // namespace
}  // namespace zenta
