#include "datapath/CaptureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zenta {

CaptureFile::~CaptureFile() {
    Close();
}

// A file deleted while open would swallow every later chunk; reopening recreates it.
bool CaptureFile::Unlinked() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && st.st_nlink == 0;
}

void CaptureFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    path_.clear();
    written_ = 0;
    failure_.reset();
    reported_ = false;
}

std::optional<CaptureFailure> CaptureFile::TakeFailure() {
    if (!failure_ || reported_) {
        return std::nullopt;
    }
    reported_ = true;
    return failure_;
}

bool CaptureFile::Fail(const std::string& path, int error) {
    failure_ = CaptureFailure{path, std::strerror(error), written_};
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return false;
}

bool CaptureFile::Append(const std::string& path, std::string_view bytes) {
    if (failure_) {
        return false;
    }
    if (fd_ >= 0 && (path != path_ || Unlinked())) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ < 0) {
        if (path.empty()) {
            return Fail(path, ENOENT);
        }
        // O_APPEND: another program (or a second capture) writing the same file never
        // makes us overwrite its bytes.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0) {
            return Fail(path, errno);
        }
        if (path != path_) {
            written_ = 0;  // bytesKept counts what this file got
        }
        fd_ = fd;
        path_ = path;
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail(path_, errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
        written_ += n;
    }
    return true;
}

}  // namespace zenta
