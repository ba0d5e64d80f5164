#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zenta {

// Why a capture stopped: the file and the system's reason.
struct CaptureFailure {
    std::string path;
    std::string reason;
    std::int64_t bytesKept = 0;  // bytes of this capture that reached the file
};

// The receive-to-file capture. The file stays open between chunks so that a fast
// stream is not slowed by an open and close per receive event; bytes go straight to
// the system (no user-space buffer), so nothing is held back if the program dies.
//
// A chunk that cannot be written (disk full, file too large, the folder gone) stops the
// capture: nothing more is written until Close(), so the file never holds a silent gap.
// The failure is handed out once by TakeFailure(), for the window to report.
class CaptureFile {
  public:
    CaptureFile() = default;
    ~CaptureFile();
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // Appends `bytes` to the file at `path`, opening it on first use or when the path
    // differs from the open one (created if missing). False when the bytes did not all
    // reach the file, and for every chunk after that until Close().
    bool Append(const std::string& path, std::string_view bytes);

    // Closes the file (capture switched off) and clears a stop; the next Append reopens it.
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    // A write failed and the capture is stopped.
    bool Stopped() const { return failure_.has_value(); }
    // The failure that stopped the capture, once; nullopt afterwards and while all is well.
    std::optional<CaptureFailure> TakeFailure();

  private:
    bool Unlinked() const;
    bool Fail(const std::string& path, int error);

    int fd_ = -1;
    std::string path_;
    std::int64_t written_ = 0;
    std::optional<CaptureFailure> failure_;
    bool reported_ = false;
};

}  // namespace zenta
