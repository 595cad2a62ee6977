// Every way of repairing a block the tests hold against each other: the
// product's paths and the plain formula.
#ifndef TESMORA_TESTS_REPAIR_PATHS_H
#define TESMORA_TESTS_REPAIR_PATHS_H

#include <cstdint>
#include <vector>

#include "hook_trace.h"

#include "line_repair.h"
#include "line_repair_paths.h"
#include "line_repair_reference.h"

namespace tesmora {

using RepairFunction = RepairOutcome (*)(std::int16_t*, std::uint32_t, const RepairHooks&);

struct Path {
    const char* name;
    RepairFunction repair;
};

inline const Path kPaths[] = {
    {"Scalar", [](std::int16_t* s, std::uint32_t count,
                  const RepairHooks& hooks) { return LineRepairOn(LinePath::scalar, s, count, hooks); }},
    {"Sse2", [](std::int16_t* s, std::uint32_t count,
                const RepairHooks& hooks) { return LineRepairOn(LinePath::sse2, s, count, hooks); }},
    {"Reference", LineRepairReference},
};

// One repair of a copy of in along repair, with the stop flag going up at
// stopAt (as in HookTrace): what came out, what the hooks saw, the outcome.
struct RepairRun {
    std::vector<std::int16_t> samples;
    HookTrace trace;
    RepairOutcome outcome;
};

inline RepairRun runRepair(RepairFunction repair, const std::vector<std::int16_t>& in, std::int64_t stopAt) {
    RepairRun r{in, {}, RepairOutcome::completed};
    r.trace.stopAt = stopAt;
    r.outcome = repair(r.samples.data(), static_cast<std::uint32_t>(r.samples.size()), r.trace.hooks());
    return r;
}

}  // namespace tesmora

#endif
