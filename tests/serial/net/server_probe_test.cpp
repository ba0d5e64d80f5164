// Waiting for a network port's server: attempts spaced by the back-off, never blocking,
// ready once the server listens again.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <thread>
#include <vector>

#include "serial/net/ServerProbe.h"
#include "support/Ser2net.h"

using namespace zenta::net;

TEST(ServerProbe, BackoffDoublesFromHalfASecondToFive) {
    TBackoff b;
    std::vector<int> got;
    for (int i = 0; i < 7; ++i) {
        got.push_back(b.Next());
    }
    EXPECT_EQ(got, (std::vector<int>{500, 1000, 2000, 4000, 5000, 5000, 5000}));
    b.Reset();
    EXPECT_EQ(b.Next(), 500);
}

TEST(ServerProbe, TriesOnItsScheduleAndIsReadyOnceTheServerListens) {
    const uint16_t port = net_test::FreeLoopbackPort();
    TServerProbe probe("rfc2217://127.0.0.1:" + std::to_string(port));
    // A refused connect ends at once on loopback; a short real pause lets it be seen.
    auto at = [&](int64_t ms) {
        const bool ready = probe.Ready(ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return ready;
    };
    EXPECT_FALSE(at(0));
    EXPECT_EQ(probe.Attempts(), 1);
    EXPECT_FALSE(at(499));
    EXPECT_FALSE(at(499));
    EXPECT_EQ(probe.Attempts(), 1);
    EXPECT_FALSE(at(500));
    EXPECT_EQ(probe.Attempts(), 2);
    EXPECT_FALSE(at(1499));
    EXPECT_EQ(probe.Attempts(), 2);
    EXPECT_FALSE(at(1500));
    EXPECT_EQ(probe.Attempts(), 3);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    bool ready = false;
    for (int64_t t = 3500; t < 3500 + 100 * 5000 && !ready; t += 5000) {
        ready = at(t) || at(t);
    }
    EXPECT_TRUE(ready);
    ::close(fd);
}

TEST(ServerProbe, ABadNameIsNeverReady) {
    TServerProbe probe("rfc2217://no port");
    EXPECT_FALSE(probe.Ready(0));
    EXPECT_FALSE(probe.Ready(10000));
    EXPECT_EQ(probe.Attempts(), 0);
}
