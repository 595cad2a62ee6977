// The last judge of a confirmed range: whether its damage outweighs what the
// repair's line would remove of the sound's own shape with it.
#include <algorithm>
#include <cmath>

#include "ar_model.h"
#include "window_scanner.h"

namespace tesmora::detect {

WindowScanner::Spread WindowScanner::spreadAcross(const Candidate& range) const {
    const std::vector<double> across = gaps_.interpolate(cleaned_.data(), count_, range.first, range.last);
    Spread spread;
    for (std::size_t i = 0; i < across.size(); ++i) {
        const double away = signal_[range.first + i] - across[i];
        spread.energy += away * away;
        spread.highest = std::max(spread.highest, away);
        spread.lowest = std::min(spread.lowest, away);
    }
    return spread;
}

bool WindowScanner::startsRingingSound(const Candidate& whole) const {
    // A drum hit or a pluck jumps to its largest at once, as a click does;
    // but its attack rings to both sides of the guess, and the sound after
    // it is the body it starts, ringing on where the sound before held: its
    // high-frequency level after no longer holds (twice that before, as a
    // pulse's core must hold it). A click rings out into the sound it
    // interrupted. The level is measured by the slope, for under a faint
    // hiss the curvature sees the hiss alone, and the body's rise with it
    // (at 32 kHz and up, where a drum's body rings within the band). In a
    // signal of two channels the other channel judges the music's own
    // events (channel_match.h).
    if (!partner_.empty() || settings_.wideSwing.shortestPeriod == 0) return false;
    const auto p = static_cast<std::size_t>(settings_.order);
    if (whole.first < p || whole.last + p >= count_) return false;
    if (!spreadAcross(whole).bothSides(settings_.wideSwing.lobeShare)) return false;
    const HighFrequencyLevels levels = highFrequencyAround(whole.first, whole.last + 1, true);
    return levels.measured && levels.after >= settings_.driftRise * levels.before;
}

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
    const Spread spread = spreadAcross(range);
    const double energy = spread.energy;
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
    if (!spread.bothSides(settings_.wideSwing.lobeShare)) return true;
    const auto from = static_cast<std::size_t>(selection.first);
    const auto to = static_cast<std::size_t>(selection.last);
    const double missAfter = interpolationMissAfter(from, to, cleaned_);
    if (missAfter <= interpolationMiss(from, to, cleaned_) || fallsAsAPulse(range, settings_.pulseFitLeaves))
        return true;
    const std::vector<double> guess = gaps_.interpolate(cleaned_.data(), count_, from + 1, to - 1);
    return lineEffect(selection, guess).gain() >= settings_.attackGainOverMiss * missAfter;
}

}  // namespace tesmora::detect
