// What a repair did to each range, in figures: how many samples changed, by
// how much at most, and the step between each kept end sample and its
// neighbour inside the range, before and after.
#ifndef TESMORA_CLI_RANGE_REPORT_H
#define TESMORA_CLI_RANGE_REPORT_H

#include <cstdint>
#include <ostream>
#include <vector>

#include "sample_range.h"

namespace tesmora::cli {

struct RangeFigures {
    std::uint64_t changed = 0;
    int largestChange = 0;
    int startStepBefore = 0;  // sample first+1 minus sample first
    int startStepAfter = 0;
    int endStepBefore = 0;  // sample last minus sample last-1
    int endStepAfter = 0;
};

RangeFigures measureRange(const std::vector<std::int16_t>& before, const std::vector<std::int16_t>& after,
                          const SampleRange& range);

// One line a range, with a heading.
void printReport(std::ostream& out, const std::vector<std::int16_t>& before, const std::vector<std::int16_t>& after,
                 const std::vector<SampleRange>& ranges);

}  // namespace tesmora::cli

#endif
