// What the repair's straight line itself misses of the sound, and where a
// confirmed range's ends let it miss least (the range's line, not its
// evidence).
#include <algorithm>
#include <cmath>

#include "ar_model.h"
#include "selection.h"
#include "window_scanner.h"

namespace tesmora::detect {

double WindowScanner::lineMissOfSound(std::size_t from, std::size_t to) const {
    // A straight line between two samples of the sound as far apart as the
    // selection's ends, just before it and just after it (the clicks found
    // so far filled): what it misses the sound by there is about what the
    // repair's line removes of the sound under the range. The smaller of the
    // two, for the sound may change at the range; 0 where a side is missing.
    const std::size_t width = to - from;
    if (from < width || to + width >= count_) return 0;
    const auto miss = [this, width](std::size_t first) {
        const double slope = (cleaned_[first + width] - cleaned_[first]) / static_cast<double>(width);
        double energy = 0;
        for (std::size_t n = first + 1; n < first + width; ++n) {
            const double off = cleaned_[n] - cleaned_[first] - slope * static_cast<double>(n - first);
            energy += off * off;
        }
        return energy;
    };
    return std::min(miss(from - width), miss(to));
}

bool WindowScanner::lineRemovesMoreSound(const LineEffect& effect, std::size_t from, std::size_t to) const {
    // The damage the line removes is what the samples depart from the
    // interpolation by, less what the interpolation misses the sound by
    // itself over as many samples; a line that misses the sound around by
    // more than a share of that leaves the channel further from its sound
    // than the damage did, however well it fits the interpolation (which
    // across a long range strays towards a smooth guess, as the line does).
    // Where the model's error around is like white noise, the line misses
    // mostly that noise, which any repair misses as much: the rule holds only
    // where the sound around has a course the line cuts through.
    if (settings_.lineMissShare <= 0) return false;
    const double allowed = lineMissOfSound(from, to) / settings_.lineMissShare;
    if (allowed <= 0) return false;
    if (allowed <= effect.before && allowed <= effect.before - interpolationMiss(from, to, cleaned_)) return false;
    return !noiseLikeAround((from + to) / 2);
}

bool WindowScanner::coreHoldsAtEnd(const SampleSpan& selection, const std::vector<double>& guess) const {
    // The mean over a core's mean run, as the core's end is followed: a
    // single sample strays with the sound.
    const auto from = static_cast<std::size_t>(selection.first);
    const std::size_t run = settings_.coreMeanRun;
    if (run == 0 || guess.size() < 2 * run) return false;
    double largest = 0;
    for (std::size_t i = 0; i < guess.size(); ++i) {
        const double off = signal_[from + 1 + i] - guess[i];
        if (std::fabs(off) > std::fabs(largest)) largest = off;
    }
    double sum = 0;
    for (std::size_t i = guess.size() - run; i < guess.size(); ++i) sum += signal_[from + 1 + i] - guess[i];
    return (largest > 0 ? sum : -sum) >= settings_.coreOfPeak * std::fabs(largest) * static_cast<double>(run);
}

void WindowScanner::settleEnds(Candidate& range) const {
    // The line starts and ends on the samples at the selection's ends: one
    // a sample or two further out may lie where the sound's course carries
    // the line closer to the sound inside (and not on the damage's last
    // low samples). Each end moves out by up to endSettle samples where the
    // line across then leaves the least against the interpolation across
    // the widest of these selections. Never inwards: the range still covers
    // all it covered.
    const std::size_t reach = settings_.endSettle;
    const auto p = static_cast<std::size_t>(settings_.order);
    if (reach == 0) return;
    const SampleSpan selection = selectionAround({range.first, range.last}, count_);
    if (selection.first < reach + p + 1 || selection.last + reach + p + 1 >= count_) return;
    const auto from = static_cast<std::size_t>(selection.first) - reach;
    const auto to = static_cast<std::size_t>(selection.last) + reach;
    const std::vector<double> guess = gaps_.interpolate(cleaned_.data(), count_, from + 1, to - 1);
    if (guess.size() != to - from - 1) return;
    // Samples outside a selection stay as they are: each is judged by what
    // its line changes, the gain against the interpolation. An end moves only
    // where that gain clearly beats the best placement so far: a slightly
    // better fit is as likely the sound's own wobble as the damage's edge.
    double best = 0;
    std::size_t earlier = 0;
    std::size_t later = 0;
    for (std::size_t before = 0; before <= reach; ++before) {
        for (std::size_t after = 0; after <= reach; ++after) {
            const SampleSpan moved{selection.first - before, selection.last + after};
            const auto start = guess.begin() + static_cast<std::ptrdiff_t>(reach - before);
            const std::vector<double> part(start, start + static_cast<std::ptrdiff_t>(moved.last - moved.first - 1));
            const LineEffect effect = lineEffect(moved, part);
            const double change = effect.after - effect.before;
            const bool unmoved = before == 0 && after == 0;
            if (unmoved || change < best - settings_.endSettleGain * std::fabs(best)) {
                best = change;
                earlier = before;
                later = after;
            }
        }
    }
    range.first -= earlier;
    range.last += later;
}

Damage WindowScanner::reported(Candidate range, const WindowPlace& place) const {
    settleEnds(range);
    return {{place.start + range.first, place.start + range.last}, range.score};
}

}  // namespace tesmora::detect
