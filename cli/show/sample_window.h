// The samples of one channel around one range, before and after its repair:
// what the report and the plot show, without the rest of the file.
#ifndef TESMORA_CLI_SAMPLE_WINDOW_H
#define TESMORA_CLI_SAMPLE_WINDOW_H

#include <cstdint>
#include <vector>

#include "sample_range.h"

namespace tesmora::cli {

struct SampleWindow {
    SampleRange range;
    std::uint64_t first = 0;  // the frame of before[0] and after[0]; the range lies inside
    std::vector<std::int16_t> before;
    std::vector<std::int16_t> after;

    std::uint64_t last() const { return first + before.size() - 1; }
    std::int16_t beforeAt(std::uint64_t frame) const { return before[frame - first]; }
    std::int16_t afterAt(std::uint64_t frame) const { return after[frame - first]; }
};

}  // namespace tesmora::cli

#endif
