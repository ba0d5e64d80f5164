#include "serial/net/support/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace net_test {

TScriptedServer::TScriptedServer(std::function<void(int fd)> script) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 1);
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, script = std::move(script)] {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1) {
            return;
        }
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        script(fd);
        // Ends gracefully: closing with unread bytes would reset the connection and throw
        // away what the client has not read yet.
        ::shutdown(fd, SHUT_WR);
        std::string rest;
        ReadUntil(fd, std::string(1, '\0') + "never", rest, 2000);
        ::close(fd);
    });
}

TScriptedServer::~TScriptedServer() {
    thread_.join();
    ::close(listen_);
}

std::string TScriptedServer::Url(const char* scheme) const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
}

bool ReadUntil(int fd, const std::string& needle, std::string& got, int idleMs) {
    char buf[4096];
    for (;;) {
        if (got.find(needle) != std::string::npos) {
            return true;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, idleMs) != 1) {
            return false;
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            return false;
        }
        got.append(buf, static_cast<std::size_t>(n));
    }
}

void SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

bool AgreeComPort(int fd, std::string& got) {
    if (!ReadUntil(fd, "\xff\xfb\x2c", got)) {
        return false;
    }
    SendAll(fd, "\xff\xfd\x2c");
    return true;
}

}  // namespace net_test
