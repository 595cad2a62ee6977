#include <cstdio>
#include <cstring>

#include "blocks.h"
#include "figures.h"
#include "line_repair_reference.h"
#include "timing.h"

namespace tesmora::bench {

namespace {

using Repair = RepairOutcome (*)(std::int16_t*, std::uint32_t, const RepairHooks&);

double repairNanosecondsPerSample(Repair repair, std::uint32_t sampleCount) {
    std::vector<std::int16_t> block = makeBlock(sampleCount, kModerateEnds);
    const RepairHooks hooks = idleHooks();
    return medianNanosecondsPerCall([&] {
               repair(block.data(), sampleCount, hooks);
               keepStores(block.data());
           }) /
           sampleCount;
}

double memsetNanosecondsPerSample(std::uint32_t sampleCount) {
    std::vector<std::int16_t> block(sampleCount);
    return medianNanosecondsPerCall([&] {
               std::memset(block.data(), 0, sampleCount * sizeof(std::int16_t));
               keepStores(block.data());
           }) /
           sampleCount;
}

}  // namespace

void printRepairFigures() {
    std::printf("%10s %10s %10s %10s %14s %17s\n", "samples", "kernel", "reference", "memset", "kernel/memset",
                "reference/kernel");
    for (const std::uint32_t sampleCount : kBlockSizes) {
        const double kernel = repairNanosecondsPerSample(&LineRepair, sampleCount);
        const double reference = repairNanosecondsPerSample(&LineRepairReference, sampleCount);
        const double fill = memsetNanosecondsPerSample(sampleCount);
        std::printf("%10u %10.3f %10.3f %10.3f %14.2f %17.2f\n", sampleCount, kernel, reference, fill, kernel / fill,
                    reference / kernel);
        std::fflush(stdout);
    }
}

}  // namespace tesmora::bench
