// Raw pseudo-terminal throughput and one-byte round trip, against the same through the
// port engine (event thread -> dispatcher -> OnRxChar -> ReadStr).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "serial/CPort.h"
#include "support/Pty.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBlock = 4u << 20;

using zenta::test::TPty;

void WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
    }
}

void ReadExactly(int fd, char* buf, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, buf + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 100);
    }
}

int OpenRawSlave(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void ReportMedian(benchmark::State& state, std::vector<double>& samples) {
    if (samples.empty())
        return;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
}

void BM_RawPtyThroughput(benchmark::State& state) {
    TPty pty;
    const int slave = OpenRawSlave(pty.SlavePath());
    std::string data(kBlock, 'r');
    std::vector<char> sink(kBlock);
    for (auto _ : state) {
        std::thread writer([&] { WriteAll(pty.Master(), data.data(), data.size()); });
        ReadExactly(slave, sink.data(), sink.size());
        writer.join();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
    close(slave);
}

void BM_EngineThroughput(benchmark::State& state) {
    TPty pty;
    TQueueDispatcher dispatcher;
    TComPort port;
    port.SetPort(pty.SlavePath());
    port.SetDispatcher(&dispatcher);
    port.Buffer().SetInputSize(4096);
    std::size_t received = 0;
    std::string text;
    port.OnRxChar = [&](TCustomComPort* p, int count) { received += p->ReadStr(text, count); };
    port.Open();
    std::string data(kBlock, 'e');
    for (auto _ : state) {
        received = 0;
        std::thread writer([&] { WriteAll(pty.Master(), data.data(), data.size()); });
        dispatcher.PumpUntil([&] { return received >= kBlock; }, 60000);
        writer.join();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
    port.Close();
}

// One byte out of the master and back per iteration; the round trips in microseconds.
std::vector<double> TimeRoundTrips(benchmark::State& state, int master) {
    std::vector<double> samples;
    char c = 'x';
    for (auto _ : state) {
        const auto t0 = Clock::now();
        WriteAll(master, &c, 1);
        ReadExactly(master, &c, 1);
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    return samples;
}

// The far end echoes each byte; the benchmark thread plays the device on the master.
void BM_RawRoundTrip(benchmark::State& state) {
    TPty pty;
    const int slave = OpenRawSlave(pty.SlavePath());
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        char c;
        while (!stop.load()) {
            pollfd p{slave, POLLIN, 0};
            if (poll(&p, 1, 50) > 0 && read(slave, &c, 1) == 1)
                WriteAll(slave, &c, 1);
        }
    });
    std::vector<double> samples = TimeRoundTrips(state, pty.Master());
    stop = true;
    echo.join();
    close(slave);
    ReportMedian(state, samples);
}

void BM_EngineRoundTrip(benchmark::State& state) {
    TPty pty;
    TQueueDispatcher dispatcher;
    TComPort port;
    port.SetPort(pty.SlavePath());
    port.SetDispatcher(&dispatcher);
    std::string text;
    port.OnRxChar = [&](TCustomComPort* p, int count) {
        p->ReadStr(text, count);
        p->WriteStr(text);
    };
    port.Open();
    std::atomic<bool> stop{false};
    // This thread stands for the GUI thread that serves the port's deliveries.
    std::thread gui([&] {
        while (!stop.load())
            dispatcher.PumpUntil([&] { return stop.load(); }, 50);
    });
    std::vector<double> samples = TimeRoundTrips(state, pty.Master());
    stop = true;
    gui.join();
    port.Close();
    ReportMedian(state, samples);
}

}  // namespace

BENCHMARK(BM_RawPtyThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EngineThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_EngineRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
