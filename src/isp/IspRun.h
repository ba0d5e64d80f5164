#pragma once

#include <cstdint>
#include <string>

#include "isp/BootLink.h"
#include "isp/ChipTable.h"
#include "isp/HexImage.h"
#include "isp/IspInterfaces.h"
#include "isp/IspTexts.h"

namespace zenta::isp {

// How a run ended.
enum class RunEnd {
    Programmed,      // written, started, reported
    PortOpenFailed,  // the Open action raised; nothing touched
    FileMissing,     // the file could not be opened
    NotHex,          // the image file is damaged or of no known format
    NoConnection,    // the bootloader did not answer the 0x7F as expected
    DataCheck,       // a refused command after the connection
    UserAbort,       // Stop
    PortFailure,     // the port failed during the exchange
    Refused,         // the file or the chip refused, with its cause printed
};

enum class EraseMode {
    All,    // the whole chip
    Pages,  // only the pages or sectors the image covers
};

struct RunSettings {
    int speedOrdinal = 17;
    SyncTiming sync;
    bool verify = true;
    EraseMode erase = EraseMode::All;
    // Pulse DTR/RTS into the bootloader; off for a chip put there by hand.
    bool reset = true;
    // Longest wait for an acknowledgement or reply other than an erase; 0 = until Stop.
    std::uint32_t replyTimeoutMs = 0;
};

// What the run learnt of the chip.
struct ChipInfo {
    std::uint8_t version = 0;
    std::uint16_t productId = 0;
    const ChipFamily* family = nullptr;
    std::uint32_t flashBytes = 0;  // 0 = unknown, not checked
    std::string commands;          // the codes Get listed
    bool readProtected = false;
    bool Has(std::uint8_t code) const {
        return commands.find(static_cast<char>(code)) != std::string::npos;
    }
};

// One programming run from the click to its ending: loads the HEX file, resets the chip
// into its bootloader, identifies it, erases it, writes the image block by block, starts
// the user program and gives the port back.
class TIspRun {
  public:
    TIspRun(IspPort& port, IspEvents& events, IspMessages& messages, IspWindow& window,
            TBootLink& link, THexImage& image, std::string& textBuffer)
        : port_(port),
          events_(events),
          messages_(messages),
          window_(window),
          link_(link),
          image_(image),
          text_(textBuffer) {}

    RunEnd Run(const RunSettings& settings);
    const ChipInfo& Chip() const { return chip_; }

  private:
    struct Saved {
        bool wasOpen = false;
        int baud = 0;
        bool packetSplit = false;
        bool haveLine = false;
        IspLine line;
    };
    // NotAck ends with the data-check message; Refused has printed its cause already.
    enum class Step { Ok, NotAck, Stopped, Refused };

    bool English() const { return messages_.English(); }
    void Print(IspText id) { messages_.Print(Text(id, English())); }
    void PutBackLine(const Saved& saved);
    RunEnd Exchange(const RunSettings& settings);
    RunEnd Finish(Step step);
    Step Ack(std::uint32_t timeoutMs = 0);
    Step Command(std::uint8_t code);
    Step Reply(int n);
    Step Sync();
    Step Identify(bool print);
    Step ReadFlashSize();
    Step Unprotect(std::uint8_t code);
    Step CheckFits();
    Step Erase();
    Step EraseUnits(const std::vector<EraseUnit>& units);
    Step EraseWith(const std::string& frame, std::uint32_t waitMs);
    Step WriteBlocks();
    Step Verify();
    Step ReadBlock(std::uint32_t address, std::uint8_t* out);
    Step Go();
    std::uint32_t GoAddress() const;
    RunEnd Ending(RunEnd end);
    RunEnd PortFailure();

    IspPort& port_;
    IspEvents& events_;
    IspMessages& messages_;
    IspWindow& window_;
    TBootLink& link_;
    THexImage& image_;
    std::string& text_;
    Saved saved_;
    RunSettings settings_;
    ChipInfo chip_;
    bool portUp_ = false;  // the port was open when the exchange began
    std::uint64_t t0_ = 0;
    std::uint64_t t1_ = 0;
};

}  // namespace zenta::isp
