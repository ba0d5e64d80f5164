#include "serial/posix/PosixSerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "serial/CPortTypes.h"
#include "serial/posix/TermiosMap.h"

namespace {

int Ioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r < 0 ? errno : 0;
}

int IoctlValue(int fd, unsigned long request, long arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r < 0 ? errno : 0;
}

}  // namespace

std::unique_ptr<ISerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<zenta::TPosixSerialDevice>();
}

namespace zenta {

TPosixSerialDevice::~TPosixSerialDevice() {
    Close();
}

int TPosixSerialDevice::Open(const std::string& path) {
    if (fd_ >= 0) {
        return EBUSY;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int err = 0;
    if (!::isatty(fd)) {
        err = ENOTTY;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // flock also holds against root, who bypasses TIOCEXCL.
        err = errno == EWOULDBLOCK ? EBUSY : errno;
    } else {
        err = IoctlValue(fd, TIOCEXCL, 0);
    }
    if (err != 0) {
        ::close(fd);
        return err;
    }
    fd_ = fd;
    return 0;
}

int TPosixSerialDevice::Close() {
    if (fd_ < 0) {
        return 0;
    }
    IoctlValue(fd_, TIOCNXCL, 0);
    int r = ::close(fd_);
    fd_ = -1;
    return r == 0 ? 0 : errno;
}

int TPosixSerialDevice::Configure(const TDCB& dcb) {
    if (fd_ < 0) {
        return EBADF;
    }
    struct termios2 t {};
    if (int err = Ioctl(fd_, TCGETS2, &t)) {
        return err;
    }
    if (int err = DcbToTermios2(dcb, t)) {
        return err;
    }
    if (int err = Ioctl(fd_, TCSETS2, &t)) {
        return err;
    }
    // The lines follow the control modes like a fresh configuration does.
    const uint32_t dtr = (dcb.Flags & DCB_fDtrControlMask) >> DCB_fDtrControlShift;
    const uint32_t rts = (dcb.Flags & DCB_fRtsControlMask) >> DCB_fRtsControlShift;
    ModemLine(TIOCM_DTR, dtr != 0);
    ModemLine(TIOCM_RTS, rts != 0);
    return 0;
}

int TPosixSerialDevice::LineInForce(TDCB& dcb) {
    if (fd_ < 0) {
        return EBADF;
    }
    struct termios2 t {};
    if (int err = Ioctl(fd_, TCGETS2, &t)) {
        return err;
    }
    Termios2ToLine(t, dcb);
    return 0;
}

long TPosixSerialDevice::Read(void* buf, std::size_t count) {
    if (fd_ < 0) {
        return -EBADF;
    }
    ssize_t n;
    do {
        n = ::read(fd_, buf, count);
    } while (n < 0 && errno == EINTR);
    if (n == 0 && count > 0) {
        return -EIO;  // a terminal reads 0 bytes only after its other side hung up
    }
    return n < 0 ? -errno : n;
}

long TPosixSerialDevice::Write(const void* buf, std::size_t count) {
    if (fd_ < 0) {
        return -EBADF;
    }
    ssize_t n;
    do {
        n = ::write(fd_, buf, count);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -errno : n;
}

int TPosixSerialDevice::ModemLine(int bit, bool on) {
    if (fd_ < 0) {
        return EBADF;
    }
    int bits = bit;
    return Ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits);
}

int TPosixSerialDevice::SetDTR(bool on) {
    return ModemLine(TIOCM_DTR, on);
}
int TPosixSerialDevice::SetRTS(bool on) {
    return ModemLine(TIOCM_RTS, on);
}

int TPosixSerialDevice::GetModemStatus(uint32_t& status) {
    status = 0;
    if (fd_ < 0) {
        return EBADF;
    }
    int bits = 0;
    if (int err = Ioctl(fd_, TIOCMGET, &bits)) {
        return err;
    }
    if (bits & TIOCM_CTS) {
        status |= MS_CTS_ON;
    }
    if (bits & TIOCM_DSR) {
        status |= MS_DSR_ON;
    }
    if (bits & TIOCM_RNG) {
        status |= MS_RING_ON;
    }
    if (bits & TIOCM_CAR) {
        status |= MS_RLSD_ON;
    }
    return 0;
}

int TPosixSerialDevice::SetBreak(bool on) {
    if (fd_ < 0) {
        return EBADF;
    }
    return IoctlValue(fd_, on ? TIOCSBRK : TIOCCBRK, 0);
}

int TPosixSerialDevice::SetXonXoff(bool on) {
    if (fd_ < 0) {
        return EBADF;
    }
    return IoctlValue(fd_, TCXONC, on ? TCOON : TCOOFF);
}

int TPosixSerialDevice::Flush(bool input, bool output) {
    if (fd_ < 0) {
        return EBADF;
    }
    if (!input && !output) {
        return 0;
    }
    const long which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return IoctlValue(fd_, TCFLSH, which);
}

int TPosixSerialDevice::OutputQueue(int& count) {
    count = 0;
    if (fd_ < 0) {
        return EBADF;
    }
    return Ioctl(fd_, TIOCOUTQ, &count);
}

int TPosixSerialDevice::Counters(TLineCounters& counters) {
    if (fd_ < 0) {
        return EBADF;
    }
    struct serial_icounter_struct ic {};
    if (int err = Ioctl(fd_, TIOCGICOUNT, &ic)) {
        return err;
    }
    counters.frame = static_cast<uint32_t>(ic.frame);
    counters.parity = static_cast<uint32_t>(ic.parity);
    counters.overrun = static_cast<uint32_t>(ic.overrun);
    counters.brk = static_cast<uint32_t>(ic.brk);
    counters.bufOverrun = static_cast<uint32_t>(ic.buf_overrun);
    return 0;
}

int TPosixSerialDevice::TransmitChar(char ch) {
    if (fd_ < 0) {
        return EBADF;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        long n = Write(&ch, 1);
        if (n == 1) {
            return 0;
        }
        if (n != -EAGAIN) {
            return n < 0 ? static_cast<int>(-n) : EIO;
        }
        // Output is full: give the line a moment before refusing.
        struct pollfd p {
            fd_, POLLOUT, 0
        };
        ::poll(&p, 1, 1000);
    }
    return EAGAIN;
}

}  // namespace zenta
