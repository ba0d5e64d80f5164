// The event thread: deliveries, links, sync methods and closing while a delivery waits.
#include <unistd.h>

#include <gtest/gtest.h>
#include <atomic>
#include <thread>

#include "serial/CPort.h"
#include "serial/support/PortProbe.h"
#include "support/LineDevice.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

struct PortEvents : ::testing::Test {
    TPty pty;
    TQueueDispatcher dispatcher;
    TComPort port;
    void SetUp() override {
        port.SetPort(pty.SlavePath());
        port.SetDispatcher(&dispatcher);
    }
    void TearDown() override {
        ClearHandlers(port);
        TCustomComPort::ExceptionHandler = nullptr;
    }
    bool Pump(const std::function<bool()>& pred) { return dispatcher.PumpUntil(pred, 5000); }
    // Each delivery reads what it reports into `got`, and is counted.
    void CollectDeliveries(std::string& got, int& calls) {
        port.OnRxChar = [&got, &calls](TCustomComPort* p, int n) {
            ++calls;
            std::string part;
            p->ReadStr(part, n);
            got += part;
        };
    }
};

}  // namespace

TEST_F(PortEvents, RxCharReportsTheBytesWaitingOnTheMainThread) {
    std::string got;
    std::vector<int> counts;
    const auto mainId = std::this_thread::get_id();
    bool onMain = true;
    port.OnRxChar = [&](TCustomComPort* p, int n) {
        onMain = onMain && std::this_thread::get_id() == mainId;
        counts.push_back(n);
        std::string part;
        EXPECT_EQ(p->ReadStr(part, n), n);
        got += part;
    };
    port.Open();
    pty.Send("hello");
    ASSERT_TRUE(Pump([&] { return got.size() >= 5; }));
    pty.Send(std::string("\0\r\n\xff", 4));
    ASSERT_TRUE(Pump([&] { return got.size() >= 9; }));
    EXPECT_EQ(got, std::string("hello\0\r\n\xff", 9));  // raw mode: bytes pass untouched
    EXPECT_TRUE(onMain);
    for (int n : counts) {
        EXPECT_GT(n, 0);
    }
}

TEST_F(PortEvents, UnreadBytesStayQueuedAndAreDroppedAtClose) {
    int calls = 0;
    port.OnRxChar = [&](TCustomComPort*, int) { ++calls; };
    port.Open();
    pty.Send("abc");
    ASSERT_TRUE(Pump([&] { return calls >= 1; }));
    EXPECT_EQ(port.InputCount(), 3);
    std::string text;
    EXPECT_EQ(port.ReadStr(text, 0), 0);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(port.ReadStr(text, 10), 3);
    EXPECT_EQ(text, "abc");
    pty.Send("de");
    ASSERT_TRUE(Pump([&] { return calls >= 2; }));
    port.Close();
    port.Open();
    EXPECT_EQ(port.InputCount(), 0);
    port.Close();

    // Bytes still in the driver at close are dropped too, not delivered after a reopen.
    auto lines = std::make_shared<TLineDevice::TState>();
    port.SetDeviceFactory([lines] { return std::make_unique<TLineDevice>(lines); });
    lines->holdInput = true;
    port.Open();
    pty.Send("fg");
    dispatcher.PumpUntil([] { return false; }, 50);
    port.Close();
    lines->holdInput = false;
    port.Open();
    pty.Send("h");
    ASSERT_TRUE(Pump([&] { return port.InputCount() > 0; }));
    EXPECT_EQ(port.ReadStr(text, 10), 1);
    EXPECT_EQ(text, "h");
}

TEST_F(PortEvents, CloseServesAPendingDeliveryItselfWithoutDeadlock) {
    // Nobody pumps the dispatcher: the thread's hand-over stays pending.
    std::string got;
    bool connectedInHandler = false;
    port.OnRxChar = [&](TCustomComPort* p, int n) {
        connectedInHandler = p->Connected();
        p->ReadStr(got, n);
    };
    port.Open();
    pty.Send("zz");
    while (dispatcher.Pending() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(got, "zz");
    EXPECT_TRUE(connectedInHandler);
    got.clear();
    dispatcher.Pump();  // the stale wake-up finds nothing to do
    EXPECT_TRUE(got.empty());
}

TEST_F(PortEvents, AHandlerMayCloseThePortDuringADelivery) {
    int closes = 0;
    port.OnAfterClose = [&](TCustomComPort*) { ++closes; };
    port.OnRxChar = [&](TCustomComPort* p, int) { p->Close(); };
    port.Open();
    pty.Send("q");
    ASSERT_TRUE(Pump([&] { return !port.Connected(); }));
    EXPECT_EQ(closes, 1);
    port.Open();  // and the port opens again cleanly
    EXPECT_TRUE(port.Connected());
}

TEST_F(PortEvents, WithoutADispatcherTheOwnerServesDeliveries) {
    port.SetDispatcher(nullptr);
    std::string got;
    port.OnRxChar = [&](TCustomComPort* p, int n) { p->ReadStr(got, n); };
    port.Open();
    pty.Send("ab");
    for (int i = 0; i < 5000 && got.size() < 2; ++i) {
        if (!port.ServePendingEvents()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    EXPECT_EQ(got, "ab");
}

TEST_F(PortEvents, WindowSyncAndNoSyncDeliverToo) {
    for (TSyncMethod method : {smWindowSync, smNone}) {
        port.SetSyncMethod(method);
        std::atomic<int> bytes{0};
        port.OnRxChar = [&](TCustomComPort* p, int n) {
            std::string part;
            bytes += p->ReadStr(part, n);
        };
        port.Open();
        pty.Send("12345678");
        EXPECT_TRUE(Pump([&] { return bytes.load() >= 8; })) << method;
        port.Close();
        EXPECT_EQ(bytes.load(), 8);
    }
}

TEST_F(PortEvents, AHandlerExceptionStopsDeliveryUntilReopened) {
    std::vector<int> codes;
    TCustomComPort::ExceptionHandler = [&](TCustomComPort*, std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const EComPort& x) {
            codes.push_back(x.ErrorCode());
        }
    };
    int calls = 0;
    port.OnRxChar = [&](TCustomComPort*, int) {
        ++calls;
        throw EComPort(CError_ReadFailed);
    };
    port.Open();
    pty.Send("a");
    ASSERT_TRUE(Pump([&] { return calls == 1; }));
    EXPECT_EQ(codes, std::vector<int>{CError_ReadFailed});
    pty.Send("b");
    // The port stays open and readable; only the deliveries have stopped.
    std::string rest;
    ASSERT_TRUE(Pump([&] { return port.InputCount() == 2; }));
    EXPECT_EQ(port.ReadStr(rest, 5), 2);
    EXPECT_EQ(calls, 1);
    port.Close();
    port.Open();
    pty.Send("c");
    EXPECT_TRUE(Pump([&] { return calls == 2; }));
}

TEST_F(PortEvents, LinksRegisterOnceAndAReceiveLinkTakesTheData) {
    TComLink link;
    std::string viaLink;
    std::vector<std::string> states;
    link.OnRxBuf = [&](TCustomComPort*, const char* b, int n) { viaLink.append(b, n); };
    link.OnRx = [&](TCustomComPort*, bool s) { states.push_back(s ? "rx+" : "rx-"); };
    link.OnTx = [&](TCustomComPort*, bool s) { states.push_back(s ? "tx+" : "tx-"); };
    TComLink other;
    EXPECT_EQ(CodeOf([&] { port.UnRegisterLink(&other); }), CError_RegFailed);
    port.RegisterLink(&link);
    EXPECT_EQ(CodeOf([&] { port.RegisterLink(&link); }), CError_RegFailed);
    EXPECT_TRUE(port.HasLink());
    EXPECT_FALSE(port.TriggersOnRxChar());
    EXPECT_EQ(CodeOf([&] { port.SetTriggersOnRxChar(true); }), CError_HasLink);

    int rxChar = 0;
    std::string viaPort;
    port.OnRxChar = [&](TCustomComPort*, int) { ++rxChar; };
    port.OnRxBuf = [&](TCustomComPort*, const char* b, int n) { viaPort.append(b, n); };
    port.Open();
    pty.Send("link");
    ASSERT_TRUE(Pump([&] { return viaLink.size() >= 4; }));
    EXPECT_EQ(viaLink, "link");
    EXPECT_EQ(viaPort, "link");
    EXPECT_EQ(rxChar, 0);
    EXPECT_EQ(states.front(), "rx+");

    states.clear();
    TComLink sent;
    std::string txBuf;
    sent.OnTxBuf = [&](TCustomComPort*, const char* b, int n) { txBuf.append(b, n); };
    port.RegisterLink(&sent);
    EXPECT_EQ(port.WriteStr("out"), 3);
    EXPECT_EQ(txBuf, "out");
    EXPECT_EQ(states, std::vector<std::string>{"tx+"});
    EXPECT_TRUE(Pump([&] { return states.size() >= 2; }));  // the queue drained
    EXPECT_EQ(states.back(), "tx-");

    port.UnRegisterLink(&link);
    port.UnRegisterLink(&sent);
    EXPECT_FALSE(port.HasLink());
    EXPECT_TRUE(port.TriggersOnRxChar());
}

TEST_F(PortEvents, EventCharFullMarkAndNullDiscardShapeTheEvents) {
    port.SetEventChar('#');
    port.SetDiscardNull(true);
    port.Buffer().SetInputSize(100);
    int flags = 0, full = 0;
    port.OnRxFlag = [&](TCustomComPort*) { ++flags; };
    port.OnRx80Full = [&](TCustomComPort*) { ++full; };
    port.Open();
    pty.Send(std::string("ab\0\0#c", 6));
    ASSERT_TRUE(Pump([&] { return flags == 1; }));
    EXPECT_EQ(port.InputCount(), 4);
    pty.Send(std::string(80, 'x'));
    ASSERT_TRUE(Pump([&] { return full == 1; }));
    std::string text;
    port.ReadStr(text, 200);
    EXPECT_EQ(text, "ab#c" + std::string(80, 'x'));
}

TEST_F(PortEvents, ALostDeviceIsReportedOnceAndWritesCloseThePort) {
    std::vector<TComErrors> errors;
    std::vector<std::string> log;
    port.OnError = [&](TCustomComPort*, TComErrors e) { errors.push_back(e); };
    port.OnBeforeClose = [&](TCustomComPort*) { log.push_back("BeforeClose"); };
    port.OnAfterClose = [&](TCustomComPort*) { log.push_back("AfterClose"); };
    port.Open();
    pty.CloseMaster();
    ASSERT_TRUE(Pump([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.front(), TComErrors{ceIO});
    dispatcher.PumpUntil([] { return false; }, 100);
    EXPECT_EQ(errors.size(), 1u);

    char c;
    EXPECT_EQ(CodeOf([&] { port.Read(&c, 1); }), CError_ReadFailed);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(CodeOf([&] { port.Write("x", 1); }), CError_WriteFailed);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeClose", "AfterClose"}));
}

// The loss can come in a later wake-up than the last bytes, and a query of the line
// errors (InputCount here) may run before the error is delivered: the loss is still named.
TEST_F(PortEvents, ALossAfterTheLastBytesIsNamedThoughAQueryCameFirst) {
    std::vector<TComErrors> errors;
    std::string got;
    port.OnError = [&](TCustomComPort*, TComErrors e) { errors.push_back(e); };
    port.OnRxChar = [&](TCustomComPort* p, int n) {
        std::string chunk;
        p->ReadStr(chunk, n);
        got += chunk;
    };
    port.Open();
    pty.Send("last");
    for (int i = 0; i < 500 && port.InputCount() < 4; ++i) {
        usleep(10000);
    }
    ASSERT_EQ(port.InputCount(), 4);
    pty.CloseMaster();
    usleep(200000);  // the event thread notices the hang-up meanwhile
    port.InputCount();
    ASSERT_TRUE(Pump([&] { return !errors.empty(); }));
    EXPECT_TRUE(errors.front().Contains(ceIO));
    EXPECT_EQ(got, "last");
}

TEST_F(PortEvents, EightMebibytesArriveWholeThroughAStallingHandler) {
    constexpr std::size_t kTotal = 8u << 20;
    std::string sent(kTotal, '\0');
    uint32_t x = 12345;
    for (auto& ch : sent) {
        x = x * 1103515245u + 12345u;
        ch = static_cast<char>(x >> 24);
    }
    std::string got;
    got.reserve(kTotal);
    int calls = 0;
    port.Buffer().SetInputSize(4096);
    port.OnRxChar = [&](TCustomComPort* p, int n) {
        std::string part;
        p->ReadStr(part, n);
        got += part;
        if (++calls % 40 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
    };
    port.Open();
    std::thread writer([&] { pty.Send(sent); });
    const bool done = dispatcher.PumpUntil([&] { return got.size() >= kTotal; }, 120000);
    writer.join();
    ASSERT_TRUE(done) << got.size();
    EXPECT_TRUE(got == sent);
}

TEST_F(PortEvents, WithoutRxCharTriggersTheEngineReadsForOnRxBuf) {
    port.SetTriggersOnRxChar(false);
    int rxChar = 0;
    std::string got;
    port.OnRxChar = [&](TCustomComPort*, int) { ++rxChar; };
    port.OnRxBuf = [&](TCustomComPort*, const char* b, int n) { got.append(b, n); };
    port.Open();
    pty.Send("buf");
    ASSERT_TRUE(Pump([&] { return got.size() >= 3; }));
    EXPECT_EQ(got, "buf");
    EXPECT_EQ(rxChar, 0);
    EXPECT_EQ(port.InputCount(), 0);
}

TEST_F(PortEvents, AHoldGathersArrivalsYetLetsOtherEventsAndBigQueuesThrough) {
    std::string got;
    int calls = 0;
    CollectDeliveries(got, calls);
    int flags = 0;
    port.OnRxFlag = [&](TCustomComPort*) { ++flags; };
    port.SetEventChar('#');
    // Far longer than any wait below: whatever arrives within these waits came early.
    constexpr int kHoldBytes = 1000;
    port.SetRxHold(60000, kHoldBytes);
    // At this rate the driver could fill within a minute: the thread reads every ~60 ms.
    port.SetBaudRate(br2000000);
    port.Open();

    // The first arrival after a quiet spell goes at once.
    pty.Send("a");
    ASSERT_TRUE(Pump([&] { return got == "a"; }));
    EXPECT_EQ(calls, 1);

    // Later arrivals wait ...
    for (int i = 0; i < 5; ++i) {
        pty.Send("b");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    dispatcher.PumpUntil([] { return false; }, 200);
    EXPECT_EQ(got, "a");
    // ... until another event comes, which takes them along, in order: a flag character
    // goes when the thread reads it, long before the hold ends.
    pty.Send("c#");
    ASSERT_TRUE(Pump([&] { return flags == 1 && got.size() == 8; }));
    EXPECT_EQ(got, "abbbbbc#");

    // A queue past the hold's size goes at once too; what comes after it waits again.
    const std::string big(3 * kHoldBytes, 'z');
    std::thread writer([&] { pty.Send(big); });
    const bool most = Pump([&] { return got.size() >= 8 + kHoldBytes; });
    writer.join();
    ASSERT_TRUE(most) << got.size();
    pty.Send("#");
    ASSERT_TRUE(Pump([&] { return got.size() == 9 + big.size(); }));
    EXPECT_EQ(got.substr(8), big + "#");

    // Without a hold every arrival is delivered, at once.
    port.SetRxHold(0);
    const int before = calls;
    pty.Send("d");
    ASSERT_TRUE(Pump([&] { return got.back() == 'd'; }));
    pty.Send("e");
    ASSERT_TRUE(Pump([&] { return got.back() == 'e'; }));
    EXPECT_EQ(calls, before + 2);
}

// A pseudo-terminal keeps 20 KiB and its writer waits while that is full: read once per
// hold, 2 MiB would take minutes.
TEST_F(PortEvents, AHoldDoesNotHoldUpASourceFasterThanItsBitRate) {
    std::string got;
    int calls = 0;
    CollectDeliveries(got, calls);
    port.SetRxHold(200);
    port.Open();
    std::string big(2u << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + i % 26);
    }
    std::thread writer([&] { pty.Send(big); });
    const bool all = dispatcher.PumpUntil([&] { return got.size() == big.size(); }, 30000);
    writer.join();
    ASSERT_TRUE(all) << got.size();
    EXPECT_EQ(got, big);
    // Then a slow trickle is held again: a few deliveries, not one per arrival.
    const int before = calls;
    for (int i = 0; i < 20; ++i) {
        pty.Send("x");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(Pump([&] { return got.size() == big.size() + 20; }));
    EXPECT_LE(calls - before, 6);
}

TEST_F(PortEvents, HeldBytesComeInFewDeliveriesOnceTheHoldEnds) {
    std::string got;
    int calls = 0;
    CollectDeliveries(got, calls);
    int full = 0;
    port.OnRx80Full = [&](TCustomComPort*) { ++full; };
    // The pieces pass the 80 % mark: that notice waits with them.
    port.Buffer().SetInputSize(100);
    port.SetRxHold(400);
    port.Open();
    std::string sent;
    for (int i = 0; i < 20; ++i) {
        sent += "line " + std::to_string(i) + "\r\n";
    }
    // Sent in pieces while this thread serves deliveries, as a window would.
    std::thread writer([&] {
        for (std::size_t at = 0; at < sent.size(); at += 8) {
            pty.Send(sent.substr(at, 8));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const bool all = Pump([&] { return got.size() == sent.size(); });
    writer.join();
    ASSERT_TRUE(all) << got.size();
    EXPECT_EQ(got, sent);
    // One at once, the rest after the hold (a stalled machine may split them once more).
    EXPECT_LE(calls, 3);
    EXPECT_GE(full, 1);
}
