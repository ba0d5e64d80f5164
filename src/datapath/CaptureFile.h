#pragma once

#include <string>
#include <string_view>

namespace zenta {

// The receive-to-file capture. The file stays open between chunks so that a fast
// stream is not slowed by an open and close per receive event; bytes go straight to
// the system (no user-space buffer), so nothing is held back if the program dies.
class CaptureFile {
  public:
    CaptureFile() = default;
    ~CaptureFile();
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // Appends `bytes` to the file at `path`, opening it on first use or when the path
    // differs from the open one (created if missing). A file that cannot be opened or
    // written drops the chunk: returns false, and the next chunk tries again.
    bool Append(const std::string& path, std::string_view bytes);

    // Closes the file (capture switched off); the next Append reopens it.
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

  private:
    bool Unlinked() const;

    int fd_ = -1;
    std::string path_;
};

}  // namespace zenta
