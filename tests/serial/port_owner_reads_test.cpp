// Owner reads: the owner thread waits for replies and reads them itself while the event
// thread keeps to the lines; switching back hands input to the event thread again.
#include <gtest/gtest.h>

#include <thread>

#include "serial/CPort.h"
#include "serial/support/PortProbe.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

struct OwnerReads : ::testing::Test {
    TPty pty;
    TQueueDispatcher dispatcher;
    TComPort port;
    std::string got;
    std::vector<std::thread::id> readers;
    std::vector<TComErrors> errors;
    void SetUp() override {
        port.SetPort(pty.SlavePath());
        port.SetDispatcher(&dispatcher);
        port.OnRxChar = [this](TCustomComPort* p, int n) {
            std::string chunk;
            p->ReadStr(chunk, n);
            got += chunk;
            readers.push_back(std::this_thread::get_id());
        };
        port.OnError = [this](TCustomComPort*, TComErrors e) { errors.push_back(e); };
    }
    void TearDown() override { ClearHandlers(port); }
    // Serves input until `n` bytes arrived in all or five seconds passed.
    bool ServeUntil(std::size_t n) {
        for (int i = 0; i < 250 && got.size() < n; ++i) {
            port.ServeInput(20);
        }
        return got.size() >= n;
    }
};

}  // namespace

TEST_F(OwnerReads, RepliesAreReadOnTheOwnerThreadInOrderAndTheThreadTakesOverAgain) {
    port.Open();
    port.SetOwnerReads(true);
    EXPECT_FALSE(port.ServeInput(0));  // nothing came yet
    std::string sent;
    for (int i = 0; i < 200; ++i) {
        const std::string reply = "reply " + std::to_string(i) + ";";
        sent += reply;
        ASSERT_TRUE(pty.Send(reply));
        ASSERT_TRUE(ServeUntil(sent.size()));
    }
    EXPECT_EQ(got, sent);
    // Nothing went through the event thread meanwhile.
    dispatcher.PumpUntil([] { return false; }, 50);
    EXPECT_EQ(got, sent);
    for (auto id : readers) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }

    // Bytes that come while switching back are neither lost nor doubled.
    ASSERT_TRUE(pty.Send("tail"));
    port.SetOwnerReads(false);
    ASSERT_TRUE(dispatcher.PumpUntil([&] { return got.size() >= sent.size() + 4; }, 5000));
    dispatcher.PumpUntil([] { return false; }, 50);
    EXPECT_EQ(got, sent + "tail");
    EXPECT_THROW(port.ServeInput(0), EComPort);
}

TEST_F(OwnerReads, ALossIsReportedToTheOwnerOnce) {
    port.Open();
    port.SetOwnerReads(true);
    ASSERT_TRUE(pty.Send("last"));
    ASSERT_TRUE(ServeUntil(4));
    pty.CloseMaster();
    for (int i = 0; i < 50 && errors.empty(); ++i) {
        port.ServeInput(100);
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors.front().Contains(ceIO));
    // A lost device delivers nothing more.
    for (int i = 0; i < 100; ++i) {
        EXPECT_FALSE(port.ServeInput(100));
    }
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(got, "last");
    port.Close();
    EXPECT_THROW(port.ServeInput(0), EComPort);
}
