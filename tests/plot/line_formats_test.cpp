// The line forms devices print for plotting: gaps that keep their column, numbers glued to
// brackets and symbols, JSON-like names, Teleplot lines, header lines and the user's own
// separator; and what noise must not pass for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plot/LineParser.h"

using namespace zenta::plot;
using namespace std::string_view_literals;

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

ParsedLine Parse(std::string_view line, char separator = 0) {
    ParsedLine parsed;
    ParseLine(line, parsed, separator);
    return parsed;
}

std::vector<Value> Values(std::string_view line, char separator = 0) {
    std::vector<Value> out;
    for (const LineValue& v : Parse(line, separator).values) {
        out.push_back({std::string(v.name), v.column, v.value});
    }
    return out;
}

std::vector<std::string> Labels(std::string_view line) {
    const ParsedLine parsed = Parse(line);
    if (parsed.kind != LineKind::Header) {
        return {};
    }
    return {parsed.labels.begin(), parsed.labels.end()};
}

Value C(int column, double v) {
    return {"", column, v};
}
Value N(std::string name, double v) {
    return {std::move(name), -1, v};
}

}  // namespace

TEST(LineFormats, TextFieldsAreGapsInTheirOwnColumn) {
    EXPECT_EQ(Values("1,ERR,3"), (std::vector{C(0, 1), C(2, 3)}));
    EXPECT_EQ(Values("---,2,N/A,4"), (std::vector{C(1, 2), C(3, 4)}));
    EXPECT_EQ(Values("1 - 3"), (std::vector{C(0, 1), C(2, 3)}));
    // The same columns whatever the gaps: a reading that fails does not shift the others.
    EXPECT_EQ(Values("12.5,ERR,7")[1], C(2, 7));
    EXPECT_EQ(Values("12.5,8,7")[2], C(2, 7));
    // A time of day is a gap too, so the values after it keep their places.
    EXPECT_EQ(Values("12:30:45 25 40"), (std::vector{C(1, 25), C(2, 40)}));
    // So is an empty field between two commas (not a comma at the end of the line).
    EXPECT_EQ(Values("1,,3,"), (std::vector{C(0, 1), C(2, 3)}));
    EXPECT_EQ(Values("1 , ;3"), (std::vector{C(0, 1), C(2, 3)}));
    EXPECT_EQ(Values("1||3", '|'), (std::vector{C(0, 1), C(2, 3)}));
    EXPECT_EQ(Parse("1,2,3,").columns, 3u);
}

TEST(LineFormats, NumbersGluedToBracketsAndSymbols) {
    const std::vector want{C(0, 1), C(1, 2), C(2, 3)};
    EXPECT_EQ(Values("(1.0, 2.0, 3.0)"), want);
    EXPECT_EQ(Values("[1,2,3]"), want);
    EXPECT_EQ(Values("$1 2 3;"), want);
    EXPECT_EQ(Values("/*1,2,3*/"), want);
    EXPECT_EQ(Values("{1;2;3}"), want);
    EXPECT_EQ(Values("<-1.5> #2"), (std::vector{C(0, -1.5), C(1, 2)}));
    // A bracketed number before a time of day is kept (no name came in that line).
    EXPECT_EQ(Values("(5) 12:30:45 7"), (std::vector{C(0, 5), C(2, 7)}));
    EXPECT_EQ(Values("(5) v=1"), (std::vector{N("v", 1)}));
    // Brackets standing alone take no column.
    EXPECT_EQ(Values("( 1 , 2 )"), (std::vector{C(0, 1), C(1, 2)}));
}

TEST(LineFormats, JsonNamesLoseTheirQuotes) {
    EXPECT_EQ(Values("{\"a\":1}"), (std::vector{N("a", 1)}));
    EXPECT_EQ(Values("{\"temp\": 21.5, \"hum\":\"40\", 'p':-3}"),
              (std::vector{N("temp", 21.5), N("hum", 40), N("p", -3)}));
    // Nested objects: the inner names carry the numbers; a text value gives nothing.
    EXPECT_EQ(Values("{\"imu\":{\"x\":1,\"y\":2},\"ok\":\"yes\"}"),
              (std::vector{N("x", 1), N("y", 2)}));
    // A name in brackets keeps them when they are its own.
    EXPECT_EQ(Values("temp(C)=25 [v]=3"), (std::vector{N("temp(C)", 25), N("v", 3)}));
}

TEST(LineFormats, TeleplotLines) {
    EXPECT_EQ(Values(">temp:21.5"), (std::vector{N("temp", 21.5)}));
    // With the device's time: the value is taken (it is placed at its receive time).
    EXPECT_EQ(Values(">temp:1627551892437:22"), (std::vector{N("temp", 22)}));
    // Several points, a unit and flags.
    EXPECT_EQ(Values(">v:100:1;200:2;300:3\xC2\xA7V|g"),
              (std::vector{N("v", 1), N("v", 2), N("v", 3)}));
    EXPECT_EQ(Values(">rssi:-71|np"), (std::vector{N("rssi", -71)}));
    // Text and xy plots are not series over time.
    EXPECT_TRUE(Values(">state:1234:on|t").empty());
    EXPECT_TRUE(Values(">pos:1:2|xy").empty());
    // Not of that form: read as any line.
    EXPECT_EQ(Values("> 5 6"), (std::vector{C(0, 5), C(1, 6)}));
}

TEST(LineFormats, HeaderLinesNameTheColumns) {
    EXPECT_EQ(Labels("time,temp,hum"), (std::vector<std::string>{"time", "temp", "hum"}));
    EXPECT_EQ(Labels("Sensor1 Sensor2"), (std::vector<std::string>{"Sensor1", "Sensor2"}));
    // Label-only lines, as plotters print them; one label is enough there.
    EXPECT_EQ(Labels("temp:,hum:"), (std::vector<std::string>{"temp", "hum"}));
    EXPECT_EQ(Labels("volt:"), (std::vector<std::string>{"volt"}));
    EXPECT_EQ(Labels("\"a\" \"b\""), (std::vector<std::string>{"a", "b"}));
    // Not headers: a single word, text values, any number, a gap mark.
    EXPECT_TRUE(Labels("ERR").empty());
    EXPECT_TRUE(Labels("status=ok mode: idle").empty());
    EXPECT_TRUE(Labels("temp nan").empty());
    EXPECT_TRUE(Labels("a --- b").empty());
    EXPECT_EQ(Parse("1,2").kind, LineKind::Values);
    EXPECT_EQ(Parse("1,2").columns, 2u);
    EXPECT_EQ(Parse("x=1 7 8").columns, 2u);
}

TEST(LineFormats, TheUsersSeparator) {
    EXPECT_EQ(Values("1|2|3", '|'), (std::vector{C(0, 1), C(1, 2), C(2, 3)}));
    EXPECT_EQ(Values("1|ERR|3", '|'), (std::vector{C(0, 1), C(2, 3)}));
    EXPECT_EQ(Values("10/20/30", '/'), (std::vector{C(0, 10), C(1, 20), C(2, 30)}));
    EXPECT_EQ(Values("a=1|b=2", '|'), (std::vector{N("a", 1), N("b", 2)}));
    EXPECT_EQ(Labels("time|temp"), std::vector<std::string>{});  // one word without it
    // Without it, "1|2|3" is one field: the first number and a gap.
    EXPECT_EQ(Values("1|2|3"), (std::vector{C(0, 1)}));
}

TEST(LineFormats, NamesMustLookLikeNames) {
    for (const char* name : {"temp", "_t", "T2", "a.b", "ch-1", "v[0]", "load%",
                             "\xE6\xB8\xA9\xE5\xBA\xA6", "\xCE\xC2\xB6\xC8"}) {
        EXPECT_TRUE(LooksLikeName(name)) << name;
    }
    for (const char* name : {"", "1a", "-x", "a b", "a\x01", "x\xFF",
                             "\x80"
                             "a",
                             "a?b", "a+b", "\xC2"}) {
        EXPECT_FALSE(LooksLikeName(name)) << name;
    }
    EXPECT_FALSE(LooksLikeName(std::string(kMaxNameBytes + 1, 'a')));
    EXPECT_TRUE(Values("a?b=1 -x=2 1a=3").empty());
    // Control bytes make a line noise; tabs, NUL and colour sequences do not.
    EXPECT_EQ(Parse("1,2\x02,3").kind, LineKind::Noise);
    EXPECT_EQ(Parse("x\x08=5").kind, LineKind::Noise);
    EXPECT_EQ(Values("1\t2\0 3"sv), (std::vector{C(0, 1), C(1, 2), C(2, 3)}));
    // Bytes that are no whole character of UTF-8 or GBK (a wrong bit rate) are no text.
    EXPECT_FALSE(IsText("1,2 \xFF"));
    EXPECT_FALSE(IsText("8\xE6X \xBB\x09"));
    EXPECT_FALSE(IsText("x\xFF=2"));
    EXPECT_FALSE(IsText("abc\xE6"));  // cut short
    EXPECT_TRUE(IsText("plain ASCII line, long enough for the quick path 1234567890"));
    EXPECT_TRUE(IsText("\xE6\xB8\xA9\xE5\xBA\xA6=23.5\xE2\x84\x83 hum=40"));
    EXPECT_TRUE(IsText("\xCE\xC2\xB6\xC8=23.5\xA1\xE6 \x81\x30\x81\x30"));
    EXPECT_EQ(Values("\xE6\xB8\xA9=1 25.3\xC2\xB0"), (std::vector{N("\xE6\xB8\xA9", 1)}));
    EXPECT_EQ(Values("\xCE\xC2=2 \xA1\xE6"), (std::vector{N("\xCE\xC2", 2)}));
}

TEST(LineFormats, ValuesPastTheLimitAreCounted) {
    std::string many;
    for (int i = 0; i < 100; ++i) {
        many += std::to_string(i) + ",";
    }
    const ParsedLine parsed = Parse(many);
    EXPECT_EQ(parsed.values.size(), kMaxLineValues);
    EXPECT_EQ(parsed.valuesLeftOut, 100 - kMaxLineValues);
    LineParser parser;
    many += "\n1,2\n";
    parser.Feed(many.data(), many.size(), [](const ParsedLine&) {});
    EXPECT_EQ(parser.ValuesLeftOut(), 100 - kMaxLineValues);
}
