#include "devsim/BootloaderMode.h"

#include <asm/termbits.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "devsim/BootChip.h"

namespace devsim {
namespace {

using Clock = std::chrono::steady_clock;

std::string Hex32(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

bool WriteDump(const std::string& path, const std::vector<std::uint8_t>& flash) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    const bool ok = std::fwrite(flash.data(), 1, flash.size(), f) == flash.size();
    return std::fclose(f) == 0 && ok;
}

// One line per event, in microseconds of the monotonic clock: "open T", "rx T BYTES",
// "tx T BYTES DUE" (DUE: when the reply was meant to go) and "close T". The time the
// program took between a reply and its next write is the program's own, whatever the
// simulated line and chip cost.
class Trace {
  public:
    explicit Trace(const std::string& path)
        : file_(path.empty() ? nullptr : std::fopen(path.c_str(), "w")) {}
    ~Trace() {
        if (file_) {
            std::fclose(file_);
        }
    }
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;
    bool Failed(const std::string& path) const { return !path.empty() && !file_; }
    void Event(const char* what, Clock::time_point at, long bytes = -1,
               Clock::time_point due = {}) {
        if (!file_) {
            return;
        }
        std::fprintf(file_, "%s %lld", what, Micros(at));
        if (bytes >= 0) {
            std::fprintf(file_, " %ld", bytes);
        }
        if (due != Clock::time_point{}) {
            std::fprintf(file_, " %lld", Micros(due));
        }
        std::fputc('\n', file_);
    }
    // The port opened or closed: flushed, so a reader sees every run that has ended.
    void PortEvent(const char* what, Clock::time_point at) {
        Event(what, at);
        if (file_) {
            std::fflush(file_);
        }
    }

  private:
    long long Micros(Clock::time_point at) const {
        return std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    }
    std::FILE* file_;
};

}  // namespace

std::chrono::nanoseconds CharacterTime(const LineSettings& line) {
    int dataBits = 8;
    switch (line.cflag & CSIZE) {
        case CS5:
            dataBits = 5;
            break;
        case CS6:
            dataBits = 6;
            break;
        case CS7:
            dataBits = 7;
            break;
        default:
            break;
    }
    const int bits = 1 + dataBits + 1 + ((line.cflag & CSTOPB) ? 2 : 1);
    const std::uint64_t rate = line.ospeed ? line.ospeed : 9600;
    return std::chrono::nanoseconds(bits * 1'000'000'000ull / rate);
}

int RunBootloader(Session& session, const Options& options) {
    const ChipFamily family = ChipFromName(options.chip).value_or(ChipFamily::F1);
    const BootFault fault = FaultFromName(options.fault).value_or(BootFault::None);
    BootChip chip(family, fault, options.faultAddress);
    session.Info(
        "STM32 bootloader (" + options.chip +
        (options.fault.empty() ? "" : ", fault " + options.fault) + ")" +
        (options.lineTiming ? ", line timing" : "") +
        (options.latencyMs ? ", reply latency " + std::to_string(options.latencyMs) + " ms" : ""));

    Trace trace(options.trace);
    if (trace.Failed(options.trace)) {
        session.Error("cannot write " + options.trace);
        return kExitFailure;
    }
    const auto latency = std::chrono::milliseconds(options.latencyMs);
    std::vector<std::uint8_t> buf(4096);
    std::string reply;
    Clock::time_point lineFree{};  // when the last received character has fully arrived
    bool open = session.PortOpen();
    if (open) {
        trace.PortEvent("open", Clock::now());
    }
    while (!session.Stopped()) {
        const short ev = session.Wait(POLLIN, 100);
        if (!session.PortOpen()) {
            // Closing the port stands in for the reset a real cable gives on the next run.
            if (open) {
                chip.Reset();
                open = false;
                trace.PortEvent("close", Clock::now());
            }
            continue;
        }
        if (!open) {
            trace.PortEvent("open", Clock::now());
        }
        open = true;
        if (!(ev & POLLIN)) {
            continue;
        }
        const ssize_t n = session.ReadSome(buf.data(), buf.size());
        if (n < 0) {
            session.Error("reading the port failed");
            return kExitFailure;
        }
        if (n == 0) {
            continue;
        }
        const auto charTime = CharacterTime(session.Line());
        const Clock::time_point now = Clock::now();
        trace.Event("rx", now, static_cast<long>(n));
        if (options.lineTiming) {
            lineFree = std::max(lineFree, now) + charTime * n;
        }
        reply.clear();
        chip.Feed(buf.data(), static_cast<std::size_t>(n), reply);
        if (auto go = chip.TakeGo()) {
            session.Info("user program started at " + Hex32(*go));
        }
        // The chip answers a flash operation only when it is done.
        const auto busy =
            std::chrono::microseconds(std::uint64_t{chip.TakeBusyMs()} * 10 * options.eraseScale);
        if (!reply.empty()) {
            Clock::time_point sendAt = (options.lineTiming ? lineFree : now) + latency + busy;
            if (options.lineTiming) {
                sendAt += charTime * static_cast<long>(reply.size());
            }
            std::this_thread::sleep_until(sendAt);
            if (!session.WriteAll(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size(),
                                  true)) {
                continue;
            }
            trace.Event("tx", Clock::now(), static_cast<long>(reply.size()), sendAt);
        }
        if (options.unplugAfter && chip.BlocksWritten() >= options.unplugAfter) {
            session.Info("unplugged after " + std::to_string(chip.BlocksWritten()) + " blocks");
            break;
        }
    }
    if (!options.dump.empty()) {
        if (!WriteDump(options.dump, chip.Flash())) {
            session.Error("cannot write " + options.dump);
            return kExitFailure;
        }
        session.Info("flash written to " + options.dump);
    }
    return kExitOk;
}

}  // namespace devsim
