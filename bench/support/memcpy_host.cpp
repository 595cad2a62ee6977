#include "memcpy_host.h"

#include <cstring>

namespace tesmora::bench {

MemcpyHost::MemcpyHost(std::uint32_t selectedSamples, LineEnds ends)
    : waveform_(makeBlock(selectedSamples, ends)),
      ownCopy_(selectedSamples),
      host_(waveform_),
      context_(host_.context(0, selectedSamples - 1, cancelFlag_)) {}

std::uint32_t MemcpyHost::selectedBytes() const {
    return static_cast<std::uint32_t>(waveform_.size() * sizeof(std::int16_t));
}

void MemcpyHost::copyOutAndBack() {
    std::memcpy(ownCopy_.data(), waveform_.data(), selectedBytes());
    std::memcpy(waveform_.data(), ownCopy_.data(), selectedBytes());
}

}  // namespace tesmora::bench
