// The stress run: the real tesmora.xfm, its memory served from guarded blocks,
// called many times through all five entry points in random order with random
// contexts and random host behaviour, each call made as a randomly chosen
// foreign caller (stack alignment, floating-point state). Every call is
// checked against what the module must do and against the calling
// convention; the counts are printed at the end.
//   tesmora_stress [seed] [calls] [module]
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "caller.h"
#include "fake_world.h"
#include "module_under_test.h"
#include "scenario.h"

namespace {

constexpr std::uint32_t kDefaultSeed = 20261208;
constexpr unsigned long kDefaultCalls = 100000;
constexpr std::uint32_t kWaveformSamples = 1u << 17;
constexpr unsigned kMismatchesShown = 5;

}  // namespace

int main(int argc, char** argv) {
    using namespace tesmora;
    const auto seed = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : kDefaultSeed;
    const unsigned long calls = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : kDefaultCalls;
    const std::string module = argc > 3 ? argv[3] : testhost::kModuleFile;
    std::printf("stress run of %s through the %s: seed %u, %lu calls\n", module.c_str(), testhost::callerKind(), seed,
                calls);

    std::string error;
    if (!testhost::loadModuleUnderTest(module, error)) {
        std::fprintf(stderr, "stress: %s\n", error.c_str());
        return 1;
    }

    std::mt19937 random(seed);
    testing::FakeWorld world;
    world.allocationLimit = 1u << 24;  // larger blocks fail as if memory were short
    world.waveform.resize(kWaveformSamples);
    for (auto& sample : world.waveform) sample = static_cast<std::int16_t>(random());

    std::map<std::string, unsigned long> outcomes;
    unsigned long mismatched = 0;
    unsigned long contextChanges = 0;
    unsigned long conventionBreaches = 0;
    std::map<std::string, unsigned long> callersUsed;
    const auto& callers = testing::callers();
    for (unsigned long i = 0; i < calls; ++i) {
        const testing::Scenario scenario = testing::randomScenario(random, kWaveformSamples);
        const testing::Caller& caller = callers[random() % callers.size()];
        testing::callAs(caller);
        ++callersUsed[caller.name];
        testing::Verdict verdict = testing::runScenario(world, scenario);
        for (auto& breach : testing::takeConventionFaults()) {
            ++conventionBreaches;
            verdict.mismatches.push_back(std::move(breach));
        }
        ++outcomes[verdict.outcome];
        if (verdict.mismatches.empty()) continue;
        ++mismatched;
        for (const auto& mismatch : verdict.mismatches) {
            if (mismatch == "the context changed") ++contextChanges;
            if (mismatched <= kMismatchesShown) {
                std::printf("call %lu (%s, selection %u..%u): %s\n", i, verdict.outcome.c_str(),
                            scenario.selectionStart, scenario.selectionEnd, mismatch.c_str());
            }
        }
    }

    std::printf("%-28s %10lu\n", "calls made", calls);
    for (const auto& [outcome, count] : outcomes) std::printf("  %-26s %10lu\n", outcome.c_str(), count);
    std::printf("%-28s %10d\n", "blocks allocated", world.allocations);
    std::printf("%-28s %10d\n", "blocks released", world.releases);
    // Under wine the first overrun ends the run at its guard page; the emulated
    // caller counts it among the mismatches, naming the address.
    std::printf("%-28s %10d\n", "overruns", 0);
    std::printf("%-28s %10lu\n", "context changes", contextChanges);
    std::printf("%-28s %10lu\n", "calling-convention breaches", conventionBreaches);
    std::printf("%-28s\n", "calls per caller");
    for (const auto& [name, count] : callersUsed) std::printf("  %-44s %10lu\n", name.c_str(), count);
    std::printf("%-28s %10lu\n", "mismatches", mismatched);
    if (!testhost::unloadModuleUnderTest(error)) {
        std::fprintf(stderr, "stress: %s\n", error.c_str());
        return 1;
    }
    return mismatched == 0 && world.allocations == world.releases ? 0 : 1;
}
