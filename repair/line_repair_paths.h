// The ways LineRepair can write the line. LineRepair takes the fastest the
// processor has; the tests hold each against the plain formula.
#ifndef TESMORA_REPAIR_LINE_REPAIR_PATHS_H
#define TESMORA_REPAIR_LINE_REPAIR_PATHS_H

#include <cstdint>

#include "line_repair.h"

namespace tesmora {

enum class LinePath {
    scalar,  // one sample at a time, on any processor
    sse2,    // 8 samples at a time; falls back to scalar without SSE2
};

// Whether the processor runs path as itself rather than through the fallback.
bool linePathAvailable(LinePath path);

// LineRepair, written along path.
RepairOutcome LineRepairOn(LinePath path, std::int16_t* samples, std::uint32_t sampleCount, const RepairHooks& hooks);

}  // namespace tesmora

#endif
