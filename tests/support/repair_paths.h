// Every way of repairing a block the tests hold against each other: the
// product's paths and the plain formula.
#ifndef TESMORA_TESTS_REPAIR_PATHS_H
#define TESMORA_TESTS_REPAIR_PATHS_H

#include <cstdint>

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

}  // namespace tesmora

#endif
