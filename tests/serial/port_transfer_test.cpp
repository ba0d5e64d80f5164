// Reads, writes and their request records against a pseudo-terminal.
#include <gtest/gtest.h>

#include "serial/CPort.h"
#include "serial/support/PortProbe.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

// A port without an event thread: the test reads and writes by itself.
struct PortTransfer : ::testing::Test {
    TPty pty;
    TComPort port;
    void SetUp() override {
        port.SetPort(pty.SlavePath());
        port.SetEvents({});
        port.Open();
    }
    void TearDown() override { ClearHandlers(port); }
};

}  // namespace

TEST_F(PortTransfer, ReadsReturnWhatIsWaitingAtOnce) {
    std::string text = "old";
    EXPECT_EQ(port.ReadStr(text, 10), 0);
    EXPECT_TRUE(text.empty());
    pty.Send("wxyz");
    int waiting = 0;
    for (int i = 0; i < 1000 && waiting < 4; ++i) {
        waiting = port.InputCount();
    }
    EXPECT_EQ(port.ReadStr(text, 10), 4);
    EXPECT_EQ(text, "wxyz");
    EXPECT_EQ(port.ReadStr(text, -1), 0);
    char c;
    EXPECT_EQ(CodeOf([&] { port.Read(&c, -1); }), CError_ReadFailed);
}

TEST_F(PortTransfer, WritesReachTheDeviceAndEmptyOnesSendNothing) {
    EXPECT_EQ(port.WriteStr(""), 0);
    std::string block(256, '\0');
    for (int i = 0; i < 256; ++i) {
        block[i] = static_cast<char>(i);
    }
    EXPECT_EQ(port.Write(block.data(), 256), 256);
    port.TransmitChar('!');
    EXPECT_EQ(pty.Receive(257), block + "!");
    EXPECT_EQ(port.OutputCount(), 0);
}

TEST_F(PortTransfer, RequestRecordsTrackCompletionAndAbort) {
    PAsync none = nullptr;
    char c;
    EXPECT_EQ(CodeOf([&] { port.WriteAsync("a", 1, none); }), CError_InvalidAsync);
    EXPECT_EQ(CodeOf([&] { port.ReadAsync(&c, 1, none); }), CError_InvalidAsync);
    EXPECT_EQ(CodeOf([&] { port.WaitForAsync(none); }), CError_InvalidAsync);
    EXPECT_EQ(CodeOf([&] { port.IsAsyncCompleted(none); }), CError_InvalidAsync);

    PAsync a = nullptr;
    InitAsync(a);
    EXPECT_EQ(port.WriteStrAsync("", a), 0);
    EXPECT_EQ(port.WriteStrAsync("ping", a), 4);  // room in the line: done at once
    EXPECT_TRUE(port.IsAsyncCompleted(a));
    EXPECT_EQ(port.WaitForAsync(a), 4);
    EXPECT_EQ(a->Size, 4);

    // Nobody reads the master: a large write stays pending until aborted.
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(0);
    const std::string big(1 << 20, 'b');
    EXPECT_EQ(port.WriteAsync(big.data(), static_cast<int>(big.size()), a), 0);
    EXPECT_FALSE(port.IsAsyncCompleted(a));
    EXPECT_GT(port.OutputCount(), 0);
    port.AbortAllAsync();
    EXPECT_EQ(CodeOf([&] { port.WaitForAsync(a); }), CError_WriteFailed);
    DoneAsync(a);
    EXPECT_EQ(a, nullptr);
    EXPECT_TRUE(port.Connected());
}

TEST_F(PortTransfer, TheWriteTimeLimitCutsAWriteShortWithoutFailing) {
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(50);
    const std::string big(1 << 20, 'c');
    int written = -1;
    EXPECT_NO_THROW(written = port.Write(big.data(), static_cast<int>(big.size())));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(big.size()));
    EXPECT_TRUE(port.Connected());
}

TEST_F(PortTransfer, ReleasingAPendingRecordWithdrawsItsBytes) {
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(0);
    const std::string big(1 << 20, 'd');
    PAsync a = nullptr;
    InitAsync(a);
    port.WriteAsync(big.data(), static_cast<int>(big.size()), a);
    DoneAsync(a);
    port.ClearBuffer(false, true);
    pty.Receive(1 << 20, 200);  // whatever had reached the line
    EXPECT_EQ(port.WriteStr("after"), 5);
    EXPECT_EQ(pty.Receive(5), "after");
}

TEST_F(PortTransfer, AnUnplugClosesThePortOnWriteAndRaisesCode2) {
    std::vector<std::string> log;
    port.OnBeforeClose = [&](TCustomComPort*) { log.push_back("BeforeClose"); };
    port.OnAfterClose = [&](TCustomComPort*) { log.push_back("AfterClose"); };
    pty.CloseMaster();
    EXPECT_EQ(CodeOf([&] { port.WriteStr("gone"); }), CError_WriteFailed);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeClose", "AfterClose"}));
}

TEST_F(PortTransfer, ClearBufferDropsQueuedInput) {
    pty.Send("stale");
    int waiting = 0;
    for (int i = 0; i < 1000 && waiting < 5; ++i) {
        waiting = port.InputCount();
    }
    ASSERT_EQ(waiting, 5);
    port.ClearBuffer(true, false);
    EXPECT_EQ(port.InputCount(), 0);
    port.ClearBuffer(false, false);
    EXPECT_TRUE(port.LastErrors().Empty());
}
