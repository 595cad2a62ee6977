#include "blocks.h"

#include <random>

namespace tesmora::bench {

std::vector<std::int16_t> makeBlock(std::uint32_t sampleCount, LineEnds ends) {
    std::vector<std::int16_t> block(sampleCount);
    std::mt19937 noise(sampleCount);
    for (auto& sample : block) sample = static_cast<std::int16_t>(noise());
    block.front() = ends.first;
    block.back() = ends.last;
    return block;
}

RepairHooks idleHooks() {
    return {[](void*, std::uint32_t, std::uint32_t) {}, [](void*) { return false; }, nullptr};
}

}  // namespace tesmora::bench
