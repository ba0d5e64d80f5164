#include "support/Ser2net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace net_test {

namespace {

// Whether something listens on 127.0.0.1:port, read from the kernel's table rather than
// by connecting: a probe connection would open the device behind the server.
bool Listening(uint16_t port) {
    std::ifstream in("/proc/net/tcp");
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, addr, remote, state;
        fields >> slot >> addr >> remote >> state;
        if (addr == local && state == "0A") {
            return true;
        }
    }
    return false;
}

}  // namespace

uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

TSer2net::TSer2net(const std::string& device, bool rfc2217, uint16_t port)
    : port_(port), rfc2217_(rfc2217) {
    char tmpl[] = "/tmp/zenta-ser2net-XXXXXX";
    if (!::mkdtemp(tmpl)) {
        return;
    }
    dir_ = tmpl;
    if (port_ == 0) {
        port_ = FreeLoopbackPort();
    }
    const std::string config = dir_ + "/ser2net.yaml";
    {
        std::ofstream out(config);
        out << "connection: &port\n"
            << "  accepter: " << (rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") << "127.0.0.1,"
            << port_ << "\n"
            << "  connector: serialdev," << device << ",9600n81,local\n"
            << "  options:\n"
            << "    kickolduser: true\n";
    }
    const std::string pidFile = dir_ + "/ser2net.pid";
    const std::string log = dir_ + "/ser2net.log";
    pid_ = ::fork();
    if (pid_ == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execlp("ser2net", "ser2net", "-n", "-d", "-c", config.c_str(), "-P", pidFile.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        if (Listening(port_)) {
            ready_ = true;
            break;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TSer2net::~TSer2net() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        // Bounded: SIGKILL when it does not end within two seconds.
        bool ended = false;
        for (int i = 0; i < 200 && !ended; ++i) {
            ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (!ended) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        if (ended) {
            pid_ = -1;
        } else {
            Kill();
        }
    }
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

std::string TSer2net::Url() const {
    return std::string(rfc2217_ ? "rfc2217" : "socket") + "://127.0.0.1:" + std::to_string(port_);
}

void TSer2net::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

std::string TSer2net::Log() const {
    std::ifstream in(dir_ + "/ser2net.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace net_test
