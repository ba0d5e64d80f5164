// A device with modem lines and no port behind it, for what a pseudo-terminal cannot show
// (DTR/RTS wiring, refused line settings). It logs each call and never receives.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "serial/SerialDevice.h"

namespace zenta::test {

// What a fake device was asked to do, in order.
struct FakeLog {
    std::mutex mutex;
    std::vector<std::string> calls;
    int dtrError = 0;     // errno answered to SetDTR
    int configError = 0;  // errno answered to Configure
    void Add(const std::string& c) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(c);
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
};

// A device with modem lines that never receives anything; for the DTR/RTS wiring.
class FakeDevice : public ISerialDevice {
  public:
    explicit FakeDevice(FakeLog* log) : log_(log) {}
    ~FakeDevice() override { Close(); }

    int Open(const std::string& path) override {
        if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
            return errno;
        }
        log_->Add("open " + path);
        return 0;
    }
    int Close() override {
        for (int& fd : pipe_) {
            if (fd >= 0) {
                ::close(fd);
                fd = -1;
            }
        }
        return 0;
    }
    bool IsOpen() const override { return pipe_[0] >= 0; }
    int PollFd() const override { return pipe_[0]; }
    int Configure(const TDCB& dcb) override {
        (void)dcb;
        return log_->configError;
    }
    long Read(void*, std::size_t) override { return -EAGAIN; }
    long Write(const void*, std::size_t count) override { return static_cast<long>(count); }
    int SetDTR(bool on) override {
        log_->Add(on ? "dtr 1" : "dtr 0");
        return log_->dtrError;
    }
    int SetRTS(bool on) override {
        log_->Add(on ? "rts 1" : "rts 0");
        return 0;
    }
    int GetModemStatus(uint32_t& status) override {
        status = 0;
        return 0;
    }
    int SetBreak(bool) override { return 0; }
    int SetXonXoff(bool) override { return 0; }
    int Flush(bool, bool) override { return 0; }
    int OutputQueue(int& count) override {
        count = 0;
        return 0;
    }
    int Counters(TLineCounters& counters) override {
        counters = {};
        return 0;
    }
    int TransmitChar(char) override { return 0; }

  private:
    FakeLog* log_;
    int pipe_[2] = {-1, -1};
};

}  // namespace zenta::test
