// What a repair did to each range, in figures: how many samples changed, by
// how much at most, and the step between each kept end sample and its
// neighbour inside the range, before and after.
#ifndef TESMORA_CLI_RANGE_REPORT_H
#define TESMORA_CLI_RANGE_REPORT_H

#include <cstdint>
#include <ostream>
#include <vector>

#include "sample_window.h"

namespace tesmora::cli {

struct RangeFigures {
    std::uint64_t changed = 0;
    int largestChange = 0;
    int startStepBefore = 0;  // sample first+1 minus sample first
    int startStepAfter = 0;
    int endStepBefore = 0;  // sample last minus sample last-1
    int endStepAfter = 0;
};

RangeFigures measureRange(const SampleWindow& window);

// One line a range, with a heading.
void printReport(std::ostream& out, const std::vector<SampleWindow>& windows);

}  // namespace tesmora::cli

#endif
