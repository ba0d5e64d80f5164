#include "datapath/FileSend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zenta {

namespace {

// Untouched pages of a zero-filled static cost no memory until a file is read.
char gFileSendBuffer[kFileSendBufferSize];

FileReadError ErrorOfOpen(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return FileReadError::Missing;
        case EACCES:
        case EPERM:
            return FileReadError::NoPermission;
        case EISDIR:
            return FileReadError::Folder;
        default:
            return FileReadError::ReadFailed;
    }
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

char* FileSendBuffer() {
    return gFileSendBuffer;
}

FileRead ReadFileInto(const std::string& path, char* buffer, std::size_t capacity) {
    FileRead r;
    if (path.empty()) {
        r.error = FileReadError::Missing;
        r.sysError = ENOENT;
        return r;
    }
    // O_NONBLOCK: a named pipe must not hold the window until a writer appears.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        r.sysError = errno;
        r.error = ErrorOfOpen(r.sysError);
        return r;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        r.sysError = errno;
        r.error = FileReadError::ReadFailed;
        return r;
    }
    if (S_ISDIR(st.st_mode)) {
        r.error = FileReadError::Folder;
        r.sysError = EISDIR;
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.error = FileReadError::NotAFile;
        return r;
    }
    r.length = static_cast<std::int64_t>(st.st_size);
    const std::size_t want = static_cast<std::uint64_t>(r.length) < capacity
                                 ? static_cast<std::size_t>(r.length)
                                 : capacity;
    while (r.loaded < want) {
        const ssize_t n = ::read(fd.get(), buffer + r.loaded, want - r.loaded);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            r.sysError = errno;
            r.error = FileReadError::ReadFailed;
            r.loaded = 0;
            return r;
        }
        if (n == 0) {
            break;  // the file shrank meanwhile: what is there is the file
        }
        r.loaded += static_cast<std::size_t>(n);
    }
    return r;
}

std::int64_t EstimateSeconds(std::int64_t length, std::int64_t baud) {
    if (baud <= 0 || length <= 0) {
        return 0;
    }
    // length * 10 stays far inside 64 bits for any file a disk can hold.
    return length * 10 / baud;
}

int BlockProgress(std::int64_t k, std::int64_t blocks) {
    if (blocks <= 0) {
        return 100;
    }
    return static_cast<int>(k * 100 / blocks + 1);
}

FileSendResult SendFileBlocks(std::string_view data, FileSendLink& link) {
    FileSendResult r;
    const auto block = static_cast<std::int64_t>(kFileBlockSize);
    const auto size = static_cast<std::int64_t>(data.size());
    const std::int64_t blocks = size / block;
    for (std::int64_t k = 0; k < blocks; ++k) {
        const std::int64_t n = link.Write(
            data.substr(static_cast<std::size_t>(k * block), static_cast<std::size_t>(block)));
        if (n < 0) {
            r.outcome = FileSendOutcome::WriteFailed;
            return r;
        }
        r.sent += n;
        if (n < block) {
            if (n > 0) {
                link.PartSent(n, r.sent);
            }
            r.outcome = FileSendOutcome::Stopped;
            return r;
        }
        link.BlockSent(block, r.sent, BlockProgress(k, blocks));
        if (link.StopRequested()) {
            r.outcome = FileSendOutcome::Stopped;
            return r;
        }
    }
    const std::int64_t tail = size - blocks * block;
    if (tail > 0) {
        const std::int64_t n = link.Write(data.substr(static_cast<std::size_t>(blocks * block)));
        if (n < 0) {
            r.outcome = FileSendOutcome::WriteFailed;
            return r;
        }
        r.sent += n;
        link.PartSent(n, r.sent);
        if (n < tail) {
            r.outcome = FileSendOutcome::Stopped;
            return r;
        }
    }
    return r;
}

}  // namespace zenta
