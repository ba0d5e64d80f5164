#include "devsim/support/CustomSpeed.h"

// Kernel definitions only; <termios.h> clashes with termios2.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace devsim_test {

bool SetCustomSpeed(int fd, unsigned rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    t.c_cflag &= ~(CBAUD | CIBAUD);
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = rate;
    t.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace devsim_test
