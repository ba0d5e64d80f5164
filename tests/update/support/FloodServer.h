#pragma once
// An HTTP server on 127.0.0.1 in a thread of its own that answers every request with a
// status line and then header lines without end: as fast as the peer takes them, or
// trickling one byte at a time. Runs apart from the window's thread, so a stalled window
// never slows it down; counts what it sent and sees when the peer closes.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

class FloodServer {
  public:
    enum class Mode { Fast, Trickle };

    explicit FloodServer(Mode mode = Mode::Fast) : mode_(mode) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 8);
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~FloodServer() {
        stop_ = true;
        thread_.join();
        ::close(listen_);
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/zenta/").arg(port_); }
    int Port() const { return port_; }
    long long BytesSent() const { return sent_; }
    int Connections() const { return connections_; }
    // Every accepted connection has been closed by the peer.
    bool PeerClosedAll() const { return connections_ > 0 && closed_ == connections_; }

  private:
    void Run() {
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            ++connections_;
            Flood(fd);
            ::close(fd);
            ++closed_;
        }
    }

    void Flood(int fd) {
        std::string line = "HTTP/1.1 200 OK\r\n";
        const std::string header = "X-Flood: " + std::string(1000, 'a') + "\r\n";
        std::size_t at = 0;
        while (!stop_) {
            pollfd p{fd, POLLOUT | POLLIN, 0};
            if (::poll(&p, 1, 20) < 0) {
                return;
            }
            if (p.revents & (POLLERR | POLLHUP)) {
                return;
            }
            if (p.revents & POLLIN) {
                char buf[4096];
                if (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) == 0) {
                    return;  // the peer closed
                }
            }
            if (!(p.revents & POLLOUT)) {
                continue;
            }
            if (at == line.size()) {
                line = header;
                at = 0;
            }
            const std::size_t n = mode_ == Mode::Trickle ? 1 : line.size() - at;
            const ssize_t w = ::send(fd, line.data() + at, n, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (w < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            }
            if (w > 0) {
                at += static_cast<std::size_t>(w);
                sent_ += w;
            }
            if (mode_ == Mode::Trickle) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    Mode mode_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<long long> sent_{0};
    std::atomic<int> connections_{0};
    std::atomic<int> closed_{0};
    std::thread thread_;
};
