// The fast paths of LineRepair against the plain formula: the same samples, the
// same hook calls in the same order, the same outcome, over blocks chosen where
// the fast paths could go wrong (block and report boundaries, the change of
// sign of the numerator, full-scale ends, long blocks).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "repair_paths.h"

namespace tesmora {
namespace {

using Samples = std::vector<std::int16_t>;

// Compares every fast path with the formula on in; stopAt as in HookTrace.
void expectSameAsReference(const Samples& in, std::int64_t stopAt, const std::string& what) {
    const RepairRun expected = runRepair(LineRepairReference, in, stopAt);
    for (const Path& path : kPaths) {
        const RepairRun actual = runRepair(path.repair, in, stopAt);
        ASSERT_EQ(actual.samples, expected.samples) << path.name << ": " << what;
        ASSERT_EQ(actual.trace.events, expected.trace.events) << path.name << ": " << what;
        ASSERT_EQ(actual.outcome, expected.outcome) << path.name << ": " << what;
    }
}

const std::int16_t kEdgeSamples[] = {-32768, -32767, -2, -1, 0, 1, 2, 32766, 32767};

class Differential : public ::testing::Test {
protected:
    std::mt19937 random{20261209};

    std::int16_t anySample() { return static_cast<std::int16_t>(random()); }
    std::int16_t edgeOrAny() { return random() % 2 ? kEdgeSamples[random() % std::size(kEdgeSamples)] : anySample(); }
    Samples block(std::size_t count, std::int16_t first, std::int16_t last) {
        Samples s(count);
        for (auto& v : s) v = anySample();
        s.front() = first;
        s.back() = last;
        return s;
    }
};

TEST_F(Differential, EveryLengthUpToSeveralReportsWithEdgeEnds) {
    // Covers every length modulo the block width and the report interval.
    for (std::size_t count = 3; count <= 600; ++count) {
        for (int trial = 0; trial < 4; ++trial) {
            const Samples in = block(count, edgeOrAny(), edgeOrAny());
            expectSameAsReference(in, -1, std::to_string(count) + " samples");
        }
    }
}

TEST_F(Differential, EqualAndAdjacentEnds) {
    for (std::size_t count : {6u, 7u, 64u, 65u, 66u, 67u, 130u, 4099u}) {
        for (std::int16_t first : kEdgeSamples) {
            for (int offset : {0, 1, -1}) {
                const int last = first + offset;
                if (last < -32768 || last > 32767) continue;
                expectSameAsReference(block(count, first, static_cast<std::int16_t>(last)), -1,
                                      std::to_string(count) + " samples from " + std::to_string(first));
            }
        }
    }
}

TEST_F(Differential, StopAtEveryReportOfABlock) {
    const Samples in = block(1000, -30000, 29999);
    for (std::int64_t stopAt = 0; stopAt <= 1000; stopAt += 64) {
        expectSameAsReference(in, stopAt, "stop at " + std::to_string(stopAt));
    }
}

TEST_F(Differential, LongBlocksWithRandomStops) {
    for (int round = 0; round < 40; ++round) {
        const std::size_t count = 1000 + random() % 400000;
        const std::int64_t stopAt = round % 3 == 0 ? static_cast<std::int64_t>(random() % (count / 64)) * 64 : -1;
        expectSameAsReference(block(count, edgeOrAny(), edgeOrAny()), stopAt,
                              "round " + std::to_string(round) + ", " + std::to_string(count) + " samples");
    }
}

TEST_F(Differential, ShallowLinesWhereTheNumeratorChangesSign) {
    // A small negative slope over a long block puts the change of sign of the
    // numerator anywhere in the block, including on and next to block edges.
    for (int round = 0; round < 200; ++round) {
        const std::size_t count = 6 + random() % 5000;
        const auto first = static_cast<std::int16_t>(static_cast<int>(random() % 2000) - 1000);
        const auto last = static_cast<std::int16_t>(first - 1 - static_cast<int>(random() % 40));
        expectSameAsReference(block(count, first, last), -1, std::to_string(count) + " samples");
    }
}

}  // namespace
}  // namespace tesmora
