// The search for a confirmed click's next strikes where a scratch would put
// them, a revolution on (revolution_echo.h).
#include <algorithm>
#include <cmath>

#include "window_scanner.h"

namespace tesmora::detect {

void WindowScanner::findRepeatCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before) const {
    if (repeatLooks_ == nullptr || repeatLooks_->empty()) return;
    // The click's shape d is a matched template: the two-sided error is the
    // forward error filtered by the reversed model, so its correlation with
    // d is that of the forward error with d through the model, and over
    // white error of deviation s it spreads as s times the norm of d through
    // the model. The full search tries every sample of the signal, a look a
    // few hundred: matched to a dozen shapes at every sample, 30 squared
    // deviations (a chance of 2e-8 a place) give about half a chance find a
    // minute before judging; the looks of some tens of clicks a minute try
    // some 600 times fewer places, and the same chance allows 600 times
    // that a place: 18 squared deviations (4.2). The bar is 22 (4.7): the
    // error of music is not white, and its own events repeat at a
    // revolution's period too (a beat at 90 or 100 bpm spans 0.67 or
    // 0.6 s); at 18 the records drew more chance finds. What stands out is
    // judged as any click is.
    const auto p = static_cast<std::size_t>(settings_.order);
    const double bar = std::sqrt(settings_.repeatThreshold);
    const std::size_t end = count_ > p ? count_ - p : 0;
    for (const RepeatLook& look : *repeatLooks_) {
        const std::vector<double>& shape = *look.shape;
        const std::size_t width = shape.size();
        double energy = 0;
        for (std::size_t n = 0; n < width + p; ++n) {
            double e = 0;
            for (std::size_t k = n >= width ? n - width + 1 : 0; k <= std::min(n, p); ++k)
                e += model_[k] * shape[n - k];
            energy += e * e;
        }
        if (energy <= 0) continue;
        const double norm = std::sqrt(energy);
        double best = 0;
        double bestSum = 0;
        std::size_t bestAt = 0;
        for (std::size_t t = look.from; t <= look.to && t + width <= end; ++t) {
            double sum = 0;
            for (std::size_t i = 0; i < width; ++i) sum += shape[i] * matched_[t + i];
            const double deviations = sum / (norm * forwardScale_.at(t + width / 2));
            if (deviations > best) {
                best = deviations;
                bestSum = sum;
                bestAt = t;
            }
        }
        // A best at the look's edge is no peak: the match still rises past
        // where a strike may lie.
        if (best < bar || ((bestAt == look.from || bestAt == look.to) && look.from < look.to)) continue;
        // A scratch strikes with about the same force each revolution: the
        // shape fitted at a fifth of its size or less, or five times or
        // more, is the sound's own event that the shape happens to fit ...
        // unless the match stands three times over the bar, which the
        // records' music met about once in half an hour of a channel (the
        // scratches' strikes far oftener): the shape kept is the departure
        // from a line across the first strike, which holds the line's own
        // error too, and the strikes matched there fitted at 0.01 to 0.3
        // of that shape.
        const bool proven = best >= settings_.repeatProves * bar;
        const double gain = bestSum / energy;
        if (!proven && (gain * 5 <= 1 || gain >= 5)) continue;
        // The candidate is the shape's core, where it departs by a quarter
        // of its peak, at the best place.
        std::size_t peak = 0;
        for (std::size_t i = 1; i < width; ++i) {
            if (std::fabs(shape[i]) > std::fabs(shape[peak])) peak = i;
        }
        const double quarter = 0.25 * std::fabs(shape[peak]);
        std::size_t first = peak;
        std::size_t last = peak;
        for (std::size_t i = 0; i < width; ++i) {
            if (std::fabs(shape[i]) < quarter) continue;
            first = std::min(first, i);
            last = std::max(last, i);
        }
        Candidate candidate{bestAt + first, bestAt + last, bestAt + peak, best / bar, false};
        if (proven) candidate.repeatProof = best / bar;
        const SampleSpan span{candidate.first, candidate.last};
        if (nearAny(found, span)) continue;
        // Where the search found a candidate itself, the match proves it at
        // a lower bar (two causes agree): judged as any click first, and if
        // refused there, judged again as a proven strike (confirmRepeats).
        if (const Candidate* known = nearOne(before, span)) {
            if (best < settings_.repeatFoundProves * bar) continue;
            candidate = *known;
            candidate.repeatProof = best / bar;
        }
        found.push_back(candidate);
    }
}

void WindowScanner::confirmRepeats(const std::vector<Candidate>& repeats, const WindowPlace& place,
                                   std::size_t foundBefore, std::vector<Damage>& found) const {
    const std::size_t gap = settings_.mergeGap + static_cast<std::size_t>(settings_.order);
    for (Candidate c : repeats) {
        const std::uint64_t peak = place.start + c.peak;
        if (peak < place.decideFirst || peak >= place.decideEnd) continue;
        const bool near =
            std::any_of(found.begin() + static_cast<std::ptrdiff_t>(foundBefore), found.end(), [&](const Damage& d) {
                return d.span.first <= place.start + c.last + gap && d.span.last + gap >= place.start + c.first;
            });
        if (near || !confirm(c, departure(c))) continue;
        // The shape matched is no wider than the longest click: a range the
        // judge runs on far past that (half as far again) is the sound's,
        // not the strike's.
        if (2 * (c.last - c.first + 1) <= 3 * settings_.maxWidth) found.push_back(reported(c, place));
    }
}

std::vector<double> WindowScanner::departureOver(const SampleSpan& span, const WindowPlace& place) {
    const auto p = static_cast<std::size_t>(settings_.order);
    if (span.first < place.start + p || span.last + p >= place.start + count_ ||
        span.last - span.first + 1 > settings_.maxWidth) {
        return {};
    }
    const auto first = static_cast<std::size_t>(span.first - place.start);
    const auto last = static_cast<std::size_t>(span.last - place.start);
    std::vector<double> shape = gaps_.interpolate(signal_.data(), count_, first, last);
    for (std::size_t i = 0; i < shape.size(); ++i) shape[i] = signal_[first + i] - shape[i];
    return shape;
}

}  // namespace tesmora::detect
