// Fuzzes the fast paths of LineRepair against the plain formula: the fuzzer's
// bytes give the block (its length, its ends and the samples between) and the
// report at which the stop flag goes up. Any difference in the samples, in the
// hook calls or in the outcome stops the fuzzer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "repair_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Mostly short blocks, where the edges of blocks and reports are dense; now and then a long one.
    const std::uint32_t count = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint32_t>(0, 300)
                                                    : input.ConsumeIntegralInRange<std::uint32_t>(0, 200000);
    const std::int64_t stopAt =
        input.ConsumeBool() ? -1 : 64 * std::int64_t{input.ConsumeIntegralInRange<std::uint32_t>(0, count / 64 + 1)};
    std::vector<std::int16_t> block(count);
    if (count > 0) {
        block.front() = input.ConsumeIntegral<std::int16_t>();
        block.back() = input.ConsumeIntegral<std::int16_t>();
    }
    for (std::uint32_t k = 1; k + 1 < count && input.remaining_bytes() >= 2; ++k) {
        block[k] = input.ConsumeIntegral<std::int16_t>();
    }

    const tesmora::RepairRun expected = tesmora::runRepair(tesmora::LineRepairReference, block, stopAt);
    for (const tesmora::Path& path : tesmora::kPaths) {
        const tesmora::RepairRun actual = tesmora::runRepair(path.repair, block, stopAt);
        if (actual.samples != expected.samples || actual.trace.events != expected.trace.events ||
            actual.outcome != expected.outcome) {
            std::fprintf(stderr, "%s differs from the formula on %u samples from %d to %d, stop at %lld\n", path.name,
                         count, block.front(), block.back(), static_cast<long long>(stopAt));
            std::abort();
        }
    }
    return 0;
}
