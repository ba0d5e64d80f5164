#include "support/DevsimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace devsim_test {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

DevsimProcess::DevsimProcess(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[1], STDOUT_FILENO);
        std::vector<char*> argv;
        std::string path = ZENTA_DEVSIM_PATH;
        argv.push_back(path.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
}

DevsimProcess::~DevsimProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) {
        close(out_);
    }
}

bool DevsimProcess::ReadMore(int timeoutMs) {
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) {
        return false;
    }
    char buf[4096];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) {
        return false;
    }
    output_.append(buf, static_cast<size_t>(n));
    return true;
}

std::string DevsimProcess::WaitForLine(const std::string& needle, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t eol;
        while ((eol = output_.find('\n', consumed_)) != std::string::npos) {
            std::string line = output_.substr(consumed_, eol - consumed_);
            consumed_ = eol + 1;
            if (line.find(needle) != std::string::npos) {
                return line;
            }
        }
        if (!ReadMore(MsLeft(deadline))) {
            return {};
        }
    }
}

void DevsimProcess::Signal(int sig) {
    if (pid_ > 0) {
        kill(pid_, sig);
    }
}

int DevsimProcess::WaitExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pid_ > 0) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (MsLeft(deadline) == 0) {
            return -1;
        }
        // Keep the pipe drained so the child never blocks on its output.
        if (!ReadMore(10)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return -1;
}

bool WaitForPath(const std::string& path, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    struct stat st {};
    while (lstat(path.c_str(), &st) != 0) {
        if (MsLeft(deadline) == 0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int OpenRawPort(const std::string& path, unsigned speedConstant) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, speedConstant);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

std::string ReadExactly(int fd, size_t n, int idleMs) {
    std::string got;
    char buf[65536];
    while (got.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, idleMs) <= 0) {
            break;
        }
        const ssize_t r = read(fd, buf, std::min(sizeof buf, n - got.size()));
        if (r <= 0) {
            break;
        }
        got.append(buf, static_cast<size_t>(r));
    }
    return got;
}

TempLink::TempLink() {
    char name[] = "/tmp/devsim-test-XXXXXX";
    if (mkdtemp(name)) {
        dir = name;
        path = dir + "/ttyTEST0";
    }
}

TempLink::~TempLink() {
    unlink(path.c_str());
    rmdir(dir.c_str());
}

}  // namespace devsim_test
