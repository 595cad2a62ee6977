// The module over many random whole calls, each checked against what it must
// do: the same check the fuzzer and the stress run of the DLL make.
#include <gtest/gtest.h>

#include <random>

#include "scenario.h"

namespace tesmora::testing {
namespace {

TEST(Scenarios, RandomCallsBehaveAsTheyMust) {
    std::mt19937 random(8);
    FakeWorld world;
    world.allocationLimit = 1u << 24;
    world.waveform.resize(1u << 16);
    for (auto& sample : world.waveform) sample = static_cast<std::int16_t>(random());
    for (int i = 0; i < 5000; ++i) {
        const Verdict verdict = runScenario(world, randomScenario(random, 1u << 16));
        ASSERT_EQ(verdict.mismatches, std::vector<std::string>{}) << "call " << i << ": " << verdict.outcome;
    }
}

}  // namespace
}  // namespace tesmora::testing
