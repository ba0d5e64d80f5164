#include "transfer/support/PeerRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace zenta::test {

namespace {

std::uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Waits for the child up to limitMs; kills it after that.
int Reap(pid_t pid, std::uint64_t until) {
    int status = 0;
    while (true) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (r < 0) {
            return -1;
        }
        if (NowMs() >= until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(5000);
    }
}

constexpr auto kTurnaround = std::chrono::microseconds(1000);

}  // namespace

TTempDir::TTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/zenta-transfer-XXXXXX";
    if (::mkdtemp(templ.data()) != nullptr) {
        path_ = templ;
    }
}

TTempDir::~TTempDir() {
    if (!path_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
}

std::string TTempDir::Sub(const std::string& name) const {
    const std::string p = path_ + "/" + name;
    std::filesystem::create_directories(p);
    return p;
}

PeerResult RunAgainstPeer(transfer::TTransfer& run, const std::vector<std::string>& argv,
                          const std::string& cwd, int limitMs) {
    PeerResult result;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        if (master >= 0) {
            ::close(master);
        }
        return result;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // Held open by the test too, so the master never sees a hang-up between the program's
    // open and its exit; raw from the start, so nothing is echoed or taken as flow control.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct termios t {};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);

    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const std::string log = cwd + "/peer.log";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(name, O_RDWR | O_NOCTTY);
        const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::chdir(cwd.c_str()) != 0) {
            ::_exit(126);
        }
        ::dup2(fd, 0);
        ::dup2(fd, 1);
        ::dup2(err >= 0 ? err : fd, 2);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }

    const std::uint64_t until = NowMs() + static_cast<std::uint64_t>(limitMs);
    if (std::getenv("ZENTA_TRANSFER_TRACE")) {
        std::fprintf(stderr, "== %s\n", argv[0].c_str());
    }
    run.Start(NowMs());
    std::string pending;
    std::uint8_t buf[8192];
    auto lastRead = std::chrono::steady_clock::now();
    std::uint64_t exitedAt = 0;
    while (NowMs() < until) {
        pending += run.TakeOutput();
        // lrzsz flushes its input right after it writes (harmless on a serial line, where an
        // answer takes a while to arrive): answer only after the line time of a few bytes.
        const bool quiet = std::chrono::steady_clock::now() - lastRead >= kTurnaround;
        while (quiet && !pending.empty()) {
            const ssize_t w = ::write(master, pending.data(), pending.size());
            if (w > 0 && std::getenv("ZENTA_TRANSFER_TRACE")) {
                std::fprintf(stderr, "%llu >%zd: %02x\n",
                             static_cast<unsigned long long>(NowMs() % 100000), w,
                             static_cast<unsigned char>(pending[0]));
            }
            if (w <= 0) {
                break;
            }
            pending.erase(0, static_cast<std::size_t>(w));
        }
        if (run.Finished() && pending.empty()) {
            result.finished = true;
            break;
        }
        const std::uint64_t now = NowMs();
        const std::uint64_t wait =
            pending.empty()
                ? std::min<std::uint64_t>(50, run.Deadline() > now ? run.Deadline() - now : 0)
                : 1;
        struct pollfd p {
            master, POLLIN, 0
        };
        ::poll(&p, 1, static_cast<int>(wait));
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) {
            lastRead = std::chrono::steady_clock::now();
            if (std::getenv("ZENTA_TRANSFER_TRACE")) {
                std::fprintf(stderr,
                             "%llu <%zd:", static_cast<unsigned long long>(NowMs() % 100000), n);
                for (ssize_t i = 0; i < std::min<ssize_t>(n, 16); ++i) {
                    std::fprintf(stderr, " %02x", buf[i]);
                }
                std::fprintf(stderr, "\n");
            }
            run.Feed(buf, static_cast<std::size_t>(n), NowMs());
        }
        run.Tick(NowMs());
        // lrzsz flushes its tty as it exits: on a pty (no line time) its last answer can
        // vanish before it is read, and then nobody will ever answer again.
        if (!run.Finished() && !result.peerExitedFirst) {
            int st = 0;
            if (::waitpid(pid, &st, WNOHANG) == pid) {
                result.peerExitedFirst = true;
                result.exitStatus = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
                exitedAt = NowMs();
            }
        }
        if (result.peerExitedFirst && NowMs() > exitedAt + 300) {
            break;
        }
    }
    // Let the program finish, reading what it still writes so it never blocks on the pty.
    int status = 0;
    while (!result.peerExitedFirst && NowMs() < until) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        struct pollfd p {
            master, POLLIN, 0
        };
        ::poll(&p, 1, 10);
        while (::read(master, buf, sizeof buf) > 0) {
        }
    }
    if (result.exitStatus < 0 && !result.peerExitedFirst) {
        result.exitStatus = Reap(pid, NowMs());
    }
    ::close(slave);
    ::close(master);
    return result;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<long>(data.size()));
}

std::string RandomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return s;
}

}  // namespace zenta::test
