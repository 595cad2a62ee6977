// Faint pulses in noise-like sound (surface noise, hiss, rain). There the
// error of a pulse's samples is about as large as the error around it, and
// no one sample stands out; but where that error is white Gaussian noise,
// the error correlated with the pulse's whole shape as the model filters it
// has a known deviation, and a pulse of 3 to 5 times the sound's RMS stands
// several deviations out. A defect of the groove has a raw width of its own
// (tens of microseconds to milliseconds), which the de-emphasis smooths into
// a rise over that width, then the spike's two decays: matched to a few such
// widths, the best one tells where the pulse starts and where its core (down
// to a quarter of its peak) ends, which no error's threshold finds there.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "first_above.h"
#include "window_scanner.h"

namespace tesmora::detect {

namespace {

// The raw widths matched, in samples: about two to an octave.
constexpr std::array<std::size_t, 11> kRawWidths = {1, 2, 3, 4, 6, 8, 11, 16, 23, 32, 45};

// The pulse of raw width width made from the impulse's response (the
// filters are linear): the response summed over the width.
std::vector<double> overWidth(const std::vector<double>& impulse, std::size_t width) {
    std::vector<double> shape(impulse.size() + width);
    double sum = 0;
    for (std::size_t k = 0; k < shape.size(); ++k) {
        if (k < impulse.size()) sum += impulse[k];
        if (k >= width) sum -= impulse[k - width];
        shape[k] = sum;
    }
    return shape;
}

// The deviation of the correlation with the pulse of raw width width, where
// the error is white of unit deviation: the energy of that pulse's own
// forward error, made as overWidth makes it and squared and summed as it is
// made, with no buffer (this runs every window).
double normOfWidth(const std::vector<double>& impulseError, std::size_t width) {
    double sum = 0;
    double energy = 0;
    for (std::size_t k = 0; k < impulseError.size() + width; ++k) {
        if (k < impulseError.size()) sum += impulseError[k];
        if (k >= width) sum -= impulseError[k - width];
        energy += sum * sum;
    }
    return std::sqrt(energy);
}

// The last sample of the core (down to a quarter of its peak) of the pulse
// of raw width width through the de-emphasis, counted from the raw defect's
// first.
std::size_t coreEndOfWidth(const std::vector<double>& impulse, std::size_t width) {
    const std::vector<double> shape = overWidth(impulse, width);
    const double peak = *std::max_element(shape.begin(), shape.end());
    std::size_t end = 0;
    for (std::size_t k = 0; k < shape.size(); ++k) {
        if (shape[k] >= 0.25 * peak) end = k;
    }
    return end;
}

// The widths matched in a window, each with the inverse of its norm; the
// widths not matched stay 0, so the pulse they match is empty.
struct MatchedWidths {
    std::array<std::size_t, kRawWidths.size()> width{};
    std::array<double, kRawWidths.size()> inverseNorm{};
    std::size_t count = 0;
};

// Sets mark[i] to the number of widths whose correlation from i, before it
// is divided by scale[i], exceeds limitPerScale times scale[i] (or to 1 where
// that bound is too small to be trusted), else to 0: a sample marked 0
// cannot reach the threshold, and its quotients are never divided out. Four
// i at a time where the processor can.
__attribute__((target_clones("avx2", "default"))) void markReachable(const double* later, const double* scale,
                                                                     std::size_t from, std::size_t end,
                                                                     MatchedWidths widths, double limitPerScale,
                                                                     double* __restrict mark) {
    for (std::size_t i = from; i < end; ++i) {
        const double limit = limitPerScale * scale[i];
        double above = limit >= std::numeric_limits<double>::min() ? 0.0 : 1.0;
        for (std::size_t k = 0; k < kRawWidths.size(); ++k) {
            const double product = std::fabs(later[i] - later[i + widths.width[k]]) * widths.inverseNorm[k];
            above += product <= limit ? 0.0 : 1.0;
        }
        mark[i] = above;
    }
}

// The best correlation over the widths matched from i, in deviations, and
// which width gives it (the first of equals).
void bestOfWidths(const double* later, const double* scale, std::size_t i, const MatchedWidths& widths, double& score,
                  double& which) {
    for (std::size_t k = 0; k < widths.count; ++k) {
        const double z = std::fabs(later[i] - later[i + widths.width[k]]) * widths.inverseNorm[k] / scale[i];
        if (k == 0 || z > score) {
            score = z;
            which = static_cast<double>(k);
        }
    }
}

}  // namespace

void WindowScanner::findNoisePulseCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before) {
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t n = count_;
    if (settings_.pulseThreshold <= 0 || pulseShape_.empty() || n < 4 * p + settings_.maxWidth) return;
    // The correlation with a pulse of raw width W from i is the sum of the
    // impulse's over [i, i + W): the difference of its sums from i and from
    // i + W on. The buffers are kept from window to window.
    noiseScore_.resize(n);
    noiseWidth_.resize(n);
    const std::vector<double>& score = noiseScore_;
    const double threshold = std::sqrt(settings_.noisePulseThreshold);
    const std::size_t end = n - 2 * p - settings_.maxWidth;
    // The cores' ends do not depend on the model: found once.
    if (noiseCoreEnds_.empty()) {
        noiseCoreEnds_.resize(kRawWidths.size());
        std::transform(kRawWidths.begin(), kRawWidths.end(), noiseCoreEnds_.begin(),
                       [this](std::size_t width) { return coreEndOfWidth(pulseShape_, width); });
    }
    MatchedWidths widths;
    for (std::size_t k = 0; k < kRawWidths.size(); ++k) {
        // A core as long as the longest click is judged as a sound.
        const double norm = normOfWidth(pulseShapeError_, kRawWidths[k]);
        if (norm <= 0 || noiseCoreEnds_[k] + 2 >= settings_.maxWidth) break;
        widths.width[k] = kRawWidths[k];
        widths.inverseNorm[k] = 1 / norm;
        ++widths.count;
    }
    if (widths.count == 0) return;
    // Most samples are far below the threshold: a product against the
    // threshold, lowered by far more than any rounding, rules them out, and
    // the quotients are divided out only where a sample may pass (the rest
    // are 0).
    const double* later = pulseSuffix_.data();
    const double* scale = forwardScale_.bySample();
    markReachable(later, scale, 2 * p, end, widths, threshold * (1 - 1e-9), noiseScore_.data());
    for (std::size_t i = firstAbove(noiseScore_.data(), 2 * p, end, 0.0); i < end;
         i = firstAbove(noiseScore_.data(), i + 1, end, 0.0)) {
        bestOfWidths(later, scale, i, widths, noiseScore_[i], noiseWidth_[i]);
    }
    const std::size_t known = found.size();
    std::size_t i = 2 * p;
    while (i < end) {
        i = firstAbove(score.data(), i, end, threshold);
        if (i == end) break;
        // The strongest of the samples above the threshold that lie fewer
        // than the model's order apart.
        std::size_t start = i;
        std::size_t stop = i + 1;
        for (std::size_t j = i + 1; j < end && j < stop + p; ++j) {
            if (score[j] <= threshold) continue;
            stop = j + 1;
            if (score[j] > score[start]) start = j;
        }
        i = stop;
        // Within the longest click of one found, the pulse matched is that
        // click or its own tail.
        const std::size_t reach = settings_.maxWidth;
        const auto near = [&](const Candidate& c) { return c.first <= start + reach && c.last + reach >= start; };
        if (std::any_of(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(known), near) ||
            std::any_of(before.begin(), before.end(), near) || !noiseLikeAround(start)) {
            continue;
        }
        // The sum stays high a sample either side of the start: the range
        // starts a sample early, lest it start inside the pulse.
        Candidate candidate{start - 1, start + noiseCoreEnds_[static_cast<std::size_t>(noiseWidth_[start])], start,
                            score[start] * settings_.threshold / threshold, false};
        for (std::size_t k = start; k <= candidate.last; ++k) {
            if (std::fabs(forward_[k]) > std::fabs(forward_[candidate.peak])) candidate.peak = k;
        }
        candidate.byPulse = true;
        candidate.inNoise = true;
        found.push_back(candidate);
        i = std::max(i, candidate.last + 1);
    }
}

}  // namespace tesmora::detect
