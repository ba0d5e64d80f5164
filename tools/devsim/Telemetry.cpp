#include "devsim/Telemetry.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace devsim {

TelemetryReading ReadingAt(uint64_t count) {
    const double t = static_cast<double>(count);
    TelemetryReading r{};
    r.tempTenths = 235 + static_cast<int>(std::lround(15.0 * std::sin(t / 20.0)));
    r.humidity = 41 + static_cast<int>(std::lround(3.0 * std::sin(t / 33.0 + 1.0)));
    // A little ripple on the supply, different every line but within 3.25..3.35 V.
    r.voltHundredths = 330 + static_cast<int>((count * 7) % 11) - 5;
    return r;
}

std::string TelemetryLine(uint64_t count) {
    const TelemetryReading r = ReadingAt(count);
    char temp[16];
    char hum[16];
    char volt[16];
    char cnt[24];
    std::snprintf(temp, sizeof temp, "%d.%d", r.tempTenths / 10, r.tempTenths % 10);
    std::snprintf(hum, sizeof hum, "%d%%", r.humidity);
    std::snprintf(volt, sizeof volt, "%d.%02dV", r.voltHundredths / 100, r.voltHundredths % 100);
    std::snprintf(cnt, sizeof cnt, "%llu", static_cast<unsigned long long>(count));

    std::string line;
    line += gbk::kTemperature;
    line += '=';
    line += temp;
    line += gbk::kDegreeC;
    line += ' ';
    line += gbk::kHumidity;
    line += '=';
    line += hum;
    line += ' ';
    line += gbk::kVoltage;
    line += '=';
    line += volt;
    line += ' ';
    line += gbk::kCount;
    line += '=';
    line += cnt;
    line += ' ';
    line += gbk::kStatus;
    line += '=';
    line += gbk::kNormal;
    line += "\r\n";
    return line;
}

std::optional<WaveKind> WaveFromName(const std::string& name) {
    if (name == "none") {
        return WaveKind::None;
    }
    if (name == "sine") {
        return WaveKind::Sine;
    }
    if (name == "triangle") {
        return WaveKind::Triangle;
    }
    if (name == "sawtooth") {
        return WaveKind::Sawtooth;
    }
    return std::nullopt;
}

uint8_t WaveSample(WaveKind kind, uint64_t index, uint32_t period) {
    if (period < 2) {
        period = 2;
    }
    const uint64_t phase = index % period;
    switch (kind) {
        case WaveKind::None:
            return 0;
        case WaveKind::Sine: {
            const double a = 2.0 * std::numbers::pi * static_cast<double>(phase) / period;
            return static_cast<uint8_t>(std::lround(127.5 + 127.5 * std::sin(a)));
        }
        case WaveKind::Triangle: {
            // Rises over the first half, falls over the second; exact 0 and 255 at the ends.
            const uint64_t half = period / 2;
            const uint64_t up = phase <= half ? phase : period - phase;
            return static_cast<uint8_t>((up * 255 + half / 2) / half);
        }
        case WaveKind::Sawtooth:
            return static_cast<uint8_t>(phase * 255 / (period - 1));
    }
    return 0;
}

}  // namespace devsim
