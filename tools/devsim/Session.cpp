#include "devsim/Session.h"

#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace devsim {
namespace {

// Longest time between two looks at the line settings and the stop request.
constexpr int kTickMs = 20;

using Clock = std::chrono::steady_clock;

}  // namespace

Session::Session(int masterFd, int wakeFd, bool quiet)
    : master_(masterFd), wake_(wakeFd), quiet_(quiet) {
    ReadLineSettings(master_, last_);
    pollfd probe{master_, 0, 0};
    hangup_ = poll(&probe, 1, 0) < 0 || (probe.revents & POLLHUP) != 0;
    wasOpen_ = !hangup_;
    WatchMaster();
}

Session::~Session() {
    if (closedWatch_ >= 0) {
        close(closedWatch_);
    }
}

// While the slave is closed the master reports POLLHUP at once, so poll() cannot wait on
// it. Edge-triggered epoll can: it wakes when the terminal's state changes, that is, at
// the program's first write. Without it the first byte would wait for the next tick, a
// random 0-20 ms the program under test never caused.
void Session::WatchMaster() {
    if (closedWatch_ >= 0) {
        close(closedWatch_);  // after a replug the master is another terminal
    }
    closedWatch_ = epoll_create1(EPOLL_CLOEXEC);
    if (closedWatch_ < 0) {
        return;
    }
    epoll_event master{};
    master.events = EPOLLIN | EPOLLET;
    master.data.fd = master_;
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = wake_;
    if (epoll_ctl(closedWatch_, EPOLL_CTL_ADD, master_, &master) != 0 ||
        epoll_ctl(closedWatch_, EPOLL_CTL_ADD, wake_, &wake) != 0) {
        close(closedWatch_);
        closedWatch_ = -1;
    }
}

// Returns like poll() on the wake pipe alone: > 0 only when a stop was requested.
int Session::WaitWhileClosed(int slice) {
    if (closedWatch_ < 0) {
        pollfd wake{wake_, POLLIN, 0};
        return poll(&wake, 1, slice);
    }
    epoll_event got[2];
    const int n = epoll_wait(closedWatch_, got, 2, slice);
    if (n < 0) {
        return n;
    }
    int stop = 0;
    for (int i = 0; i < n; ++i) {
        stop += got[i].data.fd == wake_;
    }
    return stop;
}

void Session::CheckLine() {
    LineSettings now;
    if (!ReadLineSettings(master_, now) || now == last_) {
        return;
    }
    last_ = now;
    const std::string text = DescribeLine(now);
    if (text != lastReported_) {
        lastReported_ = text;
        Info("port set to " + text);
    }
}

void Session::MarkHangup(bool hup) {
    if (hup == hangup_) {
        return;
    }
    hangup_ = hup;
    Info(hup ? "port closed by the program" : "port opened by a program");
    if (!hup) {
        wasOpen_ = true;
        CheckLine();
    }
}

void Session::ScheduleReplug(uint32_t afterMs, std::function<bool()> replug) {
    replug_ = std::move(replug);
    replugAt_ = Clock::now() + std::chrono::milliseconds(afterMs);
}

void Session::ReplugIfDue() {
    if (!replug_ || Clock::now() < replugAt_) {
        return;
    }
    const std::function<bool()> replug = std::move(replug_);
    replug_ = nullptr;
    if (!replug()) {
        stopped_ = true;
        return;
    }
    // Nobody has the new terminal open yet; a mode that waits for the program again
    // (ClosedByPeer) picks up once it reopens.
    hangup_ = true;
    ReadLineSettings(master_, last_);
    WatchMaster();
}

short Session::Wait(short events, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        ReplugIfDue();
        CheckLine();
        if (stopped_) {
            return 0;
        }
        int slice = kTickMs;
        if (timeoutMs >= 0) {
            // Rounded up: a wait of less than a millisecond rounded down to 0 would spin.
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            slice = static_cast<int>(std::clamp<long long>(left, 0, kTickMs));
        }
        pollfd fds[2] = {{master_, hangup_ ? short(0) : events, 0}, {wake_, POLLIN, 0}};
        const int rc = hangup_ ? WaitWhileClosed(slice) : poll(fds, 2, slice);
        if (rc < 0 && errno != EINTR) {
            stopped_ = true;
            return 0;
        }
        if (hangup_ ? rc > 0 : fds[1].revents != 0) {
            stopped_ = true;
            return 0;
        }
        if (hangup_) {
            pollfd probe{master_, events, 0};
            if (poll(&probe, 1, 0) >= 0) {
                fds[0].revents = probe.revents;
            }
        }
        MarkHangup((fds[0].revents & POLLHUP) != 0);
        const short got = static_cast<short>(fds[0].revents & events);
        if (got && !hangup_) {
            return got;
        }
        if (timeoutMs >= 0 && Clock::now() >= deadline) {
            return 0;
        }
    }
}

bool Session::WaitUntilOpen() {
    while (!stopped_ && !PortOpen()) {
        Sleep(kTickMs);
    }
    return PortOpen();
}

ssize_t Session::ReadSome(uint8_t* buf, size_t cap) {
    const ssize_t n = read(master_, buf, cap);
    if (n >= 0) {
        return n;
    }
    if (errno == EAGAIN || errno == EINTR) {
        return 0;
    }
    if (errno == EIO) {
        MarkHangup(true);
        return 0;
    }
    return -1;
}

size_t Session::WriteSome(const uint8_t* data, size_t len) {
    const ssize_t n = write(master_, data, len);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

bool Session::WriteAll(const uint8_t* data, size_t len, bool untilClosed) {
    size_t done = 0;
    while (done < len) {
        ReplugIfDue();
        if (stopped_ || (untilClosed && ClosedByPeer())) {
            return false;
        }
        const ssize_t n = write(master_, data + done, len - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            // A fast reader may never let the buffer fill, so Wait() alone would not see
            // the port open and close again.
            pollfd probe{master_, 0, 0};
            if (poll(&probe, 1, 0) >= 0) {
                MarkHangup((probe.revents & POLLHUP) != 0);
            }
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
            return false;
        }
        // The pty buffer is full (a few KiB): wait until the reader makes room.
        Wait(POLLOUT, kTickMs);
    }
    return true;
}

void Session::Info(const std::string& text) const {
    if (!quiet_) {
        Result(text);
    }
}

void Session::Result(const std::string& text) const {
    std::fprintf(stdout, "devsim: %s\n", text.c_str());
    std::fflush(stdout);
}

void Session::Error(const std::string& text) const {
    std::fprintf(stderr, "devsim: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace devsim
