#include "devsim/VirtualPort.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "devsim/LineSettings.h"

namespace devsim {
namespace {

std::string ReadLink(const std::string& path) {
    char buf[4096];
    const ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    if (n < 0) {
        return {};
    }
    return std::string(buf, static_cast<size_t>(n));
}

std::string SysError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

VirtualPort::~VirtualPort() {
    RemoveLink();
    if (master_ >= 0) {
        close(master_);
    }
}

namespace {

// A new pseudo-terminal whose master reports a hang-up until a program opens the slave.
bool OpenPty(int& master, std::string& slave, std::string& error) {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        error = SysError("posix_openpt");
        return false;
    }
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        error = SysError("grantpt/unlockpt");
        return false;
    }
    char name[256];
    if (ptsname_r(master, name, sizeof name) != 0) {
        error = SysError("ptsname");
        return false;
    }
    slave = name;
    if (!MakeLineRaw(master)) {
        error = SysError("setting the terminal to raw mode");
        return false;
    }
    // After one open and close of the slave the master reports a hang-up for as long as
    // no program holds the port, which is how the modes tell that someone is there.
    const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = SysError("opening " + slave);
        return false;
    }
    close(fd);
    return true;
}

}  // namespace

bool VirtualPort::Create(const std::string& linkPath, bool force, std::string& error) {
    if (!OpenPty(master_, slave_, error)) {
        return false;
    }
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a symbolic link; not replacing it";
            return false;
        }
        struct stat target {};
        const bool live = stat(linkPath.c_str(), &target) == 0 && S_ISCHR(target.st_mode);
        if (live && !force) {
            error = linkPath + " already points at " + ReadLink(linkPath) +
                    " (another devsim?); use --force to replace it";
            return false;
        }
    }
    if (!Publish(linkPath, error)) {
        return false;
    }
    link_ = linkPath;
    return true;
}

bool VirtualPort::Publish(const std::string& linkPath, std::string& error) const {
    // Build the link beside its final place and rename it over, so a reader never sees the
    // path missing or half made.
    const std::string temp = linkPath + ".devsim-" + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(slave_.c_str(), temp.c_str()) != 0) {
        error = SysError("creating " + temp);
        return false;
    }
    if (rename(temp.c_str(), linkPath.c_str()) != 0) {
        error = SysError("creating " + linkPath);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

bool VirtualPort::Replug(std::string& error) {
    int fresh = -1;
    std::string slave;
    if (!OpenPty(fresh, slave, error)) {
        if (fresh >= 0) {
            close(fresh);
        }
        return false;
    }
    // The port is unplugged first: the link goes, and the old master with it, so the
    // program holding the old slave reads its end.
    if (!link_.empty() && ReadLink(link_) == slave_) {
        unlink(link_.c_str());
    }
    // Same descriptor number, new terminal: the running mode carries on with it.
    const bool moved = dup2(fresh, master_) >= 0;
    close(fresh);
    if (!moved) {
        error = SysError("replacing the terminal");
        return false;
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    slave_ = slave;
    return link_.empty() || Publish(link_, error);
}

void VirtualPort::RemoveLink() {
    if (link_.empty()) {
        return;
    }
    // Leave the path alone if a newer devsim has taken it over.
    if (ReadLink(link_) == slave_) {
        unlink(link_.c_str());
    }
    link_.clear();
}

}  // namespace devsim
