// The blocks every benchmark repairs, copies or fills: their sizes, their end
// samples, and hooks that cost nothing, so that a figure measures the samples'
// arithmetic and memory traffic and nothing else.
#ifndef TESMORA_BENCH_SUPPORT_BLOCKS_H
#define TESMORA_BENCH_SUPPORT_BLOCKS_H

#include <cstdint>
#include <vector>

#include "line_repair.h"

namespace tesmora::bench {

// From a block that stays in the first-level cache to one far beyond every cache.
inline constexpr std::uint32_t kBlockSizes[] = {1u << 10, 1u << 16, 1u << 20, 1u << 24};

// The selection XfmDo is measured over: 8 MiB of samples.
inline constexpr std::uint32_t kSelectionSamples = 1u << 22;

struct LineEnds {
    std::int16_t first;
    std::int16_t last;
};

// A line that climbs across most of the range, so that no sample is trivial.
inline constexpr LineEnds kModerateEnds{-30000, 29000};
// The steepest line there is: its numerators leave 32 bits from 2^15 samples on.
inline constexpr LineEnds kFullScaleEnds{-32768, 32767};

// sampleCount samples (at least 2): ends.first, fixed pseudo-random noise, ends.last.
std::vector<std::int16_t> makeBlock(std::uint32_t sampleCount, LineEnds ends);

// Hooks that report nowhere and never ask to stop.
RepairHooks idleHooks();

}  // namespace tesmora::bench

#endif
