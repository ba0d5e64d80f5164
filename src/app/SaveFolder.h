#pragma once
// Where saved and captured data go, and the path and time-stamp forms of their names.

#include <QString>
#include <string>

namespace zenta {

// Folder for saved and captured data: the program's folder when it is the user's own and
// writable, else documents/zenta (created on demand).
QString SaveFolder();
// Stands in for the executable's folder when set (tests).
inline QString ProgramFolderOverride;

// A path in the file system's own byte form, and back.
std::string LocalPath(const QString& path);
QString FromLocalPath(const std::string& path);
// Local time as file names carry it.
std::string FileTimeStampNow();

}  // namespace zenta
