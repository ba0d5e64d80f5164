// A 4 MiB flood from a pty through ser2net, read by a plain TCP socket (the ceiling) and by
// the engine's network ports; and one byte from a key press to the device.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "serial/CPort.h"
#if ZENTA_NET_BENCH_FLASH
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "isp/cli/FlashCli.h"
#include "isp/kit/IspHarness.h"
#include "support/DevsimProcess.h"
#endif
#include "support/Pty.h"
#include "support/Ser2net.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBlock = 4u << 20;
using zenta::test::TPty;

void WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 100);
    }
}

int Connect(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// The reference: a plain blocking reader of ser2net's raw TCP port.
void BM_PlainSocketReader(benchmark::State& state) {
    TPty pty;
    net_test::TSer2net server(pty.SlavePath(), false);
    const int fd = Connect(server.Port());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // ser2net opens the pty
    const std::string data(kBlock, 'r');
    std::vector<char> sink(64 * 1024);
    for (auto _ : state) {
        std::thread writer([&] { WriteAll(pty.Master(), data.data(), data.size()); });
        std::size_t got = 0;
        while (got < kBlock) {
            const ssize_t n = ::recv(fd, sink.data(), sink.size(), 0);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        writer.join();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
    ::close(fd);
}

void EngineFlood(benchmark::State& state, bool rfc2217) {
    TPty pty;
    net_test::TSer2net server(pty.SlavePath(), rfc2217);
    TQueueDispatcher dispatcher;
    TComPort port;
    port.SetDispatcher(&dispatcher);
    port.SetPort(server.Url());
    std::size_t received = 0;
    std::string text;
    port.OnRxChar = [&](TCustomComPort* p, int count) { received += p->ReadStr(text, count); };
    port.Open();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::string data(kBlock, 'r');
    for (auto _ : state) {
        received = 0;
        std::thread writer([&] { WriteAll(pty.Master(), data.data(), data.size()); });
        dispatcher.PumpUntil([&] { return received >= kBlock; }, 60000);
        writer.join();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
    port.Close();
}

void BM_EngineSocketPort(benchmark::State& state) {
    EngineFlood(state, false);
}
void BM_EngineRfc2217Port(benchmark::State& state) {
    EngineFlood(state, true);
}

// One byte written by the engine until the pty's far end reads it; the 99th percentile.
void KeyToDevice(benchmark::State& state, bool rfc2217) {
    TPty pty;
    net_test::TSer2net server(pty.SlavePath(), rfc2217);
    TQueueDispatcher dispatcher;
    TComPort port;
    port.SetDispatcher(&dispatcher);
    port.SetPort(server.Url());
    port.OnRxChar = [](TCustomComPort* p, int count) {
        std::string drop;
        p->ReadStr(drop, count);
    };
    port.Open();
    std::vector<double> samples;
    char c;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        port.Write("k", 1);
        pollfd p{pty.Master(), POLLIN, 0};
        while (::read(pty.Master(), &c, 1) != 1) {
            ::poll(&p, 1, 100);
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(samples.begin(), samples.end());
    if (!samples.empty()) {
        state.counters["p50_us"] = samples[samples.size() / 2];
        state.counters["p99_us"] = samples[samples.size() * 99 / 100];
    }
    port.Close();
}

void BM_KeyToDeviceSocket(benchmark::State& state) {
    KeyToDevice(state, false);
}
void BM_KeyToDeviceRfc2217(benchmark::State& state) {
    KeyToDevice(state, true);
}

#if ZENTA_NET_BENCH_FLASH
// The same image flashed on the simulated chip (line timing at 460800) straight through its
// pty and through ser2net over RFC 2217, in alternating rounds so both meet the same load;
// the reported time is the remote run's median, the local median beside it.
void FlashSideBySide(benchmark::State& state, const char* chip, std::size_t bytes) {
    char tmpl[] = "/tmp/zenta-netbench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    std::vector<std::uint8_t> image(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    const std::string hex = dir + "/image.hex";
    std::ofstream(hex, std::ios::binary) << isp_test::HexText(image);
    devsim_test::TempLink link;
    devsim_test::DevsimProcess sim(
        {"bootloader", "--quiet", "--line-timing", "--chip", chip, "--link", link.path});
    devsim_test::WaitForPath(link.path);
    net_test::TSer2net server(link.path, true);
    std::FILE* sink = std::getenv("NET_BENCH_SAY") ? stderr : std::fopen("/dev/null", "w");
    std::vector<double> local, remote;
    auto run = [&](const std::string& port) {
        zenta::isp::FlashRequest request;
        request.file = hex;
        request.port = port;
        request.bitRate = 460800;
        request.erasePages = true;
        request.reset = std::getenv("NET_BENCH_RESET") != nullptr;
        const auto t0 = Clock::now();
        const int code = zenta::isp::RunFlash(request, sink, false);
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        if (code != zenta::isp::kFlashDone) {
            state.SkipWithError("flash failed");
        }
        return s;
    };
    for (auto _ : state) {
        local.push_back(run(link.path));
        remote.push_back(run(server.Url()));
        state.SetIterationTime(remote.back());
    }
    std::sort(local.begin(), local.end());
    std::sort(remote.begin(), remote.end());
    state.counters["local_s"] = local[local.size() / 2];
    state.counters["rfc2217_s"] = remote[remote.size() / 2];
    state.counters["ratio"] = remote[remote.size() / 2] / local[local.size() / 2];
    if (sink != stderr) {
        std::fclose(sink);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void BM_FlashF1_64K(benchmark::State& state) {
    FlashSideBySide(state, "f1", 64 * 1024);
}
void BM_FlashF4_512K(benchmark::State& state) {
    FlashSideBySide(state, "f4", 512 * 1024);
}
#endif

}  // namespace

#if ZENTA_NET_BENCH_FLASH
BENCHMARK(BM_FlashF1_64K)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlashF4_512K)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_PlainSocketReader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_EngineSocketPort)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_EngineRfc2217Port)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_KeyToDeviceSocket)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);
BENCHMARK(BM_KeyToDeviceRfc2217)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);

BENCHMARK_MAIN();
