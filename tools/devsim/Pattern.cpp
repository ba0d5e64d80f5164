#include "devsim/Pattern.h"

#include "devsim/TelemetryFormats.h"

namespace devsim {
namespace {

// One ASCII line: 6-digit line number, a blank, the 95 printable characters, CR LF.
constexpr uint64_t kAsciiLine = 6 + 1 + 95 + 2;

}  // namespace

std::optional<PatternKind> PatternFromName(const std::string& name) {
    if (name == "counter") {
        return PatternKind::Counter;
    }
    if (name == "random") {
        return PatternKind::Random;
    }
    if (name == "ascii") {
        return PatternKind::Ascii;
    }
    if (name == "log") {
        return PatternKind::Log;
    }
    return std::nullopt;
}

const char* PatternName(PatternKind kind) {
    switch (kind) {
        case PatternKind::Counter:
            return "counter";
        case PatternKind::Random:
            return "random";
        case PatternKind::Ascii:
            return "ascii";
        case PatternKind::Log:
            return "log";
    }
    return "?";
}

// xorshift32 never leaves the zero state, so a zero seed is replaced.
PatternGenerator::PatternGenerator(PatternKind kind, uint32_t seed)
    : kind_(kind), state_(seed == 0 ? 0x9E3779B9u : seed) {}

uint8_t PatternGenerator::Next() {
    const uint64_t i = pos_++;
    switch (kind_) {
        case PatternKind::Counter:
            return static_cast<uint8_t>(i & 0xFF);
        case PatternKind::Random:
            if (i % 4 == 0) {
                state_ ^= state_ << 13;
                state_ ^= state_ >> 17;
                state_ ^= state_ << 5;
                word_ = state_;
            }
            return static_cast<uint8_t>(word_ >> (8 * (i % 4)));
        case PatternKind::Ascii: {
            const uint64_t line = i / kAsciiLine + 1;
            const uint64_t col = i % kAsciiLine;
            if (col < 6) {
                uint64_t n = line % 1000000;
                for (uint64_t k = col; k < 5; ++k) {
                    n /= 10;
                }
                return static_cast<uint8_t>('0' + n % 10);
            }
            if (col == 6) {
                return ' ';
            }
            if (col < 6 + 1 + 95) {
                return static_cast<uint8_t>(0x20 + (col - 7));
            }
            return col == kAsciiLine - 2 ? '\r' : '\n';
        }
        case PatternKind::Log:
            if (lineSent_ == line_.size()) {
                ++lines_;
                line_ = LogTelemetryLine(lines_, lines_ * 10);
                lineSent_ = 0;
            }
            return static_cast<uint8_t>(line_[lineSent_++]);
    }
    return 0;
}

void PatternGenerator::Fill(uint8_t* out, size_t len) {
    for (size_t i = 0; i < len; ++i) {
        out[i] = Next();
    }
}

}  // namespace devsim
