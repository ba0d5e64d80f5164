#include "serial/net/NetSerialDevice.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/sockios.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/CPortTypes.h"

std::unique_ptr<ISerialDevice> CreateNetSerialDevice() {
    return std::make_unique<zenta::net::TNetSerialDevice>();
}

namespace zenta::net {

namespace {

constexpr std::size_t kRawChunk = 64 * 1024;
// Source bytes one Write takes at most, and encoded bytes queued before writes are refused:
// a slow server pushes back instead of the queue growing.
constexpr std::size_t kWriteChunk = 16 * 1024;
constexpr std::size_t kTxHigh = 64 * 1024;
// Slices of a wait for an answer, so the event thread's reads are seen soon.
constexpr int kAwaitSliceMs = 10;
constexpr char kOurSignature[] = "zenta";

int64_t NowMs() {
    return MonotonicMs();
}

int PollOne(int fd, short events, int timeoutMs) {
    struct pollfd p {
        fd, events, 0
    };
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r > 0 ? p.revents : 0;
}

}  // namespace

TNetSerialDevice::TNetSerialDevice(int answerMs) : answerMs_(answerMs), raw_(kRawChunk) {
    codec_.SetSubHandler([this](uint8_t option, std::string_view payload) {
        if (option == telnet::kOptComPort) {
            answers_.Take(payload);
        }
    });
}

TNetSerialDevice::~TNetSerialDevice() {
    Close();
}

int TNetSerialDevice::Open(const std::string& path) {
    if (fd_ >= 0) {
        return EBUSY;
    }
    openError_.clear();
    const int err = OpenUrl(path);
    if (err != 0 && !openError_.empty()) {
        std::lock_guard lock(ioMutex_);
        NoteLocked(openError_);
    }
    return err;
}

int TNetSerialDevice::OpenUrl(const std::string& path) {
    TNetAddress address;
    if (std::string why = ParseNetPortName(path, address); !why.empty()) {
        openError_ = why;
        return EINVAL;
    }
    scheme_ = address.scheme;
    if (int err = Connect(address)) {
        return err;
    }
    dataEvent_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (scheme_ == TNetScheme::Rfc2217) {
        if (int err = Negotiate()) {
            Close();
            return err;
        }
    }
    return 0;
}

int TNetSerialDevice::Connect(const TNetAddress& address) {
    const int64_t deadline = NowMs() + kConnectMs;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(address.port);
    if (int rc = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &list); rc != 0) {
        openError_ = "cannot find host " + address.host + ": " + ::gai_strerror(rc);
        return EHOSTUNREACH;
    }
    int err = ETIMEDOUT;
    for (addrinfo* ai = list; ai && fd_ < 0; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            err = errno;
            continue;
        }
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            const int left = static_cast<int>(std::max<int64_t>(deadline - NowMs(), 0));
            if (PollOne(fd, POLLOUT, left) == 0) {
                errno = ETIMEDOUT;
            } else {
                int soError = 0;
                socklen_t len = sizeof soError;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
                errno = soError;
                rc = soError == 0 ? 0 : -1;
            }
        }
        if (rc != 0) {
            err = errno;
            ::close(fd);
            continue;
        }
        // Key presses go out as they are typed.
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        fd_ = fd;
    }
    ::freeaddrinfo(list);
    if (fd_ < 0) {
        openError_ =
            "cannot connect to " + address.host + ":" + service + ": " + std::strerror(err);
        return err;
    }
    return 0;
}

int TNetSerialDevice::Negotiate() {
    if (int err = SendEncoded(codec_.Greeting(true))) {
        return err;
    }
    const bool settled = Await(
        [this] {
            return codec_.LocalEnabled(telnet::kOptComPort) ||
                   codec_.LocalRefused(telnet::kOptComPort);
        },
        answerMs_);
    std::lock_guard lock(ioMutex_);
    if (!codec_.LocalEnabled(telnet::kOptComPort)) {
        openError_ = settled ? "the server refused the COM-PORT option (RFC 2217)"
                             : "the server did not answer the COM-PORT option (RFC 2217); "
                               "for plain bytes use socket://";
        return eof_ ? ECONNRESET : EPROTONOSUPPORT;
    }
    std::string out = ComPortCommand(cpo::kSetLineStateMask, cpo::kLineErrors);
    out += ComPortCommand(cpo::kSetModemStateMask, uint8_t{0xFF});
    out += SignatureCommand({});
    return SendEncoded(out);
}

int TNetSerialDevice::Close() {
    if (fd_ < 0) {
        return 0;
    }
    const int r = ::close(fd_);
    fd_ = -1;
    if (dataEvent_ >= 0) {
        ::close(dataEvent_);
        dataEvent_ = -1;
    }
    return r == 0 ? 0 : errno;
}

// --- sending ---

int TNetSerialDevice::FlushTxLocked() {
    while (txHead_ < txBuf_.size()) {
        const ssize_t n = ::send(fd_, txBuf_.data() + txHead_, txBuf_.size() - txHead_,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                sendError_ = errno;
                return errno;
            }
            break;
        }
        txHead_ += static_cast<std::size_t>(n);
    }
    if (txHead_ == txBuf_.size()) {
        txBuf_.clear();
        txHead_ = 0;
    } else if (txHead_ > txBuf_.size() / 2) {
        txBuf_.erase(0, txHead_);
        txHead_ = 0;
    }
    return 0;
}

int TNetSerialDevice::SendEncoded(const std::string& bytes) {
    std::lock_guard lock(sendMutex_);
    if (fd_ < 0) {
        return EBADF;
    }
    if (sendError_) {
        return sendError_;
    }
    txBuf_ += bytes;
    return FlushTxLocked();
}

void TNetSerialDevice::SendReplies(const std::string& bytes) {
    std::lock_guard lock(sendMutex_);
    // A server that floods requests and reads nothing gets no more answers than fit.
    if (fd_ < 0 || sendError_ || txBuf_.size() - txHead_ >= kTxHigh) {
        return;
    }
    txBuf_ += bytes;
    FlushTxLocked();
}

long TNetSerialDevice::Write(const void* buf, std::size_t count) {
    if (fd_ < 0) {
        return -EBADF;
    }
    if (lost_.load()) {
        return -ECONNRESET;
    }
    std::lock_guard lock(sendMutex_);
    if (sendError_) {
        return -sendError_;
    }
    if (int err = FlushTxLocked()) {
        return -err;
    }
    if (count == 0) {
        return 0;
    }
    if (outputHeld_.load() || serverSuspended_.load() || txBuf_.size() - txHead_ >= kTxHigh) {
        return -EAGAIN;
    }
    const std::size_t n = std::min(count, kWriteChunk);
    if (scheme_ == TNetScheme::Rfc2217) {
        AppendEscaped(txBuf_, static_cast<const char*>(buf), n);
    } else {
        txBuf_.append(static_cast<const char*>(buf), n);
    }
    if (int err = FlushTxLocked()) {
        return -err;
    }
    return static_cast<long>(n);
}

int TNetSerialDevice::TransmitChar(char ch) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const long n = Write(&ch, 1);
        if (n == 1) {
            return 0;
        }
        if (n != -EAGAIN) {
            return n < 0 ? static_cast<int>(-n) : EIO;
        }
        PollOne(fd_, POLLOUT, 1000);
    }
    return EAGAIN;
}

int TNetSerialDevice::OutputQueue(int& count) {
    count = 0;
    if (fd_ < 0) {
        return EBADF;
    }
    std::lock_guard lock(sendMutex_);
    if (int err = FlushTxLocked()) {
        return err;
    }
    int queued = 0;
    if (::ioctl(fd_, SIOCOUTQ, &queued) != 0) {
        queued = 0;
    }
    count = static_cast<int>(txBuf_.size() - txHead_) + queued;
    return 0;
}

// --- receiving ---

void TNetSerialDevice::SignalData() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t r = ::write(dataEvent_, &one, sizeof one);
}

void TNetSerialDevice::NoteLocked(std::string text) {
    // A server that keeps changing its mind is not allowed to fill memory with notes.
    if (notes_.size() < 64) {
        notes_.push_back(std::move(text));
    }
}

long TNetSerialDevice::PumpLocked() {
    if (eof_) {
        return 0;
    }
    ssize_t n;
    do {
        n = ::recv(fd_, raw_.data(), raw_.size(), MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n == 0) {
        eof_ = true;
        lost_.store(true);
        return 0;
    }
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return -EAGAIN;
        }
        lost_.store(true);
        return -errno;
    }
    if (rxHead_ == rxData_.size()) {
        rxData_.clear();
        rxHead_ = 0;
    }
    const std::size_t before = rxData_.size();
    if (scheme_ == TNetScheme::Socket) {
        rxData_.append(raw_.data(), static_cast<std::size_t>(n));
    } else {
        codec_.Feed(raw_.data(), static_cast<std::size_t>(n), rxData_);
        std::string replies = codec_.TakeReplies();
        if (answers_.TakeSignatureRequest()) {
            replies += SignatureCommand(kOurSignature);
        }
        if (!replies.empty()) {
            SendReplies(replies);
        }
        serverSuspended_.store(answers_.Suspended());
        if (!signatureNoted_ && !answers_.Signature().empty()) {
            signatureNoted_ = true;
            NoteLocked("server: " + answers_.Signature());
        }
    }
    if (discardInput_) {
        rxData_.resize(before);
    }
    return n;
}

long TNetSerialDevice::Read(void* buf, std::size_t count) {
    if (fd_ < 0) {
        return -EBADF;
    }
    std::lock_guard lock(ioMutex_);
    // A receive that brought only Telnet commands is followed by another, so that a
    // return without data means the socket is empty.
    for (int i = 0; i < 16 && RxAvailLocked() == 0 && !eof_; ++i) {
        const long r = PumpLocked();
        if (r < 0) {
            if (r != -EAGAIN) {
                return r;
            }
            break;
        }
    }
    const std::size_t n = std::min(count, RxAvailLocked());
    if (n > 0) {
        std::memcpy(buf, rxData_.data() + rxHead_, n);
        rxHead_ += n;
        return static_cast<long>(n);
    }
    return eof_ ? 0 : -EAGAIN;
}

bool TNetSerialDevice::Await(const std::function<bool()>& pred, int timeoutMs) {
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        {
            std::lock_guard lock(ioMutex_);
            if (pred()) {
                return true;
            }
            const std::size_t before = RxAvailLocked();
            long r;
            while ((r = PumpLocked()) > 0 && !pred()) {
            }
            if (RxAvailLocked() != before || r == 0 || (r < 0 && r != -EAGAIN)) {
                SignalData();  // the event thread has data or the end to collect
            }
            if (pred()) {
                return true;
            }
            if (r == 0 || (r < 0 && r != -EAGAIN)) {
                return false;
            }
        }
        const int64_t left = deadline - NowMs();
        if (left <= 0) {
            return false;
        }
        PollOne(fd_, POLLIN, static_cast<int>(std::min<int64_t>(left, kAwaitSliceMs)));
    }
}

zenta::TWaitResult TNetSerialDevice::Wait(const TWakeEvent* wake, bool input, bool output,
                                          int timeoutMs) {
    TWaitResult result;
    if (fd_ < 0) {
        return ISerialDevice::Wait(wake, input, output, timeoutMs);
    }
    if (input) {
        // Only the reader takes the signal: a writer waiting for room must not swallow it.
        uint64_t drained = 0;
        [[maybe_unused]] const ssize_t rd = ::read(dataEvent_, &drained, sizeof drained);
    }
    bool txWaiting = false;
    {
        std::lock_guard lock(sendMutex_);
        FlushTxLocked();
        txWaiting = txHead_ < txBuf_.size();
    }
    if (input) {
        std::lock_guard lock(ioMutex_);
        if (RxAvailLocked() > 0 || eof_) {
            result.input = true;
            return result;
        }
    }
    const bool paused = outputHeld_.load() || serverSuspended_.load();
    struct pollfd fds[3];
    nfds_t n = 0;
    const short sockEvents =
        static_cast<short>((input ? POLLIN : 0) | ((output || txWaiting) && !paused ? POLLOUT : 0));
    fds[n++] = {fd_, sockEvents, 0};
    int dataIndex = -1;
    if (input) {
        dataIndex = static_cast<int>(n);
        fds[n++] = {dataEvent_, POLLIN, 0};
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
    if (r <= 0) {
        return result;
    }
    const short ev = fds[0].revents;
    result.input = (ev & POLLIN) != 0 || (dataIndex >= 0 && (fds[dataIndex].revents & POLLIN));
    if (ev & POLLOUT) {
        std::lock_guard lock(sendMutex_);
        FlushTxLocked();
        result.output = output && txHead_ == txBuf_.size();
    }
    if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
        result.hangup = true;
        result.hangupError = (ev & POLLNVAL) ? EBADF : ECONNRESET;
    }
    if (wakeIndex >= 0) {
        result.woken = (fds[wakeIndex].revents & POLLIN) != 0;
    }
    return result;
}

// --- reports ---

zenta::TDeviceFault TNetSerialDevice::Classify(int systemError) const {
    switch (systemError) {
        case ECONNRESET:
        case ECONNREFUSED:
        case ECONNABORTED:
        case EPIPE:
        case ENOTCONN:
        case ETIMEDOUT:
        case EHOSTUNREACH:
        case ENETUNREACH:
        case ENETDOWN:
            return TDeviceFault::Gone;
        case EPROTONOSUPPORT:
            return TDeviceFault::Refused;
        default:
            return ISerialDevice::Classify(systemError);
    }
}

std::vector<std::string> TNetSerialDevice::TakeNotes() {
    std::lock_guard lock(ioMutex_);
    std::vector<std::string> out;
    out.swap(notes_);
    return out;
}

std::string TNetSerialDevice::ServerSignature() const {
    std::lock_guard lock(ioMutex_);
    return answers_.Signature();
}

}  // namespace zenta::net
