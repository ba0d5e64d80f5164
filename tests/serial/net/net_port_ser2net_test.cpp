// Network ports against ser2net on loopback, with the device simulator on the pty behind
// it: the line settings reach the pty, every byte value crosses both ways, and a server
// that dies is a lost device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/CPort.h"
#include "support/DevsimProcess.h"
#include "support/Ser2net.h"

using devsim_test::DevsimProcess;
using devsim_test::TempLink;
using net_test::TSer2net;

namespace {

struct NetPort : ::testing::Test {
    TempLink link;
    TQueueDispatcher dispatcher;
    TComPort port;
    std::string got;
    std::vector<TComErrors> errors;

    void SetUp() override {
        port.SetDispatcher(&dispatcher);
        port.OnRxChar = [this](TCustomComPort* p, int n) {
            std::string part;
            p->ReadStr(part, n);
            got += part;
        };
        port.OnError = [this](TCustomComPort*, TComErrors e) { errors.push_back(e); };
    }
    void TearDown() override {
        port.Close();
        port.OnRxChar = nullptr;
        port.OnError = nullptr;
    }
    bool Pump(const std::function<bool()>& pred, int ms = 10000) {
        return dispatcher.PumpUntil(pred, ms);
    }
    std::string Notes() {
        std::string all;
        for (const std::string& n : port.TakeDeviceNotes()) {
            all += n + "\n";
        }
        return all;
    }
};

}  // namespace

TEST_F(NetPort, SettingsReachThePtyAndAnUnconfirmedDtrRtsIsSaidOnce) {
    DevsimProcess sim({"echo", "--link", link.path});
    ASSERT_TRUE(devsim_test::WaitForPath(link.path));
    TSer2net server(link.path, true);
    ASSERT_TRUE(server.Ready()) << server.Log();
    port.SetPort(server.Url());
    port.SetBaudRate(br115200);
    port.Open();
    EXPECT_NE(sim.WaitForLine("port set to 115200 8N1"), "");
    // ser2net cannot set DTR/RTS on a pty and leaves them unanswered: said once, and the
    // port opens all the same.
    std::string notes = Notes();
    EXPECT_NE(notes.find("server: ser2net"), std::string::npos) << notes;
    EXPECT_NE(notes.find("did not confirm DTR/RTS"), std::string::npos) << notes;

    port.BeginUpdate();
    port.SetBaudRate(br57600);
    port.SetStopBits(sbTwoStopBits);
    port.EndUpdate();
    EXPECT_NE(sim.WaitForLine("port set to 57600 8N2"), "");
    port.FlowControl().SetFlowControl(fcHardware);
    EXPECT_NE(sim.WaitForLine("57600 8N2 RTS/CTS"), "");
    port.FlowControl().SetFlowControl(fcSoftware);
    EXPECT_NE(sim.WaitForLine("57600 8N2 XON/XOFF"), "");
    port.FlowControl().SetFlowControl(fcNone);
    port.SetStopBits(sbOneStopBit);
    port.SetCustomBaudRate(250000);
    port.SetBaudRate(brCustom);
    EXPECT_NE(sim.WaitForLine("port set to 250000 8N1"), "");

    // A pty keeps 8 bits without parity whatever it is told, so these are checked against
    // the server's answers: it took every one as asked.
    for (TParityBits bits : {prOdd, prEven, prMark, prSpace, prNone}) {
        TComParity parity;
        parity.SetBits(bits);
        port.SetParity(parity);
    }
    port.SetDataBits(dbSeven);
    port.SetDataBits(dbEight);
    port.SetDTR(false);
    port.SetRTS(true);
    port.ClearBuffer(true, true);
    notes = Notes();
    EXPECT_EQ(notes.find("instead of"), std::string::npos) << notes;
    EXPECT_EQ(notes.find("did not confirm"), std::string::npos) << notes;
    EXPECT_EQ(notes.find("DTR/RTS"), std::string::npos) << notes;
}

TEST_F(NetPort, EveryByteValueCrossesBothWaysUnchanged) {
    DevsimProcess sim({"echo", "--link", link.path});
    ASSERT_TRUE(devsim_test::WaitForPath(link.path));
    std::string block;
    for (int round = 0; round < 64; ++round) {
        for (int v = 0; v < 256; ++v) {
            block.push_back(static_cast<char>(v));
        }
        block.append(round % 7 + 1, '\xff');  // runs of 0xFF, doubled on the wire
    }
    for (bool rfc2217 : {true, false}) {
        SCOPED_TRACE(rfc2217 ? "rfc2217" : "socket");
        TSer2net server(link.path, rfc2217);
        ASSERT_TRUE(server.Ready()) << server.Log();
        got.clear();
        port.SetPort(server.Url());
        port.SetBaudRate(br921600);
        port.Open();
        ASSERT_EQ(port.WriteStr(block), static_cast<int>(block.size()));
        ASSERT_TRUE(Pump([&] { return got.size() >= block.size(); }))
            << got.size() << " of " << block.size();
        Pump([] { return false; }, 100);  // nothing more may follow
        EXPECT_TRUE(got == block);
        EXPECT_TRUE(errors.empty());
        port.Close();
    }
}

TEST_F(NetPort, ARawPortSaysLineSettingsStayHere) {
    DevsimProcess sim({"echo", "--link", link.path});
    ASSERT_TRUE(devsim_test::WaitForPath(link.path));
    TSer2net server(link.path, false);
    ASSERT_TRUE(server.Ready()) << server.Log();
    port.SetPort(server.Url());
    port.Open();
    EXPECT_NE(Notes().find("socket:// carries bytes only"), std::string::npos);
    port.SetBaudRate(br19200);
    EXPECT_EQ(Notes(), "");  // said once
    // No modem lines, as on a pseudo-terminal: DTR/RTS and break go nowhere, silently.
    EXPECT_TRUE(port.Signals().Empty());
    port.SetDTR(false);
    port.SetBreak(true);
    port.SetBreak(false);
    EXPECT_TRUE(port.Connected());
}

TEST_F(NetPort, AServerThatDiesMidStreamIsALostDevice) {
    for (bool rfc2217 : {true, false}) {
        SCOPED_TRACE(rfc2217 ? "rfc2217" : "socket");
        // A stream lasts one open of the port: a fresh simulator each round.
        TempLink streamLink;
        DevsimProcess sim({"stream", "--wait-open", "--bytes", "64M", "--rate", "200K", "--link",
                           streamLink.path});
        ASSERT_TRUE(devsim_test::WaitForPath(streamLink.path));
        TSer2net server(streamLink.path, rfc2217);
        ASSERT_TRUE(server.Ready()) << server.Log();
        got.clear();
        errors.clear();
        port.SetPort(server.Url());
        port.Open();
        ASSERT_TRUE(Pump([&] { return got.size() >= 4096; })) << got.size();
        server.Kill();
        ASSERT_TRUE(Pump([&] { return !errors.empty(); }));
        EXPECT_TRUE(errors.front().Contains(ceIO));
        // As with an unplugged adapter: the owner decides, and a write now closes the port.
        EXPECT_TRUE(port.Connected());
        EXPECT_THROW(port.Write("x", 1), EComPort);
        EXPECT_FALSE(port.Connected());
        // What arrived before the loss is the stream's start, byte for byte.
        std::string expect;
        for (std::size_t i = 0; i < got.size(); ++i) {
            expect.push_back(static_cast<char>(i));
        }
        EXPECT_TRUE(got == expect);
    }
}

TEST_F(NetPort, NoServerOrABadNameIsRefusedWithTheReason) {
    port.SetPort("rfc2217://127.0.0.1:" + std::to_string(net_test::FreeLoopbackPort()));
    zenta::TDeviceFault fault{};
    try {
        port.Open();
        ADD_FAILURE() << "opened without a server";
    } catch (const EComPort& e) {
        fault = e.Fault();
    }
    EXPECT_EQ(fault, zenta::TDeviceFault::Gone);  // awaited like an absent adapter
    EXPECT_NE(Notes().find("cannot connect"), std::string::npos);

    for (const char* name : {"rfc2217://127.0.0.1", "telnet://127.0.0.1:23",
                             "socket://host name:80", "rfc2217://$(reboot):1"}) {
        port.SetPort(name);
        EXPECT_THROW(port.Open(), EComPort) << name;
        EXPECT_NE(Notes(), "") << name;
        EXPECT_FALSE(port.Connected());
    }
}
