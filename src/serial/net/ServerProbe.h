// Waiting for a network port's server to come back without ever blocking: one
// non-blocking connect at a time, attempts spaced 0.5 s doubling to 5 s. The owner asks on
// its own ticks and reopens the port once the server accepts connections again.
#pragma once

#include <cstdint>
#include <string>

#include "serial/net/NetUrl.h"

namespace zenta::net {

// Delays between attempts: 500, 1000, 2000, 4000, 5000, 5000 ... ms.
class TBackoff {
  public:
    static constexpr int kFirstMs = 500;
    static constexpr int kMaxMs = 5000;
    int Next();
    void Reset() { next_ = kFirstMs; }

  private:
    int next_ = kFirstMs;
};

class TServerProbe {
  public:
    // A name ParseNetPortName refuses is never ready.
    explicit TServerProbe(const std::string& portName);
    ~TServerProbe();
    TServerProbe(const TServerProbe&) = delete;
    TServerProbe& operator=(const TServerProbe&) = delete;

    // Never waits. True once a connection was accepted (and closed again at once); the
    // next attempt then starts afresh. nowMs is a monotonic clock.
    bool Ready(int64_t nowMs);
    // Attempts made so far.
    int Attempts() const { return attempts_; }

  private:
    void Start(int64_t nowMs);
    void Drop();

    bool valid_ = false;
    TNetAddress address_;
    TBackoff backoff_;
    int fd_ = -1;
    int64_t nextAttemptMs_ = 0;
    int64_t giveUpMs_ = 0;
    int attempts_ = 0;
};

}  // namespace zenta::net
