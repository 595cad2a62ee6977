#include <cstdio>
#include <vector>

#include "figures.h"
#include "line_repair_reference.h"
#include "memcpy_host.h"
#include "timing.h"

namespace tesmora::bench {

namespace {

// One call on the fresh waveform must leave exactly what the plain formula
// gives: otherwise the figures would time something other than the repair.
bool repairsLikeReference(XfmDoEntry xfmDo, MemcpyHost& host) {
    std::vector<std::int16_t> expected = host.waveform();
    LineRepairReference(expected.data(), static_cast<std::uint32_t>(expected.size()), idleHooks());
    if (xfmDo(host.context()) != 1) {
        std::fprintf(stderr, "XfmDo failed on the benchmark selection\n");
        return false;
    }
    if (host.waveform() != expected) {
        std::fprintf(stderr, "XfmDo did not hand back the repaired selection\n");
        return false;
    }
    return true;
}

}  // namespace

bool printXfmDoFigures(XfmDoEntry xfmDo) {
    MemcpyHost host(kSelectionSamples, kModerateEnds);
    if (!repairsLikeReference(xfmDo, host)) return false;
    bool failed = false;
    const double repaired = medianNanosecondsPerCall([&] { failed = failed || xfmDo(host.context()) != 1; });
    if (failed) {
        std::fprintf(stderr, "XfmDo failed on the benchmark selection\n");
        return false;
    }
    const double copied = medianNanosecondsPerCall([&] {
        host.copyOutAndBack();
        keepStores(host.waveform().data());
    });
    std::printf("%10s %10s %10s %14s\n", "samples", "XfmDo", "two copies", "XfmDo/copies");
    std::printf("%10u %10.3f %10.3f %14.2f\n", kSelectionSamples, repaired / kSelectionSamples,
                copied / kSelectionSamples, repaired / copied);
    return true;
}

}  // namespace tesmora::bench
