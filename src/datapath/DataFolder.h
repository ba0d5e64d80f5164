#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace zenta {

// Local date and time for file names: 2026-12-07_09-03-27.
std::string FileTimeStamp(const std::tm& local);

// Where saved and captured data go: the program's folder for a portable copy (see
// PortableFolder), else the user's documents folder, subfolder zenta.
std::string ChooseDataFolder(const std::string& programDir, bool programDirWritable,
                             const std::string& documentsDir);

// A folder this user may create files in. Also honours the permission bits, so a
// folder marked read-only counts as such for the superuser too.
bool FolderWritable(const std::string& dir);

// True for folders that hold installed programs (/usr, /opt, /bin, /snap, ...), by
// absolute path with symbolic links resolved. Pure: looks only at the text.
bool UnderSystemPrefix(const std::string& canonicalDir);

// The program's folder is used for its files only when the copy is portable: the folder
// is this user's own (owner is the effective user), writable, and not a system folder.
// An installed copy run as root must not write beside its executable.
bool PortableFolder(const std::string& dir);

// `path` when nothing exists there, else the first free "name (2).ext", "name (3).ext"...
// (the suffix goes before the last extension of the file name).
std::string FreePath(const std::string& path);
// `path` with the n-th suffix of FreePath; n <= 1 gives `path` itself.
std::string NumberedPath(const std::string& path, int n);
// The first n >= 1 for which NumberedPath(p, n) is free for every p: files saved together
// keep one suffix.
int FreeNumber(const std::vector<std::string>& paths);

// Creates `path` (never over an existing file) and writes all of `bytes`. On failure the
// partial file is removed and `error` gets the system's reason.
bool WriteNewFile(const std::string& path, std::string_view bytes, std::string* error);

// folder + "/" + name (no doubled separator).
std::string PathIn(const std::string& folder, const std::string& name);

}  // namespace zenta
