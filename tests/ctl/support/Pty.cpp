#include "ctl/support/Pty.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

TestPty::TestPty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slave_ = name;
}

TestPty::~TestPty() {
    if (master_ >= 0)
        ::close(master_);
}

bool TestPty::Write(const std::string& bytes) {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

long TestPty::SlaveSpeed() const {
    struct termios2 t {};
    if (ioctl(master_, TCGETS2, &t) != 0)
        return -1;
    return static_cast<long>(t.c_ospeed);
}
