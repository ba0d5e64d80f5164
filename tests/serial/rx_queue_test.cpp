// The queue between the event thread and the reader: bytes come out whole and in order
// however appends and takes interleave, across the ring's wrap and its growth.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>

#include "serial/PortCore.h"

namespace {

TEST(RxQueue, BytesLeaveInOrderAcrossWrapAndGrowth) {
    zenta::detail::TRxQueue queue;
    std::deque<char> model;
    std::mt19937 rng(5);
    char next = 0;
    std::string in;
    std::string out;
    for (int step = 0; step < 4000; ++step) {
        // Mostly small steps around the ring's size, now and then a burst that makes it grow
        // while its waiting bytes wrap.
        const bool burst = step % 500 == 499;
        const std::size_t add = burst ? 300000 : rng() % 70000;
        in.resize(add);
        for (char& c : in) {
            c = next++;
        }
        EXPECT_EQ(queue.Append(in.data(), in.size()), model.size() + add);
        model.insert(model.end(), in.begin(), in.end());

        out.assign(rng() % 90000, '\0');
        const std::size_t took = queue.Take(out.data(), out.size());
        ASSERT_EQ(took, std::min(out.size(), model.size()));
        ASSERT_TRUE(std::equal(out.begin(), out.begin() + static_cast<long>(took), model.begin()))
            << "step " << step;
        model.erase(model.begin(), model.begin() + static_cast<long>(took));
        ASSERT_EQ(queue.Size(), model.size());
    }
    queue.Clear();
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_EQ(queue.Take(out.data(), out.size()), 0u);
    EXPECT_EQ(queue.Append("ab", 2), 2u);
}

}  // namespace
