#include "serial/net/ServerProbe.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zenta::net {

namespace {
// A connect that has not finished by then counts as failed (as at open).
constexpr int64_t kConnectMs = 5000;
}  // namespace

int TBackoff::Next() {
    const int now = next_;
    next_ = std::min(next_ * 2, kMaxMs);
    return now;
}

TServerProbe::TServerProbe(const std::string& portName) {
    valid_ = ParseNetPortName(portName, address_).empty();
}

TServerProbe::~TServerProbe() {
    Drop();
}

void TServerProbe::Drop() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void TServerProbe::Start(int64_t nowMs) {
    ++attempts_;
    nextAttemptMs_ = nowMs + backoff_.Next();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(address_.port);
    if (::getaddrinfo(address_.host.c_str(), service.c_str(), &hints, &list) != 0 || !list) {
        return;
    }
    const int fd = ::socket(list->ai_family, list->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        if (::connect(fd, list->ai_addr, list->ai_addrlen) == 0 || errno == EINPROGRESS) {
            fd_ = fd;
            giveUpMs_ = nowMs + kConnectMs;
        } else {
            ::close(fd);
        }
    }
    ::freeaddrinfo(list);
}

bool TServerProbe::Ready(int64_t nowMs) {
    if (!valid_) {
        return false;
    }
    if (fd_ >= 0) {
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 0) == 1) {
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
            Drop();
            if (err == 0) {
                backoff_.Reset();
                nextAttemptMs_ = 0;
                return true;
            }
        } else if (nowMs >= giveUpMs_) {
            Drop();
        }
    }
    if (fd_ < 0 && nowMs >= nextAttemptMs_) {
        Start(nowMs);
    }
    return false;
}

}  // namespace zenta::net
