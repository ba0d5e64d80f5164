#pragma once

#include <ctime>
#include <string>

namespace zenta {

// Local date and time for file names: 2026-12-07_09-03-27.
std::string FileTimeStamp(const std::tm& local);

// Where saved and captured data go: the program's folder when it can be written to
// (portable use, build trees), else the user's documents folder, subfolder zenta.
std::string ChooseDataFolder(const std::string& programDir, bool programDirWritable,
                             const std::string& documentsDir);

// A folder this user may create files in. Also honours the permission bits, so a
// folder marked read-only counts as such for the superuser too.
bool FolderWritable(const std::string& dir);

// folder + "/" + name (no doubled separator).
std::string PathIn(const std::string& folder, const std::string& name);

}  // namespace zenta
