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
#include <numeric>

#include "ar_model.h"
#include "window_scanner.h"

namespace tesmora::detect {

namespace {

// The raw widths matched, in samples: about two to an octave.
constexpr std::array<std::size_t, 11> kRawWidths = {1, 2, 3, 4, 6, 8, 11, 16, 23, 32, 45};

struct WidthMatch {
    double norm = 0;        // the deviation of the correlation where the error is white of unit deviation
    std::size_t coreEnd = 0;  // the core's last sample, counted from the raw defect's first
};

// The pulse of a raw defect width samples wide through the de-emphasis (the
// impulse's shape summed over the width), as the model filters it.
WidthMatch matchOfWidth(const std::vector<double>& impulse, std::size_t width, const std::vector<double>& model) {
    const auto p = model.size() - 1;
    std::vector<double> shape(p + impulse.size() + width, 0.0);
    for (std::size_t j = 0; j < width; ++j) {
        for (std::size_t t = 0; t < impulse.size(); ++t) shape[p + j + t] += impulse[t];
    }
    const double peak = *std::max_element(shape.begin(), shape.end());
    WidthMatch match;
    for (std::size_t k = p; k < shape.size(); ++k) {
        if (shape[k] >= 0.25 * peak) match.coreEnd = k - p;
    }
    std::vector<double> error(shape.size());
    forwardError(shape.data(), shape.size(), model, error.data());
    match.norm = std::sqrt(std::inner_product(error.begin(), error.end(), error.begin(), 0.0));
    return match;
}

}  // namespace

void WindowScanner::findNoisePulseCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before) const {
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t n = count_;
    if (settings_.pulseThreshold <= 0 || pulseShape_.empty() || n < 4 * p + settings_.maxWidth) return;
    // The correlation with a pulse of raw width W from i is the sum of the
    // impulse's over [i, i + W): running sums of it.
    std::vector<double> running(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) running[i + 1] = running[i] + pulseSum_[i];
    std::vector<double> score(n, 0.0);
    std::vector<std::size_t> best(n, 0);
    const double threshold = std::sqrt(settings_.noisePulseThreshold);
    const double* scale = forwardScale_.bySample();
    const std::size_t end = n - 2 * p - settings_.maxWidth;
    std::vector<WidthMatch> matches;
    for (const std::size_t width : kRawWidths) {
        const WidthMatch match = matchOfWidth(pulseShape_, width, model_);
        // A core as long as the longest click is judged as a sound.
        if (match.norm <= 0 || match.coreEnd + 2 >= settings_.maxWidth) break;
        const std::size_t k = matches.size();
        matches.push_back(match);
        for (std::size_t i = 2 * p; i < end; ++i) {
            const double z = std::fabs(running[i + width] - running[i]) / (match.norm * scale[i]);
            if (z > threshold && z > score[i]) {
                score[i] = z;
                best[i] = k;
            }
        }
    }
    const std::size_t known = found.size();
    std::size_t i = 2 * p;
    while (i < end) {
        if (score[i] <= threshold) {
            ++i;
            continue;
        }
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
        Candidate candidate{start - 1, start + matches[best[start]].coreEnd, start,
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
