#include "serial/posix/TermiosMap.h"

#include <cerrno>
#include <cstdint>

namespace {

// Standard rates keep their B constant: some drivers handle BOTHER poorly.
speed_t StandardSpeed(uint32_t rate) {
    switch (rate) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 500000:
            return B500000;
        case 921600:
            return B921600;
        case 1000000:
            return B1000000;
        case 1500000:
            return B1500000;
        case 2000000:
            return B2000000;
        default:
            return BOTHER;
    }
}

}  // namespace

namespace zenta {

int DcbToTermios2(const TDCB& dcb, struct termios2& t) {
    // Speed 0 would hang up the line; a negative custom rate arrives as a huge value.
    if (dcb.BaudRate == 0 || dcb.BaudRate > 0x7FFFFFFFu) {
        return EINVAL;
    }
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8) {
        return EINVAL;
    }
    if (dcb.StopBits != 0 && dcb.StopBits != 2) {
        return EINVAL;
    }
    if (dcb.Parity > 4) {
        return EINVAL;
    }

    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | ECHOCTL | ECHOKE);
    t.c_cflag &=
        ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CREAD | CLOCAL;

    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[dcb.ByteSize - 5];
    if (dcb.StopBits == 2) {
        t.c_cflag |= CSTOPB;
    }
    switch (dcb.Parity) {
        case 1:
            t.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            t.c_cflag |= PARENB;
            break;
        case 3:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 4:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (dcb.Flags & DCB_fParity) {
        t.c_iflag |= INPCK;
    }

    const uint32_t rtsControl = (dcb.Flags & DCB_fRtsControlMask) >> DCB_fRtsControlShift;
    if ((dcb.Flags & DCB_fOutxCtsFlow) || rtsControl == 2) {
        t.c_cflag |= CRTSCTS;
    }
    if (dcb.Flags & DCB_fOutX) {
        t.c_iflag |= IXON;
    }
    if (dcb.Flags & DCB_fInX) {
        t.c_iflag |= IXOFF;
    }
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    const speed_t code = StandardSpeed(dcb.BaudRate);
    t.c_cflag |= code | (code << IBSHIFT);
    t.c_ispeed = dcb.BaudRate;
    t.c_ospeed = dcb.BaudRate;
    return 0;
}

void Termios2ToLine(const struct termios2& t, TDCB& dcb) {
    // The kernel keeps the rate in c_ospeed for B constants and BOTHER alike.
    dcb.BaudRate = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
        case CS5:
            dcb.ByteSize = 5;
            break;
        case CS6:
            dcb.ByteSize = 6;
            break;
        case CS7:
            dcb.ByteSize = 7;
            break;
        default:
            dcb.ByteSize = 8;
            break;
    }
    if (!(t.c_cflag & PARENB)) {
        dcb.Parity = 0;
    } else if (t.c_cflag & CMSPAR) {
        dcb.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    } else {
        dcb.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    }
    dcb.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
}

}  // namespace zenta
