#include "devsim/TelemetryFormats.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "devsim/Telemetry.h"

namespace devsim {

std::optional<TelemetryFormat> TelemetryFormatFromName(const std::string& name) {
    if (name == "kv") {
        return TelemetryFormat::Kv;
    }
    if (name == "csv") {
        return TelemetryFormat::Csv;
    }
    if (name == "log") {
        return TelemetryFormat::Log;
    }
    return std::nullopt;
}

double ChannelValue(uint64_t count, uint32_t channel) {
    const uint64_t period = 50 + 37 * channel;
    const double amplitude = 100.0 * (channel % 4 + 1);
    const double phase = static_cast<double>(count % period) / static_cast<double>(period);
    double v = 0;
    switch (channel % 4) {
        case 0:
            v = std::sin(2 * std::numbers::pi * phase);
            break;
        case 1:
            v = std::cos(2 * std::numbers::pi * phase);
            break;
        case 2:
            v = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
            break;
        default:
            v = 2 * phase - 1;
            break;
    }
    // Rounded to what the line prints, so a reader can compare exactly.
    return std::round(amplitude * v * 1000.0) / 1000.0;
}

std::string CsvTelemetryLine(uint64_t count, uint32_t channels) {
    std::string line;
    char buf[32];
    for (uint32_t c = 0; c < channels; ++c) {
        std::snprintf(buf, sizeof buf, c == 0 ? "%.3f" : ",%.3f", ChannelValue(count, c));
        line += buf;
    }
    line += "\r\n";
    return line;
}

std::string LogTelemetryLine(uint64_t count, uint64_t ms) {
    char buf[160];
    const auto tick = static_cast<unsigned long long>(ms);
    if (count % 53 == 0) {
        std::snprintf(buf, sizeof buf,
                      "\x1b[0;31mE (%llu) i2c: sensor read failed, err=0x%03X\x1b[0m\r\n", tick,
                      static_cast<unsigned>(0x100 + count % 8));
    } else if (count % 17 == 0) {
        std::snprintf(buf, sizeof buf,
                      "\x1b[0;33mW (%llu) wifi: weak signal, rssi=%d dBm\x1b[0m\r\n", tick,
                      -60 - static_cast<int>(count % 25));
    } else {
        const TelemetryReading r = ReadingAt(count);
        std::snprintf(buf, sizeof buf,
                      "\x1b[0;32mI (%llu) sensor: temp=%d.%d\xC2\xB0"
                      "C hum=%d%% volt=%d.%02dV\x1b[0m\r\n",
                      tick, r.tempTenths / 10, r.tempTenths % 10, r.humidity,
                      r.voltHundredths / 100, r.voltHundredths % 100);
    }
    return buf;
}

}  // namespace devsim
