#pragma once
// Where saved and captured data go, and the path and time-stamp forms of their names.

#include <QString>
#include <string>

namespace zenta {

// Folder for saved and captured data: the program's folder for a portable copy (the
// user's own writable folder outside the system's), else documents/zenta (made on demand).
QString SaveFolder();
// Stands in for the executable's folder when set (tests).
inline QString ProgramFolderOverride;

// A path in the file system's own byte form, and back.
std::string LocalPath(const QString& path);
QString FromLocalPath(const std::string& path);
// Local time as file names carry it.
std::string FileTimeStampNow();

}  // namespace zenta
