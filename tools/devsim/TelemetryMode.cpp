#include <poll.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "devsim/Modes.h"
#include "devsim/Telemetry.h"
#include "devsim/TelemetryFormats.h"

namespace devsim {
namespace {

using Clock = std::chrono::steady_clock;

// A board's UART keeps sending whether or not anyone keeps up; beyond this much unsent
// output new lines and samples are dropped whole rather than blocking the schedule.
constexpr size_t kMaxPending = 4096;

double SecondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Milliseconds between lines: --lines-per-second when given, else --interval.
double LinePeriodMs(const Options& o) {
    return o.linesPerSecond > 0 ? 1000.0 / o.linesPerSecond : static_cast<double>(o.intervalMs);
}

std::string LineFor(const Options& o, uint64_t count) {
    switch (o.format) {
        case TelemetryFormat::Csv:
            return CsvTelemetryLine(count, o.channels);
        case TelemetryFormat::Log:
            // The tick a firmware prints: its time since boot when the line is due.
            return LogTelemetryLine(
                count, static_cast<uint64_t>(static_cast<double>(count - 1) * LinePeriodMs(o)));
        case TelemetryFormat::Kv:
            break;
    }
    return TelemetryLine(count);
}

}  // namespace

int RunTelemetry(Session& session, const Options& options) {
    if (!WaitBeforeSending(session, options)) {
        return kExitOk;
    }
    const bool text = options.wave == WaveKind::None || options.interleave;
    const bool wave = options.wave != WaveKind::None;

    std::string pending;
    uint64_t lineCount = 0;
    uint64_t sampleIndex = 0;
    uint64_t dropped = 0;
    auto epoch = Clock::now();
    uint64_t linesThisRun = 0;    // lines due since `epoch`
    uint64_t samplesThisRun = 0;  // samples due since `epoch`
    uint8_t sink[1024];

    auto queue = [&](const std::string& bytes) {
        if (pending.size() + bytes.size() > kMaxPending) {
            if (dropped++ == 0) {
                session.Info("the program is not keeping up; dropping output");
            }
            return;
        }
        pending += bytes;
    };

    for (;;) {
        if (session.Stopped()) {
            return kExitOk;
        }
        if (session.ClosedByPeer()) {
            if (options.lines > 0 && lineCount >= options.lines) {
                return kExitOk;
            }
            pending.clear();
            if (!session.WaitUntilOpen()) {
                return kExitOk;
            }
            epoch = Clock::now();
            linesThisRun = 0;
            samplesThisRun = 0;
            continue;
        }
        const bool finished = options.lines > 0 && lineCount >= options.lines;

        const double elapsed = SecondsSince(epoch);
        if (text && !finished) {
            // First line at once, then one per interval.
            const auto due = static_cast<uint64_t>(elapsed * 1000.0 / LinePeriodMs(options)) + 1;
            while (linesThisRun < due && (options.lines == 0 || lineCount < options.lines)) {
                ++linesThisRun;
                queue(LineFor(options, ++lineCount));
            }
        }
        if (wave && !finished) {
            const auto due = static_cast<uint64_t>(elapsed * options.waveRate);
            std::string samples;
            for (; samplesThisRun < due; ++samplesThisRun) {
                samples +=
                    static_cast<char>(WaveSample(options.wave, sampleIndex++, options.wavePeriod));
            }
            if (!samples.empty()) {
                queue(samples);
            }
        }

        if (!pending.empty()) {
            const size_t n =
                session.WriteSome(reinterpret_cast<const uint8_t*>(pending.data()), pending.size());
            pending.erase(0, n);
        }
        // What the program sends is read and ignored, so its writes never stall.
        while (session.ReadSome(sink, sizeof sink) > 0) {
        }

        if (finished && pending.empty()) {
            // The last lines must be read before the master goes away; keep the port
            // until the program closes it.
            session.Sleep(100);
            continue;
        }
        const short want = pending.empty() ? POLLIN : static_cast<short>(POLLIN | POLLOUT);
        session.Wait(want,
                     wave ? 10 : static_cast<int>(std::clamp(LinePeriodMs(options), 1.0, 50.0)));
    }
}

}  // namespace devsim
