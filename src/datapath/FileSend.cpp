#include "datapath/FileSend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

FileSendSteps::FileSendSteps(std::string_view data)
    : data_(data), blocks_(static_cast<std::int64_t>(data.size() / kFileBlockSize)) {}

std::string_view FileSendSteps::Next() const {
    const auto start = static_cast<std::size_t>(block_) * kFileBlockSize;
    if (block_ > blocks_ || start >= data_.size()) {
        return {};
    }
    return data_.substr(start, block_ < blocks_ ? kFileBlockSize : std::string_view::npos);
}

std::optional<FileSendResult> FileSendSteps::Took(std::int64_t n, FileSendLink& link) {
    const auto piece = static_cast<std::int64_t>(Next().size());
    if (piece == 0) {
        return result_;
    }
    if (n < 0) {
        result_.outcome = FileSendOutcome::WriteFailed;
        return result_;
    }
    n = std::min(n, piece);
    result_.sent += n;
    if (block_ < blocks_) {
        if (n < piece) {
            if (n > 0) {
                link.PartSent(n, result_.sent);
            }
            result_.outcome = FileSendOutcome::Stopped;
            return result_;
        }
        link.BlockSent(piece, result_.sent, BlockProgress(block_, blocks_));
        ++block_;
        if (link.StopRequested()) {
            result_.outcome = FileSendOutcome::Stopped;
            return result_;
        }
        if (Next().empty()) {
            return result_;
        }
        return std::nullopt;
    }
    // The remainder is the last piece.
    ++block_;
    link.PartSent(n, result_.sent);
    if (n < piece) {
        result_.outcome = FileSendOutcome::Stopped;
    }
    return result_;
}

FileSendResult SendFileBlocks(std::string_view data, FileSendLink& link) {
    FileSendSteps steps(data);
    for (;;) {
        const std::string_view piece = steps.Next();
        if (piece.empty()) {
            return steps.Took(0, link).value_or(FileSendResult{});
        }
        if (const auto r = steps.Took(link.Write(piece), link)) {
            return *r;
        }
    }
}

}  // namespace zenta
