#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace devsim_test {

// The devsim binary run as a child with its stdout on a pipe.
class DevsimProcess {
  public:
    explicit DevsimProcess(const std::vector<std::string>& args);
    ~DevsimProcess();
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;

    // Next stdout line containing `needle` (without the newline); empty if none came
    // within `timeoutMs` or the program ended.
    std::string WaitForLine(const std::string& needle, int timeoutMs = 10000);
    // Everything printed so far.
    const std::string& Output() const { return output_; }

    void Signal(int sig);
    // Exit status, or -1 when it did not end within `timeoutMs` (it is then killed).
    int WaitExit(int timeoutMs = 10000);

  private:
    bool ReadMore(int timeoutMs);

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
    size_t consumed_ = 0;
};

// Waits until `path` exists (the link is published), up to `timeoutMs`.
bool WaitForPath(const std::string& path, int timeoutMs = 10000);

// Opens a port as a serial program does: O_RDWR|O_NOCTTY, raw mode, the speed given as a
// termios constant (B115200).
int OpenRawPort(const std::string& path, unsigned speedConstant);

// Reads exactly `n` bytes, or fewer if nothing arrives for `idleMs`.
std::string ReadExactly(int fd, size_t n, int idleMs = 10000);

// A link path in a private temporary directory, removed with it.
struct TempLink {
    TempLink();
    ~TempLink();
    std::string dir;
    std::string path;
};

}  // namespace devsim_test
