// The numbers found in received lines, grouped by line format, and the odd input a serial
// line delivers: cut deliveries, noise, overlong lines.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "plot/LineParser.h"

using namespace zenta::plot;

namespace {

struct Value {
    std::string name;
    int column;
    double value;
    bool operator==(const Value&) const = default;
};

void PrintTo(const Value& v, std::ostream* os) {
    *os << "{" << (v.column >= 0 ? "#" + std::to_string(v.column) : v.name) << "=" << v.value
        << "}";
}

std::vector<Value> Line(std::string_view line) {
    std::vector<LineValue> raw;
    ParseLine(line, raw);
    std::vector<Value> out;
    for (const LineValue& v : raw) {
        out.push_back({std::string(v.name), v.column, v.value});
    }
    return out;
}

Value C(int column, double v) {
    return {"", column, v};
}
Value N(std::string name, double v) {
    return {std::move(name), -1, v};
}

// All lines of a stream fed in the given delivery sizes (cycled).
std::vector<std::vector<Value>> Stream(const std::string& bytes, std::vector<size_t> cuts = {}) {
    LineParser parser;
    std::vector<std::vector<Value>> lines;
    auto sink = [&](const ParsedLine& parsed) {
        if (parsed.kind != LineKind::Values) {
            return;
        }
        std::vector<Value> line;
        for (const LineValue& v : parsed.values) {
            line.push_back({std::string(v.name), v.column, v.value});
        }
        lines.push_back(line);
    };
    if (cuts.empty()) {
        cuts.push_back(bytes.size());
    }
    size_t pos = 0;
    for (size_t i = 0; pos < bytes.size(); ++i) {
        const size_t n = std::min(cuts[i % cuts.size()], bytes.size() - pos);
        parser.Feed(bytes.data() + pos, n, sink);
        pos += n;
    }
    return lines;
}

}  // namespace

TEST(LineParserColumns, SeparatorsAndNumberForms) {
    EXPECT_EQ(Line("1023,511,255"), (std::vector{C(0, 1023), C(1, 511), C(2, 255)}));
    EXPECT_EQ(Line("1;2 3\t4  ,  5"), (std::vector{C(0, 1), C(1, 2), C(2, 3), C(3, 4), C(4, 5)}));
    EXPECT_EQ(Line("-1.5 +2 .25 5. 1e3 -2.5E-2"),
              (std::vector{C(0, -1.5), C(1, 2), C(2, 0.25), C(3, 5), C(4, 1000), C(5, -0.025)}));
    EXPECT_EQ(Line("0x1F 0XfF -0x10"), (std::vector{C(0, 31), C(1, 255), C(2, -16)}));
    // nan and inf hold their column but give no point.
    EXPECT_EQ(Line("1,nan,3,-inf,Infinity,6"), (std::vector{C(0, 1), C(2, 3), C(5, 6)}));
    // A word is a gap in its own column; units after a number are dropped.
    EXPECT_EQ(Line("val 12ms abc 7V"), (std::vector{C(1, 12), C(3, 7)}));
    EXPECT_EQ(Line("1e999 2"), (std::vector{C(1, 2)}));
}

TEST(LineParserPairs, NamesInAnyScriptWithUnits) {
    EXPECT_EQ(Line("x:0.12 y:-0.98"), (std::vector{N("x", 0.12), N("y", -0.98)}));
    EXPECT_EQ(Line("a=1,b = 2;c: 3"), (std::vector{N("a", 1), N("b", 2), N("c", 3)}));
    // UTF-8: 温度=23.5℃ 湿度=41% 电压=3.30V 状态=正常 (the text value is ignored)
    EXPECT_EQ(Line("\xE6\xB8\xA9\xE5\xBA\xA6=23.5\xE2\x84\x83 \xE6\xB9\xBF\xE5\xBA\xA6=41% "
                   "\xE7\x94\xB5\xE5\x8E\x8B=3.30V \xE7\x8A\xB6\xE6\x80\x81=ok"),
              (std::vector{N("\xE6\xB8\xA9\xE5\xBA\xA6", 23.5), N("\xE6\xB9\xBF\xE5\xBA\xA6", 41),
                           N("\xE7\x94\xB5\xE5\x8E\x8B", 3.30)}));
    // GBK: trail bytes in the letter range must not confuse the name's end.
    EXPECT_EQ(Line("\xCE\xC2\xB6\xC8=23.5\xA1\xE6 \xBC\xC6\xCA\xFD=0x10"),
              (std::vector{N("\xCE\xC2\xB6\xC8", 23.5), N("\xBC\xC6\xCA\xFD", 16)}));
    // A line with names gives its names only (ticks and counters beside them are no series).
    EXPECT_EQ(Line("5 t=1 6"), (std::vector{N("t", 1)}));
    EXPECT_EQ(Line("[temp=3]"), (std::vector{N("temp", 3)}));
}

TEST(LineParserPairs, LogLinesAndTimestamps) {
    // A coloured log line: the colour codes and the bracketed tick give no values.
    EXPECT_EQ(Line("\x1b[0;32mI (1234) sensor: temp=25.3\xC2\xB0"
                   "C hum=40\x1b[0m"),
              (std::vector{N("temp", 25.3), N("hum", 40)}));
    // A time of day is not a name with a value.
    EXPECT_EQ(Line("12:30:45 v=1"), (std::vector{N("v", 1)}));
    EXPECT_EQ(Line("[12:30:45.120] v=2"), (std::vector{N("v", 2)}));
    EXPECT_EQ(Line("status=ok mode: idle"), std::vector<Value>{});
}

TEST(LineParserOdd, LinesWithoutValuesAndLimits) {
    EXPECT_TRUE(Line("").empty());
    EXPECT_TRUE(Line("   ,;;\t").empty());
    EXPECT_TRUE(Line("hello world: - + . e x=").empty());
    std::string many;
    for (int i = 0; i < 100; ++i) {
        many += std::to_string(i) + ",";
    }
    const auto values = Line(many);
    ASSERT_EQ(values.size(), kMaxLineValues);
    EXPECT_EQ(values.back(), C(63, 63));
}

TEST(LineParserStream, LineEndsAndSplitDeliveries) {
    const std::string text = "1,2\r\n\r\n3.25e1;x=-4\n\n\rno numbers\r5\n6";
    const std::vector<std::vector<Value>> want = {{C(0, 1), C(1, 2)}, {N("x", -4)}, {C(0, 5)}};
    EXPECT_EQ(Stream(text), want);
    // Every way of cutting it into deliveries gives the same lines.
    for (size_t cut = 1; cut <= text.size(); ++cut) {
        EXPECT_EQ(Stream(text, {cut}), want) << "cut " << cut;
    }
    EXPECT_EQ(Stream(text, {1, 3, 2, 7}), want);
    // The unfinished "6" waits for its line end.
    EXPECT_EQ(Stream(text + "7\n").back(), std::vector<Value>{C(0, 67)});
}

TEST(LineParserStream, OverlongLinesAreCutNotSplit) {
    // A 1 MB line: only its first 4 KiB are read, and a number cut at the limit is dropped
    // rather than read short; the next line is whole.
    std::string big;
    while (big.size() < (1u << 20)) {
        big += "123456,";
    }
    const auto lines = Stream(big + "\n9,8\n", {65536});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), kMaxLineValues);
    for (const Value& v : lines[0]) {
        EXPECT_EQ(v.value, 123456);
    }
    EXPECT_EQ(lines[1], (std::vector{C(0, 9), C(1, 8)}));

    std::string cutInNumber(kMaxLineBytes - 2, ' ');
    cutInNumber += "98765 4";
    EXPECT_EQ(Stream(cutInNumber + "\n1\n"), (std::vector<std::vector<Value>>{{C(0, 1)}}));
    LineParser parser;
    parser.Feed(cutInNumber.data(), cutInNumber.size(), [](const auto&) {});
    parser.Feed("\n", 1, [](const auto&) {});
    EXPECT_EQ(parser.LinesCut(), 1u);
}

TEST(LineParserOdd, BinaryNoiseNeverYieldsNonFiniteValues) {
    std::mt19937 rng(7);
    std::string noise(1 << 18, '\0');
    for (char& c : noise) {
        c = static_cast<char>(rng());
    }
    LineParser parser;
    size_t values = 0;
    parser.Feed(noise.data(), noise.size(), [&](const ParsedLine& line) {
        EXPECT_LE(line.values.size(), kMaxLineValues);
        for (const LineValue& v : line.values) {
            EXPECT_TRUE(std::isfinite(v.value));
            EXPECT_NE(v.column < 0, v.name.empty());
            ++values;
        }
    });
    EXPECT_GT(values, 0u);  // digits in the noise are read as numbers: that is fine
}
