#include "robust_scale.h"

#include <algorithm>
#include <cmath>

#include "four_doubles.h"

namespace tesmora::detect {

namespace {

// The median of |x| is 0.6745 standard deviations for Gaussian x.
constexpr double kMedianToDeviation = 1 / 0.6745;
// Below this the error is the quantisation of 16-bit samples and nothing else.
constexpr double kFloor = 0.5;
// Brackets around guesses of the median tried at once.
constexpr std::size_t kBrackets = 4;
// How far the median may stray from a guess and still be found among the
// values near it only: the last measure's of the same stretch (a refit
// moves it by a few per cent at most, mostly far less), or the stretch
// before's. Each guess is tried with a narrow bracket and a wider one in the
// same pass over the values; the narrowest that holds the median is
// ordered. Any bracket gives the same, exact median.
constexpr double kNearLast[] = {1.02, 1.1};
constexpr double kNearBefore[] = {1.15, 1.5};

// For each bracket [low[b], high[b]]: how many values lie below it, and how
// many up to its top. Counted for all brackets in one pass the compiler
// turns into vectors (AVX2 where the processor has it).
__attribute__((target_clones("avx2", "default"))) void countAround(const double* values, std::size_t count,
                                                                   const double* low, const double* high,
                                                                   std::size_t* below, std::size_t* upTo) {
    for (std::size_t b = 0; b < kBrackets; ++b) {
        std::size_t under = 0;
        std::size_t within = 0;
        for (std::size_t n = 0; n < count; ++n) {
            under += values[n] < low[b] ? 1 : 0;
            within += values[n] <= high[b] ? 1 : 0;
        }
        below[b] = under;
        upTo[b] = within;
    }
}

// Copies the values within [low, high] to within, in order; answers how
// many. A narrow bracket holds a few of them: most groups of four are
// passed over after one test of all four at once.
__attribute__((target_clones("avx2", "default"))) std::size_t gatherWithin(const double* values, std::size_t count,
                                                                           double low, double high, double* within) {
    const FourDoubles lows = {low, low, low, low};
    const FourDoubles highs = {high, high, high, high};
    std::size_t inside = 0;
    std::size_t n = 0;
    for (; n + 4 <= count; n += 4) {
        FourDoubles four;
        loadFour(four, values + n);
        const FourMasks in = (four >= lows) & (four <= highs);
        if ((in[0] | in[1] | in[2] | in[3]) == 0) continue;
        for (std::size_t j = 0; j < 4; ++j) {
            within[inside] = values[n + j];
            inside += in[j] != 0 ? 1 : 0;
        }
    }
    for (; n < count; ++n) {
        within[inside] = values[n];
        inside += values[n] >= low && values[n] <= high ? 1 : 0;
    }
    return inside;
}

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
        if (!middleNear(last, before, median)) median = middle();
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

bool RobustScale::middleNear(double last, double before, double& value) {
    // When the middle value lies within a bracket around a guess, only the
    // values in the bracket need ordering. The answer is exact either way.
    // A bracket with no guess (low above high) holds nothing.
    double low[kBrackets];
    double high[kBrackets];
    const double guesses[kBrackets] = {last, last, before, before};
    const double widths[kBrackets] = {kNearLast[0], kNearLast[1], kNearBefore[0], kNearBefore[1]};
    bool anyGuess = false;
    for (std::size_t b = 0; b < kBrackets; ++b) {
        const bool guessed = guesses[b] > 0;
        anyGuess = anyGuess || guessed;
        low[b] = guessed ? guesses[b] / widths[b] : HUGE_VAL;
        high[b] = guessed ? guesses[b] * widths[b] : -HUGE_VAL;
    }
    if (!anyGuess) return false;
    std::size_t below[kBrackets];
    std::size_t upTo[kBrackets];
    countAround(scratch_.data(), scratch_.size(), low, high, below, upTo);
    const std::size_t half = scratch_.size() / 2;
    std::size_t chosen = kBrackets;
    for (std::size_t b = 0; b < kBrackets; ++b) {
        const bool holds = below[b] <= half && half < upTo[b];
        if (holds && (chosen == kBrackets || upTo[b] - below[b] < upTo[chosen] - below[chosen])) chosen = b;
    }
    if (chosen == kBrackets) return false;
    bracket_.resize(scratch_.size());
    const std::size_t inside =
        gatherWithin(scratch_.data(), scratch_.size(), low[chosen], high[chosen], bracket_.data());
    const auto place = bracket_.begin() + static_cast<std::ptrdiff_t>(half - below[chosen]);
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
