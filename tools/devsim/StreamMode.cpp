#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "devsim/Checksum.h"
#include "devsim/Modes.h"
#include "devsim/Pattern.h"

namespace devsim {
namespace {

using Clock = std::chrono::steady_clock;

std::string Hex32(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
}

}  // namespace

int RunStream(Session& session, const Options& options) {
    if (!WaitBeforeSending(session, options)) {
        return kExitOk;
    }
    session.Info("sending " + std::to_string(options.bytes) + " bytes, pattern " +
                 PatternName(options.pattern) +
                 (options.rate ? ", " + std::to_string(options.rate) + " bytes/s" : ""));

    PatternGenerator pattern(options.pattern, options.seed);
    Crc32 crc;
    // Large writes when unpaced: each write wakes the reader, and the simulator's own
    // switches should not be what limits a flood.
    std::vector<uint8_t> chunk(options.rate > 0 ? 4096 : 65536);
    uint64_t sent = 0;
    const auto start = Clock::now();
    bool complete = true;
    while (sent < options.bytes) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), options.bytes - sent));
        if (options.rate > 0) {
            // Allowance so far, from the start, so rounding never adds up to drift.
            const double secs = std::chrono::duration<double>(Clock::now() - start).count();
            const auto allowed = static_cast<uint64_t>(secs * static_cast<double>(options.rate));
            if (allowed <= sent) {
                const uint64_t ahead = sent + 1 - allowed;
                const double wait = static_cast<double>(ahead) * 1000.0 / options.rate;
                session.Sleep(std::max(1, static_cast<int>(wait)));
                if (session.Stopped() || session.ClosedByPeer()) {
                    complete = false;
                    break;
                }
                continue;
            }
            n = static_cast<size_t>(std::min<uint64_t>(n, allowed - sent));
        }
        pattern.Fill(chunk.data(), n);
        if (!session.WriteAll(chunk.data(), n, true)) {
            // Some of this chunk may have gone out; the count stays at whole chunks and the
            // result line below is not printed, so no false total is reported.
            complete = false;
            break;
        }
        crc.Update(chunk.data(), n);
        sent += n;
    }

    if (!complete) {
        if (session.Stopped()) {
            session.Info("stopped after " + std::to_string(sent) + " bytes");
            return kExitOk;
        }
        session.Error("the port was closed after " + std::to_string(sent) + " of " +
                      std::to_string(options.bytes) + " bytes");
        return kExitPortClosed;
    }
    session.Result("sent " + std::to_string(sent) + " bytes crc32 " + Hex32(crc.Value()));

    // Closing the master now would throw away what the reader has not fetched yet, so the
    // device stays until the program lets go of the port.
    session.Info("waiting for the program to close the port");
    while (!session.Stopped() && !session.ClosedByPeer()) {
        session.Sleep(100);
    }
    return kExitOk;
}

}  // namespace devsim
