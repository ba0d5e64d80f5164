// The operating-system side of a port: one open serial device, and what the event thread
// needs of the system besides it (waiting, wake-up, thread priority). Everything above this
// header is portable; posix/ implements it for Linux.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/CPortSettings.h"
#include "serial/CPortTypes.h"
#include "serial/EComPort.h"

// Cumulative line error counters of the driver.
struct TLineCounters {
    uint32_t frame = 0;
    uint32_t parity = 0;
    uint32_t overrun = 0;
    uint32_t brk = 0;
    uint32_t bufOverrun = 0;
};

namespace zenta {

// A manual-reset event that ends a device wait early. Any thread may set it; it stays set
// until Reset.
class TWakeEvent {
  public:
    TWakeEvent();
    ~TWakeEvent();
    TWakeEvent(const TWakeEvent&) = delete;
    TWakeEvent& operator=(const TWakeEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // The system object a backend waits on.
    intptr_t Handle() const { return handle_; }

  private:
    intptr_t handle_;
};

// What ended a device wait; all false after a plain time-out.
struct TWaitResult {
    bool input = false;   // bytes are ready to read
    bool output = false;  // there is room to write
    bool hangup = false;  // the device reports it is gone
    int hangupError = 0;  // system error number behind a hang-up
    bool woken = false;   // the wake event is set
};

// Best effort: raising the priority needs privileges the user may not have.
void SetThisThreadPriority(TThreadPriority priority);

}  // namespace zenta

// Every call returns 0 (or a count) on success and a positive system error number on
// failure, which Classify explains; Read and Write return the byte count or a negated error
// number. Calls may come from the main thread and the event thread at once.
class ISerialDevice {
  public:
    virtual ~ISerialDevice() = default;

    // Exclusive, non-blocking open of a device path.
    virtual int Open(const std::string& path) = 0;
    virtual int Close() = 0;
    virtual bool IsOpen() const = 0;
    // The descriptor the system's Wait watches; -1 when closed.
    virtual int PollFd() const = 0;

    virtual int Configure(const TDCB& dcb) = 0;
    // The bit rate, data bits, parity and stop bits the driver holds now, read back after
    // Configure: a driver may take a setting without an error and keep another value.
    // Unsupported (ENOTSUP) where the device cannot tell.
    virtual int LineInForce(TDCB& dcb);
    virtual long Read(void* buf, std::size_t count) = 0;
    virtual long Write(const void* buf, std::size_t count) = 0;

    // Unsupported when the device has no modem lines.
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

    // Blocks until the device has bytes to read (when input is asked for), room to write
    // (output), hangs up, wake is set, or timeoutMs passed (< 0: no limit). Never reads.
    virtual zenta::TWaitResult Wait(const zenta::TWakeEvent* wake, bool input, bool output,
                                    int timeoutMs);
    // What a system error number returned by this device means.
    virtual zenta::TDeviceFault Classify(int systemError) const;
};

using TSerialDeviceFactory = std::function<std::unique_ptr<ISerialDevice>()>;

// The serial device of this platform.
std::unique_ptr<ISerialDevice> CreateSystemSerialDevice();

namespace zenta {

// System error numbers after which the device is gone (unplugged adapter, closed pty master).
bool IsDeviceGoneError(int systemError);

}  // namespace zenta
