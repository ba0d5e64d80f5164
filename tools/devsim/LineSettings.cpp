#include "devsim/LineSettings.h"

// Only the kernel's definitions here: <termios.h> would redefine struct termios.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

namespace devsim {

bool ReadLineSettings(int masterFd, LineSettings& out) {
    struct termios2 t {};
    if (ioctl(masterFd, TCGETS2, &t) != 0) {
        return false;
    }
    out.iflag = t.c_iflag;
    out.oflag = t.c_oflag;
    out.cflag = t.c_cflag;
    out.lflag = t.c_lflag;
    out.ispeed = t.c_ispeed;
    out.ospeed = t.c_ospeed;
    static_assert(sizeof out.cc == sizeof t.c_cc);
    std::memcpy(out.cc, t.c_cc, sizeof out.cc);
    return true;
}

bool MakeLineRaw(int masterFd) {
    struct termios2 t {};
    if (ioctl(masterFd, TCGETS2, &t) != 0) {
        return false;
    }
    // The same changes as cfmakeraw().
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | CBAUD | CIBAUD);
    t.c_cflag |= CS8 | BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = 9600;
    t.c_ospeed = 9600;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(masterFd, TCSETS2, &t) == 0;
}

std::string DescribeLine(const LineSettings& s) {
    std::string text = std::to_string(s.ospeed);
    text += ' ';
    switch (s.cflag & CSIZE) {
        case CS5:
            text += '5';
            break;
        case CS6:
            text += '6';
            break;
        case CS7:
            text += '7';
            break;
        default:
            text += '8';
            break;
    }
    if (!(s.cflag & PARENB)) {
        text += 'N';
    } else if (s.cflag & CMSPAR) {
        text += (s.cflag & PARODD) ? 'M' : 'S';
    } else {
        text += (s.cflag & PARODD) ? 'O' : 'E';
    }
    text += (s.cflag & CSTOPB) ? '2' : '1';
    if (s.cflag & CRTSCTS) {
        text += " RTS/CTS";
    }
    if (s.iflag & (IXON | IXOFF)) {
        text += " XON/XOFF";
    }
    return text;
}

}  // namespace devsim
