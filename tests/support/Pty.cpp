#include "support/Pty.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace zenta::test {

TPty::TPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        CloseMaster();
        return;
    }
    slave_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

TPty::~TPty() {
    CloseMaster();
}

void TPty::CloseMaster() {
    if (master_ >= 0) {
        ::close(master_);
    }
    master_ = -1;
}

bool TPty::Send(const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(master_, data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        struct pollfd p {
            master_, POLLOUT, 0
        };
        ::poll(&p, 1, 100);
    }
    return true;
}

std::string TPty::Receive(std::size_t count, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string out;
    char buf[4096];
    while (out.size() < count && Clock::now() < deadline) {
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        struct pollfd p {
            master_, POLLIN, 0
        };
        ::poll(&p, 1, 20);
    }
    return out;
}

long TPty::SlaveSpeed() const {
    struct termios2 t {};
    if (::ioctl(master_, TCGETS2, &t) != 0) {
        return -1;
    }
    return static_cast<long>(t.c_ospeed);
}

std::string ReadUntilQuiet(int fd, std::size_t n, int quietMs) {
    std::string got;
    char buf[4096];
    while (got.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, quietMs) <= 0) {
            break;
        }
        const ssize_t k = ::read(fd, buf, sizeof buf);
        if (k <= 0) {
            break;
        }
        got.append(buf, static_cast<std::size_t>(k));
    }
    return got;
}

}  // namespace zenta::test
