// Purging under a running stream, and what open/close cycles leave behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "serial/CPort.h"
#include "serial/support/PortProbe.h"
#include "support/LineDevice.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

struct PortPurge : ::testing::Test {
    TPty pty;
    TQueueDispatcher dispatcher;
    std::shared_ptr<TLineDevice::TState> lines = std::make_shared<TLineDevice::TState>();
    TComPort port;

    void SetUp() override {
        port.SetPort(pty.SlavePath());
        port.SetDispatcher(&dispatcher);
    }
    void TearDown() override { ClearHandlers(port); }

    // Everything queued until the text ends with marker (or 5 s passed).
    std::string ReadUpTo(const std::string& marker) {
        std::string got;
        dispatcher.PumpUntil(
            [&] {
                std::string part;
                port.ReadStr(part, port.InputCount());
                got += part;
                return got.size() >= marker.size() &&
                       got.compare(got.size() - marker.size(), marker.size(), marker) == 0;
            },
            5000);
        return got;
    }
};

int Entries(const char* dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) {
        ++n;
    }
    return n;
}

// A joined thread can stay listed in /proc for a moment after pthread_join returns (the
// kernel reaps it after clearing the id the join waits on), so counts are given time to settle.
int SettledEntries(const char* dir, int want) {
    int n = Entries(dir);
    for (int i = 0; i < 200 && n != want; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        n = Entries(dir);
    }
    return n;
}

}  // namespace

TEST_F(PortPurge, ClearBufferDuringAStreamKeepsNoOldByte) {
    // Reads pause before their bytes are queued, as a preempted event thread would; a purge
    // that is not one step with the reader then lets the paused bytes in after it.
    lines->readPauseUs = 1000;
    port.SetDeviceFactory([s = lines] { return std::make_unique<TLineDevice>(s); });
    port.Open();  // nobody reads: the stream piles up in the engine's queue
    for (int round = 0; round < 5; ++round) {
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            const std::string block(4096, 'o');
            while (!stop.load()) {
                pty.Send(block);
            }
        });
        ASSERT_TRUE(dispatcher.PumpUntil([&] { return port.InputCount() > (64 << 10); }, 5000));
        stop = true;
        writer.join();  // the driver still holds what the slow reader has not taken

        port.ClearBuffer(true, false);
        const std::string marker = "new" + std::to_string(round);
        pty.Send(marker);
        EXPECT_EQ(ReadUpTo(marker), marker) << "round " << round;
    }
}

TEST_F(PortPurge, OpenCloseCyclesLeaveNoDescriptorOrThread) {
    std::atomic<int> got{0};  // smNone runs the handler on the event thread
    port.OnRxChar = [&](TCustomComPort* p, int n) {
        std::string part;
        got += p->ReadStr(part, n);
    };
    port.Open();  // first use may set up lasting state (udev, locale)
    port.Close();
    const int fds = Entries("/proc/self/fd");
    const int threads = SettledEntries("/proc/self/task", 1);
    for (int cycle = 0; cycle < 40; ++cycle) {
        port.SetSyncMethod(cycle % 3 == 0 ? smThreadSync : cycle % 3 == 1 ? smWindowSync : smNone);
        port.Open();
        got = 0;
        pty.Send("x");
        EXPECT_TRUE(dispatcher.PumpUntil([&] { return got.load() > 0; }, 5000)) << cycle;
        port.Close();
    }
    EXPECT_EQ(Entries("/proc/self/fd"), fds);
    EXPECT_EQ(SettledEntries("/proc/self/task", threads), threads);
}
