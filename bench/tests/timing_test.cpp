// The i686 harness's plan of runs and its median: a figure must come from runs
// long enough to dwarf the clock's resolution, and from their middle value.
#include <gtest/gtest.h>

#include <vector>

#include "timing.h"

namespace tesmora::bench {
namespace {

TEST(TimingTest, MedianTakesTheMiddleOfUnsortedValues) {
    struct Case {
        std::vector<double> values;
        double median;
    };
    const Case cases[] = {
        {{}, 0}, {{4}, 4}, {{9, 1, 5}, 5}, {{8, 2, 6, 4}, 5}, {{3, 100, 2, 1, 3, 2, 99}, 3},
    };
    for (const Case& c : cases) EXPECT_EQ(median(c.values), c.median);
}

TEST(TimingTest, EachRunLastsAboutFiftyMillisecondsAndLongCallsRunThreeTimesOnce) {
    constexpr double kRun = 50e6;
    for (const double perCall : {0.5, 9.0, 1e3, 3e6, 49e6}) {
        SCOPED_TRACE(perCall);
        const TimingPlan plan = planFor(perCall);
        EXPECT_EQ(plan.runs, 7u);
        const double runNanoseconds = static_cast<double>(plan.callsPerRun) * perCall;
        EXPECT_GE(runNanoseconds, kRun);
        EXPECT_LE(runNanoseconds, kRun + perCall);
    }
    for (const double perCall : {50e6, 400e6}) {
        const TimingPlan plan = planFor(perCall);
        EXPECT_EQ(plan.runs, 3u);
        EXPECT_EQ(plan.callsPerRun, 1u);
    }
}

}  // namespace
}  // namespace tesmora::bench
