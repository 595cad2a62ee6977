// LineRepair: the exact integer results, the progress reports and the stop
// queries, on each way it can write the line and on the plain formula.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "hook_trace.h"
#include "repair_paths.h"

namespace tesmora {
namespace {

using Samples = std::vector<std::int16_t>;

RepairOutcome repair(const Path& path, Samples& samples, HookTrace& trace) {
    return path.repair(samples.data(), static_cast<std::uint32_t>(samples.size()), trace.hooks());
}

class EveryPath : public ::testing::TestWithParam<Path> {
protected:
    RepairOutcome repair(Samples& samples, HookTrace& trace) { return tesmora::repair(GetParam(), samples, trace); }
};

// The line and the end averages straight from their definitions, with the
// truncating division spelled out on magnitudes, and the hook trace predicted
// from the rules rather than simulated.
struct Expected {
    Samples samples;
    std::vector<std::string> events;
    RepairOutcome outcome;
};

std::int64_t truncatingDivide(std::int64_t a, std::int64_t b) {
    const std::uint64_t magnitude = static_cast<std::uint64_t>(a < 0 ? -a : a) / static_cast<std::uint64_t>(b);
    return a < 0 ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
}

Expected expectedRepair(const Samples& in, std::int64_t stopAt) {
    const std::int64_t n = static_cast<std::int64_t>(in.size()) - 1;
    const std::int64_t first = in.front();
    const std::int64_t delta = in.back() - first;
    auto line = [&](std::int64_t k) { return first + truncatingDivide(k * delta + n / 2, n); };

    Expected e{in, {}, RepairOutcome::completed};
    if (in.size() <= 5) {
        for (std::int64_t k = 1; k < n; ++k) e.samples[k] = static_cast<std::int16_t>(line(k));
        return e;
    }
    e.samples[1] = static_cast<std::int16_t>(truncatingDivide(in[1] + line(1), 2));
    e.samples[n - 1] = static_cast<std::int16_t>(truncatingDivide(in[n - 1] + line(n - 1), 2));
    std::int64_t lowestWritten = 2;
    bool stopped = false;
    for (std::int64_t k = ((n - 2) / 64) * 64; k >= 64 && !stopped; k -= 64) {
        e.events.push_back("report " + std::to_string(k) + "/" + std::to_string(in.size()));
        e.events.emplace_back("stop?");
        stopped = stopAt == k || stopAt == 0;
        if (stopped) lowestWritten = k;
    }
    for (std::int64_t k = lowestWritten; k <= n - 2; ++k) e.samples[k] = static_cast<std::int16_t>(line(k));
    e.events.emplace_back("stop?");
    e.outcome = stopped || stopAt == 0 ? RepairOutcome::stopped : RepairOutcome::completed;
    return e;
}

struct Worked {
    Samples in;
    Samples out;
};

class WorkedExamples : public ::testing::TestWithParam<Worked> {};

TEST_P(WorkedExamples, GiveTheExactIntegerResults) {
    for (const Path& path : kPaths) {
        Samples samples = GetParam().in;
        HookTrace trace;
        EXPECT_EQ(repair(path, samples, trace), RepairOutcome::completed) << path.name;
        EXPECT_EQ(samples, GetParam().out) << path.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    LineRepair, WorkedExamples,
    ::testing::Values(Worked{{-100, 1000, 101}, {-100, 1, 101}}, Worked{{-100, 1000, 1000, 101}, {-100, -33, 34, 101}},
                      Worked{{-100, 1000, 1000, 1000, 101}, {-100, -50, 1, 51, 101}},
                      Worked{{-100, 1000, 1000, 1000, 1000, 101}, {-100, 470, -20, 21, 530, 101}},
                      Worked{{-100, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 101},
                             {-100, 461, -55, -33, -11, 12, 34, 56, 539, 101}},
                      // A negative numerator truncates toward the first sample, not to the midpoint.
                      Worked{{0, 7, -4}, {0, -1, -4}},
                      // Equal ends: flat for 3 to 5 samples, averaged neighbours from 6 on.
                      Worked{{500, -9, 3, 500}, {500, 500, 500, 500}},
                      Worked{{500, -9, 3, 7, 11, 500}, {500, 245, 500, 500, 255, 500}},
                      // The extremes of the sample range.
                      Worked{{-32768, 0, 32767}, {-32768, 0, 32767}},
                      Worked{{32767, 0, 0, 0, 0, -32768}, {32767, 9830, 6554, -6553, -9830, -32768}}),
    [](const ::testing::TestParamInfo<Worked>& info) {
        return std::to_string(info.index) + "_" + std::to_string(info.param.in.size()) + "Samples";
    });

TEST_P(EveryPath, TwoHundredSamplesAverageTheNeighboursAndReportThreeTimes) {
    Samples samples(200, 0);
    samples.front() = 30000;
    samples.back() = -30000;
    HookTrace trace;
    EXPECT_EQ(repair(samples, trace), RepairOutcome::completed);
    EXPECT_EQ(samples[1], 14849);
    EXPECT_EQ(samples[198], -14848);
    EXPECT_EQ(trace.events, (std::vector<std::string>{"report 192/200", "stop?", "report 128/200", "stop?",
                                                      "report 64/200", "stop?", "stop?"}));
}

TEST_P(EveryPath, ShortBlocksNeverReportNorAskAndCompleteEvenWhenStopped) {
    for (std::size_t count : {3u, 4u, 5u}) {
        Samples in(count, 1000);
        in.front() = -100;
        in.back() = 101;
        Samples samples = in;
        HookTrace trace;
        trace.stopAt = 0;
        EXPECT_EQ(repair(samples, trace), RepairOutcome::completed) << count;
        EXPECT_TRUE(trace.events.empty()) << count;
        EXPECT_EQ(samples, expectedRepair(in, 0).samples) << count;
    }
}

TEST_P(EveryPath, StopSetOnEntryEndsAtTheFirstReport) {
    for (std::size_t count : {6u, 66u, 67u, 200u}) {
        Samples samples(count, 7);
        HookTrace trace;
        trace.stopAt = 0;
        EXPECT_EQ(repair(samples, trace), RepairOutcome::stopped) << count;
        const Expected expected = expectedRepair(Samples(count, 7), 0);
        EXPECT_EQ(trace.events, expected.events) << count;
    }
}

TEST_P(EveryPath, StopDuringTheRunLeavesTheLoopAtOnce) {
    Samples in(1000);
    std::mt19937 random(7);
    for (auto& s : in) s = static_cast<std::int16_t>(random());
    Samples samples = in;
    HookTrace trace;
    trace.stopAt = 512;
    EXPECT_EQ(repair(samples, trace), RepairOutcome::stopped);
    const Expected expected = expectedRepair(in, 512);
    EXPECT_EQ(trace.events, expected.events);
    EXPECT_EQ(samples, expected.samples);  // nothing below 512 but the neighbour of the start touched
}

TEST_P(EveryPath, LongSteepBlocksAreExact) {
    // Long enough that k * delta passes 2^31: the line is formed in 64 bits.
    for (std::size_t count : {32770u, 40000u, 1u << 20}) {
        Samples in(count, 0);
        in.front() = -32768;
        in.back() = 32767;
        Samples samples = in;
        HookTrace trace;
        repair(samples, trace);
        const Expected expected = expectedRepair(in, -1);
        EXPECT_EQ(samples, expected.samples) << count;
        EXPECT_EQ(trace.events, expected.events) << count;
    }
}

TEST_P(EveryPath, MatchesTheDefinitionOnRandomBlocks) {
    std::mt19937 random(20261208);
    const std::int16_t extremes[] = {-32768, -32767, -1, 0, 1, 32766, 32767};
    for (int round = 0; round < 3000; ++round) {
        const std::size_t count =
            round % 100 == 0 ? 3 + random() % 300000 : (round % 7 == 0 ? 62 + random() % 8 : 3 + random() % 700);
        Samples in(count);
        for (auto& s : in) s = static_cast<std::int16_t>(random());
        if (round % 3 == 0) in.front() = extremes[random() % 7];
        if (round % 5 == 0) in.back() = extremes[random() % 7];
        if (round % 11 == 0) in.back() = in.front();
        const std::int64_t stopAt = round % 4 == 0 ? static_cast<std::int64_t>(random() % (count / 64 + 1)) * 64 : -1;

        Samples samples = in;
        HookTrace trace;
        trace.stopAt = stopAt;
        const RepairOutcome outcome = repair(samples, trace);
        const Expected expected = expectedRepair(in, stopAt);
        ASSERT_EQ(samples, expected.samples) << "round " << round << ", " << count << " samples";
        ASSERT_EQ(trace.events, expected.events) << "round " << round;
        ASSERT_EQ(outcome, expected.outcome) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(LineRepair, EveryPath, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<Path>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tesmora
