#include "line_repair_reference.h"

namespace tesmora {

namespace {

// The line through the two end samples. Formed in 64 bits so that it is exact
// for every length and slope.
struct Line {
    std::int32_t first;
    std::int32_t delta;
    std::int64_t n;
    std::int64_t half;

    std::int32_t at(std::uint32_t k) const {
        // C++ division truncates toward zero, as the line requires.
        return first + static_cast<std::int32_t>((static_cast<std::int64_t>(k) * delta + half) / n);
    }
};

std::int16_t averageWithLine(std::int16_t old, std::int32_t lineValue) {
    return static_cast<std::int16_t>((old + lineValue) / 2);
}

constexpr std::uint32_t kReportInterval = 64;

}  // namespace

RepairOutcome LineRepairReference(std::int16_t* samples, std::uint32_t sampleCount, const RepairHooks& hooks) {
    if (sampleCount < 3) {
        return RepairOutcome::completed;
    }
    const std::uint32_t n = sampleCount - 1;
    const Line line{samples[0], samples[n] - samples[0], n, n / 2};

    if (sampleCount <= 5) {
        for (std::uint32_t k = n - 1; k >= 1; --k) {
            samples[k] = static_cast<std::int16_t>(line.at(k));
        }
        return RepairOutcome::completed;
    }

    samples[1] = averageWithLine(samples[1], line.at(1));
    samples[n - 1] = averageWithLine(samples[n - 1], line.at(n - 1));
    for (std::uint32_t k = n - 2; k >= 2; --k) {
        samples[k] = static_cast<std::int16_t>(line.at(k));
        if (k % kReportInterval == 0) {
            hooks.reportProgress(hooks.user, k, sampleCount);
            if (hooks.stopRequested(hooks.user)) {
                break;
            }
        }
    }
    return hooks.stopRequested(hooks.user) ? RepairOutcome::stopped : RepairOutcome::completed;
}

}  // namespace tesmora
