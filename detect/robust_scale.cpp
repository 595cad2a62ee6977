#include "robust_scale.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>

#include "four_doubles.h"

namespace tesmora::detect {

namespace {

// The median of |x| is 0.6745 standard deviations for Gaussian x.
constexpr double kMedianToDeviation = 1 / 0.6745;
// Below this the error is the quantisation of 16-bit samples and nothing else.
constexpr double kFloor = 0.5;
// How far the median may stray from a guess and still be found among the
// values near it only: the last measure's of the same stretch (a refit
// moves it by a few per cent at most, mostly far less), or the stretch
// before's. Each guess is tried with a narrow bracket and a wider one in the
// same pass over the values; the narrowest that holds the median is
// ordered. Any bracket gives the same, exact median.
constexpr double kNearLast[] = {1.02, 1.1};
constexpr double kNearBefore[] = {1.15, 1.5};
// Where no guess holds it: around the median of Gaussian values, 0.845 of
// their mean magnitude, in brackets wide enough for the heavier tails of
// music's error.
constexpr double kMedianOfMean = 0.845;
constexpr double kNearMean[] = {1.1, 1.3, 1.7, 3};
// A bracket holding more values than this is narrowed once more before
// they are ordered: around where the middle value's rank falls among them,
// were they spread evenly, by this many times their mean spacing.
constexpr std::size_t kFewEnough = 24;
constexpr double kSpacings[] = {3, 6, 12, 24};

// For each bracket [low[b], high[b]]: how many values lie below it, and how
// many up to its top. Counted for all brackets in one pass the compiler
// turns into vectors (AVX2 where the processor has it).
__attribute__((target_clones("avx2", "default"))) void countAround(const double* values, std::size_t count,
                                                                   const double* low, const double* high,
                                                                   std::size_t brackets, std::size_t* below,
                                                                   std::size_t* upTo) {
    for (std::size_t b = 0; b < brackets; ++b) {
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
        if (!anyLane(in)) continue;
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
        scratch_.resize((to - from + 1) / 2);
        for (std::size_t i = 0; i < scratch_.size(); ++i) scratch_[i] = std::fabs(values[from + 2 * i]);
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
    const double guesses[kBrackets] = {last, last, before, before};
    const double widths[kBrackets] = {kNearLast[0], kNearLast[1], kNearBefore[0], kNearBefore[1]};
    Brackets brackets;
    bool anyGuess = false;
    for (std::size_t b = 0; b < kBrackets; ++b) {
        const bool guessed = guesses[b] > 0;
        anyGuess = anyGuess || guessed;
        brackets.low[b] = guessed ? guesses[b] / widths[b] : HUGE_VAL;
        brackets.high[b] = guessed ? guesses[b] * widths[b] : -HUGE_VAL;
    }
    return anyGuess && rankWithin(scratch_.data(), scratch_.size(), scratch_.size() / 2, brackets, value);
}

double RobustScale::middle() {
    static_assert(std::size(kNearMean) == kBrackets && std::size(kSpacings) == kBrackets);
    const std::size_t half = scratch_.size() / 2;
    const double sum = std::accumulate(scratch_.begin(), scratch_.end(), 0.0);
    const double guess = kMedianOfMean * sum / static_cast<double>(scratch_.size());
    Brackets brackets;
    for (std::size_t b = 0; b < kBrackets; ++b) {
        brackets.low[b] = guess / kNearMean[b];
        brackets.high[b] = guess * kNearMean[b];
    }
    double value = 0;
    if (guess > 0 && rankWithin(scratch_.data(), scratch_.size(), half, brackets, value)) return value;
    const auto place = scratch_.begin() + static_cast<std::ptrdiff_t>(half);
    std::nth_element(scratch_.begin(), place, scratch_.end());
    return *place;
}

bool RobustScale::rankWithin(const double* values, std::size_t count, std::size_t rank, const Brackets& brackets,
                             double& value, bool narrowed) {
    std::size_t below[kBrackets];
    std::size_t upTo[kBrackets];
    countAround(values, count, brackets.low, brackets.high, kBrackets, below, upTo);
    std::size_t chosen = kBrackets;
    for (std::size_t b = 0; b < kBrackets; ++b) {
        const bool holds = below[b] <= rank && rank < upTo[b];
        if (holds && (chosen == kBrackets || upTo[b] - below[b] < upTo[chosen] - below[chosen])) chosen = b;
    }
    if (chosen == kBrackets) return false;
    const double low = brackets.low[chosen];
    const double high = brackets.high[chosen];
    const std::size_t inside = upTo[chosen] - below[chosen];
    const std::size_t place = rank - below[chosen];
    if (inside > kFewEnough && !narrowed) {
        // Many: brackets around where the rank falls among them, were they
        // spread evenly, counted again (a pass cheaper than ordering them).
        const double spacing = (high - low) / static_cast<double>(inside);
        const double guess = low + spacing * (static_cast<double>(place) + 0.5);
        Brackets narrower;
        for (std::size_t b = 0; b < kBrackets; ++b) {
            narrower.low[b] = guess - spacing * kSpacings[b];
            narrower.high[b] = guess + spacing * kSpacings[b];
        }
        if (rankWithin(values, count, rank, narrower, value, true)) return true;
    }
    bracket_.resize(count);
    const std::size_t gathered = gatherWithin(values, count, low, high, bracket_.data());
    const auto ranked = bracket_.begin() + static_cast<std::ptrdiff_t>(place);
    std::nth_element(bracket_.begin(), ranked, bracket_.begin() + static_cast<std::ptrdiff_t>(gathered));
    value = *ranked;
    return true;
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
