#include "detector_settings.h"

#include <algorithm>
#include <cmath>

namespace tesmora::detect {

namespace {

// The recording's own filters smear even the shortest click over some ten
// or twenty samples: at a low rate the longest click spans more than 2 ms.
constexpr std::size_t kShortestAutomaticWidth = 64;

}  // namespace

DetectorSettings settingsFor(int sampleRate, const DetectOptions& options) {
    DetectorSettings settings;
    const double rate = std::max(sampleRate, 1000);
    // About one coefficient per kHz of bandwidth beyond a base of 10, at most
    // 28: enough for the resonances of music and for the formants of a voice
    // at a telephone rate (10 left a voice's residual so rough that clicks
    // hid in it), too few to model a click of a few samples.
    settings.order = std::clamp(static_cast<int>(rate / 2000) + 10, 8, 28);
    settings.maxWidth =
        options.maxWidthMs > 0
            ? std::max<std::size_t>(2, static_cast<std::size_t>(std::lround(options.maxWidthMs * rate / 1000)))
            : std::max<std::size_t>(kShortestAutomaticWidth, static_cast<std::size_t>(rate / 500));
    settings.scaleStretch = std::max<std::size_t>(128, static_cast<std::size_t>(rate / 100));
    settings.noiseSpan = 4 * settings.scaleStretch;
    // A tenth of a millisecond: the core of the shortest clicks. At a
    // telephone rate that is a sample, and the two-sided error of one
    // sample already holds all the evidence.
    settings.energySpan = static_cast<std::size_t>(std::lround(rate / 11025));
    // A pulse's core lasts as long as the defect of the groove and more: the
    // de-emphasis' slow decay holds a defect of 8 samples above a quarter of
    // its peak for 1.5 ms. It must end well within the longest click; lined
    // whole, a longer one removes a sound's attack.
    settings.longestDriftingCore = std::min(settings.maxWidth * 7 / 8, static_cast<std::size_t>(rate * 7 / 4000));
    // In a signal of two channels, a pop's core may run on to 8 ms (the
    // field's pops last up to 10 ms), where the user left the longest click
    // to the detector: the user's own bound is a hard one.
    settings.longestStereoCore = options.maxWidthMs > 0 ? 0 : static_cast<std::size_t>(rate * 8 / 1000);
    settings.longestUnfittedCore = std::min(settings.maxWidth / 2, static_cast<std::size_t>(rate / 1000));
    settings.coreMeanRun = std::max<std::size_t>(2, static_cast<std::size_t>(rate / 2750));
    settings.ringGap = std::max(settings.tailGap, static_cast<std::size_t>(rate / 4000));
    settings.slowDecay = 3180e-6 * rate;
    settings.fastDecay = 75e-6 * rate;
    settings.frontLead = static_cast<std::size_t>(rate / 5000);
    // The end of a core is told only within the sound's own level: past it
    // the damage's low tail still lies, and a line over a sample or two of
    // it costs little (none at a low rate, where a sample is long).
    settings.endPad = static_cast<std::size_t>(std::lround(rate / 20000));
    // A record's damage sinks into the sound more slowly than its core's end
    // is told (the de-emphasis' slow decay under it): in a signal of two
    // channels, the other channel judging the sound's own events, the range
    // runs on twice as far where its line still helps.
    settings.stereoEndPad = rate >= 32000 ? static_cast<std::size_t>(std::lround(rate / 10000)) : settings.endPad;
    // The end of a loud pop's core, a quarter of its peak, is told as a
    // level the slow decay passes slowly: its own noise puts the end found
    // some samples early, and the damage lined short stays well above the
    // sound. Where the de-emphasis' fall lasts some samples only.
    settings.loudEndPad =
        rate >= 32000 ? static_cast<std::size_t>(std::lround(settings.slowDecay * std::log(1.25))) : 0;
    // The partner's gain the end in the cancelled sound is followed at is
    // fitted over the 3 ms just before the range: the sound after a click may
    // be mixed anew (a note panned elsewhere), and over a longer stretch the
    // music's ratio between the channels drifts.
    settings.cancelledEndFitSpan = static_cast<std::size_t>(rate * 3 / 1000);
    settings.tailFitSpan = static_cast<std::size_t>(2 * settings.slowDecay);
    settings.decayFitSpan = static_cast<std::size_t>(rate / 1400);
    // At a low rate the de-emphasis' fast decay lasts under a sample: its
    // pulse is the spike the two-sided error already matches.
    if (rate < 32000) settings.pulseThreshold = 0;
    // At a low rate the sound curves more between samples, and a line across
    // a click departs from it more: there the line need only not add to the
    // departure.
    settings.lineLeaves = rate >= 32000 ? 0.5 : 1.0;
    settings.lineGainOverMiss = rate >= 32000 ? 0.9 : 0.0;
    settings.faintGainOverMiss = rate >= 32000 ? 3.0 : 0.0;
    settings.lineMissShare = rate >= 32000 ? 0.7 : 0.0;
    settings.endSettle = rate >= 32000 ? 2 : 0;
    // ... where the line is not judged against the interpolation's miss,
    // the sound's own energy over the range stands in for it.
    settings.soundEnergyShare = rate >= 32000 ? 0.0 : 1.0;
    settings.attackFront = static_cast<std::size_t>(rate / 4000);
    // At a low rate a voice's burst grows to its peak within a few samples,
    // too little above the rough sound before it to start a range: its
    // build-up is looked for in the millisecond before (not at high rates,
    // where an attack's front is found with it).
    settings.attackLead = rate < 32000 ? static_cast<std::size_t>(rate / 1000) : 0;
    // A drum's or a loop's tone under its attack swings slower than about
    // 6 kHz, a sharp click's ring faster. At a low rate the sound's tones
    // fill the band, and swinging tells nothing.
    settings.wideSwing.shortestPeriod = rate >= 32000 ? static_cast<std::size_t>(rate / 6000) : 0;
    settings.textureSpan = static_cast<std::size_t>(rate / 50);
    // Below 16 kHz a block spans two seconds and more, a voice's loud
    // syllables and its quiet stretches fitted as one: a quiet stretch's
    // error there stands several times above what its own model leaves.
    // At higher rates a block spans a third of a second or less.
    if (rate < 16000) {
        settings.quietStretch = static_cast<std::size_t>(rate * 16 / 1000);
        settings.quietContext = static_cast<std::size_t>(rate * 24 / 1000);
        settings.quietLevelSpan = static_cast<std::size_t>(rate * 30 / 1000);
    }
    settings.shortestPeriod = static_cast<std::size_t>(rate / 500);
    settings.longestPeriod = static_cast<std::size_t>(rate / 50);
    const double factor = std::pow(2.0, (5.0 - options.sensitivity) / 3.0);
    settings.threshold *= factor;
    settings.pulseThreshold *= factor;
    settings.frontThreshold *= factor;
    settings.edgeThreshold *= factor;
    // In white Gaussian noise each step of sensitivity about doubles the
    // false alarms the energy of a few samples raises.
    settings.energyThreshold += 6 * std::log2(factor);
    settings.shapedThreshold += 6 * std::log2(factor);
    settings.noisePulseThreshold += 6 * std::log2(factor);
    settings.repeatThreshold += 6 * std::log2(factor);
    settings.deviationRatio *= factor;
    settings.steadyDeviationRatio *= factor;
    settings.energyDeviationRatio *= factor;
    settings.plainShare *= factor;
    settings.onsetDeviationRatio *= factor;
    // A lone pulse a period away is the sound's evidence, not the user's
    // choice: the departure it lets through stays that asked at 5.
    settings.lonePeriodEvidence /= factor;
    settings.margin =
        std::max<std::size_t>(settings.margin, 4 * settings.maxWidth + 4 * static_cast<std::size_t>(settings.order));
    settings.margin = std::max(settings.margin, 3 * settings.scaleStretch);
    return settings;
}

}  // namespace tesmora::detect
