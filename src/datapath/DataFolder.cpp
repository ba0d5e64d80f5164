#include "datapath/DataFolder.h"

#include <sys/stat.h>
#include <unistd.h>

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
