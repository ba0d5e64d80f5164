#include "isp/cli/FlashCli.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>

#include "isp/IspRun.h"
#include "serial/CPort.h"
#include "serial/Dispatcher.h"

namespace zenta::isp {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) {
    gInterrupted = 1;
}

// Longest wait for any reply but an erase: a chip that stops answering ends the run.
constexpr std::uint32_t kReplyTimeoutMs = 5000;
constexpr int kBarWidth = 40;

template <class Op>
void Guard(Op op) {
    try {
        op();
    } catch (const std::exception& e) {
        throw PortError(e.what());
    }
}

// The run's world without a window: the port engine on a queue this thread pumps, the
// messages as lines on stderr.
class THeadless final : public IspPort, public IspEvents, public IspMessages, public IspWindow {
  public:
    THeadless(const FlashRequest& request, std::FILE* err, bool bar)
        : request_(request), err_(err), bar_(bar) {
        port.SetDispatcher(&queue_);
        port.SetPort(request.port);
        port.OnRxChar = [this](TCustomComPort*, int count) {
            std::string chunk;
            port.ReadStr(chunk, count);
            link.AppendReplies(chunk);
            delivered_ = true;
        };
        port.OnError = [this](TCustomComPort*, TComErrors errors) {
            if (errors.Contains(ceIO)) {
                lost_ = true;
                delivered_ = true;
            }
        };
    }
    ~THeadless() override {
        port.OnRxChar = nullptr;
        port.OnError = nullptr;
        ClosePort();
    }

    TComPort port;
    TBootLink link{*this, *this, *this};

    // ---- IspPort
    bool Connected() const override { return port.Connected(); }
    void Write(std::string_view frame) override {
        Guard([&] { port.Write(frame.data(), static_cast<int>(frame.size())); });
    }
    void SetDTR(bool on) override {
        Guard([&] { port.SetDTR(on); });
    }
    void SetRTS(bool on) override {
        Guard([&] { port.SetRTS(on); });
    }
    void SetOneStopBit() override {
        Guard([&] { port.SetStopBits(sbOneStopBit); });
    }
    void SetEightDataBits() override {
        Guard([&] { port.SetDataBits(dbEight); });
    }
    bool Lost() const override { return lost_ || !port.Connected(); }

    // ---- IspEvents
    std::uint64_t NowMs() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    void ServeEvents(int maxWaitMs) override {
        if (maxWaitMs <= 0) {
            queue_.Pump();
            return;
        }
        delivered_ = false;
        if (port.Connected() && port.OwnerReads()) {
            queue_.Pump();
            if (!delivered_) {
                port.ServeInput(maxWaitMs);
            }
        } else {
            queue_.PumpUntil([this] { return delivered_ || gInterrupted != 0; }, maxWaitMs);
        }
    }
    bool StopFlag() const override { return stop_ || gInterrupted != 0; }
    void SetStopFlag(bool on) override {
        stop_ = on;
        if (!on) {
            gInterrupted = 0;
        }
    }

    // ---- IspMessages
    bool English() const override { return request_.english; }
    void Print(const std::string& text) override {
        ClearBar();
        // Written in one go: stderr is unbuffered, and a write per character costs a
        // system call each.
        std::string out;
        out.reserve(text.size());
        for (char c : text) {
            if (c == '\r') {
                continue;
            }
            if (c == '\n' && atLineStart_) {
                continue;  // steps are lines: no empty ones
            }
            out += c;
            atLineStart_ = c == '\n';
        }
        std::fwrite(out.data(), 1, out.size(), err_);
        std::fflush(err_);
    }
    void MessageBox(const std::string& text) override {
        EndLine();
        // The window's text points at its open-file button; here the file is named.
        if (text == Text(IspText::FileMissing, English())) {
            Print("zenta: cannot read " + request_.file + "\n");
            return;
        }
        Print("zenta: " + text + "\n");
    }
    // Asks on the terminal; without one nobody can say yes.
    bool Confirm(const std::string& text) override {
        EndLine();
        Print(text + (English() ? " [y/N] " : " [y/N] "));
        if (!::isatty(STDIN_FILENO)) {
            Print("\n");
            return false;
        }
        char answer[16] = {};
        const bool yes =
            std::fgets(answer, sizeof answer, stdin) && (answer[0] == 'y' || answer[0] == 'Y');
        atLineStart_ = true;
        return yes;
    }

    // ---- IspWindow: no controls
    void SetStartEnabled(bool) override {}
    void SetOpenEnabled(bool) override {}
    void SetSendFileEnabled(bool) override {}
    void SetSendEnabled(bool) override {}
    void ClearReceiveText() override {}
    void CaretToEnd() override {}
    void Repaint() override {}
    bool PacketSplit() const override { return false; }
    void SetPacketSplit(bool) override {}
    void StopAutomaticSends() override {}
    bool OpenAction() override {
        try {
            port.Open();
        } catch (const std::exception& e) {
            // The run tries twice, as the window's Open button would be clicked twice.
            if (!openFailed_) {
                EndLine();
                Print("zenta: " + request_.port + ": " + e.what() + "\n");
            }
            openFailed_ = true;
        }
        return port.Connected();
    }
    int BaudOrdinal() const override { return static_cast<int>(port.BaudRate()); }
    void SetBaudOrdinal(int ordinal) override {
        Guard([&] {
            if (ordinal == brCustom) {
                port.SetCustomBaudRate(request_.bitRate);
            }
            port.SetBaudRate(static_cast<TBaudRate>(ordinal));
        });
    }
    int BitRate() const override {
        return port.BaudRate() == brCustom ? port.CustomBaudRate() : BaudRateValue(port.BaudRate());
    }
    void SetParityEven(bool even) override {
        Guard([&] { port.Parity().SetBits(even ? prEven : prNone); });
    }
    void OpenPort() override {
        Guard([&] { port.Open(); });
    }
    void ClosePort() override {
        try {
            port.Close();
        } catch (const std::exception&) {
            // Closed either way.
        }
    }
    void SetProgress(int position, bool visible) override {
        if (!bar_ || !visible || position <= 0 || position >= 100) {
            ClearBar();
            return;
        }
        if (position == lastBar_) {
            return;
        }
        lastBar_ = position;
        EndLine();
        const int filled = position * kBarWidth / 100;
        std::fprintf(
            err_, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
            std::string(static_cast<std::size_t>(kBarWidth - filled), ' ').c_str(), position);
        std::fflush(err_);
        barShown_ = true;
    }
    void ShowBlockStatus(std::int64_t, std::int64_t) override {}
    std::int64_t AddTxCount(std::int64_t bytes) override { return tx_ += bytes; }
    void ResetReceiveCount() override {}
    void ReleaseResetBoxes() override {}
    std::string FileName() const override { return request_.file; }
    bool SaveLine(IspLine& line) const override {
        line.baudOrdinal = static_cast<int>(port.BaudRate());
        line.dataBits = static_cast<int>(port.DataBits());
        line.parity = static_cast<int>(port.Parity().Bits());
        line.stopBits = static_cast<int>(port.StopBits());
        return true;
    }
    void RestoreLine(const IspLine& line) override {
        Guard([&] {
            port.SetBaudRate(static_cast<TBaudRate>(line.baudOrdinal));
            port.SetDataBits(static_cast<TDataBits>(line.dataBits));
            port.Parity().SetBits(static_cast<TParityBits>(line.parity));
            port.SetStopBits(static_cast<TStopBits>(line.stopBits));
        });
    }

    bool OpenFailed() const { return openFailed_; }
    // Ends a partial line ("7F 7F ") before a line of its own.
    void EndLine() {
        ClearBar();
        if (!atLineStart_) {
            std::fputc('\n', err_);
            atLineStart_ = true;
        }
    }

  private:
    void ClearBar() {
        if (barShown_) {
            std::fputs("\r\033[K", err_);
            barShown_ = false;
            lastBar_ = -1;
        }
    }

    const FlashRequest& request_;
    std::FILE* err_;
    bool bar_;
    TQueueDispatcher queue_;
    bool lost_ = false;
    bool delivered_ = false;
    bool stop_ = false;
    bool openFailed_ = false;
    bool atLineStart_ = true;
    bool barShown_ = false;
    int lastBar_ = -1;
    std::int64_t tx_ = 0;
};

int SpeedOrdinalOf(int bitRate) {
    for (int o = 1; o <= static_cast<int>(br2000000); ++o) {
        if (BaudRateValue(static_cast<TBaudRate>(o)) == bitRate) {
            return o;
        }
    }
    return brCustom;
}

int ExitOf(RunEnd end) {
    switch (end) {
        case RunEnd::Programmed:
            return kFlashDone;
        case RunEnd::PortOpenFailed:
        case RunEnd::PortFailure:
            return kFlashPortFailure;
        default:
            return kFlashRefused;
    }
}

}  // namespace

int RunFlash(const FlashRequest& given, std::FILE* err, bool progressBar) {
    FlashRequest request = given;
    if (request.port.empty()) {
        const auto ports = ListPorts();
        if (ports.empty()) {
            std::fprintf(err, "zenta: no serial port found; name one after the file\n");
            return kFlashPortFailure;
        }
        request.port = ports.front().substr(0, ports.front().find(' '));
    }
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous);
    gInterrupted = 0;

    int code = kFlashRefused;
    {
        THeadless world(request, err, progressBar);
        world.Print("zenta: " + request.port + "\n");
        THexImage image;
        if (request.address) {
            image.SetBinaryAddress(*request.address);
        }
        std::string text;
        TIspRun run(world, world, world, world, world.link, image, text);
        RunSettings settings;
        settings.speedOrdinal = SpeedOrdinalOf(request.bitRate);
        settings.verify = request.verify;
        settings.erase = request.erasePages ? EraseMode::Pages : EraseMode::All;
        settings.reset = request.reset;
        settings.replyTimeoutMs = kReplyTimeoutMs;
        // The run waits for each reply on this thread.
        world.port.SetOwnerReads(true);
        const RunEnd end = run.Run(settings);
        world.port.SetOwnerReads(false);
        world.EndLine();
        code = world.OpenFailed() ? kFlashPortFailure : ExitOf(end);
    }
    ::sigaction(SIGINT, &previous, nullptr);
    return code;
}

std::vector<std::string> ListPorts() {
    std::vector<std::string> paths;
    EnumComPorts(paths);
    std::vector<std::string> entries;
    for (const std::string& p : paths) {
        entries.push_back(zenta::PortListEntry(p));
    }
    return entries;
}

}  // namespace zenta::isp
