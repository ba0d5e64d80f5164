// Waiting, wake-up, thread priority and error meanings of the engine on Linux.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include "serial/SerialDevice.h"

namespace zenta {

TWakeEvent::TWakeEvent() : handle_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TWakeEvent::~TWakeEvent() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

void TWakeEvent::Set() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t r = ::write(static_cast<int>(handle_), &one, sizeof one);
}

void TWakeEvent::Reset() {
    uint64_t value = 0;
    [[maybe_unused]] const ssize_t r = ::read(static_cast<int>(handle_), &value, sizeof value);
}

bool TWakeEvent::IsSet() const {
    struct pollfd p {
        static_cast<int>(handle_), POLLIN, 0
    };
    return ::poll(&p, 1, 0) > 0;
}

void SetThisThreadPriority(TThreadPriority priority) {
    if (priority == tpNormal) {
        return;
    }
    static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -15};
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kNice[priority]);
}

bool IsDeviceGoneError(int systemError) {
    return systemError == EIO || systemError == ENXIO || systemError == ENODEV ||
           systemError == EBADF;
}

}  // namespace zenta

zenta::TWaitResult ISerialDevice::Wait(const zenta::TWakeEvent* wake, bool input, bool output,
                                       int timeoutMs) {
    struct pollfd fds[2];
    nfds_t n = 0;
    int devIndex = -1;
    const int fd = PollFd();
    if (fd >= 0 && (input || output)) {
        devIndex = static_cast<int>(n);
        fds[n++] = {fd, static_cast<short>((input ? POLLIN : 0) | (output ? POLLOUT : 0)), 0};
    }
    int wakeIndex = -1;
    if (wake && wake->Handle() >= 0) {
        wakeIndex = static_cast<int>(n);
        fds[n++] = {static_cast<int>(wake->Handle()), POLLIN, 0};
    }
    int r;
    do {
        r = ::poll(fds, n, timeoutMs);
    } while (r < 0 && errno == EINTR);

    zenta::TWaitResult result;
    if (r <= 0) {
        return result;
    }
    if (devIndex >= 0) {
        const short ev = fds[devIndex].revents;
        result.input = (ev & POLLIN) != 0;
        result.output = (ev & POLLOUT) != 0;
        if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
            result.hangup = true;
            result.hangupError = (ev & POLLNVAL) ? EBADF : EIO;
        }
    }
    if (wakeIndex >= 0) {
        result.woken = (fds[wakeIndex].revents & POLLIN) != 0;
    }
    return result;
}

zenta::TDeviceFault ISerialDevice::Classify(int systemError) const {
    using zenta::TDeviceFault;
    if (systemError == 0) {
        return TDeviceFault::None;
    }
    if (zenta::IsDeviceGoneError(systemError) || systemError == ENOENT) {
        return TDeviceFault::Gone;
    }
    switch (systemError) {
        case EAGAIN:
            return TDeviceFault::TryAgain;
        case EBUSY:
            return TDeviceFault::Busy;
        case EACCES:
        case EPERM:
            return TDeviceFault::Denied;
        case ENOTTY:
        case EINVAL:
            return TDeviceFault::Unsupported;
        default:
            return TDeviceFault::Refused;
    }
}
