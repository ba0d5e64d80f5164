#pragma once
// The text line formats of the telemetry board besides the GBK readings: plain CSV
// columns and coloured log lines as an ESP-IDF firmware prints them.

#include <cstdint>
#include <optional>
#include <string>

namespace devsim {

enum class TelemetryFormat { Kv, Csv, Log };

std::optional<TelemetryFormat> TelemetryFormatFromName(const std::string& name);

inline constexpr uint32_t kMaxTelemetryChannels = 64;

// Value of `channel` in line `count`: each channel a different wave (sine, cosine,
// triangle, sawtooth, ...) of its own period and size, three decimals.
double ChannelValue(uint64_t count, uint32_t channel);

// "12.345,-3.210,...\r\n": `channels` values (1..64).
std::string CsvTelemetryLine(uint64_t count, uint32_t channels);

// "\x1b[0;32mI (1234) sensor: temp=25.3°C hum=41% volt=3.30V\x1b[0m\r\n" in UTF-8, with
// now and then a warning (yellow W) or an error (red E) line instead.
std::string LogTelemetryLine(uint64_t count, uint64_t msSinceStart);

}  // namespace devsim
