// The line repair written as plainly as it can be: one 64-bit division per
// sample, straight from the formula. Not part of the product; the tests, the
// fuzzers and the benchmarks hold the fast LineRepair against it.
#ifndef TESMORA_REPAIR_LINE_REPAIR_REFERENCE_H
#define TESMORA_REPAIR_LINE_REPAIR_REFERENCE_H

#include "line_repair.h"

namespace tesmora {

// Same contract as LineRepair: same results, same hook calls in the same order.
RepairOutcome LineRepairReference(std::int16_t* samples, std::uint32_t sampleCount, const RepairHooks& hooks);

}  // namespace tesmora

#endif
