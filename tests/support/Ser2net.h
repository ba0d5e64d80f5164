// ser2net run as a child serving one device on a free loopback port, for the network port
// tests: a real RFC 2217 (or raw TCP) server in front of a pseudo-terminal.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace net_test {

// A TCP port on 127.0.0.1 that nothing listens on right now.
uint16_t FreeLoopbackPort();

class TSer2net {
  public:
    // Serves device (at 9600 8N1 until a client sets it) with Telnet and RFC 2217 when
    // rfc2217 is set, else as plain bytes, on port (0: a free one). Ready() tells whether
    // it listens.
    TSer2net(const std::string& device, bool rfc2217, uint16_t port = 0);
    ~TSer2net();
    TSer2net(const TSer2net&) = delete;
    TSer2net& operator=(const TSer2net&) = delete;

    bool Ready() const { return ready_; }
    uint16_t Port() const { return port_; }
    std::string Url() const;
    // Ends it at once (SIGKILL), as a crashed server or a pulled cable.
    void Kill();
    // What it printed.
    std::string Log() const;

  private:
    std::string dir_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    bool rfc2217_ = true;
    bool ready_ = false;
};

}  // namespace net_test
