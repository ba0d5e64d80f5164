#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "devsim/LineSettings.h"

namespace devsim {

// What a mode sees of the port: waiting that wakes on data, on a stop request and
// regularly enough to notice new line settings; reads and writes that never drop bytes;
// whether a program has the port open.
class Session {
  public:
    // `wakeFd` becomes readable when the program is asked to stop (signal self-pipe).
    Session(int masterFd, int wakeFd, bool quiet);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Stopped() const { return stopped_; }

    // Waits at most `timeoutMs` (negative: no limit) for any of `events` on the master.
    // Returns the events that arrived, 0 on time-out, on a stop request or while closed.
    short Wait(short events, int timeoutMs);
    void Sleep(int ms) { Wait(0, ms); }

    // True while a program has the port open (as last seen by Wait()).
    bool PortOpen() const { return !hangup_; }
    // Blocks until PortOpen() or a stop request; returns PortOpen().
    bool WaitUntilOpen();
    // True after the port was open and has been closed again.
    bool ClosedByPeer() const { return wasOpen_ && hangup_; }

    // Reads what is there (never blocks); 0 when nothing is, -1 on a real error.
    ssize_t ReadSome(uint8_t* buf, size_t cap);
    // Writes all of it, waiting for room as needed. Stops early (returning false) on a
    // stop request, or when `untilClosed` and the program closes the port.
    bool WriteAll(const uint8_t* data, size_t len, bool untilClosed);
    // Writes what fits now; returns the number of bytes taken (never blocks).
    size_t WriteSome(const uint8_t* data, size_t len);

    void Info(const std::string& text) const;    // suppressed by --quiet
    void Result(const std::string& text) const;  // always printed
    void Error(const std::string& text) const;

    // The line settings the program set, as last seen.
    const LineSettings& Line() const { return last_; }

    // Checks the line settings now (Wait() does this on its own every few ms).
    void CheckLine();

    // Runs `replug` once, `afterMs` from now, from inside Wait() or WriteAll(); it swaps the
    // terminal under the master descriptor. The new terminal counts as not yet open.
    void ScheduleReplug(uint32_t afterMs, std::function<bool()> replug);

  private:
    void MarkHangup(bool hup);
    void ReplugIfDue();
    int WaitWhileClosed(int slice);
    void WatchMaster();

    int master_;
    int wake_;
    int closedWatch_ = -1;  // epoll on the master, edge-triggered, and the wake pipe
    bool quiet_;
    bool stopped_ = false;
    bool hangup_ = true;
    bool wasOpen_ = false;
    LineSettings last_{};
    std::string lastReported_;
    std::function<bool()> replug_;
    std::chrono::steady_clock::time_point replugAt_;
};

}  // namespace devsim
