#include "devsim/Pattern.h"

#include <algorithm>
#include <cstring>

#include "devsim/TelemetryFormats.h"

namespace devsim {

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

// Each kind is made in runs rather than byte by byte: a flood of the simulator should cost
// little beside the program that reads it.
void PatternGenerator::Fill(uint8_t* out, size_t len) {
    switch (kind_) {
        case PatternKind::Counter:
            for (size_t i = 0; i < len; ++i) {
                out[i] = static_cast<uint8_t>((pos_ + i) & 0xFF);
            }
            pos_ += len;
            return;
        case PatternKind::Random:
            for (size_t i = 0; i < len; ++i, ++pos_) {
                if (pos_ % 4 == 0) {
                    state_ ^= state_ << 13;
                    state_ ^= state_ >> 17;
                    state_ ^= state_ << 5;
                    word_ = state_;
                }
                out[i] = static_cast<uint8_t>(word_ >> (8 * (pos_ % 4)));
            }
            return;
        case PatternKind::Log:
            // A cycle of lines made once: formatting each line would make the simulator,
            // not the reader, the limit of a flood.
            if (line_.empty()) {
                for (uint64_t n = 1; n <= kLogCycle; ++n) {
                    line_ += LogTelemetryLine(n, n * 10);
                }
            }
            for (size_t done = 0; done < len;) {
                const size_t n = std::min(len - done, line_.size() - lineSent_);
                std::memcpy(out + done, line_.data() + lineSent_, n);
                lineSent_ = (lineSent_ + n) % line_.size();
                done += n;
            }
            pos_ += len;
            return;
        case PatternKind::Ascii:
            for (size_t done = 0; done < len;) {
                if (lineSent_ == line_.size()) {
                    NextLine();
                }
                const size_t n = std::min(len - done, line_.size() - lineSent_);
                std::memcpy(out + done, line_.data() + lineSent_, n);
                lineSent_ += n;
                done += n;
            }
            pos_ += len;
            return;
    }
}

void PatternGenerator::NextLine() {
    ++lines_;
    lineSent_ = 0;
    if (line_.empty()) {
        line_ = "000000 ";
        for (char c = 0x20; c < 0x7F; ++c) {
            line_ += c;
        }
        line_ += "\r\n";
    }
    uint64_t n = lines_ % 1000000;
    for (int k = 5; k >= 0; --k, n /= 10) {
        line_[static_cast<size_t>(k)] = static_cast<char>('0' + n % 10);
    }
}

}  // namespace devsim
