// One call of an entry point with everything around it (the context, which
// host functions are there, what the host and the platform answer), the
// behaviour the module must show for it, and a check of the real behaviour
// against that. Shared by the fuzzer, the stress run of the real DLL and the
// unit tests.
#ifndef TESMORA_TESTS_SCENARIO_H
#define TESMORA_TESTS_SCENARIO_H

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fake_world.h"

namespace tesmora::testing {

enum class EntryPoint { queryXfm, xfmInit, xfmSetup, xfmDo, xfmDestroy };

struct Scenario {
    EntryPoint entry = EntryPoint::xfmDo;
    bool nullContext = false;
    std::uint16_t channels = 1;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t frameSize = 2;
    std::uint32_t selectionStart = 0;
    std::uint32_t selectionEnd = 0;
    bool withReadData = true;
    bool withWriteData = true;
    bool withCancelFlag = true;
    bool withReportProgress = true;
    bool withShowStatus = true;
    bool withEndProcessing = true;
    std::uint32_t readResult = 0;
    bool stopOnEntry = false;
    std::optional<std::uint32_t> stopAtPosition;  // reportProgress sets the stop flag here
    bool failAllocation = false;
    platform::Answer answer = platform::Answer::yes;
    std::uintptr_t ownerWindow = 0;
};

// What a scenario came to: the name of its outcome ("repaired", "stopped",
// "no memory", ...) and every way the module strayed from what it must do.
struct Verdict {
    std::string outcome;
    std::vector<std::string> mismatches;
};

// Runs the scenario through the entry points as linked (the module's logic or
// the real DLL), in world, whose waveform stands for the host's audio and
// whose allocation limit makes larger blocks fail. The waveform is left as the
// host would hold it afterwards.
Verdict runScenario(FakeWorld& world, const Scenario& scenario);

// A scenario drawn at random, most of them within a waveform of waveformSize
// samples, with every field now and then at the edges.
Scenario randomScenario(std::mt19937& random, std::uint32_t waveformSize);

}  // namespace tesmora::testing

#endif
