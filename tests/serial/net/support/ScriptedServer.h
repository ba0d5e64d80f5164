// A loopback server played by the test itself, for what no real server does on purpose:
// silence, changed values, notifications on demand, floods, a connection cut mid-frame.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace net_test {

class TScriptedServer {
  public:
    // script runs on its own thread with the accepted connection.
    explicit TScriptedServer(std::function<void(int fd)> script);
    ~TScriptedServer();
    TScriptedServer(const TScriptedServer&) = delete;
    TScriptedServer& operator=(const TScriptedServer&) = delete;

    std::string Url(const char* scheme = "rfc2217") const;

  private:
    int listen_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

// Reads until `needle` has arrived (true) or nothing came for idleMs (false); what came is
// appended to got.
bool ReadUntil(int fd, const std::string& needle, std::string& got, int idleMs = 5000);
void SendAll(int fd, const std::string& bytes);
// Agrees to the client's COM-PORT option once it is asked for.
bool AgreeComPort(int fd, std::string& got);

}  // namespace net_test
