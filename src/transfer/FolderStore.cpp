#include "transfer/FolderStore.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "transfer/FileName.h"

namespace zenta::transfer {

namespace {

// "name (n).ext" for n >= 2; a leading dot is not an extension.
std::string Numbered(const std::string& name, int n) {
    if (n <= 1) {
        return name;
    }
    const auto dot = name.rfind('.');
    const std::string suffix = " (" + std::to_string(n) + ")";
    if (dot == std::string::npos || dot == 0) {
        return name + suffix;
    }
    return name.substr(0, dot) + suffix + name.substr(dot);
}

constexpr int kMaxNumber = 9999;

std::string Reason(int err) {
    return std::strerror(err);
}

}  // namespace

TFolderSink::TFolderSink(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') {
        folder_ += '/';
    }
}

TFolderSink::~TFolderSink() {
    if (fd_ >= 0) {
        Close(false);
    }
}

bool TFolderSink::Open(const FileInfo& info, std::string& error) {
    if (fd_ >= 0) {
        Close(false);
    }
    // The protocol side cleans names already; a sink that is handed a path must not follow it.
    name_ = PlainFileName(info.name);
    mtime_ = info.mtime;
    for (int n = 1; n <= kMaxNumber; ++n) {
        const std::string path = folder_ + Numbered(name_, n) + ".part";
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd_ >= 0) {
            partialPath_ = path;
            return true;
        }
        if (errno != EEXIST) {
            error = "Cannot create " + path + ": " + Reason(errno);
            return false;
        }
    }
    error = "No free name for " + folder_ + name_;
    return false;
}

bool TFolderSink::Write(const std::uint8_t* data, std::size_t n, std::string& error) {
    if (fd_ < 0) {
        error = "No file is open";
        return false;
    }
    while (n > 0) {
        const ssize_t w = ::write(fd_, data, n);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = "Cannot write " + partialPath_ + ": " + Reason(errno);
            return false;
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::string TFolderSink::Close(bool complete) {
    if (fd_ < 0) {
        return {};
    }
    if (complete && mtime_ > 0) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(mtime_), 0}};
        ::futimens(fd_, times);
    }
    struct stat st {};
    const bool empty = ::fstat(fd_, &st) == 0 && st.st_size == 0;
    ::close(fd_);
    fd_ = -1;
    if (!complete) {
        // Nothing arrived: no partial file to keep.
        if (empty) {
            ::unlink(partialPath_.c_str());
            return {};
        }
        return partialPath_;
    }
    for (int n = 1; n <= kMaxNumber; ++n) {
        const std::string path = folder_ + Numbered(name_, n);
        // Never over an existing file, even one that appeared during the transfer.
        if (::renameat2(AT_FDCWD, partialPath_.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) ==
            0) {
            completed_.push_back(path);
            return path;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return partialPath_;
}

TFileListSource::TFileListSource(std::vector<std::string> paths) : paths_(std::move(paths)) {}

TFileListSource::~TFileListSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool TFileListSource::Next(FileInfo& info, std::string& error) {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (next_ >= paths_.size()) {
        return false;
    }
    const std::string& path = paths_[next_++];
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error = "Cannot open " + path + ": " + Reason(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + " is not a file";
        return false;
    }
    info.name = PlainFileName(path);
    info.size = st.st_size;
    info.mtime = st.st_mtim.tv_sec;
    return true;
}

long TFileListSource::Read(std::uint8_t* data, std::size_t n, std::string& error) {
    if (fd_ < 0) {
        error = "No file is open";
        return -1;
    }
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd_, data + got, n - got);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0) {
            error = Reason(errno);
            return -1;
        }
        if (r == 0) {
            break;
        }
        got += static_cast<std::size_t>(r);
    }
    return static_cast<long>(got);
}

}  // namespace zenta::transfer
