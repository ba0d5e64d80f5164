// Modem lines, line errors and a lost device as the event thread sees them, through a
// device whose lines and error counters the test drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "serial/CPort.h"
#include "serial/support/PortProbe.h"
#include "support/LineDevice.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

using Log = std::vector<std::string>;

struct PortLineEvents : ::testing::Test {
    TPty pty;
    TQueueDispatcher dispatcher;
    std::shared_ptr<TLineDevice::TState> lines = std::make_shared<TLineDevice::TState>();
    TComLink link;
    Log log;
    TComPort port;

    void SetUp() override {
        port.SetPort(pty.SlavePath());
        port.SetDispatcher(&dispatcher);
        port.SetDeviceFactory([s = lines] { return std::make_unique<TLineDevice>(s); });
        auto add = [this](const std::string& s) { log.push_back(s); };
        port.OnCTSChange = [add](TCustomComPort*, bool s) { add(s ? "CTS1" : "CTS0"); };
        port.OnDSRChange = [add](TCustomComPort*, bool s) { add(s ? "DSR1" : "DSR0"); };
        port.OnRLSDChange = [add](TCustomComPort*, bool s) { add(s ? "RLSD1" : "RLSD0"); };
        port.OnRing = [add](TCustomComPort*) { add("RING"); };
        link.OnCTSChange = [add](TCustomComPort*, bool s) { add(s ? "link CTS1" : "link CTS0"); };
        link.OnRing = [add](TCustomComPort*) { add("link RING"); };
        port.RegisterLink(&link);
    }
    void TearDown() override {
        port.Close();
        ClearHandlers(port);
        port.UnRegisterLink(&link);
    }
    // Sets the lines and waits until the handlers logged `expected`.
    void Lines(uint32_t modem, const Log& expected) {
        log.clear();
        lines->modem = modem;
        const bool seen = dispatcher.PumpUntil([&] { return log.size() >= expected.size(); }, 5000);
        EXPECT_TRUE(seen) << modem;
        EXPECT_EQ(log, expected) << modem;
    }
};

}  // namespace

TEST_F(PortLineEvents, ModemLineChangesReachHandlersAndLinksWithTheStateReadNow) {
    lines->modem = MS_DSR_ON;
    port.Open();
    EXPECT_EQ(log, (Log{"link CTS0", "CTS0", "DSR1", "RLSD0"}));
    EXPECT_EQ(port.Signals(), TComSignals{csDSR});

    Lines(MS_DSR_ON | MS_CTS_ON, {"link CTS1", "CTS1"});
    Lines(MS_CTS_ON, {"DSR0"});
    Lines(MS_CTS_ON | MS_RLSD_ON, {"RLSD1"});
    // A ring is reported when it starts, not when it ends.
    Lines(MS_CTS_ON | MS_RLSD_ON | MS_RING_ON, {"link RING", "RING"});
    Lines(MS_CTS_ON | MS_RLSD_ON, {});
    EXPECT_EQ(port.Signals(), (TComSignals{csCTS, csRLSD}));
    // Several lines at once: one wake-up, in the delivery order.
    Lines(MS_DSR_ON, {"link CTS0", "CTS0", "DSR1", "RLSD0"});
}

TEST_F(PortLineEvents, ErrorCountersBecomeErrorAndBreakEvents) {
    std::vector<TComErrors> errors;
    int breaks = 0;
    port.OnError = [&](TCustomComPort*, TComErrors e) { errors.push_back(e); };
    port.OnBreak = [&](TCustomComPort*) { ++breaks; };
    port.Parity().SetCheck(true);
    port.Open();

    auto bump = [&](std::atomic<uint32_t>& counter, TComErrors expected) {
        errors.clear();
        ++counter;
        ASSERT_TRUE(dispatcher.PumpUntil([&] { return !errors.empty(); }, 5000));
        EXPECT_EQ(errors, std::vector<TComErrors>{expected});
    };
    bump(lines->frame, {ceFrame});
    bump(lines->overrun, {ceOverrun});
    bump(lines->parity, {ceRxParity});
    bump(lines->bufOverrun, {ceRxOver});
    EXPECT_EQ(breaks, 0);
    // A break is its own event, not a line error; the next query still names it once.
    ++lines->brk;
    ASSERT_TRUE(dispatcher.PumpUntil([&] { return breaks == 1; }, 5000));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(port.LastErrors(), TComErrors{ceBreak});
    EXPECT_TRUE(port.LastErrors().Empty());
}

TEST_F(PortLineEvents, ALostDeviceLeavesTheEventThreadAsleep) {
    int lost = 0;
    port.OnError = [&](TCustomComPort*, TComErrors e) { lost += e.Contains(ceIO) ? 1 : 0; };
    port.Open();  // the device has modem lines: the thread polls them until the loss
    pty.CloseMaster();
    ASSERT_TRUE(dispatcher.PumpUntil([&] { return lost == 1; }, 5000));
    dispatcher.PumpUntil([] { return false; }, 50);  // the wake-up after the delivery

    // Counted, not timed: a thread that spins or keeps polling the lines wakes dozens of
    // times in this window; one that sleeps until Close wakes not at all.
    const int waits = lines->waits.load();
    const int reads = lines->reads.load();
    dispatcher.PumpUntil([] { return false; }, 300);
    EXPECT_LE(lines->waits.load() - waits, 1);
    EXPECT_EQ(lines->reads.load() - reads, 0);
    EXPECT_EQ(lost, 1);

    port.Close();  // and it still ends at once
    EXPECT_FALSE(port.Connected());
}
