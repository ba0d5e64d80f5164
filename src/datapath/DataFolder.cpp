#include "datapath/DataFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace zenta {

std::string FileTimeStamp(const std::tm& local) {
    char buf[32];
    const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d_%H-%M-%S", &local);
    return std::string(buf, n);
}

std::string ChooseDataFolder(const std::string& programDir, bool programDirWritable,
                             const std::string& documentsDir) {
    if (programDirWritable) {
        return programDir;
    }
    return PathIn(documentsDir, "zenta");
}

bool FolderWritable(const std::string& dir) {
    struct stat st {};
    if (dir.empty() || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return false;
    }
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool UnderSystemPrefix(const std::string& canonicalDir) {
    static const char* const kPrefixes[] = {"/usr",  "/opt",   "/bin",       "/sbin",
                                            "/lib",  "/lib32", "/lib64",     "/libx32",
                                            "/snap", "/app",   "/nix/store", "/gnu/store"};
    for (const char* prefix : kPrefixes) {
        const std::size_t n = std::strlen(prefix);
        if (canonicalDir.compare(0, n, prefix) == 0 &&
            (canonicalDir.size() == n || canonicalDir[n] == '/')) {
            return true;
        }
    }
    return false;
}

bool PortableFolder(const std::string& dir) {
    if (!FolderWritable(dir)) {
        return false;
    }
    char resolved[PATH_MAX];
    if (::realpath(dir.c_str(), resolved) == nullptr || UnderSystemPrefix(resolved)) {
        return false;
    }
    struct stat st {};
    return ::stat(resolved, &st) == 0 && st.st_uid == ::geteuid();
}

std::string NumberedPath(const std::string& path, int n) {
    if (n <= 1) {
        return path;
    }
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    // No extension, or only a leading dot (".profile"): the suffix goes at the end.
    if (dot == std::string::npos || dot <= nameStart) {
        dot = path.size();
    }
    return path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
}

namespace {
bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}
}  // namespace

int FreeNumber(const std::vector<std::string>& paths) {
    for (int n = 1;; ++n) {
        bool free = true;
        for (const std::string& p : paths) {
            free = free && !Exists(NumberedPath(p, n));
        }
        if (free) {
            return n;
        }
    }
}

std::string FreePath(const std::string& path) {
    return NumberedPath(path, FreeNumber({path}));
}

bool WriteNewFile(const std::string& path, std::string_view bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    int failure = 0;
    while (left > 0 && failure == 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno != EINTR) {
            failure = errno;
        } else if (n > 0) {
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    // Some file systems (NFS) report a full disk only at close.
    if (::close(fd) != 0 && failure == 0) {
        failure = errno;
    }
    if (failure != 0) {
        *error = std::strerror(failure);
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

std::string PathIn(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

}  // namespace zenta
