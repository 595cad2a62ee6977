// Fuzzes whole calls of the entry points, XfmDo above all: the fuzzer's bytes
// choose every field of the context, which host functions are missing, what
// the host answers, when the stop flag goes up and whether memory runs out.
// The model of whole calls checks the result, the host calls and their order,
// the blocks (allocated exactly to size, so the sanitizer sees any overrun),
// the context record and the samples written back. Any mismatch stops the fuzzer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "fake_world.h"
#include "scenario.h"

namespace {

using tesmora::testing::EntryPoint;
using tesmora::testing::FakeWorld;
using tesmora::testing::Scenario;

constexpr std::uint32_t kWaveformSamples = 1u << 12;

// One world for the whole run: the module keeps nothing between calls, and
// runScenario checks each call on its own.
FakeWorld& world() {
    static FakeWorld* w = [] {
        auto* made = new FakeWorld;
        made->allocationLimit = 1u << 20;  // larger blocks fail as if memory were short
        made->waveform.resize(kWaveformSamples);
        std::uint32_t x = 12345;
        for (auto& sample : made->waveform) {
            x = x * 1103515245u + 12345u;
            sample = static_cast<std::int16_t>(x >> 16);
        }
        return made;
    }();
    return *w;
}

// Selections near the waveform most of the time, anywhere in 32 bits now and then.
std::uint32_t selectionIndex(FuzzedDataProvider& input) {
    return input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint32_t>(0, kWaveformSamples + 80)
                               : input.ConsumeIntegral<std::uint32_t>();
}

Scenario scenarioFrom(FuzzedDataProvider& input) {
    Scenario s;
    s.entry = input.ConsumeIntegralInRange(0, 7) < 4 ? EntryPoint::xfmDo
                                                     : static_cast<EntryPoint>(input.ConsumeIntegralInRange(0, 4));
    s.nullContext = input.ConsumeIntegralInRange(0, 63) == 0;
    s.channels = input.ConsumeIntegral<std::uint16_t>();
    s.bitsPerSample = input.ConsumeIntegral<std::uint16_t>();
    s.frameSize = input.ConsumeIntegral<std::uint16_t>();
    s.selectionStart = selectionIndex(input);
    s.selectionEnd = input.ConsumeBool() ? s.selectionStart + input.ConsumeIntegralInRange<std::uint32_t>(0, 700)
                                         : selectionIndex(input);
    const auto present = input.ConsumeIntegral<std::uint8_t>();
    s.withReadData = (present & 1) == 0;
    s.withWriteData = (present & 2) == 0;
    s.withCancelFlag = (present & 4) == 0;
    s.withReportProgress = (present & 8) == 0;
    s.withShowStatus = (present & 16) == 0;
    s.withEndProcessing = (present & 32) == 0;
    s.readResult = input.ConsumeBool() ? 0 : input.ConsumeIntegral<std::uint32_t>();
    s.stopOnEntry = input.ConsumeIntegralInRange(0, 15) == 0;
    if (input.ConsumeBool()) s.stopAtPosition = 64 * input.ConsumeIntegralInRange<std::uint32_t>(0, 64);
    s.failAllocation = input.ConsumeIntegralInRange(0, 15) == 0;
    s.answer = static_cast<tesmora::platform::Answer>(input.ConsumeIntegralInRange(0, 2));
    s.ownerWindow = input.ConsumeIntegral<std::uint32_t>();
    // A few fuzzed samples in the waveform, so that the repaired values vary too.
    while (input.remaining_bytes() >= 4) {
        const auto at = input.ConsumeIntegralInRange<std::uint32_t>(0, kWaveformSamples - 1);
        world().waveform[at] = input.ConsumeIntegral<std::int16_t>();
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const Scenario scenario = scenarioFrom(input);
    const tesmora::testing::Verdict verdict = tesmora::testing::runScenario(world(), scenario);
    if (!verdict.mismatches.empty()) {
        std::fprintf(stderr, "%s, selection %u..%u:\n", verdict.outcome.c_str(), scenario.selectionStart,
                     scenario.selectionEnd);
        for (const auto& mismatch : verdict.mismatches) std::fprintf(stderr, "  %s\n", mismatch.c_str());
        std::abort();
    }
    return 0;
}
