#pragma once

#include <cstdint>
#include <string>

#include "isp/BootLink.h"
#include "isp/HexImage.h"
#include "isp/IspInterfaces.h"
#include "isp/IspTexts.h"

namespace zenta::isp {

// How a run ended.
enum class RunEnd {
    Programmed,      // written, started, reported
    PortOpenFailed,  // the Open action raised; nothing touched
    FileMissing,     // the file could not be opened
    NotHex,          // a count above 32 or a wrong record checksum
    NoConnection,    // the bootloader did not answer the 0x7F as expected
    DataCheck,       // a refused command after the connection
    UserAbort,       // Stop
    PortFailure,     // the port failed during the exchange
};

struct RunSettings {
    int speedOrdinal = 17;
    SyncTiming sync;
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

  private:
    struct Saved {
        bool wasOpen = false;
        int baud = 0;
        bool packetSplit = false;
    };
    enum class Step { Ok, NotAck, Stopped };

    void Print(IspText id) { messages_.Print(Text(id, messages_.English())); }
    void PutBackLine(const Saved& saved);
    RunEnd Exchange(const RunSettings& settings);
    Step Ack();
    Step Command(std::uint8_t code);
    Step Identify();
    Step EraseAll();
    Step WriteBlocks();
    Step Go();
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
};

}  // namespace zenta::isp
