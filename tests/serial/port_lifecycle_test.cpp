// Opening, closing, batching and line control against real pseudo-terminals.
#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "serial/CPort.h"
#include "serial/posix/PosixSerialDevice.h"
#include "serial/support/PortProbe.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

using Log = std::vector<std::string>;

const Log kOpenTail = {"BeforeOpen", "link+", "AfterOpen", "CTS0", "DSR0", "RLSD0"};
const Log kCloseSeq = {"CTS0", "DSR0", "RLSD0", "BeforeClose", "link-", "AfterClose"};

Log Join(Log a, const Log& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Counts configurations and can play a device whose modem lines are gone.
struct TProbeDevice : zenta::TPosixSerialDevice {
    int* configures = nullptr;
    int lineError = 0;
    int Configure(const TDCB& dcb) override {
        if (configures) {
            ++*configures;
        }
        return zenta::TPosixSerialDevice::Configure(dcb);
    }
    int SetDTR(bool on) override {
        return lineError ? lineError : zenta::TPosixSerialDevice::SetDTR(on);
    }
    int SetRTS(bool on) override {
        return lineError ? lineError : zenta::TPosixSerialDevice::SetRTS(on);
    }
};

struct PortLifecycle : ::testing::Test {
    TPty pty;
    TQueueDispatcher dispatcher;
    TPortProbe probe;  // outlives the port, which reports its close on destruction
    TComPort port;
    void SetUp() override {
        port.SetPort(pty.SlavePath());
        port.SetDispatcher(&dispatcher);
        probe.Attach(port);
    }
    void TearDown() override { port.OnRxChar = nullptr; }
};

}  // namespace

TEST_F(PortLifecycle, OpenAndCloseNotifyInOrderAndRepeatsAreHarmless) {
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(port.ThreadCreated());
    port.Open();
    EXPECT_EQ(probe.log, kOpenTail);
    probe.Clear();
    port.Close();
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(probe.log, kCloseSeq);
}

TEST_F(PortLifecycle, SetPortClosesAndReopensUnderTheNewName) {
    TPty other;
    port.Open();
    port.SetPort(pty.SlavePath());
    probe.Clear();
    port.SetPort(other.SlavePath());
    EXPECT_EQ(probe.log, Join(kCloseSeq, kOpenTail));
    EXPECT_TRUE(port.Connected());
    other.Send("x");
    std::string got;
    port.OnRxChar = [&](TCustomComPort* p, int n) { p->ReadStr(got, n); };
    EXPECT_TRUE(dispatcher.PumpUntil([&] { return got == "x"; }, 5000));

    port.Close();
    probe.Clear();
    port.SetPort(pty.SlavePath());  // closed: only stored
    EXPECT_TRUE(probe.log.empty());
    EXPECT_FALSE(port.Connected());
}

TEST_F(PortLifecycle, MissingDeviceRaisesCode1AfterBeforeOpenOnly) {
    port.SetPort("/dev/zenta-no-such-tty");
    int sys = 0;
    zenta::TDeviceFault fault{};
    EXPECT_EQ(CodeOf([&] { port.Open(); }, &sys, &fault), CError_OpenFailed);
    EXPECT_EQ(sys, ENOENT);
    EXPECT_EQ(fault, zenta::TDeviceFault::Gone);
    EXPECT_EQ(probe.log, Log{"BeforeOpen"});
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.ThreadCreated());
}

TEST_F(PortLifecycle, SecondOpenOfABusyDeviceIsRefusedAsInUse) {
    port.Open();
    TComPort second;
    second.SetPort(pty.SlavePath());
    int sys = 0;
    zenta::TDeviceFault fault{};
    EXPECT_EQ(CodeOf([&] { second.Open(); }, &sys, &fault), CError_OpenFailed);
    EXPECT_EQ(sys, EBUSY);
    EXPECT_EQ(fault, zenta::TDeviceFault::Busy);
    EXPECT_FALSE(second.Connected());
    port.Close();
    second.Open();  // released with the first port's close
    EXPECT_TRUE(second.Connected());
}

TEST_F(PortLifecycle, RefusedConfigurationRaisesCode7) {
    // Rate 0 would hang up the line; a negative one is no rate at all.
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(0);
    EXPECT_EQ(CodeOf([&] { port.Open(); }), CError_SetStateFailed);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(probe.log, Log{"BeforeOpen"});

    TComPort other;  // the device really was closed again
    other.SetPort(pty.SlavePath());
    other.Open();
    other.Close();

    port.SetCustomBaudRate(57600);
    port.Open();
    EXPECT_EQ(CodeOf([&] { port.SetCustomBaudRate(-1); }), CError_SetStateFailed);
    EXPECT_EQ(port.CustomBaudRate(), 57600);  // back to what the line still has
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(CodeOf([&] { port.SetStopBits(sbOne5StopBits); }), CError_SetStateFailed);
}

TEST_F(PortLifecycle, SettingsReachTheDeviceAtOnceAndBatchesApplyOnce) {
    int configures = 0;
    port.SetDeviceFactory([&] {
        auto d = std::make_unique<TProbeDevice>();
        d->configures = &configures;
        return d;
    });
    port.SetBaudRate(br115200);
    EXPECT_EQ(configures, 0);  // closed: only stored
    port.Open();
    EXPECT_EQ(configures, 1);

    auto masterSpeed = [&] {
        struct termios2 t {};
        ioctl(pty.Master(), TCGETS2, &t);
        return t.c_ospeed;
    };
    EXPECT_EQ(masterSpeed(), 115200u);
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(2000000);
    EXPECT_EQ(configures, 3);
    EXPECT_EQ(masterSpeed(), 2000000u);

    port.BeginUpdate();
    port.BeginUpdate();
    port.SetBaudRate(br9600);
    port.Parity().SetBits(prEven);
    port.FlowControl().SetFlowControl(fcSoftware);
    port.EndUpdate();
    EXPECT_EQ(configures, 3);
    port.EndUpdate();
    EXPECT_EQ(configures, 4);
    EXPECT_EQ(masterSpeed(), 9600u);
    port.EndUpdate();  // below zero: nothing
    EXPECT_EQ(configures, 4);

    port.SetBaudRate(br9600);                       // unchanged: compared first
    port.FlowControl().SetFlowControl(fcSoftware);  // the summary write never compares
    EXPECT_EQ(configures, 5);
    TComParity parity;
    parity.SetBits(prEven);
    port.SetParity(parity);  // whole objects re-apply without comparing
    EXPECT_EQ(configures, 6);
}

TEST_F(PortLifecycle, OpenInsideABatchDefersTheSetup) {
    int configures = 0;
    port.SetDeviceFactory([&] {
        auto d = std::make_unique<TProbeDevice>();
        d->configures = &configures;
        return d;
    });
    port.BeginUpdate();
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(configures, 0);
    port.EndUpdate();
    EXPECT_EQ(configures, 1);
}

TEST_F(PortLifecycle, GoneModemLinesCloseThePortInsteadOfRaising) {
    TProbeDevice* device = nullptr;
    port.SetDeviceFactory([&] {
        auto d = std::make_unique<TProbeDevice>();
        device = d.get();
        return d;
    });
    port.Open();
    port.SetDTR(true);  // a pseudo-terminal has no modem lines: ignored
    port.SetRTS(false);
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(port.Signals().Empty());

    probe.Clear();
    device->lineError = EIO;
    EXPECT_NO_THROW(port.SetDTR(true));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(probe.log, kCloseSeq);

    port.Open();
    device->lineError = ENODEV;
    EXPECT_NO_THROW(port.SetRTS(true));
    EXPECT_FALSE(port.Connected());
    EXPECT_NO_THROW(port.SetDTR(false));  // closed: nothing to refuse
}

TEST_F(PortLifecycle, ThreadPropertiesOnlyChangeWhileClosed) {
    port.SetSyncMethod(smNone);
    port.SetEventThreadPriority(tpHigher);
    port.Open();
    EXPECT_EQ(CodeOf([&] { port.SetSyncMethod(smWindowSync); }), CError_ConnChangeProp);
    EXPECT_EQ(CodeOf([&] { port.SetEventThreadPriority(tpLower); }), CError_ConnChangeProp);
    EXPECT_EQ(CodeOf([&] { port.SetSyncMethod(smNone); }), 0);  // unchanged value
    port.SetEvents({});                                         // stored only, for the next open
    EXPECT_TRUE(port.ThreadCreated());
    port.Close();
    port.Open();
    EXPECT_FALSE(port.ThreadCreated());
}

TEST_F(PortLifecycle, ClosedPortOperationsRaiseTheirCodes) {
    char c;
    TComEvents ev{evRxChar};
    EXPECT_EQ(CodeOf([&] { port.InputCount(); }), CError_ClearComFailed);
    EXPECT_EQ(CodeOf([&] { port.LastErrors(); }), CError_ClearComFailed);
    EXPECT_EQ(CodeOf([&] { port.Signals(); }), CError_ModemStatFailed);
    EXPECT_EQ(CodeOf([&] { port.SetBreak(true); }), CError_EscapeComFailed);
    EXPECT_EQ(CodeOf([&] { port.ClearBuffer(true, true); }), CError_PurgeFailed);
    EXPECT_EQ(CodeOf([&] { port.TransmitChar('a'); }), CError_TransmitFailed);
    EXPECT_EQ(CodeOf([&] { port.Read(&c, 1); }), CError_ReadFailed);
    EXPECT_EQ(CodeOf([&] { port.Write("a", 1); }), CError_WriteFailed);
    EXPECT_EQ(CodeOf([&] { port.WaitForEvent(ev, nullptr, 0); }), CError_WaitFailed);
    EXPECT_TRUE(probe.log.empty());
}

TEST_F(PortLifecycle, WaitForEventServesPortsWithoutAThread) {
    port.Open();
    TComEvents ev{evRxChar};
    EXPECT_EQ(CodeOf([&] { port.WaitForEvent(ev, nullptr, 10); }), CError_ThreadCreated);
    port.Close();

    port.SetEvents({});
    port.Open();
    ev = {evRxChar};
    port.WaitForEvent(ev, nullptr, 30);
    EXPECT_TRUE(ev.Empty());  // timed out

    pty.Send("abcd");
    ev = {evRxChar, evCTS};
    port.WaitForEvent(ev, nullptr, 5000);
    EXPECT_EQ(ev, TComEvents{evRxChar});
    std::string text;
    EXPECT_EQ(port.ReadStr(text, 10), 4);
    EXPECT_EQ(text, "abcd");

    zenta::TWakeEvent stop;
    stop.Set();
    ev = {evRxChar};
    port.WaitForEvent(ev, &stop, -1);
    EXPECT_TRUE(ev.Empty());

    // Once a read found the device gone, a wait without limit ends at once instead of
    // waiting for a device nobody watches.
    pty.CloseMaster();
    char c;
    EXPECT_EQ(CodeOf([&] { port.Read(&c, 1); }), CError_ReadFailed);
    ev = {evRxChar};
    EXPECT_EQ(CodeOf([&] { port.WaitForEvent(ev, nullptr, -1); }), CError_WaitFailed);
}

TEST_F(PortLifecycle, StreamedConnectedOpensOnlyAfterLoading) {
    port.SetLoading(true);
    port.SetConnected(true);
    EXPECT_TRUE(probe.log.empty());
    port.Loaded();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(probe.log, kOpenTail);

    TComPort designed;
    designed.SetPort(pty.SlavePath());
    designed.SetDesigning(true);
    designed.Open();
    EXPECT_FALSE(designed.Connected());
}

TEST_F(PortLifecycle, DestructionClosesAndTellsListenersFirst) {
    Log seen;
    {
        TComPort p;
        p.SetPort(pty.SlavePath());
        p.OnAfterClose = [&](TCustomComPort*) { seen.push_back("closed"); };
        p.AddDestroyListener(&seen, [&] { seen.push_back("destroying"); });
        p.AddDestroyListener(this, [&] { seen.push_back("dropped"); });
        p.RemoveDestroyListener(this);
        p.Open();
    }
    EXPECT_EQ(seen, (Log{"destroying", "closed"}));
}
