// The coroutine frame of a programming run: pauses reach the driver from any depth,
// values and port failures come back up, and a run dropped while paused goes no further.
#include "isp/RunTask.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using zenta::isp::RunPausePoint;
using zenta::isp::RunTask;

namespace {

struct World {
    RunPausePoint pauses;
    int replies = 0;  // what the driver delivered so far
    std::vector<int> log;
};

// Waits for `n` replies, pausing for at most `waitMs` each time, as the link's waits do.
RunTask<int> AwaitReplies(World& w, int n, int waitMs) {
    while (w.replies < n) {
        co_await w.pauses.Pause(waitMs);
    }
    co_return w.replies;
}

RunTask<int> Step(World& w, int n) {
    const int got = co_await AwaitReplies(w, n, 100);
    w.log.push_back(got);
    co_return got * 10;
}

RunTask<int> ThreeSteps(World& w) {
    int sum = 0;
    for (int n = 1; n <= 3; ++n) {
        const int s = co_await Step(w, n);
        sum += s;
    }
    // A step that needs no wait runs straight through.
    sum += co_await Step(w, 0);
    co_return sum;
}

struct Marker {
    std::vector<int>& log;
    ~Marker() { log.push_back(-1); }
};

RunTask<int> FailsAfterAWait(World& w) {
    Marker m{w.log};
    co_await w.pauses.Pause(5);
    throw std::runtime_error("device lost");
}

RunTask<int> Outer(World& w) {
    const int v = co_await FailsAfterAWait(w);
    w.log.push_back(99);  // never reached
    co_return v;
}

}  // namespace

TEST(RunTask, PausesReachTheDriverFromAnyDepthAndValuesComeBack) {
    World w;
    RunTask<int> run = ThreeSteps(w);
    EXPECT_FALSE(w.pauses.Paused());  // nothing runs before Start
    run.Start();
    int turns = 0;
    while (!run.Done()) {
        ASSERT_TRUE(w.pauses.Paused());
        EXPECT_EQ(w.pauses.WaitMs(), 100);
        ++turns;
        ++w.replies;  // one reply per turn
        w.pauses.Resume();
        ASSERT_LT(turns, 10);
    }
    EXPECT_EQ(turns, 3);
    EXPECT_EQ(run.Result(), 10 + 20 + 30 + 30);
    EXPECT_EQ(w.log, (std::vector<int>{1, 2, 3, 3}));
}

TEST(RunTask, FailuresComeUpAndADroppedRunGoesNoFurther) {
    World w;
    {
        RunTask<int> run = Outer(w);
        run.Start();
        ASSERT_TRUE(w.pauses.Paused());
        w.pauses.Resume();
        ASSERT_TRUE(run.Done());
        EXPECT_THROW(run.Result(), std::runtime_error);
    }
    EXPECT_EQ(w.log, (std::vector<int>{-1}));

    // Dropped while paused (a window closed mid-run): the frames unwind, nothing more runs.
    World dropped;
    {
        RunTask<int> run = Outer(dropped);
        run.Start();
        ASSERT_TRUE(dropped.pauses.Paused());
    }
    EXPECT_EQ(dropped.log, (std::vector<int>{-1}));
}
