#include "isp/kit/IspHarness.h"

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace isp_test {
namespace {

using zenta::isp::PortError;

std::string Record(std::uint8_t count, std::uint16_t address, std::uint8_t type,
                   const std::uint8_t* data) {
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X%02X", count, address, type);
    std::string line = head;
    std::uint8_t sum = static_cast<std::uint8_t>(count + (address >> 8) + address + type);
    for (int i = 0; i < count; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%02X", data[i]);
        line += b;
        sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "%02X\r\n", static_cast<std::uint8_t>(-sum));
    return line + tail;
}

template <class Op>
void Guard(Op op) {
    try {
        op();
    } catch (const std::exception& e) {
        throw PortError(e.what());
    }
}

}  // namespace

std::string HexText(const std::vector<std::uint8_t>& image, std::uint32_t address) {
    std::string text;
    std::uint32_t upper = 0xFFFFFFFF;
    for (std::size_t i = 0; i < image.size(); i += 16) {
        const std::uint32_t a = address + static_cast<std::uint32_t>(i);
        if ((a >> 16) != upper) {
            upper = a >> 16;
            const std::uint8_t ext[2] = {static_cast<std::uint8_t>(upper >> 8),
                                         static_cast<std::uint8_t>(upper)};
            text += Record(2, 0, 4, ext);
        }
        const auto n = static_cast<std::uint8_t>(std::min<std::size_t>(16, image.size() - i));
        text += Record(n, static_cast<std::uint16_t>(a), 0, image.data() + i);
    }
    return text + ":00000001FF\r\n";
}

std::string WriteTempFile(const std::string& name, const std::string& text) {
    static std::string dir;
    if (dir.empty()) {
        char tmpl[] = "/tmp/zenta-isp-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    const std::string path = dir + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

TIspHarness::TIspHarness(const std::string& portPath) {
    port.SetDispatcher(&queue);
    port.SetPort(portPath);
    port.SetBaudRate(br115200);
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
            if (stopOnPortError) {
                stop = true;
            }
        }
    };
}

TIspHarness::~TIspHarness() {
    port.OnRxChar = nullptr;
    port.OnError = nullptr;
    try {
        port.Close();
    } catch (const std::exception&) {
        // A port that already failed; it is closed either way.
    }
}

zenta::isp::RunEnd TIspHarness::Run(int speedOrdinal, bool openFirst) {
    if (openFirst) {
        port.Open();
    }
    zenta::isp::TIspRun run(*this, *this, *this, *this, link, image_, text_);
    settings.speedOrdinal = speedOrdinal;
    settings.sync = sync;
    // As the window does: the run reads its replies itself.
    port.SetOwnerReads(true);
    const zenta::isp::RunEnd end = run.Run(settings);
    port.SetOwnerReads(false);
    return end;
}

void TIspHarness::Write(std::string_view frame) {
    if (writeFailed) {
        ++writesAfterFailure;
    }
    try {
        Guard([&] { port.Write(frame.data(), static_cast<int>(frame.size())); });
    } catch (const PortError&) {
        writeFailed = true;
        throw;
    }
    frames.emplace_back(frame);
}

void TIspHarness::SetEightDataBits() {
    Guard([&] { port.SetDataBits(dbEight); });
}

bool TIspHarness::Confirm(const std::string& text) {
    questions.push_back(text);
    if (answers.empty()) {
        return false;
    }
    const bool yes = answers.front();
    answers.erase(answers.begin());
    return yes;
}

bool TIspHarness::SaveLine(zenta::isp::IspLine& line) const {
    if (!offerLine) {
        return false;
    }
    line.baudOrdinal = static_cast<int>(port.BaudRate());
    line.dataBits = static_cast<int>(port.DataBits());
    line.parity = static_cast<int>(port.Parity().Bits());
    line.stopBits = static_cast<int>(port.StopBits());
    return true;
}

void TIspHarness::RestoreLine(const zenta::isp::IspLine& line) {
    Guard([&] {
        port.SetBaudRate(static_cast<TBaudRate>(line.baudOrdinal));
        port.SetDataBits(static_cast<TDataBits>(line.dataBits));
        port.Parity().SetBits(static_cast<TParityBits>(line.parity));
        port.SetStopBits(static_cast<TStopBits>(line.stopBits));
    });
}

void TIspHarness::SetDTR(bool on) {
    Guard([&] { port.SetDTR(on); });
}

void TIspHarness::SetRTS(bool on) {
    rts.push_back(on);
    Guard([&] { port.SetRTS(on); });
}

void TIspHarness::SetOneStopBit() {
    Guard([&] { port.SetStopBits(sbOneStopBit); });
}

std::uint64_t TIspHarness::NowMs() {
    const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
    return static_cast<std::uint64_t>(real + skewMs_);
}

void TIspHarness::ServeEvents(int maxWaitMs) {
    if (onWait) {
        onWait();
    }
    if (maxWaitMs <= 0) {
        queue.Pump();
        return;
    }
    const int real = std::max(1, maxWaitMs / clockScale);
    delivered_ = false;
    const auto start = std::chrono::steady_clock::now();
    bool served;
    if (port.Connected() && port.OwnerReads()) {
        queue.Pump();  // the event thread's deliveries: drained output, lines
        served = delivered_ || port.ServeInput(real);
    } else {
        served = queue.PumpUntil([this] { return delivered_; }, real);
    }
    if (!served && clockScale > 1) {
        // A wait that timed out stands for maxWaitMs of simulated time.
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
        skewMs_ += std::max<std::int64_t>(0, maxWaitMs - spent);
    }
}

bool TIspHarness::OpenAction() {
    // The window's Open action reports its own failure and raises nothing.
    try {
        port.Open();
    } catch (const std::exception&) {
        boxes.push_back("open failed");
    }
    return true;
}

void TIspHarness::SetBaudOrdinal(int ordinal) {
    Guard([&] { port.SetBaudRate(static_cast<TBaudRate>(ordinal)); });
}

int TIspHarness::BitRate() const {
    return BaudRateValue(port.BaudRate());
}

void TIspHarness::SetParityEven(bool even) {
    Guard([&] { port.Parity().SetBits(even ? prEven : prNone); });
}

void TIspHarness::OpenPort() {
    Guard([&] { port.Open(); });
}

void TIspHarness::ClosePort() {
    try {
        port.Close();
    } catch (const std::exception&) {
        // Closed either way.
    }
}

void TIspHarness::SetProgress(int position, bool visible) {
    progress.push_back(position);
    progressVisible = visible;
}

void TIspHarness::ShowBlockStatus(std::int64_t, std::int64_t blockOffset) {
    if (onBlock) {
        onBlock(blockOffset);
    }
}

}  // namespace isp_test
