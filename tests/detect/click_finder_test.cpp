// The click finder on synthetic signals whose clicks are known: each must be
// covered by one range whose kept and averaged ends lie outside it, and the
// onsets that are not clicks must not fire.
#include "click_finder.h"
#include "selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tesmora::detect {
namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kScratchAt = 20000;
constexpr std::size_t kRevolution = kRate * 4 / 3;

// A repeatable Gaussian noise source (Box-Muller over a 64-bit LCG).
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}
    double next() {
        const double u = uniform();
        const double v = uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * kPi * v);
    }

private:
    double uniform() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return (static_cast<double>(state_ >> 11) + 0.5) / 9007199254740992.0;
    }
    std::uint64_t state_;
};

using Signal = std::vector<double>;

// A tone over the faint noise floor that any recording has.
Signal sine(std::size_t length, double amplitude, double hertz) {
    Noise floor(length);
    Signal s(length);
    for (std::size_t n = 0; n < length; ++n)
        s[n] = amplitude * std::sin(2 * kPi * hertz * n / kRate) + 8 * floor.next();
    return s;
}

// Two tones together: a low one and a brighter one over it, music-like.
Signal tones(std::size_t length, double lowAmplitude, double lowHertz, double highAmplitude, double highHertz) {
    Signal s = sine(length, lowAmplitude, lowHertz);
    const Signal upper = sine(length, highAmplitude, highHertz);
    for (std::size_t n = 0; n < length; ++n) s[n] += upper[n];
    return s;
}

Signal noise(std::size_t length, double deviation, std::uint64_t seed) {
    Noise source(seed);
    Signal s(length);
    for (double& v : s) v = deviation * source.next();
    return s;
}

// Pink noise (falling 3 dB an octave: Kellet's sum of first-order filters)
// of the given RMS.
Signal pinkNoise(std::size_t length, double rms, std::uint64_t seed) {
    const Signal white = noise(length, 1, seed);
    constexpr double kPoles[] = {0.99886, 0.99332, 0.969, 0.8665, 0.55, -0.7616};
    constexpr double kGains[] = {0.0555179, 0.0750759, 0.153852, 0.3104856, 0.5329522, -0.016898};
    double state[6] = {};
    double last = 0;
    double power = 0;
    Signal s(length);
    for (std::size_t n = 0; n < length; ++n) {
        double sum = 0.5362 * white[n] + 0.115926 * last;
        for (int k = 0; k < 6; ++k) sum += state[k] = kPoles[k] * state[k] + kGains[k] * white[n];
        last = white[n];
        s[n] = sum;
        power += sum * sum;
    }
    const double gain = rms / std::sqrt(power / static_cast<double>(length));
    for (double& v : s) v *= gain;
    return s;
}

// A damped noise burst from sample at on, as a drum hit (short attack, long
// decay) or a plosive (low-passed, a few ms).
void addBurst(Signal& s, std::size_t at, double peak, double decayMs, double smoothing, std::uint64_t seed) {
    Noise source(seed);
    double smoothed = 0;
    for (std::size_t n = at; n < s.size(); ++n) {
        smoothed = smoothing * smoothed + (1 - smoothing) * source.next();
        s[n] += peak * smoothed * std::exp(-static_cast<double>(n - at) / (decayMs * kRate / 1000));
    }
}

struct Damage {
    std::size_t first;
    std::size_t width;
};

// A click (its peak at least 3 times the signal's RMS): a spike (width 1), a damped bipolar oscillation, a decaying
// step, a short fall (1, 0.7, 0.4, then 0.2 of the peak); or a pulse as a phono stage's de-emphasis leaves it: a core
// of 3 samples, then a low tail (a fifth of the peak, decaying over a third of the width), or (d) one whose tail starts
// at 0.3 of the peak and drifts back over 3 ms, so that its core (above a quarter of the peak) spans 29 samples.
void addClick(Signal& s, Damage d, double peak, char shape) {
    for (std::size_t i = 0; i < d.width; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(d.width);
        double v = 1;
        if (shape == 'o') v = std::exp(-2 * t) * std::cos(2 * kPi * 0.3 * static_cast<double>(i));
        if (shape == 's') v = std::exp(-2 * t);
        if (shape == 'f') v = std::max(0.2, 1 - 0.3 * static_cast<double>(i));
        if (shape == 'r' && i >= 3) v = 0.2 * std::exp(-3 * t);
        if (shape == 'd' && i >= 3) v = 0.3 * std::exp(-static_cast<double>(i - 3) / 140);
        s[d.first + i] += peak * v;
    }
}

// How a raw defect of the groove rises and falls over its width: at once
// (flat), as a raised sine (its front soft, its fall no fast decay), as a
// triangle (its front rising over half its width), or at once with the
// stylus ringing on it from its middle (a pop: at 4.4 kHz, 1.7 times its
// height, dying away over 1 ms; or lightly, at 3.95 kHz, 0.9 times its
// height, dying away over 0.32 ms; or low, at 2 kHz, as high, over 0.6 ms).
enum class RawShape { flat, raisedSine, triangle, ringing, lightRinging, lowRinging };

struct Ringing {
    double hertz;
    double height;
    double ms;  // the time it takes to die away to 1/e
};

Ringing ringingOf(RawShape shape) {
    if (shape == RawShape::lowRinging) return Ringing{2000, 1, 0.6};
    return shape == RawShape::ringing ? Ringing{4400, 1.7, 1} : Ringing{3950, 0.9, 0.32};
}

bool rings(RawShape shape) {
    return shape == RawShape::ringing || shape == RawShape::lightRinging || shape == RawShape::lowRinging;
}

// The samples the raw defect lasts: the ringing outlasts the defect.
std::size_t rawLength(RawShape shape, std::size_t rawWidth) {
    return rings(shape) ? rawWidth / 2 + static_cast<std::size_t>(4 * ringingOf(shape).ms * kRate / 1000) : rawWidth;
}

double rawDefect(RawShape shape, std::size_t k, std::size_t rawWidth) {
    const double t = (static_cast<double>(k) + 0.5) / static_cast<double>(rawWidth);
    if (shape == RawShape::raisedSine) return std::pow(std::sin(kPi * t), 2);
    if (shape == RawShape::triangle) return 1 - std::fabs(2 * t - 1);
    if (rings(shape) && k >= rawWidth / 2) {
        const Ringing ring = ringingOf(shape);
        const auto rung = static_cast<double>(k - rawWidth / 2);
        return (k < rawWidth ? 1 : 0) +
               ring.height * std::exp(-rung / (ring.ms * kRate / 1000)) * std::sin(2 * kPi * ring.hertz * rung / kRate);
    }
    return 1;
}

// A defect pulse of rawWidth samples as a phono stage's playback de-emphasis
// leaves it (time constants 3180, 318 and 75 us): a spike that falls fast to
// about a third of its peak, then slowly; the core is where it exceeds a
// quarter of its peak.
Signal deEmphasisedPulse(std::size_t rawWidth, double peak, RawShape shape = RawShape::flat) {
    const double slow = 3180e-6 * kRate;
    const double fast = 75e-6 * kRate;
    Signal y(2000, 0.0);
    double largest = 0;
    for (std::size_t n = 0; n < y.size(); ++n) {
        for (std::size_t k = 0; k < rawLength(shape, rawWidth) && k <= n; ++k) {
            const auto t = static_cast<double>(n - k);
            y[n] += rawDefect(shape, k, rawWidth) *
                    (0.922 / slow * std::exp(-t / slow) + 0.0783 / fast * std::exp(-t / fast));
        }
        largest = std::max(largest, y[n]);
    }
    for (double& v : y) v *= peak / largest;
    return y;
}

// The same pulse as a digital phono stage leaves it, the curve's bilinear
// transform in two first-order sections: its front rises over a few samples
// rather than at once, and a ringing's lobes fall a sample later against the
// spike.
Signal bilinearDeEmphasisedPulse(std::size_t rawWidth, double peak, RawShape shape = RawShape::flat) {
    const double k = 2.0 * kRate;
    const double shelfNorm = 1 + 3180e-6 * k;
    const double shelf[] = {(1 + 318e-6 * k) / shelfNorm, (1 - 318e-6 * k) / shelfNorm, (1 - 3180e-6 * k) / shelfNorm};
    const double lowNorm = 1 + 75e-6 * k;
    const double low[] = {1 / lowNorm, 1 / lowNorm, (1 - 75e-6 * k) / lowNorm};
    Signal y(2000, 0.0);
    double shelfIn = 0, shelfOut = 0, lowIn = 0, lowOut = 0, largest = 0;
    for (std::size_t n = 0; n < y.size(); ++n) {
        const double in = n < rawLength(shape, rawWidth) ? rawDefect(shape, n, rawWidth) : 0.0;
        const double shelved = shelf[0] * in + shelf[1] * shelfIn - shelf[2] * shelfOut;
        shelfIn = in;
        shelfOut = shelved;
        y[n] = low[0] * shelved + low[1] * lowIn - low[2] * lowOut;
        lowIn = shelved;
        lowOut = y[n];
        largest = std::max(largest, std::fabs(y[n]));
    }
    for (double& v : y) v *= peak / largest;
    return y;
}

// Pulses of raw width 7 and 8 samples (width, peak, where), whose cores a
// de-emphasis draws out over more than a millisecond.
struct WidePulse {
    std::size_t width;
    double peak;
    std::size_t at;
};
const WidePulse kWidePulses[] = {{7, -18000, 5000}, {8, 15000, 16000}, {7, 16000, 27000}, {8, -13000, 38000}};
// Defects of raw width 8 to 10 samples that rise and fall softly (see
// deEmphasisedPulse), in the same form.
const WidePulse kSoftDefects[] = {{9, 10000, 8000}, {9, 14000, 18000}, {10, -13000, 28000}, {8, -14000, 38000}};
// ... and at 3.9 to 4.2 times the RMS of the tones below: a quarter of each
// peak lies a little below the sound's level.
const WidePulse kLowSoftDefects[] = {{8, -8000, 18000}, {10, -7500, 28000}, {8, 7600, 38000}};
// Pulses of raw width 5 at 2.6 to 3.7 times the RMS of the tones below:
// their low tails outlast the longest click, a quarter of their peaks stands
// below the sound's level.
const WidePulse kLowPulses[] = {
    {5, 5000, 4000}, {5, 6000, 14000}, {5, -6000, 19000}, {5, 7000, 24000}, {5, -7000, 29000}};
// Pulses of raw width 3 at 1.6 and 1.7 times the RMS of the tones below, in a
// loud hiss: their tails end within the longest click.
const WidePulse kFaintPulses[] = {{3, 3300, 14000}, {3, 3500, 24000}};
// A pulse of raw width 3 at 2.5 times the RMS of the tones below, in a loud
// hiss: a departure no further above the sound than a faint one's.
const WidePulse kHissLevelPulse[] = {{3, -4800, 27000}};
// A pulse of raw width 3 at 5 times the RMS of the tones below, in a louder
// hiss, rougher after the pulse than before it.
const WidePulse kPulseBeforeRougherHiss[] = {{3, 8000, 5000}};
// Pulses of raw width 5 at 3.3 to 4 times the RMS of the tones below, in a
// loud hiss: a quarter of each peak stands a little below the sound's level.
const WidePulse kLowHissPulses[] = {{5, -7000, 6000}, {5, 7700, 16000}, {5, -6300, 26000}, {5, 7000, 36000}};
// Pulses of raw width 8 at 4.6 times the RMS of the tones below, in a louder
// hiss still.
const WidePulse kHissPulses[] = {{8, 9000, 5000}, {8, -9000, 16000}, {8, 9000, 27000}};
// Pulses of raw width 5 at 4.6 times the RMS of the tones below, in a loud
// hiss both channels of a stereo share (hissInBothChannels).
const WidePulse kStereoHissPulses[] = {{5, 9000, 5000}, {5, -9000, 16000}, {5, 9000, 27000}};
// Pulses of raw width 3 to 6 at 3.2 to 4.9 times the RMS of the tones
// below, in a loud hiss: the samples after each spike lean the interpolation
// towards the low end of its core.
const WidePulse kShortLowPulses[] = {{3, -6200, 3000}, {4, 6500, 7000},  {5, -7000, 11000},
                                     {6, 7200, 15000}, {5, 8800, 31000}, {6, -9400, 35000}};

// Loud music-like tones, the defects added with a soft front.
template <std::size_t count>
Signal tonesWithSoftDefects(const WidePulse (&defects)[count]) {
    Signal s = tones(kRate, 2550, 300, 900, 1330);
    for (const auto& [width, peak, at] : defects) {
        const Signal pulse = deEmphasisedPulse(width, peak, RawShape::raisedSine);
        for (std::size_t n = 0; n < pulse.size(); ++n) s[at + n] += pulse[n];
    }
    return s;
}

// Music-like tones with a little noise, the pulses added.
template <std::size_t count>
Signal tonesWithPulses(const WidePulse (&pulses)[count], double hissDeviation = 30) {
    Signal s = tones(kRate, 2550, 300, 900, 1330);
    const Signal hiss = noise(kRate, hissDeviation, 12);
    for (std::size_t n = 0; n < s.size(); ++n) s[n] += hiss[n];
    for (const auto& [width, peak, at] : pulses) {
        const Signal pulse = deEmphasisedPulse(width, peak);
        for (std::size_t n = 0; n < pulse.size(); ++n) s[at + n] += pulse[n];
    }
    return s;
}

// Two channels of those tones under a hiss of the given RMS that both
// share, the second 0.8 of the first with a faint noise of its own; the
// pulses in the first alone.
template <std::size_t count>
Signal hissInBothChannels(int channel, const WidePulse (&pulses)[count], double hissDeviation) {
    if (channel == 0) return tonesWithPulses(pulses, hissDeviation);
    Signal s = tonesWithPulses(pulses, hissDeviation);
    for (const auto& [width, peak, at] : pulses) {
        const Signal pulse = deEmphasisedPulse(width, peak);
        for (std::size_t n = 0; n < pulse.size(); ++n) s[at + n] -= pulse[n];
    }
    const Signal own = noise(s.size(), 0.3 * hissDeviation, 77);
    for (std::size_t n = 0; n < s.size(); ++n) s[n] = 0.8 * s[n] + own[n];
    return s;
}

// The samples where the pulse departs by share of its peak (its core: a
// quarter), placed at at.
Damage coreOf(const Signal& pulse, std::size_t at, double share = 0.25) {
    const double peak =
        *std::max_element(pulse.begin(), pulse.end(), [](double a, double b) { return std::fabs(a) < std::fabs(b); });
    std::size_t first = pulse.size();
    std::size_t last = 0;
    for (std::size_t n = 0; n < pulse.size(); ++n) {
        if (std::fabs(pulse[n]) < share * std::fabs(peak)) continue;
        first = std::min(first, n);
        last = n;
    }
    return {at + first, last - first + 1};
}

template <std::size_t count>
std::vector<Damage> coresOf(const WidePulse (&pulses)[count], RawShape shape = RawShape::flat) {
    std::vector<Damage> cores;
    for (const auto& [width, peak, at] : pulses) cores.push_back(coreOf(deEmphasisedPulse(width, 1, shape), at));
    return cores;
}

std::vector<std::int16_t> quantised(const Signal& s) {
    std::vector<std::int16_t> out(s.size());
    for (std::size_t n = 0; n < s.size(); ++n) {
        out[n] = static_cast<std::int16_t>(std::clamp(std::lround(s[n]), -32768L, 32767L));
    }
    return out;
}

// The clicks of samples; other, where not empty, is another channel of the
// same signal, read as evidence.
std::vector<Click> find(const std::vector<std::int16_t>& samples, const std::vector<std::int16_t>& other,
                        std::size_t* largestRead = nullptr, int rate = kRate) {
    const auto reader = [&](const std::vector<std::int16_t>& from) {
        return [&from, largestRead](std::uint64_t first, std::int16_t* out, std::size_t count) {
            if (largestRead) *largestRead = std::max(*largestRead, count);
            const std::size_t n = std::min<std::size_t>(count, from.size() - std::min<std::size_t>(first, from.size()));
            std::copy_n(from.begin() + static_cast<std::ptrdiff_t>(first), n, out);
            return n;
        };
    };
    return findClicks(samples.size(), rate, DetectOptions{}, reader(samples), reader(other),
                      [](std::uint64_t, std::uint64_t) { return true; });
}

struct Case {
    std::string name;
    std::function<Signal()> make;
    std::vector<Damage> clicks;  // each must be covered; nothing else may be found
    std::size_t mayMiss = 0;     // ... but for this many, where the noise hides a click near the bound
    int rate = kRate;
    std::function<Signal()> makeOther = nullptr;  // another channel of the signal, where it has one
    std::size_t runOn = 24;  // samples a range may run past its core; more where the tail stays loud over the sound
};

// Two channels of music-like tones, the second 0.8 of the first with a faint
// noise of its own, and a sharp ringing event of 3 samples at 20000 in the
// first (peak 6000), otherShare of it in the second (0: in the first alone).
// wash: the RMS of a loud white noise both channels share as they share the
// tones (a cymbal's wash, applause).
Signal correlatedChannel(int channel, double otherShare, double peak = 6000, double wash = 0) {
    Signal s = tones(kRate, 3000, 220, 1000, 1250);
    const Signal shared = noise(s.size(), wash, 21);
    for (std::size_t n = 0; n < s.size(); ++n) s[n] += shared[n];
    if (channel == 0) {
        addClick(s, {20000, 3}, peak, 'o');
        return s;
    }
    const Signal own = noise(s.size(), 8, 9);
    for (std::size_t n = 0; n < s.size(); ++n) s[n] = 0.8 * s[n] + own[n];
    addClick(s, {20000, 3}, peak * otherShare, 'o');
    return s;
}

// correlatedChannel under a faint wash, with a faint ringing click of 32
// samples (peak 5000, about twice the tones' RMS) in the first channel alone.
Signal faintRingInWash(int channel) {
    Signal s = correlatedChannel(channel, 0, 0, 300);
    if (channel == 0) addClick(s, {20000, 32}, 5000, 'o');
    return s;
}

// A pulse through the de-emphasis (raw width, peak, where; its raw defect of
// the given shape) in the first channel, share of it in the second.
void addPulseInChannel(Signal& s, int channel, double share, const WidePulse& defect, RawShape shape = RawShape::flat) {
    const Signal pulse = deEmphasisedPulse(defect.width, channel == 0 ? defect.peak : share * defect.peak, shape);
    for (std::size_t n = 0; n < pulse.size(); ++n) s[defect.at + n] += pulse[n];
}

// Pulses of raw width 9 at 5.3 times the RMS of loud white noise whose band
// ends at 15 kHz (a windowed-sinc low-pass of 63 taps), over a faint floor.
const WidePulse kBandLimitedPulses[] = {{9, 24000, 5000}, {9, -24000, 15000}, {9, 24000, 25000}};
Signal pulsesInBandLimitedNoise() {
    const Signal white = noise(kRate + 62, 5450, 1);
    Signal s = noise(kRate, 8, 101);
    for (std::size_t n = 0; n < s.size(); ++n) {
        for (int k = -31; k <= 31; ++k) {
            const double t = kPi * k;
            const double tap = k == 0 ? 1 : std::sin(t * 15000 * 2 / kRate) / (t * 15000 * 2 / kRate);
            s[n] += white[n + 31 + k] * (tap * 2 * 15000 / kRate * (0.5 + 0.5 * std::cos(t / 32)));
        }
    }
    for (const WidePulse& defect : kBandLimitedPulses) addPulseInChannel(s, 0, 0, defect);
    return s;
}

// The stereo of correlatedChannel with no event of its own, under a wash of
// the given RMS, and a pulse in its channels (addPulseInChannel), the second
// channel's share of the music moving to repannedTo over 40 samples from 100 past its start.
Signal pulseInBothChannels(int channel, double share, const WidePulse& defect, double wash,
                           RawShape shape = RawShape::flat, double repannedTo = 0.8) {
    Signal s = correlatedChannel(channel, 0, 0, wash);
    for (std::size_t n = 100; channel != 0 && defect.at + n < s.size(); ++n) {
        s[defect.at + n] *= 1 + (repannedTo / 0.8 - 1) * std::min(1.0, static_cast<double>(n - 100) / 40);
    }
    addPulseInChannel(s, channel, share, defect, shape);
    return s;
}
// A pulse of raw width 40 in both channels near the sound's ratio, 0.7 of it in the second, the music panned anew.
const WidePulse kNearRatioPulse[] = {{40, 21000, 20000}};
Signal pulseNearRatio(int channel) {
    return pulseInBothChannels(channel, 0.7, kNearRatioPulse[0], 1400, RawShape::flat, 0.95);
}

// That pulse in stereo whose channels share no music: each has tones of its
// own (an ambient mix, instruments panned apart).
Signal pulseInUnsharedChannels(int channel, double share, const WidePulse& defect) {
    Signal s = channel == 0 ? tones(kRate, 3000, 220, 1000, 1250) : tones(kRate, 2550, 300, 900, 1330);
    addPulseInChannel(s, channel, share, defect);
    return s;
}
const WidePulse kBothPulse = {8, 9000, 20000};
// ... and of raw width 10, 12000: its core, 83 samples, outlasts the longest
// drifting core (77) by a few samples.
const WidePulse kBothLongPulse = {10, 12000, 20000};
// A pop of raw width 16 in one channel: its core, 119 samples, outlasts the
// longest click (88).
const WidePulse kWidePop = {16, 12000, 20000};
// A pulse of raw width 14, about 5 times the RMS under a wash: its core, 109
// samples, outlasts the longest drifting core.
const WidePulse kWashedWidePulse = {14, 14000, 20000};
const WidePulse kLoudWidePop = {64, 20000, 20000};
const WidePulse kQuietWidePop[] = {{12, 8000, 20000}};  // a quarter of its peak a little under the tones' RMS
// A loud pop of raw width 12 in one channel, 9 times the RMS: its core, 97
// samples, runs just past the longest click on the de-emphasis' slow decay.
const WidePulse kLoudLongPop = {12, 20000, 20000};
// ... and of raw width 16, its core 119 samples, under a wash: the range's
// start, found in the wash's error, lies a sample inside the core.
const WidePulse kLoudWashedPop = {16, 20000, 20000};
// A loud pop whose raw defect rises and falls as a triangle over 64 samples,
// about 12 times the RMS under a wash: its front rises over 14 samples to a
// quarter of its peak, and the error stands out only some samples past that.
const WidePulse kSoftFrontedPop = {64, 30000, 20000};
// ... and one whose raw defect is a raised sine over 32 samples, about 8
// times the RMS: interpolated across the few samples found first, it departs
// less than a loud pop's bar, though not from what the sound before predicts.
const WidePulse kRaisedSinePop = {32, 20000, 10000};
// A pop of raw width 2 on which the stylus rings, 10 times the RMS under a
// wash: its loud samples dip out of the bound every half period.
const WidePulse kRingingPop = {2, 25000, 15000};
const WidePulse kLowRingingPop = {4, 12000, 20000};  // about 4 times the RMS, its core 80 samples
// ... and of 12 times the RMS, no wash: the loud-pop bar (10 times) stays clear
// of where a slightly other model puts its departure.
const WidePulse kLouderWidePop = {16, 27000, 20000};
// A pop of raw width 18 in both channels, 9 times the RMS: its core, 2.9 ms,
// smooth enough that no error of the model stands out.
const WidePulse kSmoothWidePop = {18, 20000, 20000};
// ... and another just past the start of a block (16384 samples), where less
// than 40 ms of the window's sound lies before its gap.
const WidePulse kSmoothWidePopAtBlock = {18, 20000, 15700};

// A pop of raw width 2 on which the stylus rings lightly, through a digital
// phono stage, about 13 times the RMS in one channel under a wash both share:
// its spike stands well over the loud bound, but only for little more than
// ten samples before the ringing's first dip.
const WidePulse kLightlyRingingPop = {2, 30000, 20000};

// Loud pops of raw width 20 and 12, 15 and 12 times the RMS of a noise each
// channel has of its own: their cores outlast the longest click, and the
// other channel cancels nothing of the sound.
const WidePulse kLoudPopsInOwnNoise[] = {{20, 22500, 20000}, {12, 18000, 20000}};

// The stereo of two white noises of RMS 1500, each channel's own, with such
// a pop in the first channel alone.
Signal popInOwnNoise(int channel, const WidePulse& defect) {
    Signal s = noise(kRate, 1500, channel == 0 ? 3 : 4);
    if (channel == 0) addPulseInChannel(s, 0, 0, defect);
    return s;
}

// Faint pulses of raw width 1 and 2, 3.3 times the RMS of such noise: no
// sample of theirs stands out, but their shape through the de-emphasis does.
const WidePulse kFaintPulsesInOwnNoise[] = {{2, -5000, 18000}, {1, -5000, 28000}};

// The stereo of two white noises of RMS 1500, each channel's own, with such
// pulses in the first channel, and share times them in the second.
template <std::size_t count>
Signal pulsesInOwnNoise(int channel, const WidePulse (&pulses)[count], double share = 0) {
    Signal s = noise(kRate, 1500, channel == 0 ? 3 : 4);
    for (const WidePulse& defect : pulses) addPulseInChannel(s, channel, share, defect);
    return s;
}

// A pop whose raw defect rises and falls as a triangle over 32 samples, in
// one channel under a loud wash both share: its peak, 3.7 times the sound's
// RMS, stays under the loud bound; its core lasts 154 samples.
const WidePulse kWashedSoftPop = {32, 11000, 20000};
// Faint pops of raw width 8 and 5, 2.2 times the RMS of the tones under a
// faint wash: a quarter of each peak lies near half the sound's level.
const WidePulse kFaintPops[] = {{8, 5000, 14000}, {5, 5000, 20000}};

// The stereo of correlatedChannel under that wash, the first of those pops
// in the first channel alone, the second in both at its own ratio and sign.
Signal faintPopsInStereo(int channel) {
    Signal s = correlatedChannel(channel, 0, 0, 300);
    addPulseInChannel(s, channel, 0, kFaintPops[0]);
    addPulseInChannel(s, channel, -0.5, kFaintPops[1]);
    return s;
}

// ... and with the second channel's share of the music moving from 0.8 of
// the first's to 0.7 over 40 samples from 100 past the first pop's start, and
// back past the second's (the music panned anew as a note changes): fitted
// on the sound after a pop as well, the gain cancels little of the music.
Signal faintPopsInRepannedStereo(int channel) {
    Signal s = correlatedChannel(0, 0, 0, 300);
    if (channel != 0) {
        const Signal own = noise(s.size(), 8, 9);
        const std::size_t past = 100;
        const std::size_t ramp = 40;
        const double step = 0.1 / ramp;
        double share = 0.8;
        for (std::size_t n = 0; n < s.size(); ++n) {
            if (n >= kFaintPops[0].at + past && n < kFaintPops[0].at + past + ramp) share -= step;
            if (n >= kFaintPops[1].at + past && n < kFaintPops[1].at + past + ramp) share += step;
            s[n] = share * s[n] + own[n];
        }
    }
    addPulseInChannel(s, channel, 0, kFaintPops[0]);
    addPulseInChannel(s, channel, -0.5, kFaintPops[1]);
    return s;
}

Signal lightlyRingingPopInOneChannel(int channel) {
    Signal s = correlatedChannel(channel, 0, 0, 800);
    if (channel != 0) return s;
    const Signal pulse =
        bilinearDeEmphasisedPulse(kLightlyRingingPop.width, kLightlyRingingPop.peak, RawShape::lightRinging);
    for (std::size_t n = 0; n < pulse.size(); ++n) s[kLightlyRingingPop.at + n] += pulse[n];
    return s;
}

// pulseInBothChannels with the smooth wide pop at both places.
Signal smoothWidePopsInBothChannels(int channel) {
    Signal s = pulseInBothChannels(channel, -0.5, kSmoothWidePop, 0);
    addPulseInChannel(s, channel, -0.5, kSmoothWidePopAtBlock);
    return s;
}

// pulseInBothChannels with the triangle's pop at the sound's own ratio, and
// the raised sine's in the first channel alone.
Signal softFrontedPopsInBothChannels(int channel) {
    Signal s = pulseInBothChannels(channel, 0.8, kSoftFrontedPop, 1400, RawShape::triangle);
    addPulseInChannel(s, channel, 0, kRaisedSinePop, RawShape::raisedSine);
    return s;
}

// Dense crackle: pulses of raw width 1 to 3 through the de-emphasis, 2.6 to
// 3.7 times the RMS of the tones below under a faint hiss, 6 to 12 ms apart
// (width, peak, where): each much like the next, of like size, a "period"
// away from it; three or more crowd within 20 ms.
const WidePulse kCrackle[] = {{2, 6000, 10000}, {1, -5200, 10420}, {3, 5600, 10700}, {2, -6800, 11230},
                              {1, 5000, 11500}, {2, -6200, 11950}, {3, 7000, 12470}, {1, -5400, 12800},
                              {2, 6400, 13330}, {3, -5800, 13610}, {1, 6600, 14150}, {2, -5000, 14500}};

// Short voiced stretches at a telephone rate (8 kHz) over a faint noise
// floor: every half second two glottal pulses of a 100 Hz voice, each ringing
// in two formants. In the prediction error each pulse is as sharp as a click,
// and there is no third to make a crowd: only the other, one period away,
// tells them from clicks.
Signal voicedPairs(std::size_t length) {
    constexpr double kVoiceRate = 8000;
    Signal s = noise(length, 30, 4);
    for (std::size_t start = 2000; start + 2000 < length; start += 4000) {
        for (const std::size_t pulse : {start, start + 80}) {
            for (std::size_t j = 0; j < 400; ++j) {
                const double t = static_cast<double>(j) / kVoiceRate;
                s[pulse + j] += 6000 * std::exp(-t / 0.002) * std::sin(2 * kPi * 700 * t) +
                                3000 * std::exp(-t / 0.001) * std::sin(2 * kPi * 1900 * t);
            }
        }
    }
    return s;
}

// A voice's low tone at a telephone rate (8 kHz) over a faint noise floor,
// and three consonants' bursts: each builds up over a millisecond to a
// peak 15 times the tone's RMS, falls within another, and goes on in a
// hiss (the noise near the top of the band) for 40 ms. Before the hiss the
// sound is smooth; after the burst it is rough. With growth, the build-up
// is a clean swing growing by that factor a sample: the sound's own
// prediction follows it, and a range starts only at the peak.
Signal consonantBursts(std::size_t length, double growth = 0) {
    constexpr double kVoiceRate = 8000;
    Signal s = noise(length, 20, 6);
    for (std::size_t n = 0; n < length; ++n)
        s[n] += 600 * std::sin(2 * kPi * 150 * static_cast<double>(n) / kVoiceRate);
    Noise hiss(17);
    for (const std::size_t at : {6000u, 14000u, 22000u}) {
        for (std::size_t j = 0; j < 320; ++j) {
            const double t = static_cast<double>(j);
            const double buildUp = growth > 0 ? std::pow(growth, t - 8) : t / 8;
            const double rise = t < 8 ? buildUp : std::exp(-(t - 8) / 4);
            const double envelope = 6500 * rise + 900 * std::min(1.0, t / 8) * std::exp(-t / 160);
            const double magnitude = growth > 0 && t < 8 ? 1.0 : std::fabs(hiss.next());
            s[at + j] += envelope * (j % 2 == 0 ? 1 : -1) * magnitude;
        }
    }
    return s;
}

// A voice's low tone at a telephone rate (8 kHz) over a faint noise floor,
// with three rough bursts of 2 ms: white noise under a raised sine, no louder
// over its stretch than the tone. At its largest such a burst departs from
// the guess across it as a click does, but on the mean no more than the
// sound's own level: a line there removes as much sound as damage.
Signal roughBursts(std::size_t length) {
    constexpr std::size_t kBurst = 16;
    Signal s = noise(length, 20, 1);
    for (std::size_t n = 0; n < length; ++n) s[n] += 300 * std::sin(2 * kPi * 150 * static_cast<double>(n) / 8000);
    Noise rough(8);
    for (const std::size_t at : {6000u, 14000u, 22000u}) {
        for (std::size_t j = 0; j < kBurst; ++j) {
            const double raised = std::sin(kPi * (static_cast<double>(j) + 0.5) / kBurst);
            s[at + j] += 300 * raised * raised * rough.next();
        }
    }
    return s;
}

// Speech at a telephone rate (8 kHz): loud voiced syllables of a quarter
// second (a 120 Hz voice's pulses, each ringing in two formants), and as long
// between them a quiet unvoiced hiss (resonant near 3 kHz, RMS about 150).
// A model of seconds of it fits the syllables: in the hiss it leaves an error
// several times what the hiss's own model leaves.
Signal syllablesAndHiss(std::size_t length) {
    constexpr double kVoiceRate = 8000;
    Signal s = noise(length, 20, 5);
    Noise source(27);
    const double pull = 2 * 0.95 * std::cos(2 * kPi * 3000 / kVoiceRate);
    for (std::size_t start = 0; start < length; start += 4000) {
        for (std::size_t pulse = start; pulse < start + 2000 && pulse < length; pulse += 66) {
            for (std::size_t j = 0; j < 400 && pulse + j < length; ++j) {
                const double t = static_cast<double>(j) / kVoiceRate;
                s[pulse + j] += 5000 * std::exp(-t / 0.003) * std::sin(2 * kPi * 700 * t) +
                                2500 * std::exp(-t / 0.0015) * std::sin(2 * kPi * 1900 * t);
            }
        }
        double last = 0;
        double before = 0;
        for (std::size_t n = start + 2000; n < start + 4000 && n < length; ++n) {
            const double now = pull * last - 0.9025 * before + source.next();
            s[n] += 45 * now;
            before = last;
            last = now;
        }
    }
    return s;
}

// Tuned drum hits every period ms over a low wave, for seconds: each a
// body of two partials (1.1 kHz and the given one) falling over 30 ms, its
// attack loud (an attack of attack over a body of 600, falling over
// attackDecay seconds), under a white hiss of RMS hiss. The attack departs
// from a line across it as a click does, and the body swings to and fro
// across that line; a hiss hides the body's rise from the curvature.
struct DrumHits {
    double attack = 900;
    double attackDecay = 0.0007;
    double partial = 2700;
    double hiss = 0;
    std::size_t seconds = 1;
};
Signal tunedHits(double periodMs, const DrumHits& hits = {}) {
    Signal s = sine(hits.seconds * kRate, 300, 40);
    if (hits.hiss > 0) {
        const Signal hiss = noise(s.size(), hits.hiss, 11);
        for (std::size_t n = 0; n < s.size(); ++n) s[n] += hiss[n];
    }
    const auto period = static_cast<std::size_t>(periodMs * kRate / 1000);
    double phase = 0;
    for (std::size_t at = 3000; at + 4000 < s.size(); at += period) {
        phase += 2.2;
        for (std::size_t j = 0; j < kRate / 5 && at + j < s.size(); ++j) {
            const double t = static_cast<double>(j) / kRate;
            const double envelope = 600 * std::exp(-t / 0.03) + hits.attack * std::exp(-t / hits.attackDecay);
            s[at + j] += envelope * (std::sin(2 * kPi * hits.partial * t + phase) +
                                     0.6 * std::sin(2 * kPi * 1100 * t + 2 * phase));
        }
    }
    return s;
}

// Ten seconds of white or pink noise of RMS 1000 with two clicks a second,
// each a short fall of 4 samples from the given peak (0: clean), signs
// alternating. A matched filter sees a click of 5 times the RMS at 6.5
// deviations of white noise: nearly all found (the sum of its samples
// weighted by its shape), those of 4 times (5.2 deviations, at the
// threshold) about half, those of 10 times always, and clean noise raises
// no false alarm. The last sample, a fifth of the peak,
// lies within the noise: it need not be replaced.
// An electronic loop: a stretch of a noise-like texture (a hi-hat, a pad),
// half a second long or as many halves as halves says, with a sharp glitch
// of its own (as a click departs), played over and over for three seconds
// or three times, sample for sample, each time swell louder than the last
// (a loop that fades in); with a click added in one repetition only where
// clickAt is not 0.
Signal loopWithGlitch(std::size_t clickAt, int rate = kRate, int halves = 1, double swell = 1) {
    const std::size_t period = static_cast<std::size_t>(rate / 2 * halves + 3);
    Signal once = pinkNoise(period, 1000, 7);
    addClick(once, {period / 9, 10}, 8000, 'o');
    Signal s;
    double gain = 1;
    for (int repeat = 0; repeat < std::max(3, 6 / halves); ++repeat, gain *= swell) {
        for (const double v : once) s.push_back(gain * v);
    }
    if (clickAt != 0) addClick(s, {clickAt, 4}, 6000, 'p');
    return s;
}

// A scratch: the same click once a revolution (1.33 s, at 45 rpm), over
// music that moves on.
Signal scratchOverNoise() {
    Signal s = pinkNoise(4 * kRate, 1000, 8);
    for (const std::size_t at : {kScratchAt, kScratchAt + kRevolution, kScratchAt + 2 * kRevolution}) {
        addClick(s, {at, 6}, 7000, 's');
    }
    return s;
}

// A scratch whose next strike, a revolution on, is weak (2.8 times the
// sound's RMS, a third of the first): the same shape where a scratch strikes
// again, over music that moves on.
Signal weakScratchAfterLoud() {
    Signal s = pinkNoise(4 * kRate, 1000, 9);
    addClick(s, {kScratchAt, 12}, 9000, 's');
    addClick(s, {kScratchAt + kRevolution, 12}, 2800, 's');
    return s;
}

// draw: another noise, where the error around a click chances to be rougher.
Case noiseCase(bool pink, double timesRms, std::size_t mayMiss, std::uint64_t draw = 0) {
    const std::size_t length = 10 * static_cast<std::size_t>(kRate);
    std::vector<Damage> clicks;
    if (timesRms > 0) {
        const std::size_t quarter = kRate / 4;
        for (std::size_t at = quarter; at + quarter < length; at += 2 * quarter) clicks.push_back({at + at % 97, 3});
    }
    const std::uint64_t seed = draw != 0 ? draw : 40 + static_cast<std::uint64_t>(timesRms) + (pink ? 100 : 0);
    return {std::string(pink ? "pink" : "white") + " noise, clicks of " + std::to_string(static_cast<int>(timesRms)) +
                " times its RMS" + (draw != 0 ? ", draw " + std::to_string(draw) : ""),
            [=] {
                Signal s = pink ? pinkNoise(length, 1000, seed) : noise(length, 1000, seed);
                for (std::size_t k = 0; k < clicks.size(); ++k) {
                    addClick(s, {clicks[k].first, 4}, (k % 2 == 0 ? 1000 : -1000) * timesRms, 'f');
                }
                return s;
            },
            clicks, mayMiss};
}

std::vector<Case> cases() {
    const std::size_t second = kRate;
    std::vector<Case> table{
        {"spike in a sine",
         [] {
             Signal s = sine(second, 2000, 440);
             addClick(s, {20000, 1}, 5000, 'p');
             return s;
         },
         {{20000, 1}}},
        {"clicks under the level of a loud held tone",
         [] {
             // Each departs by about twice the tone's RMS: plainly audible
             // in a steady sound, though an onset would depart as far.
             Signal s = sine(second, 8000, 220);
             addClick(s, {5000, 1}, 11000, 'p');
             addClick(s, {15000, 3}, 10000, 'o');
             addClick(s, {30000, 24}, 12000, 'o');
             return s;
         },
         {{5000, 1}, {15000, 3}, {30000, 24}}},
        {"clicks as loud as the held tone's peak, of any shape",
         [] {
             // Peak no higher than the tone's, so below 1.6 times its RMS:
             // still plain in a steady sound.
             Signal s = sine(second, 8000, 440);
             addClick(s, {4000, 10}, 8000, 'p');
             addClick(s, {12000, 10}, -8000, 's');
             addClick(s, {20000, 10}, 8000, 'o');
             addClick(s, {28000, 3}, -8000, 'p');
             addClick(s, {36000, 40}, 8000, 's');
             return s;
         },
         {{4000, 10}, {12000, 10}, {20000, 10}, {28000, 3}, {36000, 40}}},
        {"a pulse whose low tail outlasts the longest click: its core",
         [] {
             Signal s = sine(second, 2000, 300);
             addClick(s, {20000, 600}, 12000, 'r');
             return s;
         },
         {{20000, 3}}},
        {"pulses whose tails drift back slowly under music-like tones: their cores, though the tails outlast them",
         [] {
             Signal s = tones(second, 850, 300, 300, 1330);
             addClick(s, {10000, 3000}, 20000, 'd');
             addClick(s, {30000, 3000}, -20000, 'd');
             return s;
         },
         {{10000, 29}, {30000, 29}}},
        {"pulses through a phono stage's de-emphasis in loud music-like tones: each range reaches the end of the core, "
         "where the damage falls slowly (the louder by the decay fitted to it)",
         [] {
             Signal s = tones(second, 2550, 300, 900, 1330);
             for (const double peak : {8000.0, -8000.0, 16000.0}) {
                 const Signal pulse = deEmphasisedPulse(5, peak);
                 const std::size_t at = peak > 10000 ? 21000 : peak > 0 ? 12000 : 30000;
                 for (std::size_t n = 0; n < pulse.size(); ++n) s[at + n] += pulse[n];
             }
             return s;
         },
         {coreOf(deEmphasisedPulse(5, 1), 12000), coreOf(deEmphasisedPulse(5, 1), 21000),
          coreOf(deEmphasisedPulse(5, 1), 30000)}},
        {"a pulse through the de-emphasis in loud low tones, where a line on over its faint tail would cut through "
         "the tones' curve by more than the tail departs: the range ends with its core",
         [] {
             Signal s = tones(second, 6000, 200, 2500, 900);
             const Signal hiss = noise(s.size(), 5, 12);
             const Signal pulse = deEmphasisedPulse(1, -6500);
             for (std::size_t n = 0; n < s.size(); ++n) s[n] += hiss[n];
             for (std::size_t n = 0; n < pulse.size(); ++n) s[36123 + n] += pulse[n];
             return s;
         },
         {coreOf(deEmphasisedPulse(1, 1), 36123)},
         0,
         kRate,
         nullptr,
         16},
        {"wider pulses through the de-emphasis (cores of 1.3 to 1.5 ms, 6 to 10 times the RMS) in music-like tones "
         "with a little noise: each core covered, though the prediction strays before it ends",
         [] { return tonesWithPulses(kWidePulses); }, coresOf(kWidePulses)},
        {"low pulses through the de-emphasis (2.6 to 3.7 times the RMS) in music-like tones with a little noise: "
         "their tails outlast the longest click and fall as the two decays do while the sound holds, so each core is "
         "covered with no more evidence than a click's",
         [] { return tonesWithPulses(kLowPulses); }, coresOf(kLowPulses), 0, kRate, nullptr, 40},
        {"faint pulses through the de-emphasis (1.6 and 1.7 times the RMS) in music-like tones under a loud hiss: "
         "the damage after each peak falls as the two decays do while the sound holds, so a little less than a "
         "click's departure finds each core",
         [] { return tonesWithPulses(kFaintPulses, 150); }, coresOf(kFaintPulses), 0, kRate, nullptr, 40},
        {"a pulse through the de-emphasis at 2.5 times the RMS of tones under a loud hiss: faint damage, so a line on "
         "over its low tail must gain well over what the interpolation misses the hiss by, and the range ends with "
         "its core",
         [] { return tonesWithPulses(kHissLevelPulse, 150); }, coresOf(kHissLevelPulse)},
        {"a pulse through the de-emphasis in tones under a louder hiss: a line on over its tail is judged against "
         "the interpolation's miss of the rougher hiss after it too, and the range ends with its core",
         [] { return tonesWithPulses(kPulseBeforeRougherHiss, 250); }, coresOf(kPulseBeforeRougherHiss)},
        {"low pulses through the de-emphasis (3.3 to 4 times the RMS) in music-like tones under a loud hiss: the slow "
         "decay fitted after each range, its core's bound a little under the sound's level, carries each range to the "
         "core's end",
         [] { return tonesWithPulses(kLowHissPulses, 150); }, coresOf(kLowHissPulses), 0, kRate, nullptr, 44},
        {"pulses through the de-emphasis (raw width 8, 4.6 times the RMS) in tones under a loud hiss, where no sample "
         "of the two-sided error stands out: found by the error matched to their shape, each core covered (one may "
         "end a little short in the hiss) and the range may run on over the tail, still 6 times the hiss",
         [] { return tonesWithPulses(kHissPulses, 300); }, coresOf(kHissPulses), 1, kRate, nullptr, 40},
        {"short pulses through the de-emphasis (3.2 to 4.9 times the RMS) in tones under a loud hiss: each end "
         "followed against the interpolation with the slow decay taken out of the samples after it, or run on a "
         "little past where the damage sinks into the sound, each range covers its core",
         [] { return tonesWithPulses(kShortLowPulses, 150); }, coresOf(kShortLowPulses), 0, kRate, nullptr, 40},
        {"pulses through the de-emphasis (4.6 times the RMS) in one channel of stereo tones under a loud hiss both "
         "share: where each end is found, a quarter of the peak lies little above the sound's level, and each range "
         "runs on by the slow decay over the whole core",
         [] { return hissInBothChannels(0, kStereoHissPulses, 300); }, coresOf(kStereoHissPulses), 0, kRate,
         [] { return hissInBothChannels(1, kStereoHissPulses, 300); }, 40},
        {"defects that rise and fall softly, through the de-emphasis in loud music-like tones: each range reaches the "
         "end of the core by the slow decay fitted after it",
         [] { return tonesWithSoftDefects(kSoftDefects); }, coresOf(kSoftDefects, RawShape::raisedSine)},
        {"fainter soft defects (3.9 to 4.2 times the RMS), a quarter of each peak a little below the sound's level: "
         "the slow decay fitted after each range still tells it from the sound, and the range reaches the core's end",
         [] { return tonesWithSoftDefects(kLowSoftDefects); }, coresOf(kLowSoftDefects, RawShape::raisedSine)},
        {"a kick drum's thump (a sharp attack, then a low body) in a quiet tone does not fire",
         [] {
             Signal s = sine(second, 300, 440);
             for (const std::size_t at : {8000u, 26000u}) {
                 for (std::size_t j = 0; j < 8000; ++j) {
                     const double t = static_cast<double>(j) / kRate;
                     s[at + j] += 9000 * (std::exp(-t / 0.0007) + std::exp(-t / 0.08) * std::sin(2 * kPi * 60 * t));
                 }
             }
             return s;
         },
         {}},
        {"spike in digital silence",
         [] {
             Signal s(second, 0.0);
             addClick(s, {10000, 4}, 300, 'p');
             return s;
         },
         {{10000, 4}}},
        {"burst in noise",
         [] {
             Signal s = noise(second, 600, 1);
             addClick(s, {30000, 8}, 6000, 'p');
             return s;
         },
         {{30000, 8}}},
        {"wide decaying step in music-like tones",
         [] {
             Signal s = tones(second, 5000, 220, 2000, 1330);
             addClick(s, {25000, 32}, 15000, 's');
             return s;
         },
         {{25000, 32}}},
        {"clicks at the first and the last samples",
         [] {
             Signal s = sine(second, 4000, 300);
             addClick(s, {0, 3}, 10000, 'p');
             addClick(s, {second - 2, 2}, -10000, 'p');
             return s;
         },
         {{0, 3}, {second - 2, 2}}},
        {"a recording cut into a sound starts on its own swell, no louder than the sound, and draws no range there",
         [] {
             Signal s = tones(second, 3000, 220, 1000, 1250);
             for (std::size_t n = 0; n < 12; ++n) s[n] += 5000 * std::sin(kPi * static_cast<double>(n) / 12);
             addClick(s, {20000, 3}, 9000, 'p');
             return s;
         },
         {{20000, 3}}},
        {"a click straddling a block edge",
         [] {
             Signal s = sine(second, 2000, 500);
             addClick(s, {16380, 9}, 7000, 'o');
             return s;
         },
         {{16380, 9}}},
        {"a loud and a weak click a few samples apart",
         [] {
             Signal s = sine(second, 500, 700);
             addClick(s, {30000, 3}, 15000, 'p');
             addClick(s, {30009, 2}, -1500, 'p');
             return s;
         },
         {{30000, 3}, {30009, 2}}},
        {"drum hits in quiet noise do not fire",
         [] {
             Signal s = noise(second, 30, 2);
             for (std::size_t at : {5000u, 17000u, 33000u}) addBurst(s, at, 9000, 60, 0.2, at);
             return s;
         },
         {}},
        {"sharp hits out of a quiet tone (a woodblock's 5 ms ring) do not fire",
         [] {
             // Each starts at its peak and rings for about 20 ms: longer than a
             // click, louder after it than before.
             Signal s = sine(second, 200, 220);
             std::size_t at = 3000;
             for (const double hertz : {500.0, 1500.0, 3000.0, 1500.0, 3000.0, 500.0}) {
                 for (std::size_t j = 0; j < 4000; ++j) {
                     const double t = static_cast<double>(j) / kRate;
                     s[at + j] += 8000 * std::exp(-t / 0.005) * std::cos(2 * kPi * hertz * t);
                 }
                 at += 6000;
             }
             return s;
         },
         {}},
        {"a loop's own glitch, back every repetition a tenth louder, draws no range",
         [] { return loopWithGlitch(0, kRate, 1, 1.1); },
         {}},
        {"a click in one repetition of a loop, each a tenth louder, is found, the loop's glitch is not",
         [] { return loopWithGlitch(50000, kRate, 1, 1.1); },
         {{50000, 4}}},
        {"a loop's own glitch at 8 kHz draws no range", [] { return loopWithGlitch(0, 8000); }, {}, 0, 8000},
        {"a loop's own glitch, back a slow bar (3.5 s) later a fifth softer, draws no range",
         [] { return loopWithGlitch(0, kRate, 7, 0.8); },
         {}},
        {"a scratch, the same click once a revolution over music that moves on, is found each time",
         scratchOverNoise,
         {{kScratchAt, 6}, {kScratchAt + kRevolution, 6}, {kScratchAt + 2 * kRevolution, 6}}},
        {"a weak scratch a revolution after a loud one of the same shape is looked for there, and found",
         weakScratchAfterLoud,
         {{kScratchAt, 12}, {kScratchAt + kRevolution, 12}}},
        {"a scratch's next strike in a loud chord, half the first and too faint there for a lone click, is "
         "found where the first one's shape matches it",
         [] {
             Signal s = tones(4 * kRate, 6000, 220, 2000, 1250);
             addClick(s, {kScratchAt, 16}, 12000, 's');
             addClick(s, {kScratchAt + kRevolution, 16}, 6000, 's');
             return s;
         },
         {{kScratchAt, 16}, {kScratchAt + kRevolution, 16}}},
        {"the pulses of a voice at 8 kHz draw no range", [] { return voicedPairs(4 * 8000); }, {}, 0, 8000},
        {"consonants' bursts at 8 kHz, building up to their peaks and going on in a hiss, draw no range",
         [] { return consonantBursts(4 * 8000); },
         {},
         0,
         8000},
        {"consonants' bursts at 8 kHz growing steeply to their peaks draw no range, a click beside them is found",
         [] {
             Signal s = consonantBursts(4 * 8000, 2.2);
             addClick(s, {10000, 2}, 5000, 'p');
             return s;
         },
         {{10000, 2}},
         0,
         8000},
        {"rough bursts in a voice at 8 kHz, on the mean no louder than the voice, draw no range; a click beside "
         "them is found",
         [] {
             Signal s = roughBursts(4 * 8000);
             addClick(s, {10000, 2}, 3000, 'p');
             return s;
         },
         {{10000, 2}},
         0,
         8000},
        {"clicks in the quiet hiss between loud syllables at 8 kHz (7 times its RMS) are found",
         [] {
             Signal s = syllablesAndHiss(4 * 8000);
             addClick(s, {11000, 2}, 1000, 'p');
             addClick(s, {23000, 2}, -1000, 'p');
             return s;
         },
         {{11000, 2}, {23000, 2}},
         0,
         8000},
        {"a click at 4 kHz, where the energy of a tenth of a millisecond has no sample to sum",
         [] {
             Signal s = sine(4 * 4000, 3000, 1500);
             addClick(s, {9000, 3}, 12000, 'p');
             return s;
         },
         {{9000, 3}},
         0,
         4000},
        {"two clicks a few ms apart at 8 kHz are no pitch period",
         [] {
             // Each is the other's pulse one "period" away, but no third
             // follows: a voice's pulses go on. So are the edges of one
             // wide click.
             Signal s = noise(4 * 8000, 100, 3);
             addClick(s, {10000, 1}, 3000, 'p');
             addClick(s, {10020, 1}, 2800, 'p');
             addClick(s, {20000, 2}, -2500, 'p');
             addClick(s, {20030, 2}, 2500, 'p');
             return s;
         },
         {{10000, 1}, {10020, 1}, {20000, 2}, {20030, 2}},
         0,
         8000},
        {"two loud clicks 5 ms apart at 44.1 kHz, further than the longest click, are no period either",
         [] {
             Signal s = noise(2 * kRate, 100, 3);
             addClick(s, {30000, 2}, 3000, 'p');
             addClick(s, {30220, 2}, 2800, 'p');
             return s;
         },
         {{30000, 2}, {30220, 2}}},
        // Stereo: the other channel predicts the music's own events, not a
        // click of one channel or one of another amplitude ratio and sign.
        {"a sharp event in both channels as the music's relation holds draws no range",
         [] { return correlatedChannel(0, 0.8); },
         {},
         0,
         kRate,
         [] { return correlatedChannel(1, 0.8); }},
        {"a click in one channel of correlated stereo is found",
         [] { return correlatedChannel(0, 0); },
         {{20000, 3}},
         0,
         kRate,
         [] { return correlatedChannel(1, 0); }},
        {"a faint ringing click in one channel of washed stereo: its range does not run on where the longer "
         "line gains little more than the interpolation misses the sound by after it",
         [] { return faintRingInWash(0); },
         {{20000, 32}},
         0,
         kRate,
         [] { return faintRingInWash(1); },
         13},
        {"a click in one channel of correlated stereo under a loud wash both share, its error hidden in the "
         "wash's own, is found against what the other channel predicts",
         [] { return correlatedChannel(0, 0, 8000, 2000); },
         {{20000, 3}},
         0,
         kRate,
         [] { return correlatedChannel(1, 0, 8000, 2000); }},
        {"the other channel of that stereo, clean, draws no range from its partner's click, though the click "
         "stands out of what the partner predicts there too",
         [] { return correlatedChannel(1, 0, 8000, 2000); },
         {},
         0,
         kRate,
         [] { return correlatedChannel(0, 0, 8000, 2000); }},
        {"a pulse through the de-emphasis in both channels, its own sign in each, under a loud wash both share: "
         "against the partner its low tail runs on to the longest click, and its core is found, judged against "
         "the wash with the pulse's slow decay taken out of the level after it",
         [] { return pulseInBothChannels(0, -0.5, kBothPulse, 2200); },
         {coreOf(deEmphasisedPulse(8, 1), 20000)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, -0.5, kBothPulse, 2200); },
         40},
        {"that pulse wider, under a lighter wash: the end followed against the interpolation, the slow decay "
         "taken out of the sound after it, still stands a quarter of the peak where a drifting core must end, "
         "and is followed on to the core's end, the range then judged as a wide core's",
         [] { return pulseInBothChannels(0, -0.5, kBothLongPulse, 1400); },
         {coreOf(deEmphasisedPulse(kBothLongPulse.width, 1), kBothLongPulse.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, -0.5, kBothLongPulse, 1400); },
         40},
        {"that pulse under a light wash, one and a half times as loud in the second channel at the other sign: "
         "its end sinks into the first channel's sound early, and the slow decay fitted after the partner's "
         "peak carries the range over the whole core",
         [] { return pulseInBothChannels(0, -1.5, kBothLongPulse, 700); },
         {coreOf(deEmphasisedPulse(kBothLongPulse.width, 1), kBothLongPulse.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, -1.5, kBothLongPulse, 700); },
         40},
        {"that pulse wider still, near the sound's ratio, fainter than a loud pop: its damage falls from its peak "
         "as the de-emphasis' two decays alone over 8 ms, as no event of the sound's does, and its core is found",
         [] { return pulseNearRatio(0); }, coresOf(kNearRatioPulse), 0, kRate, [] { return pulseNearRatio(1); }, 48},
        {"a pop in one channel of correlated stereo, its core wider than the longest click, is found where the "
         "other channel does not carry it",
         [] { return pulseInBothChannels(0, 0, kWidePop, 0); },
         {coreOf(deEmphasisedPulse(kWidePop.width, 1), kWidePop.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0, kWidePop, 0); },
         40},
        {"a wide pulse in one channel of that stereo under a wash both share: its line, ending where the core "
         "still stands over a quarter of its peak, leaves more of its departure than a wide core's may, and the "
         "range runs on over the whole core",
         [] { return pulseInBothChannels(0, 0, kWashedWidePulse, 1400); },
         {coreOf(deEmphasisedPulse(kWashedWidePulse.width, 1), kWashedWidePulse.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0, kWashedWidePulse, 1400); }},
        {"a wider, louder pop in one channel of that stereo under a loud wash both share: its whole core is "
         "lined down to a fifth of its peak, its loud middle alone standing in for it nowhere",
         [] { return pulseInBothChannels(0, 0, kLoudWidePop, 2000); },
         {coreOf(deEmphasisedPulse(kLoudWidePop.width, 1), kLoudWidePop.at, 0.2)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0, kLoudWidePop, 2000); },
         40},
        {"a loud pop in one channel of correlated stereo, its core just past the longest click: the slow decay "
         "fitted after its range carries the range over the whole core, and on to a fifth of its peak",
         [] { return pulseInBothChannels(0, 0, kLoudLongPop, 0); },
         {coreOf(deEmphasisedPulse(kLoudLongPop.width, 1), kLoudLongPop.at, 0.2)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0, kLoudLongPop, 0); },
         40},
        {"that pop wider, under a wash both channels share: the range, running on past the longest click, "
         "starts a sample earlier, before the core's front",
         [] { return pulseInBothChannels(0, 0, kLoudWashedPop, 1400); },
         {coreOf(deEmphasisedPulse(kLoudWashedPop.width, 1), kLoudWashedPop.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0, kLoudWashedPop, 1400); },
         40},
        {"a loud pop in both channels at the sound's own ratio, its raw defect a triangle, and one in the first "
         "alone, a raised sine, under a wash both share: each range starts back over the soft front that rises "
         "into its core before the error stands out, and each is lined down to a fifth of its peak",
         [] { return softFrontedPopsInBothChannels(0); },
         {coreOf(deEmphasisedPulse(kSoftFrontedPop.width, 1, RawShape::triangle), kSoftFrontedPop.at, 0.2),
          coreOf(deEmphasisedPulse(kRaisedSinePop.width, 1, RawShape::raisedSine), kRaisedSinePop.at, 0.2)},
         0,
         kRate,
         [] { return softFrontedPopsInBothChannels(1); },
         40},
        {"a pop on which the stylus rings, in both channels at its own ratio and sign under a wash both share: "
         "its loud samples, broken by the ringing's dips but hardly into the other sign, find its core",
         [] { return pulseInBothChannels(0, -0.5, kRingingPop, 1000, RawShape::ringing); },
         {coreOf(deEmphasisedPulse(kRingingPop.width, 1, RawShape::ringing), kRingingPop.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, -0.5, kRingingPop, 1000, RawShape::ringing); }},
        {"a pop ringing low in one channel: its range reaches past the ringing's dips to its core's end",
         [] { return pulseInBothChannels(0, 0, kLowRingingPop, 300, RawShape::lowRinging); },
         {coreOf(deEmphasisedPulse(4, 1, RawShape::lowRinging), 20000)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0, kLowRingingPop, 300, RawShape::lowRinging); },
         40},
        {"a loud pop on which the stylus rings lightly, in one channel of washed stereo, through a digital phono "
         "stage: its loud run, broken by the ringing's first dip, is short, but its peak stands well over the "
         "loud bound, and the run starts its candidate; its core is found",
         [] { return lightlyRingingPopInOneChannel(0); },
         {coreOf(bilinearDeEmphasisedPulse(kLightlyRingingPop.width, 1, RawShape::lightRinging),
                 kLightlyRingingPop.at)},
         0,
         kRate,
         [] { return lightlyRingingPopInOneChannel(1); },
         40},
        {"a soft pop under the loud bound in one channel of washed stereo: the channel less the partner at the "
         "gain that fits the window leaves little of the music and the wash, the pop stands out of that, and its "
         "candidate is found; its core, 3.5 ms, sinks into the wash in the channel itself, but in what the "
         "partner leaves a quarter of its peak stands far clear of the sound, and its end is followed there",
         [] { return pulseInBothChannels(0, 0, kWashedSoftPop, 2000, RawShape::triangle); },
         {coreOf(deEmphasisedPulse(kWashedSoftPop.width, 1, RawShape::triangle), kWashedSoftPop.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0, kWashedSoftPop, 2000, RawShape::triangle); },
         40},
        {"that pop in both channels, half as loud in the second and of the other sign: the ratio of its own "
         "leaves it standing out of what the partner leaves of the music, and its candidate and its whole core "
         "are found",
         [] { return pulseInBothChannels(0, -0.5, kWashedSoftPop, 2000, RawShape::triangle); },
         {coreOf(deEmphasisedPulse(kWashedSoftPop.width, 1, RawShape::triangle), kWashedSoftPop.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, -0.5, kWashedSoftPop, 2000, RawShape::triangle); },
         40},
        {"faint pops under a faint wash both channels share, one in the first channel alone, one in both at its "
         "own ratio and sign: where the quarter of each peak sinks into the music its end is found short, but "
         "followed in the channel less the partner at the sound's gain, far quieter, each range covers its core",
         [] { return faintPopsInStereo(0); }, coresOf(kFaintPops), 0, kRate, [] { return faintPopsInStereo(1); }},
        {"those pops where the second channel's share of the music moves just past each core: the partner at "
         "the gain fitted over 3 ms just before each range cancels the music there, and each range covers its core",
         [] { return faintPopsInRepannedStereo(0); }, coresOf(kFaintPops), 0, kRate,
         [] { return faintPopsInRepannedStereo(1); }},
        {"a loud pop in one channel of stereo whose channels share nothing, its core past the longest click: "
         "against what the sound before it predicts, its end is followed on up to a pop's longest core, and the "
         "range covers the core",
         [] { return popInOwnNoise(0, kLoudPopsInOwnNoise[0]); },
         {coreOf(deEmphasisedPulse(kLoudPopsInOwnNoise[0].width, 1), kLoudPopsInOwnNoise[0].at)},
         0,
         kRate,
         [] { return popInOwnNoise(1, kLoudPopsInOwnNoise[0]); },
         40},
        {"a shorter loud pop there, its core just past the longest click: followed on so too, and covered",
         [] { return popInOwnNoise(0, kLoudPopsInOwnNoise[1]); },
         {coreOf(deEmphasisedPulse(kLoudPopsInOwnNoise[1].width, 1), kLoudPopsInOwnNoise[1].at)},
         0,
         kRate,
         [] { return popInOwnNoise(1, kLoudPopsInOwnNoise[1]); },
         40},
        {"faint pulses in one channel of that stereo, 3.3 times the RMS: no sample stands out, but matched by "
         "their shape where the error around is white, each range covers its core",
         [] { return pulsesInOwnNoise(0, kFaintPulsesInOwnNoise); }, coresOf(kFaintPulsesInOwnNoise), 0, kRate,
         [] { return pulsesInOwnNoise(1, kFaintPulsesInOwnNoise); }, 40},
        {"those pulses in both channels, the second at -0.6 of the first: each channel's noise its own, the "
         "other tells nothing of the sound, and the first's ranges cover their cores as alone",
         [] { return pulsesInOwnNoise(0, kFaintPulsesInOwnNoise, -0.6); }, coresOf(kFaintPulsesInOwnNoise), 0, kRate,
         [] { return pulsesInOwnNoise(1, kFaintPulsesInOwnNoise, -0.6); }, 40},
        {"smooth wide pops in both channels at their own ratio and sign, no error of the model standing out: "
         "their samples, loud over the sound's level, find their cores, one just past a block's start too, the "
         "other lined down to a fifth of its peak",
         [] { return smoothWidePopsInBothChannels(0); },
         {coreOf(deEmphasisedPulse(kSmoothWidePopAtBlock.width, 1), kSmoothWidePopAtBlock.at),
          coreOf(deEmphasisedPulse(kSmoothWidePop.width, 1), kSmoothWidePop.at, 0.2)},
         0,
         kRate,
         [] { return smoothWidePopsInBothChannels(1); },
         40},
        {"the same wide pop in both channels at the ratio the sound holds between them (a hit panned with the "
         "music) is the music's own event: no range",
         [] { return pulseInBothChannels(0, 0.8, kWidePop, 0); },
         {},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0.8, kWidePop, 0); }},
        {"that pop at 0.6 in the second channel where the sound holds 0.8: near the sound's ratio, but off the "
         "gain the sound holds steadily on both sides, and falling as the de-emphasis' decays: found",
         [] { return pulseInBothChannels(0, 0.6, kWidePop, 0); },
         {coreOf(deEmphasisedPulse(kWidePop.width, 1), kWidePop.at)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0.6, kWidePop, 0); },
         40},
        {"that pop at 0.6, fainter, a quarter of its peak under the sound's level: it falls as the two decays alone",
         [] { return pulseInBothChannels(0, 0.6, kQuietWidePop[0], 0); }, coresOf(kQuietWidePop), 0, kRate,
         [] { return pulseInBothChannels(1, 0.6, kQuietWidePop[0], 0); }, 40},
        {"a loud pop in both channels at about the ratio the sound holds between them: its size and its fall "
         "as the de-emphasis' decays, the sound after it unchanged, tell it from the music's own event; lined "
         "down to a fifth of its peak",
         [] { return pulseInBothChannels(0, 0.8, kLouderWidePop, 0); },
         {coreOf(deEmphasisedPulse(kLouderWidePop.width, 1), kLouderWidePop.at, 0.2)},
         0,
         kRate,
         [] { return pulseInBothChannels(1, 0.8, kLouderWidePop, 0); },
         40},
        {"a wide pop in both channels with its own ratio and sign, in stereo whose channels share no music, is "
         "found: its shape in the other channel witnesses it, though that channel explains none of the "
         "sound around it",
         [] { return pulseInUnsharedChannels(0, -0.6, kWidePop); },
         {coreOf(deEmphasisedPulse(kWidePop.width, 1), kWidePop.at)},
         0,
         kRate,
         [] { return pulseInUnsharedChannels(1, -0.6, kWidePop); },
         40},
        {"a click in both channels with its own ratio and sign is found",
         [] { return correlatedChannel(0, -0.5); },
         {{20000, 3}},
         0,
         kRate,
         [] { return correlatedChannel(1, -0.5); }},
        {"a click in both channels at the sound's sign, half as loud in the other, under a loud wash both share: "
         "the partner's click rides in the cancelled sound and in the partner's share of the line's guess, and "
         "the channel's own sound judges it as any click",
         [] { return correlatedChannel(0, 0.5, 8000, 2000); },
         {{20000, 3}},
         0,
         kRate,
         [] { return correlatedChannel(1, 0.5, 8000, 2000); }},
        {"a faint click in both channels, nearly as large in the other but of a sign against the ratio the "
         "music holds between them, is found: two departures of one shape at a sign the sound does not hold are "
         "no event of the music's, and need half a click's departure",
         [] { return correlatedChannel(0, -0.9, 3000); },
         {{20000, 3}},
         0,
         kRate,
         [] { return correlatedChannel(1, -0.9, 3000); }},
        {"snares' loud hiss out of quiet tones (white, falling over 2 and 3 ms) draws no range inside the decay, "
         "where the interpolation misses the hiss before a line as much as the line gains",
         [] {
             Signal s = tones(second, 1500, 220, 600, 700);
             addBurst(s, 5000, 18000, 2, 0, 6);
             addBurst(s, 25000, 18000, 3, 0, 5001);
             return s;
         },
         {}},
        {"a hiss burst over a loud low tone under a steady hiss draws no range: departing less than the tone's "
         "loudest samples, its line must gain clearly more than the interpolation misses the hiss by",
         [] {
             Signal s = sine(second, 6000, 80);
             const Signal hiss = noise(second, 1000, 15);
             for (std::size_t n = 0; n < s.size(); ++n) s[n] += hiss[n];
             addBurst(s, 9000, 6000, 3, 0, 9000);
             return s;
         },
         {}},
        {"tuned drum hits over a low wave draw no range: a line across an attack would flatten the body's swings",
         [] { return tunedHits(120); },
         {}},
        {"tuned drum hits whose loud attack jumps at once to its largest draw no range: it rings into the body, "
         "whose rise the sound after shows",
         [] {
             return tunedHits(250, {3000, 0.0007, 2500, 0, 4});
         },
         {}},
        {"pulses in loud noise whose band ends at 15 kHz: where the two-sided error rings about one and peaks "
         "where no one-sided error stands out, the ringing is judged whole",
         pulsesInBandLimitedNoise, coresOf(kBandLimitedPulses)},
        {"a dense crackle stretch: each click found, none merged", [] { return tonesWithPulses(kCrackle); },
         coresOf(kCrackle), 0, kRate, nullptr, 40},
        {"a plosive burst in speech-like tones does not fire",
         [] {
             Signal s = sine(second, 500, 150);
             addBurst(s, 22000, 6000, 8, 0.7, 5);
             return s;
         },
         {}},
    };
    for (const bool pink : {false, true}) {
        table.push_back(noiseCase(pink, 0, 0));
        table.push_back(noiseCase(pink, 4, pink ? 7 : 9));
        table.push_back(noiseCase(pink, 5, pink ? 1 : 2));
        table.push_back(noiseCase(pink, 10, 0));
    }
    // Noises where the windows around a click (three in the white, one in
    // the pink) chance to pass the probe a little more often than their
    // expected share.
    table.push_back(noiseCase(false, 7, 0, 1031));
    table.push_back(noiseCase(true, 7, 0, 2004));
    return table;
}

TEST(ClickFinder, CoversEachKnownClickAndNothingElse) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const std::vector<std::int16_t> samples = quantised(c.make());
        std::size_t largestRead = 0;
        const std::vector<std::int16_t> other = c.makeOther ? quantised(c.makeOther()) : std::vector<std::int16_t>{};
        const std::vector<Click> found = find(samples, other, &largestRead, c.rate);
        std::size_t missed = 0;
        for (const Damage& d : c.clicks) {
            const std::size_t last = d.first + d.width - 1;
            const auto covering = std::find_if(found.begin(), found.end(),
                                               [&](const Click& k) { return k.first <= d.first && k.last >= last; });
            if (covering == found.end() && ++missed <= c.mayMiss) continue;
            if (covering == found.end()) {
                std::string ranges;
                for (const Click& k : found) ranges += " " + std::to_string(k.first) + ":" + std::to_string(k.last);
                ADD_FAILURE() << "missed the click at " << d.first << "; found" << ranges;
                continue;
            }
            // What the repair keeps and averages at the ends lies outside the
            // damage (but for the file's own ends).
            const SampleSpan replaced = replacedBy({covering->first, covering->last});
            EXPECT_TRUE(replaced.first <= d.first || covering->first == 0) << covering->first;
            EXPECT_TRUE(replaced.last >= last || covering->last == samples.size() - 1) << covering->last;
            EXPECT_LE(covering->last - covering->first, d.width + c.runOn) << covering->first << ":" << covering->last;
            EXPECT_GT(covering->score, 1.0);
        }
        for (const Click& k : found) {
            const bool explained = std::any_of(c.clicks.begin(), c.clicks.end(), [&](const Damage& d) {
                return k.first <= d.first + d.width && k.last + 1 >= d.first;
            });
            if (!explained) ADD_FAILURE() << "false alarm at " << k.first << ":" << k.last << " score " << k.score;
        }
        for (std::size_t i = 1; i < found.size(); ++i) EXPECT_GT(found[i].first, found[i - 1].last);
        EXPECT_LE(largestRead, std::size_t{32768});  // one block and its context, whatever the length
    }
}

// The selection around a run of damage: one good sample at each end up to 5
// selected samples, two from 6 on (the repair averages the second ones), and
// no further than the signal reaches; and what of a selection the line alone
// replaces.
TEST(Selection, KeepsGoodSamplesWhereTheRepairKeepsAndAverages) {
    struct Row {
        SampleSpan damage;
        std::uint64_t length;
        SampleSpan selection;
        SampleSpan replaced;
    };
    const Row rows[] = {
        {{100, 100}, 1000, {99, 101}, {100, 100}},  // 3 samples
        {{100, 102}, 1000, {99, 103}, {100, 102}},  // 5: still one each side
        {{100, 103}, 1000, {98, 105}, {100, 103}},  // 6 with one each side: two then
        {{100, 149}, 1000, {98, 151}, {100, 149}},
        {{1, 10}, 1000, {0, 12}, {2, 10}},           // at the start: only one sample before
        {{0, 0}, 1000, {0, 1}, {1, 0}},              // too short for the repair to change anything
        {{990, 999}, 1000, {988, 999}, {990, 997}},  // at the end
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.damage.first) + ":" + std::to_string(row.damage.last));
        const SampleSpan selection = selectionAround(row.damage, row.length);
        EXPECT_EQ(selection.first, row.selection.first);
        EXPECT_EQ(selection.last, row.selection.last);
        const SampleSpan replaced = replacedBy(selection);
        EXPECT_EQ(replaced.first, row.replaced.first);
        EXPECT_EQ(replaced.last, row.replaced.last);
    }
}

// Damage found close together is joined before it becomes a selection, so
// that the selections, which reach beyond their damage, never overlap.
TEST(Selection, JoinsCloseDamageBeforeSelectingSoThatNoneOverlap) {
    struct Row {
        std::vector<SampleSpan> damage;
        std::vector<SampleSpan> selections;
    };
    const Row rows[] = {
        {{{100, 101}, {106, 110}}, {{99, 102}, {104, 112}}},  // four good samples apart: two selections that touch
        {{{100, 101}, {105, 105}}, {{98, 107}}},              // three apart: one run of 6, two good samples each side
        {{{100, 110}, {103, 104}}, {{98, 112}}},              // one inside the other
        {{{2, 3}, {995, 999}}, {{1, 4}, {993, 999}}},         // the signal's ends
    };
    for (const Row& row : rows) {
        std::vector<detect::Damage> runs;
        for (const SampleSpan& span : row.damage) addDamage(runs, {span, 1.0}, 4);
        const std::vector<Click> clicks = selectionsFor(runs, 1000);
        ASSERT_EQ(clicks.size(), row.selections.size()) << row.damage.front().first;
        for (std::size_t i = 0; i < clicks.size(); ++i) {
            EXPECT_EQ(clicks[i].first, row.selections[i].first);
            EXPECT_EQ(clicks[i].last, row.selections[i].last);
            if (i > 0) {
                EXPECT_GT(clicks[i].first, clicks[i - 1].last);
            }
        }
    }
}

}  // namespace
}  // namespace tesmora::detect
