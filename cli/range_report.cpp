#include "range_report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tesmora::cli {

namespace {

int stepAfter(const std::vector<std::int16_t>& samples, std::uint64_t index) {
    return samples[index + 1] - samples[index];
}

}  // namespace

RangeFigures measureRange(const std::vector<std::int16_t>& before, const std::vector<std::int16_t>& after,
                          const SampleRange& range) {
    RangeFigures figures;
    for (std::uint64_t i = range.first; i <= range.last; ++i) {
        const int change = std::abs(after[i] - before[i]);
        if (change != 0) ++figures.changed;
        if (change > figures.largestChange) figures.largestChange = change;
    }
    if (range.size() >= 2) {
        figures.startStepBefore = stepAfter(before, range.first);
        figures.startStepAfter = stepAfter(after, range.first);
        figures.endStepBefore = stepAfter(before, range.last - 1);
        figures.endStepAfter = stepAfter(after, range.last - 1);
    }
    return figures;
}

void printReport(std::ostream& out, const std::vector<std::int16_t>& before, const std::vector<std::int16_t>& after,
                 const std::vector<SampleRange>& ranges) {
    int rangeWidth = 5;
    for (const SampleRange& range : ranges) {
        rangeWidth = std::max(rangeWidth, static_cast<int>(range.describe().size()));
    }
    char line[160];
    std::snprintf(line, sizeof line, "%-*s %8s %8s %18s %18s\n", rangeWidth, "range", "changed", "largest",
                  "start step", "end step");
    out << line;
    for (const SampleRange& range : ranges) {
        const RangeFigures f = measureRange(before, after, range);
        std::snprintf(line, sizeof line, "%-*s %8llu %8d %18s %18s\n", rangeWidth, range.describe().c_str(),
                      static_cast<unsigned long long>(f.changed), f.largestChange,
                      (std::to_string(f.startStepBefore) + " -> " + std::to_string(f.startStepAfter)).c_str(),
                      (std::to_string(f.endStepBefore) + " -> " + std::to_string(f.endStepAfter)).c_str());
        out << line;
    }
}

}  // namespace tesmora::cli
