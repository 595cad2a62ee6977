#include "robust_scale.h"

#include <algorithm>
#include <cmath>

namespace tesmora::detect {

namespace {

// The median of |x| is 0.6745 standard deviations for Gaussian x.
constexpr double kMedianToDeviation = 1 / 0.6745;
// Below this the error is the quantisation of 16-bit samples and nothing else.
constexpr double kFloor = 0.5;
// How far the median may stray from a guess and still be found among the
// values near it only: the last measure's of the same stretch, or the
// stretch before's.
constexpr double kNearLast = 1.1;
constexpr double kNearBefore = 1.5;

}  // namespace

void RobustScale::measure(const double* values, std::size_t first, std::size_t end, std::size_t stretch, bool again) {
    stretch_ = std::max<std::size_t>(stretch, 1);
    const std::size_t count = (end + stretch_ - 1) / stretch_;
    last_.swap(medians_);
    again = again && last_.size() == count;
    medians_.assign(count, 0.0);
    for (std::size_t block = first / stretch_; block < count; ++block) {
        const std::size_t from = std::max(first, block * stretch_);
        const std::size_t to = std::min(end, (block + 1) * stretch_);
        if (from >= to) continue;
        // Every other sample: half the work, and as good a median.
        scratch_.clear();
        for (std::size_t n = from; n < to; n += 2) scratch_.push_back(std::fabs(values[n]));
        // Where the values are much the same as last time, the median is
        // near the last one; else the stretch before has much the same level.
        const double last = again ? last_[block] / kMedianToDeviation : 0.0;
        const double before = block > first / stretch_ ? medians_[block - 1] / kMedianToDeviation : 0.0;
        double median = 0;
        if (!middleNear(last, kNearLast, median) && !middleNear(before, kNearBefore, median)) median = middle();
        medians_[block] = median * kMedianToDeviation;
    }
    // at() is asked for every sample, many times: its answer is worked out
    // once a sample, so that it needs no division.
    scales_.resize(count * stretch_);
    for (std::size_t block = 0; block < count; ++block) {
        double scale = medians_[block];
        if (block > 0) scale = std::max(scale, medians_[block - 1]);
        if (block + 1 < count) scale = std::max(scale, medians_[block + 1]);
        const auto from = scales_.begin() + static_cast<std::ptrdiff_t>(block * stretch_);
        std::fill(from, from + static_cast<std::ptrdiff_t>(stretch_), std::max(scale, kFloor));
    }
}

bool RobustScale::middleNear(double guess, double bracket, double& value) {
    // When the middle value lies within a bracket around a guess, only the
    // values in the bracket need ordering. The answer is exact either way.
    if (!(guess > 0)) return false;
    const std::size_t half = scratch_.size() / 2;
    const double low = guess / bracket;
    const double high = guess * bracket;
    bracket_.resize(scratch_.size());
    std::size_t below = 0;
    std::size_t inside = 0;
    for (const double v : scratch_) {
        below += v < low ? 1 : 0;
        bracket_[inside] = v;
        inside += v >= low && v <= high ? 1 : 0;
    }
    if (below > half || half >= below + inside) return false;
    const auto place = bracket_.begin() + static_cast<std::ptrdiff_t>(half - below);
    std::nth_element(bracket_.begin(), place, bracket_.begin() + static_cast<std::ptrdiff_t>(inside));
    value = *place;
    return true;
}

double RobustScale::middle() {
    const auto place = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
    std::nth_element(scratch_.begin(), place, scratch_.end());
    return *place;
}

double RobustScale::at(std::size_t n) const {
    if (scales_.empty()) return kFloor;
    return scales_[std::min(n, scales_.size() - 1)];
}

double RobustScale::ownAt(std::size_t n) const {
    if (medians_.empty()) return kFloor;
    const std::size_t block = std::min(n / stretch_, medians_.size() - 1);
    const std::size_t from = block > 0 ? block - 1 : 0;
    const std::size_t to = std::min(block + 2, medians_.size());
    double sum = 0;
    for (std::size_t b = from; b < to; ++b) sum += medians_[b];
    return std::max(kFloor, sum / static_cast<double>(to - from));
}

}  // namespace tesmora::detect
