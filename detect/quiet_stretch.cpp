// The errors of quiet stretches beside loud ones, from a model of the
// stretch itself. At a low rate a window spans seconds: a voice's loud
// syllables shape its model, and in a quiet or unvoiced stretch beside them
// that model leaves an error several times what the stretch's own leaves, so
// that a click of 15 times the stretch's level stands a few deviations out
// of it, not ten.
#include <algorithm>
#include <cmath>

#include "ar_model.h"
#include "window_scanner.h"

namespace tesmora::detect {

namespace {

// The median of |x| is 0.6745 standard deviations for Gaussian x.
constexpr double kMedianToDeviation = 1 / 0.6745;

double rootMeanSquareOf(const double* x, std::size_t from, std::size_t to) {
    if (from >= to) return 0;
    double sum = 0;
    for (std::size_t n = from; n < to; ++n) sum += x[n] * x[n];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// The median magnitude of x[from, to): a level a click in it does not raise.
double medianMagnitude(const double* x, std::size_t from, std::size_t to, std::vector<double>& scratch) {
    scratch.clear();
    for (std::size_t n = from; n < to; ++n) scratch.push_back(std::fabs(x[n]));
    if (scratch.empty()) return 0;
    const auto middle = scratch.begin() + static_cast<std::ptrdiff_t>(scratch.size() / 2);
    std::nth_element(scratch.begin(), middle, scratch.end());
    return *middle;
}

}  // namespace

bool WindowScanner::modelQuietStretches() {
    const std::size_t stretch = settings_.quietStretch;
    const std::size_t context = settings_.quietContext;
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t n = count_;
    if (stretch == 0) return false;
    const double quiet = settings_.quietLevel * rootMeanSquareOf(cleaned_.data(), 0, n);
    std::vector<double>& scratch = quietScratch_;
    std::vector<double>& fitted = quietFitted_;
    std::vector<double>& localForward = quietForward_;
    std::vector<double>& localMatched = quietMatched_;
    bool any = false;
    for (std::size_t s = context + 2 * p; s + stretch + context + 2 * p <= n; s += stretch) {
        if (rootMeanSquareOf(cleaned_.data(), s, s + stretch) >= quiet) continue;
        const double blockError = medianMagnitude(forward_.data(), s, s + stretch, scratch);
        if (blockError < settings_.quietPoorFit * medianMagnitude(cleaned_.data(), s, s + stretch, scratch)) continue;
        // The stretch's model, fitted with its context; its loudest samples
        // (a click) clipped, for over so few samples a click would shape it.
        const std::size_t from = s - context;
        const std::size_t width = stretch + 2 * context;
        fitted.assign(cleaned_.begin() + static_cast<std::ptrdiff_t>(from),
                      cleaned_.begin() + static_cast<std::ptrdiff_t>(from + width));
        const double bound =
            settings_.quietClip * medianMagnitude(fitted.data(), 0, width, scratch) * kMedianToDeviation;
        for (double& v : fitted) v = std::clamp(v, -bound, bound);
        const std::vector<double> local = fitPredictor(fitted.data(), width, settings_.order);
        localForward.resize(width);
        forwardError(cleaned_.data() + from, width, local, localForward.data());
        const double localError = medianMagnitude(localForward.data(), context, context + stretch, scratch);
        if (blockError < settings_.quietMisfit * localError) continue;
        localMatched.resize(width);
        reversedFilter(localForward.data(), width, local, localMatched.data());
        const auto at = static_cast<std::ptrdiff_t>(s);
        const auto in = static_cast<std::ptrdiff_t>(context);
        std::copy_n(localForward.begin() + in, stretch, forward_.begin() + at);
        std::copy_n(localMatched.begin() + in, stretch, matched_.begin() + at);
        any = true;
    }
    return any;
}

bool WindowScanner::startsInQuietStretch(const Candidate& candidate) const {
    if (blockScore_.empty()) return false;
    for (std::size_t i = candidate.first; i <= candidate.last; ++i) {
        if (blockScore_[i] > settings_.threshold) return false;
    }
    // Found by a quiet stretch's own model alone. A click leaves the sound
    // as it was; a consonant's burst in a pause starts a louder sound. The
    // level before is taken a longest click back: a burst's first samples
    // are often a candidate of their own.
    const std::size_t span = settings_.quietLevelSpan;
    const std::size_t gap = settings_.maxWidth;
    const std::size_t beforeEnd = candidate.first > gap ? candidate.first - gap : 0;
    const std::size_t from = beforeEnd > span ? beforeEnd - span : 0;
    const std::size_t to = std::min(count_, candidate.last + 1 + span);
    const double before = rootMeanSquareOf(cleaned_.data(), from, beforeEnd);
    const double after = rootMeanSquareOf(cleaned_.data(), candidate.last + 1, to);
    return after > settings_.quietRise * before;
}

}  // namespace tesmora::detect
