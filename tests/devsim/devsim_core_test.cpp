#include <iconv.h>
#include <termios.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devsim/Checksum.h"
#include "devsim/LineSettings.h"
#include "devsim/Options.h"
#include "devsim/Pattern.h"
#include "devsim/Telemetry.h"

using namespace devsim;

namespace {

// GBK to UTF-8 through the C library's converter, an independent check of the constants.
std::string GbkToUtf8(const std::string& gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return "<no GBK converter>";
    }
    std::string in = gbk;
    std::vector<char> out(in.size() * 4 + 16);
    char* src = in.data();
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        return "<invalid GBK>";
    }
    return std::string(out.data(), out.size() - dstLeft);
}

ParseResult Parse(std::vector<std::string> args) {
    std::vector<const char*> argv = {"devsim"};
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    return ParseOptions(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(Crc32, MatchesTheStandardCheckValueWhetherFedWholeOrInPieces) {
    const std::string text = "123456789";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    EXPECT_EQ(Crc32Of(bytes, text.size()), 0xCBF43926u);
    EXPECT_EQ(Crc32Of(nullptr, 0), 0u);

    Crc32 crc;
    crc.Update(bytes, 4);
    crc.Update(bytes + 4, 0);
    crc.Update(bytes + 4, 5);
    EXPECT_EQ(crc.Value(), 0xCBF43926u);

    // Longer input goes eight bytes at a time: compared with the bit-by-bit definition,
    // whole and in pieces that start at every offset of an eight-byte step.
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    }
    uint32_t bitwise = 0xFFFFFFFFu;
    for (uint8_t b : data) {
        bitwise ^= b;
        for (int k = 0; k < 8; ++k) {
            bitwise = (bitwise & 1) ? (0xEDB88320u ^ (bitwise >> 1)) : (bitwise >> 1);
        }
    }
    EXPECT_EQ(Crc32Of(data.data(), data.size()), ~bitwise);
    Crc32 pieces;
    for (size_t at = 0, step = 1; at < data.size(); at += step, step = step % 13 + 1) {
        pieces.Update(data.data() + at, std::min(step, data.size() - at));
    }
    EXPECT_EQ(pieces.Value(), ~bitwise);
}

TEST(Pattern, BytesDependOnPositionAndSeedOnlyNotOnPieceSizes) {
    for (PatternKind kind :
         {PatternKind::Counter, PatternKind::Random, PatternKind::Ascii, PatternKind::Log}) {
        SCOPED_TRACE(PatternName(kind));
        std::vector<uint8_t> whole(5000);
        PatternGenerator(kind, 42).Fill(whole.data(), whole.size());

        std::vector<uint8_t> pieces(5000);
        PatternGenerator gen(kind, 42);
        size_t pos = 0;
        for (size_t step = 1; pos < pieces.size(); step = step * 3 % 1021 + 1) {
            const size_t n = std::min(step, pieces.size() - pos);
            gen.Fill(pieces.data() + pos, n);
            pos += n;
        }
        EXPECT_EQ(whole, pieces);
        EXPECT_EQ(gen.Position(), 5000u);
    }

    std::vector<uint8_t> counter(300);
    PatternGenerator(PatternKind::Counter).Fill(counter.data(), counter.size());
    EXPECT_EQ(counter[0], 0);
    EXPECT_EQ(counter[255], 255);
    EXPECT_EQ(counter[256], 0);

    // Different seeds give different data, and seed 0 still gives data, not zeros.
    std::vector<uint8_t> a(64), b(64), zero(64);
    PatternGenerator(PatternKind::Random, 1).Fill(a.data(), a.size());
    PatternGenerator(PatternKind::Random, 2).Fill(b.data(), b.size());
    PatternGenerator(PatternKind::Random, 0).Fill(zero.data(), zero.size());
    EXPECT_NE(a, b);
    EXPECT_NE(zero, std::vector<uint8_t>(64, 0));
}

TEST(Pattern, AsciiLinesAreNumberedPrintableLines) {
    std::string text(104 * 2, '\0');
    PatternGenerator(PatternKind::Ascii).Fill(reinterpret_cast<uint8_t*>(text.data()), text.size());
    std::string printable;
    for (char c = 0x20; c < 0x7F; ++c) {
        printable += c;
    }
    EXPECT_EQ(text, "000001 " + printable + "\r\n000002 " + printable + "\r\n");
}

TEST(Telemetry, PhrasesAreTheGbkSpellingOfTheirWords) {
    EXPECT_EQ(GbkToUtf8(gbk::kTemperature), "温度");
    EXPECT_EQ(GbkToUtf8(gbk::kHumidity), "湿度");
    EXPECT_EQ(GbkToUtf8(gbk::kVoltage), "电压");
    EXPECT_EQ(GbkToUtf8(gbk::kCount), "计数");
    EXPECT_EQ(GbkToUtf8(gbk::kStatus), "状态");
    EXPECT_EQ(GbkToUtf8(gbk::kNormal), "正常");
    EXPECT_EQ(GbkToUtf8(gbk::kDegreeC), "℃");
}

TEST(Telemetry, LineCarriesPlausibleReadingsAndTheCount) {
    EXPECT_EQ(GbkToUtf8(TelemetryLine(1234)),
              "温度=22.1℃ 湿度=43% 电压=3.28V 计数=1234 状态=正常\r\n");
    for (uint64_t n = 1; n < 2000; ++n) {
        const TelemetryReading r = ReadingAt(n);
        ASSERT_GE(r.tempTenths, 220);
        ASSERT_LE(r.tempTenths, 250);
        ASSERT_GE(r.humidity, 38);
        ASSERT_LE(r.humidity, 44);
        ASSERT_GE(r.voltHundredths, 325);
        ASSERT_LE(r.voltHundredths, 335);
        const std::string line = TelemetryLine(n);
        ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
        ASSERT_EQ(line.find('\n'), line.size() - 1);
    }
}

TEST(Telemetry, WavesSpanTheFullByteRangeOncePerPeriod) {
    for (WaveKind kind : {WaveKind::Sine, WaveKind::Triangle, WaveKind::Sawtooth}) {
        for (uint32_t period : {2u, 7u, 8u, 100u}) {
            SCOPED_TRACE(period);
            int lo = 255;
            int hi = 0;
            for (uint32_t i = 0; i < period; ++i) {
                const int v = WaveSample(kind, i, period);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                EXPECT_EQ(WaveSample(kind, i + 3 * period, period), v);
            }
            // A sine only lands on its peaks when the period is a multiple of 4.
            if (kind != WaveKind::Sine || period % 4 == 0) {
                EXPECT_EQ(hi, 255);
                EXPECT_EQ(lo, 0);
            }
        }
    }
    EXPECT_EQ(WaveSample(WaveKind::Sine, 0, 100), 128);
    EXPECT_EQ(WaveSample(WaveKind::Sine, 25, 100), 255);
    EXPECT_EQ(WaveSample(WaveKind::Triangle, 0, 100), 0);
    EXPECT_EQ(WaveSample(WaveKind::Triangle, 50, 100), 255);
    EXPECT_EQ(WaveSample(WaveKind::Triangle, 25, 100), 128);
    // A period below 2 is treated as 2 rather than dividing by zero.
    EXPECT_EQ(WaveSample(WaveKind::Sawtooth, 1, 0), 255);
}

TEST(Options, ByteCountsTakeBinarySuffixesAndRejectJunk) {
    EXPECT_EQ(ParseByteCount("4096"), 4096u);
    EXPECT_EQ(ParseByteCount("64k"), 65536u);
    EXPECT_EQ(ParseByteCount("2M"), 2u << 20);
    EXPECT_EQ(ParseByteCount("1G"), 1u << 30);
    for (const char* bad :
         {"", "K", "-1", "1.5M", "12Q", " 5", "99999999999999999999", "17179869184G"}) {
        EXPECT_FALSE(ParseByteCount(bad).has_value()) << bad;
    }
}

TEST(Options, CommandLineSelectsModeAndSettings) {
    ParseResult r = Parse({"stream", "--link=/tmp/x", "--bytes", "2K", "--pattern", "random",
                           "--seed", "9", "--rate", "1M", "--no-wait-open", "--quiet"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.mode, "stream");
    EXPECT_EQ(r.options.link, "/tmp/x");
    EXPECT_EQ(r.options.bytes, 2048u);
    EXPECT_EQ(r.options.pattern, PatternKind::Random);
    EXPECT_EQ(r.options.seed, 9u);
    EXPECT_EQ(r.options.rate, 1u << 20);
    EXPECT_EQ(r.options.waitOpen, false);
    EXPECT_TRUE(r.options.quiet);

    r = Parse({"telemetry", "--wave", "triangle", "--interleave", "--interval", "250"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.wave, WaveKind::Triangle);
    EXPECT_TRUE(r.options.interleave);
    EXPECT_EQ(r.options.link, kDefaultLink);
    EXPECT_FALSE(r.options.waitOpen.has_value());

    r = Parse({"bootloader", "--fault", "stuck-bit", "--fault-address", "0x080001fF"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.faultAddress, 0x080001FFu);
    EXPECT_EQ(Parse({"bootloader", "--fault-address", "134218239"}).options.faultAddress,
              0x080001FFu);

    EXPECT_TRUE(Parse({"--help"}).options.help);
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {},
             {"nosuchmode"},
             {"echo", "stream"},
             {"echo", "--bogus"},
             {"echo", "--quiet=yes"},
             {"stream", "--bytes"},
             {"stream", "--pattern", "zigzag"},
             {"telemetry", "--interleave"},
             {"telemetry", "--interval", "0"},
             {"telemetry", "--interval", "0", "--wave", "sine", "--interleave"},
             {"telemetry", "--wave", "sine", "--wave-period", "1"},
             {"telemetry", "--seed", "4294967296"},
             {"bootloader", "--fault-address", "0x"},
             {"bootloader", "--fault-address", "0x1080001FF"},
             {"bootloader", "--fault-address", "0x0800g1FF"},
         }) {
        EXPECT_NE(Parse(bad).error, "") << (bad.empty() ? "(nothing)" : bad[0]);
    }
}

TEST(LineSettings, DescriptionNamesRateFrameAndFlowControl) {
    LineSettings s;
    s.ospeed = 115200;
    s.cflag = CS8;
    EXPECT_EQ(DescribeLine(s), "115200 8N1");
    s.ospeed = 600000;
    s.cflag = CS7 | CSTOPB | PARENB | PARODD;
    EXPECT_EQ(DescribeLine(s), "600000 7O2");
    s.cflag = CS5 | PARENB | CMSPAR | CRTSCTS;
    s.iflag = IXON;
    EXPECT_EQ(DescribeLine(s), "600000 5S1 RTS/CTS XON/XOFF");
}
