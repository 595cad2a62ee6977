#include "selection.h"

#include <algorithm>

namespace tesmora::detect {

namespace {

// From this many selected samples up the repair averages the sample next to
// each end with the line.
constexpr std::uint64_t kAveragedFrom = 6;

std::uint64_t endsKept(std::uint64_t selectionSize) {
    return selectionSize >= kAveragedFrom ? 2 : 1;
}

}  // namespace

SampleSpan selectionAround(SampleSpan damage, std::uint64_t length) {
    // One good sample each side makes damage + 2 samples; from 6 on the
    // repair averages the second ones too, so a second good sample is needed.
    const std::uint64_t pad = endsKept(damage.last - damage.first + 3);
    return {damage.first > pad ? damage.first - pad : 0, std::min(damage.last + pad, length - 1)};
}

SampleSpan replacedBy(SampleSpan selection) {
    const std::uint64_t size = selection.last - selection.first + 1;
    if (size < 3) return {selection.first + 1, selection.first};  // empty: the repair changes nothing
    const std::uint64_t kept = endsKept(size);
    return {selection.first + kept, selection.last - kept};
}

}  // namespace tesmora::detect
