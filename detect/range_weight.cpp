// The last judge of a confirmed range: whether its damage outweighs what the
// repair's line would remove of the sound's own shape with it.
#include <algorithm>
#include <cmath>

#include "ar_model.h"
#include "window_scanner.h"

namespace tesmora::detect {

bool WindowScanner::outweighsSound(const Candidate& range) const {
    const std::size_t width = range.last - range.first + 1;
    // In a signal of two channels or more the other channel judges the
    // music's own events (a drum hit holds the channels' relation, a click
    // does not: channel_match.h), and the attack's rule below is not asked:
    // a click in both channels rings to both sides of the guess before the
    // music's body as well.
    const bool attackAsked = settings_.attackGainOverMiss > 0 && 2 * width > settings_.maxWidth && partner_.empty();
    if (settings_.soundEnergyShare <= 0 && !attackAsked) return true;
    const auto p = static_cast<std::size_t>(settings_.order);
    const SampleSpan selection = selectionAround({range.first, range.last}, count_);
    if (selection.first < p || selection.last + p >= count_) return true;
    const std::vector<double> across = interpolateGap(cleaned_.data(), count_, model_, range.first, range.last);
    double energy = 0;
    double highest = 0;
    double lowest = 0;
    for (std::size_t i = 0; i < across.size(); ++i) {
        const double away = signal_[range.first + i] - across[i];
        energy += away * away;
        highest = std::max(highest, away);
        lowest = std::min(lowest, away);
    }
    // Where the line is not judged against what the interpolation misses
    // the sound by (at a low rate), the sound's own energy over the range
    // stands in for that miss: damage whose samples depart from the guess,
    // on the mean, little more than the sound's RMS about it is as likely a
    // rough stretch of the sound (a voice's buzz, a word's fading end) the
    // model predicts ill, and its line removes as much sound as damage.
    if (settings_.soundEnergyShare > 0) {
        const SoundLevels levels = levelsAround(range, range, cleaned_);
        const double level = std::max(levels.before, levels.after);
        if (energy <= settings_.soundEnergyShare * static_cast<double>(width) * level * level) return false;
    }
    // A drum hit or a pluck: a sharp attack, then the body of the sound it
    // starts, ringing across the guess to both sides, which a wide range
    // runs on into. The sound after the range is that body, which the
    // interpolation misses by more than the sound before it: the line must
    // gain many times that miss, for across the attack it removes the start
    // of the body with it. Damage departs to one side of the guess, or
    // rings out within a few samples (short of half the longest click), and
    // a pop's falls as the de-emphasis' two decays do.
    if (!attackAsked) return true;
    const double largest = std::max(highest, -lowest);
    if (std::min(highest, -lowest) < settings_.wideSwing.lobeShare * largest) return true;
    const auto from = static_cast<std::size_t>(selection.first);
    const auto to = static_cast<std::size_t>(selection.last);
    const double missAfter = interpolationMissAfter(from, to, cleaned_);
    if (missAfter <= interpolationMiss(from, to, cleaned_) || fallsAsAPulse(range, settings_.pulseFitLeaves))
        return true;
    const std::vector<double> guess = interpolateGap(cleaned_.data(), count_, model_, from + 1, to - 1);
    return lineEffect(selection, guess).gain() >= settings_.attackGainOverMiss * missAfter;
}

}  // namespace tesmora::detect
