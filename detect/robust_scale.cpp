#include "robust_scale.h"

#include <algorithm>
#include <cmath>

namespace tesmora::detect {

namespace {

// The median of |x| is 0.6745 standard deviations for Gaussian x.
constexpr double kMedianToDeviation = 1 / 0.6745;
// Below this the error is the quantisation of 16-bit samples and nothing else.
constexpr double kFloor = 0.5;

}  // namespace

void RobustScale::measure(const double* values, std::size_t first, std::size_t end, std::size_t stretch) {
    stretch_ = std::max<std::size_t>(stretch, 1);
    const std::size_t count = (end + stretch_ - 1) / stretch_;
    medians_.assign(count, 0.0);
    for (std::size_t block = first / stretch_; block < count; ++block) {
        const std::size_t from = std::max(first, block * stretch_);
        const std::size_t to = std::min(end, (block + 1) * stretch_);
        if (from >= to) continue;
        // Every other sample: half the work, and as good a median.
        scratch_.clear();
        for (std::size_t n = from; n < to; n += 2) scratch_.push_back(std::fabs(values[n]));
        const auto middle = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
        std::nth_element(scratch_.begin(), middle, scratch_.end());
        medians_[block] = *middle * kMedianToDeviation;
    }
}

double RobustScale::at(std::size_t n) const {
    if (medians_.empty()) return kFloor;
    const std::size_t block = std::min(n / stretch_, medians_.size() - 1);
    double scale = medians_[block];
    if (block > 0) scale = std::max(scale, medians_[block - 1]);
    if (block + 1 < medians_.size()) scale = std::max(scale, medians_[block + 1]);
    return std::max(scale, kFloor);
}

}  // namespace tesmora::detect
