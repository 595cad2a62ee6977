#include "range_report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tesmora::cli {

namespace {

int stepBefore(const SampleWindow& window, std::uint64_t frame) {
    return window.beforeAt(frame + 1) - window.beforeAt(frame);
}

int stepAfter(const SampleWindow& window, std::uint64_t frame) {
    return window.afterAt(frame + 1) - window.afterAt(frame);
}

}  // namespace

RangeFigures measureRange(const SampleWindow& window) {
    const SampleRange& range = window.range;
    RangeFigures figures;
    for (std::uint64_t i = range.first; i <= range.last; ++i) {
        const int change = std::abs(window.afterAt(i) - window.beforeAt(i));
        if (change != 0) ++figures.changed;
        if (change > figures.largestChange) figures.largestChange = change;
    }
    if (range.size() >= 2) {
        figures.startStepBefore = stepBefore(window, range.first);
        figures.startStepAfter = stepAfter(window, range.first);
        figures.endStepBefore = stepBefore(window, range.last - 1);
        figures.endStepAfter = stepAfter(window, range.last - 1);
    }
    return figures;
}

void printReport(std::ostream& out, const std::vector<SampleWindow>& windows) {
    int rangeWidth = 5;
    for (const SampleWindow& window : windows) {
        rangeWidth = std::max(rangeWidth, static_cast<int>(window.range.describe().size()));
    }
    char line[160];
    std::snprintf(line, sizeof line, "%-*s %8s %8s %18s %18s\n", rangeWidth, "range", "changed", "largest",
                  "start step", "end step");
    out << line;
    for (const SampleWindow& window : windows) {
        const SampleRange& range = window.range;
        const RangeFigures f = measureRange(window);
        std::snprintf(line, sizeof line, "%-*s %8llu %8d %18s %18s\n", rangeWidth, range.describe().c_str(),
                      static_cast<unsigned long long>(f.changed), f.largestChange,
                      (std::to_string(f.startStepBefore) + " -> " + std::to_string(f.startStepAfter)).c_str(),
                      (std::to_string(f.endStepBefore) + " -> " + std::to_string(f.endStepAfter)).c_str());
        out << line;
    }
}

}  // namespace tesmora::cli
