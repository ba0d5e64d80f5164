// The operating-system side of a port: one open serial device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/CPortSettings.h"

// Cumulative line error counters of the driver.
struct TLineCounters {
    uint32_t frame = 0;
    uint32_t parity = 0;
    uint32_t overrun = 0;
    uint32_t brk = 0;
    uint32_t bufOverrun = 0;
};

// Every call returns 0 (or a count) on success and a positive errno on failure; Read and
// Write return the byte count or a negated errno. Calls may come from the main thread and
// the event thread at once; the posix device is safe for that (one fd, no shared buffers).
class ISerialDevice {
  public:
    virtual ~ISerialDevice() = default;

    // Exclusive, non-blocking open of a device path.
    virtual int Open(const std::string& path) = 0;
    virtual int Close() = 0;
    virtual bool IsOpen() const = 0;
    // A descriptor to poll for input and output readiness; -1 when closed.
    virtual int PollFd() const = 0;

    virtual int Configure(const TDCB& dcb) = 0;
    virtual long Read(void* buf, std::size_t count) = 0;
    virtual long Write(const void* buf, std::size_t count) = 0;

    // ENOTTY when the device has no modem lines.
    virtual int SetDTR(bool on) = 0;
    virtual int SetRTS(bool on) = 0;
    // MS_* bits.
    virtual int GetModemStatus(uint32_t& status) = 0;
    virtual int SetBreak(bool on) = 0;
    // true: resume output as if XON arrived; false: suspend it.
    virtual int SetXonXoff(bool on) = 0;
    virtual int Flush(bool input, bool output) = 0;
    virtual int OutputQueue(int& count) = 0;
    virtual int Counters(TLineCounters& counters) = 0;
    // One byte ahead of queued output.
    virtual int TransmitChar(char ch) = 0;
};

using TSerialDeviceFactory = std::function<std::unique_ptr<ISerialDevice>()>;

// The termios device of this platform.
std::unique_ptr<ISerialDevice> CreateSystemSerialDevice();

// errno values after which the device is gone (unplugged adapter, closed pty master).
bool IsDeviceGoneError(int err);
