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

bool VirtualPort::Create(const std::string& linkPath, bool force, std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        error = SysError("posix_openpt");
        return false;
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = SysError("grantpt/unlockpt");
        return false;
    }
    char name[256];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = SysError("ptsname");
        return false;
    }
    slave_ = name;
    if (!MakeLineRaw(master_)) {
        error = SysError("setting the terminal to raw mode");
        return false;
    }
    // After one open and close of the slave the master reports a hang-up for as long as
    // no program holds the port, which is how the modes tell that someone is there.
    const int slave = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = SysError("opening " + slave_);
        return false;
    }
    close(slave);

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
    link_ = linkPath;
    return true;
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
