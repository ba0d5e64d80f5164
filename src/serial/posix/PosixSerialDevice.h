// The termios serial device.
#pragma once

#include "serial/SerialDevice.h"

namespace zenta {

class TPosixSerialDevice : public ISerialDevice {
  public:
    ~TPosixSerialDevice() override;

    int Open(const std::string& path) override;
    int Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    int PollFd() const override { return fd_; }

    int Configure(const TDCB& dcb) override;
    int LineInForce(TDCB& dcb) override;
    long Read(void* buf, std::size_t count) override;
    long Write(const void* buf, std::size_t count) override;

    int SetDTR(bool on) override;
    int SetRTS(bool on) override;
    int GetModemStatus(uint32_t& status) override;
    int SetBreak(bool on) override;
    int SetXonXoff(bool on) override;
    int Flush(bool input, bool output) override;
    int OutputQueue(int& count) override;
    int Counters(TLineCounters& counters) override;
    int TransmitChar(char ch) override;

  private:
    int ModemLine(int bit, bool on);
    int fd_ = -1;
};

}  // namespace zenta
