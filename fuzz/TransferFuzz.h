#pragma once
// Drives a receiver of the transfer protocols with fuzzer bytes: raw chunks, chunks wrapped
// in blocks with a right check (so headers and file data are reached), clock steps. The
// receiver must answer only with protocol bytes, keep a bounded file, never name a file
// with a folder in it, and end within its retry rules.

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "transfer/Crc.h"
#include "transfer/FileStore.h"
#include "transfer/XYReceiver.h"

namespace zenta::fuzz {

class TCheckedSink : public transfer::IReceiveSink {
  public:
    bool Open(const transfer::FileInfo& info, std::string&) override {
        FUZZ_CHECK(!open_);
        FUZZ_CHECK(!info.name.empty() && info.name.find('/') == std::string::npos);
        FUZZ_CHECK(info.name != "." && info.name != ".." && info.name[0] != '.');
        for (const char c : info.name) {
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        }
        open_ = true;
        size_ = 0;
        announced_ = info.size;
        return true;
    }
    bool Write(const std::uint8_t*, std::size_t n, std::string&) override {
        FUZZ_CHECK(open_);
        size_ += n;
        // A file never grows past what its header announced.
        FUZZ_CHECK(announced_ < 0 || static_cast<std::int64_t>(size_) <= announced_);
        written += n;
        return true;
    }
    std::string Close(bool complete) override {
        FUZZ_CHECK(open_);
        FUZZ_CHECK(!complete || announced_ < 0 || static_cast<std::int64_t>(size_) == announced_);
        open_ = false;
        return "f";
    }
    std::uint64_t written = 0;

  private:
    bool open_ = false;
    std::uint64_t size_ = 0;
    std::int64_t announced_ = -1;
};

inline std::string Frame(std::uint8_t number, std::string payload, bool big, bool crc) {
    payload.resize(big ? 1024 : 128, '\x1A');
    const auto* p = reinterpret_cast<const std::uint8_t*>(payload.data());
    std::string f = std::string(1, big ? '\x02' : '\x01') + static_cast<char>(number) +
                    static_cast<char>(~number) + payload;
    if (crc) {
        const std::uint16_t c = transfer::Crc16(p, payload.size());
        f += static_cast<char>(c >> 8);
        f += static_cast<char>(c);
    } else {
        f += static_cast<char>(transfer::Checksum8(p, payload.size()));
    }
    return f;
}

inline void RunReceiver(const uint8_t* data, size_t size, bool ymodem) {
    FuzzInput in(data, size);
    transfer::ReceiverOptions opt;
    opt.ymodem = ymodem;
    opt.crc = in.ConsumeBool();
    TCheckedSink sink;
    transfer::TXYReceiver rx(sink, opt);
    std::uint64_t now = 0;
    std::uint64_t fed = 0;
    rx.Start(now);
    std::string out;
    for (int step = 0; step < 64 && !rx.Finished(); ++step) {
        const int kind = in.ConsumeIntegralInRange<int>(0, 3);
        std::string chunk = in.ConsumeRandomLengthString(1100);
        if (kind == 1 || kind == 2) {
            // Wrapped in a block: the check the receiver will use (CRC for YMODEM, or
            // while it still asks for CRC).
            const bool crc = ymodem || in.ConsumeBool();
            chunk = Frame(in.ConsumeIntegral<std::uint8_t>(), chunk, kind == 2, crc);
        }
        fed += chunk.size();
        rx.Feed(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size(), now);
        if (kind == 3) {
            now += in.ConsumeIntegralInRange<std::uint32_t>(0, 20000);
        } else {
            ++now;
        }
        rx.Tick(now);
        out += rx.TakeOutput();
    }
    // Left alone, every run ends by its time-outs.
    for (int i = 0; i < 200 && !rx.Finished(); ++i) {
        now = std::max(now + 1, rx.Deadline());
        rx.Tick(now);
        out += rx.TakeOutput();
    }
    FUZZ_CHECK(rx.Finished());
    FUZZ_CHECK(!rx.Message().empty());
    FUZZ_CHECK(sink.written <= fed);
    FUZZ_CHECK(rx.Progress().bytes == sink.written);
    for (const char c : out) {
        FUZZ_CHECK(c == 0x06 || c == 0x15 || c == 'C' || c == 0x18 || c == 0x08);
    }
}

}  // namespace zenta::fuzz
