// A pseudo-terminal device whose modem lines and line error counters the test sets, and
// which counts what the event thread asks of it. Modem lines and counters cannot exist on
// a pseudo-terminal; everything else is the real device.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "serial/posix/PosixSerialDevice.h"

namespace zenta::test {

class TLineDevice : public zenta::TPosixSerialDevice {
  public:
    // Shared with the test; outlives the device, which each open makes anew.
    struct TState {
        std::atomic<uint32_t> modem{0};  // MS_* bits
        std::atomic<uint32_t> frame{0};
        std::atomic<uint32_t> parity{0};
        std::atomic<uint32_t> overrun{0};
        std::atomic<uint32_t> brk{0};
        std::atomic<uint32_t> bufOverrun{0};
        // Input stays in the driver: the device reports none and reads nothing.
        std::atomic<bool> holdInput{false};
        // Pause after each read that took bytes, before the engine can queue them.
        std::atomic<int> readPauseUs{0};
        std::atomic<int> waits{0};
        std::atomic<int> reads{0};
    };

    explicit TLineDevice(std::shared_ptr<TState> state) : state_(std::move(state)) {}

    int GetModemStatus(uint32_t& status) override;
    int Counters(TLineCounters& counters) override;
    long Read(void* buf, std::size_t count) override;
    zenta::TWaitResult Wait(const zenta::TWakeEvent* wake, bool input, bool output,
                            int timeoutMs) override;

  private:
    std::shared_ptr<TState> state_;
};

}  // namespace zenta::test
