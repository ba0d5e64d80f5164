#pragma once
// A programming run without a window: the real port engine on a pseudo-terminal of the
// device simulator, with the window's controls and messages recorded.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "isp/IspRun.h"
#include "serial/CPort.h"
#include "serial/Dispatcher.h"

namespace isp_test {

// Intel HEX text of `image` placed at `address`: a type 04 record, data records of 16
// bytes, the end record.
std::string HexText(const std::vector<std::uint8_t>& image, std::uint32_t address = 0x08000000);

// Writes `text` to a fresh file in a private temporary folder; returns its path.
std::string WriteTempFile(const std::string& name, const std::string& text);

class TIspHarness : public zenta::isp::IspPort,
                    public zenta::isp::IspEvents,
                    public zenta::isp::IspMessages,
                    public zenta::isp::IspWindow {
  public:
    explicit TIspHarness(const std::string& portPath);
    ~TIspHarness() override;

    // Runs once; the port is opened first unless `openFirst` is false.
    zenta::isp::RunEnd Run(int speedOrdinal = 17, bool openFirst = true);

    TQueueDispatcher queue;
    TComPort port;
    zenta::isp::TBootLink link{*this, *this, *this};
    zenta::isp::SyncTiming sync;

    // Settings of the next run.
    std::string fileName;
    int clockScale = 1;  // simulated milliseconds per real millisecond of waiting
    bool english = true;
    // Called after each block with its offset (a test presses Stop here).
    std::function<void(std::int64_t)> onBlock;
    // Called at every wait of the run (a test presses Stop here).
    std::function<void()> onWait;
    // Answers of the user to the run's questions, in order; no once they run out.
    std::vector<bool> answers;
    // The window stops every sender when the port fails (RecoverFromPortError).
    bool stopOnPortError = true;
    // Whether the line settings are offered to the run (the window's adapter does).
    bool offerLine = true;
    zenta::isp::RunSettings settings;

    // What the run did.
    std::string printed;
    std::vector<std::string> boxes;
    std::vector<std::string> questions;
    bool portForgotten = false;
    std::vector<int> progress;  // every position set
    bool progressVisible = false;
    std::vector<bool> rts;            // every RTS change asked for
    std::vector<std::string> frames;  // every frame written
    int writesAfterFailure = 0;
    bool writeFailed = false;
    bool startEnabled = true;
    bool openEnabled = true;
    bool packetSplit = true;
    bool autoSendsStopped = false;
    bool stop = false;
    bool resetBoxesReleased = false;
    std::int64_t txCount = 0;

    // ---- IspPort
    bool Connected() const override { return port.Connected(); }
    void Write(std::string_view frame) override;
    void SetDTR(bool on) override;
    void SetRTS(bool on) override;
    void SetOneStopBit() override;
    void SetEightDataBits() override;
    bool Lost() const override { return lost_ || !port.Connected(); }

    // ---- IspEvents
    std::uint64_t NowMs() override;
    void ServeEvents(int maxWaitMs) override;
    bool StopFlag() const override { return stop; }
    void SetStopFlag(bool on) override { stop = on; }

    // ---- IspMessages
    bool English() const override { return english; }
    void Print(const std::string& text) override { printed += text; }
    void MessageBox(const std::string& text) override { boxes.push_back(text); }
    bool Confirm(const std::string& text) override;

    // ---- IspWindow
    void SetStartEnabled(bool on) override { startEnabled = on; }
    void SetOpenEnabled(bool on) override { openEnabled = on; }
    void SetSendFileEnabled(bool) override {}
    void SetSendEnabled(bool) override {}
    void ClearReceiveText() override { printed.clear(); }
    void CaretToEnd() override {}
    void Repaint() override {}
    bool PacketSplit() const override { return packetSplit; }
    void SetPacketSplit(bool on) override { packetSplit = on; }
    void StopAutomaticSends() override { autoSendsStopped = true; }
    bool OpenAction() override;
    int BaudOrdinal() const override { return static_cast<int>(port.BaudRate()); }
    void SetBaudOrdinal(int ordinal) override;
    int BitRate() const override;
    void SetParityEven(bool even) override;
    void OpenPort() override;
    void ClosePort() override;
    void SetProgress(int position, bool visible) override;
    void ShowBlockStatus(std::int64_t tx, std::int64_t blockOffset) override;
    std::int64_t AddTxCount(std::int64_t bytes) override { return txCount += bytes; }
    void ResetReceiveCount() override {}
    void ReleaseResetBoxes() override { resetBoxesReleased = true; }
    std::string FileName() const override { return fileName; }
    bool SaveLine(zenta::isp::IspLine& line) const override;
    void RestoreLine(const zenta::isp::IspLine& line) override;
    void ForgetPort() override { portForgotten = true; }

  private:
    bool lost_ = false;
    bool delivered_ = false;
    std::int64_t skewMs_ = 0;
    zenta::isp::THexImage image_;
    std::string text_;
};

}  // namespace isp_test
