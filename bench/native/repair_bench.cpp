// LineRepair, the plain formula it must equal, and memset of the same bytes
// (the least any pass that stores every sample can cost), over each block size.
#include <benchmark/benchmark.h>

#include <cstring>

#include "blocks.h"
#include "line_repair_reference.h"

namespace tesmora::bench {
namespace {

using Repair = RepairOutcome (*)(std::int16_t*, std::uint32_t, const RepairHooks&);

void countWork(benchmark::State& state, std::uint32_t sampleCount) {
    const auto iterations = static_cast<std::int64_t>(state.iterations());
    state.SetItemsProcessed(iterations * sampleCount);
    state.SetBytesProcessed(iterations * sampleCount * static_cast<std::int64_t>(sizeof(std::int16_t)));
}

// Repairing the same block again costs the same: its ends never change.
void repairBlock(benchmark::State& state, Repair repair, LineEnds ends) {
    const auto sampleCount = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::int16_t> block = makeBlock(sampleCount, ends);
    const RepairHooks hooks = idleHooks();
    for (auto _ : state) {
        benchmark::DoNotOptimize(repair(block.data(), sampleCount, hooks));
        benchmark::ClobberMemory();
    }
    countWork(state, sampleCount);
}

void fillBlock(benchmark::State& state) {
    const auto sampleCount = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::int16_t> block = makeBlock(sampleCount, kModerateEnds);
    for (auto _ : state) {
        std::memset(block.data(), 0, sampleCount * sizeof(std::int16_t));
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    countWork(state, sampleCount);
}

void overBlockSizes(benchmark::internal::Benchmark* benchmark) {
    for (const std::uint32_t size : kBlockSizes) benchmark->Arg(size);
    benchmark->UseRealTime();
}

void registerRepair(const char* name, Repair repair, LineEnds ends) {
    benchmark::RegisterBenchmark(name, repairBlock, repair, ends)->Apply(overBlockSizes);
}

// Registered before main runs, in the order they are reported.
[[maybe_unused]] const bool registered = [] {
    registerRepair("kernel", &LineRepair, kModerateEnds);
    registerRepair("reference", &LineRepairReference, kModerateEnds);
    benchmark::RegisterBenchmark("memset", fillBlock)->Apply(overBlockSizes);
    registerRepair("kernel_full_scale", &LineRepair, kFullScaleEnds);
    registerRepair("reference_full_scale", &LineRepairReference, kFullScaleEnds);
    return true;
}();

}  // namespace
}  // namespace tesmora::bench
