#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace devsim {

// GBK byte sequences of the words the simulated board prints. Written out as bytes so the
// output does not depend on the locale or on a converter being installed.
namespace gbk {
inline constexpr char kTemperature[] = "\xCE\xC2\xB6\xC8";  // 温度
inline constexpr char kHumidity[] = "\xCA\xAA\xB6\xC8";     // 湿度
inline constexpr char kVoltage[] = "\xB5\xE7\xD1\xB9";      // 电压
inline constexpr char kCount[] = "\xBC\xC6\xCA\xFD";        // 计数
inline constexpr char kStatus[] = "\xD7\xB4\xCC\xAC";       // 状态
inline constexpr char kNormal[] = "\xD5\xFD\xB3\xA3";       // 正常
inline constexpr char kDegreeC[] = "\xA1\xE6";              // ℃
}  // namespace gbk

struct TelemetryReading {
    int tempTenths;      // 235 = 23.5 degrees
    int humidity;        // percent
    int voltHundredths;  // 330 = 3.30 V
};

// Readings drift slowly and repeat, like a board on a desk; a pure function of the count.
TelemetryReading ReadingAt(uint64_t count);

// One GBK line, e.g. "温度=23.5℃ 湿度=41% 电压=3.30V 计数=1234 状态=正常\r\n".
std::string TelemetryLine(uint64_t count);

enum class WaveKind { None, Sine, Triangle, Sawtooth };

std::optional<WaveKind> WaveFromName(const std::string& name);

// Sample `index` of a wave spanning 0..255 with `period` samples per cycle (at least 2).
uint8_t WaveSample(WaveKind kind, uint64_t index, uint32_t period);

}  // namespace devsim
