#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "devsim/Pattern.h"
#include "devsim/Telemetry.h"
#include "devsim/TelemetryFormats.h"

namespace devsim {

inline constexpr const char* kDefaultLink = "/tmp/ttyZENTA0";

// Exit codes of the program.
enum ExitCode : int {
    kExitOk = 0,          // finished, or stopped by SIGINT/SIGTERM/SIGHUP
    kExitFailure = 1,     // the pseudo-terminal or the link could not be set up, I/O failed
    kExitUsage = 2,       // bad command line
    kExitPortClosed = 3,  // the other side closed the port before the stream was complete
};

struct Options {
    std::string mode;
    std::string link = kDefaultLink;
    bool force = false;
    bool quiet = false;
    bool help = false;
    std::optional<bool> waitOpen;  // unset: the mode's own default
    uint32_t startDelayMs = 0;
    uint32_t replugAfterMs = 0;  // 0 = never

    // stream
    uint64_t bytes = 1024 * 1024;
    PatternKind pattern = PatternKind::Counter;
    uint32_t seed = 1;
    uint64_t rate = 0;  // bytes per second, 0 = as fast as the reader takes them

    // telemetry
    uint32_t intervalMs = 1000;
    uint64_t lines = 0;  // 0 = endless
    WaveKind wave = WaveKind::None;
    bool interleave = false;
    uint32_t waveRate = 100;  // samples per second
    uint32_t wavePeriod = 100;
    TelemetryFormat format = TelemetryFormat::Kv;
    uint32_t channels = 3;        // values per csv line
    uint32_t linesPerSecond = 0;  // 0: one line per --interval

    // bootloader
    std::string chip = "f1";             // f1 (Erase 0x43) or f4 (Extended Erase only)
    std::string fault;                   // silence, nack-sync, nack-erase, protected; empty: none
    uint32_t faultAddress = 0x08000100;  // the byte of the stuck-bit fault
    uint32_t unplugAfter = 0;            // blocks written before the device vanishes; 0 = never
    uint32_t latencyMs = 0;              // added before every reply, like a USB adapter's
    bool lineTiming = false;             // replies wait for the characters' time on the line
    std::string dump;                    // the flash is written here at exit
    std::string trace;                   // every exchange's times are written here
    // percent of the chip's typical erase times; chip is f0, f1, f4, g0, l4, h7 or l0
    uint32_t eraseScale = 100;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line is valid
};

// argv[0] is the program name. A mode name is required unless --help is given.
ParseResult ParseOptions(int argc, const char* const* argv);

// "4096", "64K", "2M", "1G" (binary multiples). Empty on junk, overflow or a negative value.
std::optional<uint64_t> ParseByteCount(const std::string& text);

std::string UsageText();

}  // namespace devsim
