#include "timing.h"

#include <algorithm>

namespace tesmora::bench {

namespace {

constexpr double kRunNanoseconds = 50e6;
constexpr unsigned kRuns = 7;
constexpr unsigned kRunsOfLongCalls = 3;

}  // namespace

TimingPlan planFor(double nanosecondsPerCall) {
    if (nanosecondsPerCall >= kRunNanoseconds) return {kRunsOfLongCalls, 1};
    return {kRuns, static_cast<std::uint64_t>(kRunNanoseconds / nanosecondsPerCall) + 1};
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace tesmora::bench
