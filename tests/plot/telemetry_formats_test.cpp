// The simulator's telemetry formats read by the plot's line parser: what one side prints
// the other must find, value for value.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "devsim/Options.h"
#include "devsim/Telemetry.h"
#include "devsim/TelemetryFormats.h"
#include "plot/LineParser.h"

using namespace zenta::plot;

namespace {

std::map<std::string, double> Named(const std::string& line) {
    std::vector<LineValue> values;
    ParseLine(line, values);
    std::map<std::string, double> out;
    for (const LineValue& v : values) {
        out[v.column >= 0 ? "#" + std::to_string(v.column) : std::string(v.name)] = v.value;
    }
    return out;
}

devsim::ParseResult Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "devsim");
    return devsim::ParseOptions(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(TelemetryFormats, EveryFormatReadsBackAsPrinted) {
    for (uint64_t count = 1; count < 400; count += 7) {
        // csv: every channel, the exact value (the line prints three decimals).
        const auto csv = Named(devsim::CsvTelemetryLine(count, 64));
        ASSERT_EQ(csv.size(), 64u);
        for (uint32_t c = 0; c < 64; ++c) {
            EXPECT_EQ(csv.at("#" + std::to_string(c)), devsim::ChannelValue(count, c));
        }
        // kv: the GBK names and their readings; 状态=正常 is text and gives nothing.
        const devsim::TelemetryReading r = devsim::ReadingAt(count);
        const auto kv = Named(devsim::TelemetryLine(count));
        ASSERT_EQ(kv.size(), 4u);
        EXPECT_DOUBLE_EQ(kv.at(devsim::gbk::kTemperature), r.tempTenths / 10.0);
        EXPECT_EQ(kv.at(devsim::gbk::kHumidity), r.humidity);
        EXPECT_DOUBLE_EQ(kv.at(devsim::gbk::kVoltage), r.voltHundredths / 100.0);
        EXPECT_EQ(kv.at(devsim::gbk::kCount), static_cast<double>(count));
        // log: colour codes and the tick give no values.
        const auto log = Named(devsim::LogTelemetryLine(count, count * 10));
        if (count % 53 == 0) {
            EXPECT_EQ(log.size(), 1u);
            EXPECT_TRUE(log.count("err"));
        } else if (count % 17 == 0) {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_LE(log.at("rssi"), -60);
        } else {
            ASSERT_EQ(log.size(), 3u);
            EXPECT_DOUBLE_EQ(log.at("temp"), r.tempTenths / 10.0);
            EXPECT_EQ(log.at("hum"), r.humidity);
        }
    }
    EXPECT_EQ(devsim::LogTelemetryLine(17, 5).substr(0, 10), "\x1b[0;33mW (");
    EXPECT_EQ(devsim::LogTelemetryLine(53, 5).substr(0, 10), "\x1b[0;31mE (");
}

TEST(TelemetryFormats, OptionsAreCheckedAndDescribed) {
    const auto ok = Parse({"telemetry", "--format", "csv", "--channels=8", "--lines-per-second",
                           "1000", "--interval", "0"});
    ASSERT_EQ(ok.error, "");
    EXPECT_EQ(ok.options.format, devsim::TelemetryFormat::Csv);
    EXPECT_EQ(ok.options.channels, 8u);
    EXPECT_EQ(ok.options.linesPerSecond, 1000u);
    EXPECT_EQ(Parse({"telemetry"}).options.format, devsim::TelemetryFormat::Kv);
    EXPECT_NE(Parse({"telemetry", "--format", "json"}).error, "");
    EXPECT_NE(Parse({"telemetry", "--channels", "0"}).error, "");
    EXPECT_NE(Parse({"telemetry", "--channels", "65"}).error, "");
    EXPECT_NE(Parse({"telemetry", "--lines-per-second", "0"}).error, "");
    const std::string usage = devsim::UsageText();
    for (const char* option : {"--format", "--channels", "--lines-per-second"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}
