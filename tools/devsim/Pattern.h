#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace devsim {

enum class PatternKind {
    Counter,  // 00 01 02 ... FF 00 01 ...
    Random,   // seeded xorshift32, reproducible from the seed
    Ascii,    // printable lines "000001 !\"#$...\r\n", readable in a text window
    Log,      // the coloured UTF-8 log lines of `telemetry --format log`, 10 ms apart, the
              // first 4,096 of them over and over
};

std::optional<PatternKind> PatternFromName(const std::string& name);
const char* PatternName(PatternKind kind);

// Produces an endless byte pattern; the bytes depend only on the kind, the seed and the
// position, never on how the output is cut into pieces.
class PatternGenerator {
  public:
    explicit PatternGenerator(PatternKind kind, uint32_t seed = 1);
    void Fill(uint8_t* out, size_t len);
    uint64_t Position() const { return pos_; }

  private:
    void NextLine();

    PatternKind kind_;
    uint32_t state_;
    uint32_t word_ = 0;
    uint64_t pos_ = 0;
    static constexpr uint64_t kLogCycle = 4096;
    // Ascii: the line being sent; Log: the whole cycle. How much of it has gone.
    std::string line_;
    size_t lineSent_ = 0;
    uint64_t lines_ = 0;
};

}  // namespace devsim
