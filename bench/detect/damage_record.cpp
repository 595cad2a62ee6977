// damage_record CLEAN OUT TRUTH SEED [PER_MINUTE]: damages a clean 16-bit
// recording (any number of channels) as a worn record played through a phono
// stage would, from a seeded generator, and lists the damage in TRUTH.
//
// What it adds (PER_MINUTE, default 120, is the rate of single defects):
// - "pulse": a defect of the groove, raw width 20 us to 2 ms (log-uniform),
//   rectangular, triangular, half-sine, sharp-fronted with a decay, or
//   soft-fronted with a sharp back; 70 % of the single defects;
// - "pop": a pulse on which the stylus and cartridge ring (a damped
//   oscillation of 1 to 6 kHz over 0.2 to 1.5 ms); 20 %;
// - "scratch": one defect repeated once a revolution (1.8 s at 33 1/3 rpm,
//   1.33 s at 45, 0.77 s at 78) for 4 to 10 revolutions, each time within
//   20 % of the same size; 10 % of the single defects start one;
// - "crackle": stretches of 2 to 5 s, one every 20 s or so, of dense small
//   defects (600 to 3000 a minute, raw width 20 to 100 us, peaks 0.5 to 4
//   times the local RMS).
// Every defect goes through the RIAA playback de-emphasis (time constants
// 3180, 318 and 75 us, at the file's rate), which turns it into a sharp spike
// with a long, low tail. Its peak is 1 to 30 times (log-uniform) the local
// RMS of the clean signal (10 ms each side), at least 200. Placement, on a
// file of two channels or more: 40 % in one channel (either), 60 % in two,
// the second at 0.3 to 1 times the first and of either sign.
//
// TRUTH has a line for each defect in each channel it damages:
//   CHANNEL CORE_FIRST CORE_LAST TAIL_FIRST TAIL_LAST KIND PLACEMENT PEAK FACTOR
// the core being where the damage exceeds a quarter of its peak (what the
// line should replace), the tail where it exceeds 2 % (samples, inclusive);
// PLACEMENT is "one" or "both"; FACTOR is the peak against the local RMS.
// No defect's damage (its tail and the 2 ms it fades out over after it)
// comes within 8 samples of another's in the same channel.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "wav_file.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCoreShare = 0.25;
constexpr double kTailShare = 0.02;
constexpr std::size_t kSpacing = 8;

// Uniform in [0, 1) from the generator's raw output, the same on every
// standard library (the standard's distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    double uniform() { return static_cast<double>(engine_() >> 11) / 9007199254740992.0; }
    double between(double low, double high) { return low + (high - low) * uniform(); }
    double logBetween(double low, double high) { return low * std::pow(high / low, uniform()); }
    bool chance(double p) { return uniform() < p; }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(uniform() * static_cast<double>(n)); }

private:
    std::mt19937_64 engine_;
};

// The RIAA playback curve, (1 + s T2) / ((1 + s T1)(1 + s T3)), as two
// first-order sections by the bilinear transform.
class Deemphasis {
public:
    explicit Deemphasis(double rate) {
        const double k = 2 * rate;
        shelf_ = section(1, 318e-6, 1, 3180e-6, k);
        lowpass_ = section(1, 0, 1, 75e-6, k);
    }
    std::vector<double> apply(const std::vector<double>& x, std::size_t length) const {
        std::vector<double> y(length, 0.0);
        double shelfIn = 0, shelfOut = 0, lowIn = 0, lowOut = 0;
        for (std::size_t n = 0; n < length; ++n) {
            const double in = n < x.size() ? x[n] : 0.0;
            const double s = shelf_[0] * in + shelf_[1] * shelfIn - shelf_[2] * shelfOut;
            shelfIn = in;
            shelfOut = s;
            const double l = lowpass_[0] * s + lowpass_[1] * lowIn - lowpass_[2] * lowOut;
            lowIn = s;
            lowOut = l;
            y[n] = l;
        }
        return y;
    }

private:
    // (b0 + b1 s) / (a0 + a1 s) with s = k (1 - z^-1) / (1 + z^-1): {b0', b1', a1'}.
    static std::vector<double> section(double b0, double b1, double a0, double a1, double k) {
        const double norm = a0 + a1 * k;
        return {(b0 + b1 * k) / norm, (b0 - b1 * k) / norm, (a0 - a1 * k) / norm};
    }
    std::vector<double> shelf_;
    std::vector<double> lowpass_;
};

// The raw defect: the groove's deformation as the stylus meets it.
std::vector<double> rawPulse(Random& random, double rate, double widthSeconds, bool ringing) {
    const double samples = widthSeconds * rate;
    const auto width = static_cast<std::size_t>(std::max(1.0, std::round(samples)));
    const auto shape = random.below(5);
    std::vector<double> x(width);
    for (std::size_t i = 0; i < width; ++i) {
        const double t = (static_cast<double>(i) + 0.5) / static_cast<double>(width);
        double v = 1;
        if (shape == 1) v = 1 - std::fabs(2 * t - 1);
        if (shape == 2) v = std::sin(kPi * t);
        if (shape == 3) v = std::exp(-4 * t);
        if (shape == 4) v = std::exp(-4 * (1 - t));
        x[i] = v * std::min(1.0, samples);  // narrower than a sample: its area
    }
    if (ringing) {
        const double hertz = random.between(1000, 6000);
        const double decay = random.between(0.2e-3, 1.5e-3) * rate;
        const double level = random.between(0.5, 1.5);
        const auto length = static_cast<std::size_t>(4 * decay);
        // The ringing starts halfway through the pulse.
        x.resize(std::max(x.size(), width / 2 + length), 0.0);
        for (std::size_t i = 0; i < length; ++i) {
            x[width / 2 + i] += level * std::exp(-static_cast<double>(i) / decay) *
                                std::sin(2 * kPi * hertz * static_cast<double>(i) / rate);
        }
    }
    return x;
}

struct Shape {
    std::vector<double> values;  // the de-emphasised defect, its peak magnitude 1
    std::size_t coreFirst, coreLast, tailFirst, tailLast;
};

Shape deemphasised(const Deemphasis& riaa, const std::vector<double>& raw, double rate) {
    std::vector<double> y = riaa.apply(raw, raw.size() + static_cast<std::size_t>(0.05 * rate));
    double peak = 0;
    for (double v : y) peak = std::max(peak, std::fabs(v));
    for (double& v : y) v /= peak;
    Shape shape{y, y.size(), 0, y.size(), 0};
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (std::fabs(y[i]) >= kCoreShare) shape.coreFirst = std::min(shape.coreFirst, i), shape.coreLast = i;
        if (std::fabs(y[i]) >= kTailShare) shape.tailFirst = std::min(shape.tailFirst, i), shape.tailLast = i;
    }
    // Below the tail the damage fades out over 2 ms rather than stopping:
    // cut at the tail's end, it would end in a step of 2 % of its peak, a
    // small click of its own.
    const auto fade = static_cast<std::size_t>(std::round(0.002 * rate));
    shape.values.resize(std::min(y.size(), shape.tailLast + 1 + fade));
    for (std::size_t i = shape.tailLast + 1; i < shape.values.size(); ++i) {
        const double done = static_cast<double>(i - shape.tailLast) / static_cast<double>(fade + 1);
        shape.values[i] *= 0.5 * (1 + std::cos(kPi * done));
    }
    return shape;
}

struct Placed {
    std::size_t first, last;  // the tail and its fade, in frames
};

class Damager {
public:
    Damager(tesmora::bench::Wav& wav, FILE* truth, std::uint64_t seed)
        : wav_(wav),
          truth_(truth),
          random_(seed),
          riaa_(wav.sampleRate),
          rate_(wav.sampleRate),
          clean_(wav.samples.begin(), wav.samples.end()),
          damaged_(clean_),
          placed_(static_cast<std::size_t>(wav.channels)) {}

    void run(double perMinute) {
        const double seconds = static_cast<double>(wav_.frames()) / rate_;
        const auto singles = static_cast<std::size_t>(std::lround(seconds / 60 * perMinute));
        for (std::size_t k = 0; k < singles; ++k) {
            const double at = random_.uniform() * seconds;
            const double kind = random_.uniform();
            if (kind < 0.7) {
                defect(at, "pulse", random_.logBetween(1, 30), random_.logBetween(20e-6, 2e-3), false);
            } else if (kind < 0.9) {
                defect(at, "pop", random_.logBetween(1, 30), random_.logBetween(20e-6, 2e-3), true);
            } else {
                scratch(at);
            }
        }
        for (double start = random_.between(2, 20); start + 5 < seconds; start += random_.between(15, 25)) {
            const double length = random_.between(2, 5);
            const double perSecond = random_.between(600, 3000) / 60;
            for (double at = start; at < start + length; at += -std::log(1 - random_.uniform()) / perSecond) {
                defect(at, "crackle", random_.logBetween(0.5, 4), random_.logBetween(20e-6, 100e-6), false);
            }
        }
        for (std::size_t i = 0; i < damaged_.size(); ++i) {
            wav_.samples[i] = static_cast<std::int16_t>(std::clamp(std::lround(damaged_[i]), -32768L, 32767L));
        }
    }

private:
    void scratch(double at) {
        const double periods[] = {60 / (100.0 / 3), 60 / 45.0, 60 / 78.0};
        const double period = periods[random_.below(3)];
        const auto revolutions = 4 + random_.below(7);
        const double factor = random_.logBetween(1, 30);
        const double width = random_.logBetween(20e-6, 2e-3);
        const std::uint64_t shapeSeed = static_cast<std::uint64_t>(random_.uniform() * 1e18);
        const int placement = choosePlacement();
        const double ratio = random_.between(0.3, 1) * (random_.chance(0.5) ? 1 : -1);
        for (std::size_t r = 0; r < revolutions; ++r) {
            Random same(shapeSeed);  // the same defect each revolution
            place(at + static_cast<double>(r) * period, "scratch", factor * random_.between(0.8, 1.2),
                  deemphasised(riaa_, rawPulse(same, rate_, width, false), rate_), placement, ratio);
        }
    }

    void defect(double at, const char* kind, double factor, double width, bool ringing) {
        const int placement = choosePlacement();
        const double ratio = random_.between(0.3, 1) * (random_.chance(0.5) ? 1 : -1);
        place(at, kind, factor, deemphasised(riaa_, rawPulse(random_, rate_, width, ringing), rate_), placement, ratio);
    }

    // The channel a one-channel defect lies in, or -1 for two channels (the
    // first two, or a random pair of more).
    int choosePlacement() {
        const auto channels = static_cast<std::size_t>(wav_.channels);
        if (channels == 1) return 0;
        return random_.chance(0.4) ? static_cast<int>(random_.below(channels)) : -1;
    }

    double localRms(int channel, std::size_t frame) const {
        const auto span = static_cast<std::size_t>(rate_ / 100);
        const std::size_t from = frame > span ? frame - span : 0;
        const std::size_t to = std::min(wav_.frames(), frame + span);
        double sum = 0;
        for (std::size_t n = from; n < to; ++n) sum += std::pow(clean_[index(n, channel)], 2);
        return std::sqrt(sum / static_cast<double>(std::max<std::size_t>(1, to - from)));
    }

    std::size_t index(std::size_t frame, int channel) const {
        return frame * static_cast<std::size_t>(wav_.channels) + static_cast<std::size_t>(channel);
    }

    bool isFree(int channel, std::size_t first, std::size_t last) const {
        for (const Placed& p : placed_[static_cast<std::size_t>(channel)]) {
            if (first <= p.last + kSpacing && last + kSpacing >= p.first) return false;
        }
        return true;
    }

    void place(double at, const char* kind, double factor, const Shape& shape, int placement, double ratio) {
        const auto start = static_cast<std::size_t>(at * rate_);
        if (start + shape.values.size() >= wav_.frames()) return;
        std::vector<int> channels;
        if (placement >= 0) {
            channels.push_back(placement);
        } else {
            const auto first = static_cast<int>(random_.below(static_cast<std::size_t>(wav_.channels)));
            channels = {first, (first + 1) % wav_.channels};
        }
        for (int c : channels) {
            if (!isFree(c, start + shape.tailFirst, start + shape.values.size() - 1)) return;
        }
        const double sign = random_.chance(0.5) ? 1 : -1;
        const std::size_t centre = start + (shape.coreFirst + shape.coreLast) / 2;
        const double rms = localRms(channels.front(), centre);
        const double peak = std::min(30000.0, std::max(200.0, factor * rms));
        for (std::size_t k = 0; k < channels.size(); ++k) {
            const int c = channels[k];
            const double channelPeak = k == 0 ? peak : peak * std::fabs(ratio);
            const double channelSign = k == 0 ? sign : sign * (ratio < 0 ? -1 : 1);
            for (std::size_t i = 0; i < shape.values.size(); ++i) {
                damaged_[index(start + i, c)] += channelSign * channelPeak * shape.values[i];
            }
            placed_[static_cast<std::size_t>(c)].push_back({start + shape.tailFirst, start + shape.values.size() - 1});
            const double channelRms = localRms(c, centre);
            std::fprintf(truth_, "%d %zu %zu %zu %zu %s %s %.0f %.2f\n", c, start + shape.coreFirst,
                         start + shape.coreLast, start + shape.tailFirst, start + shape.tailLast, kind,
                         channels.size() == 1 ? "one" : "both", channelPeak, channelPeak / std::max(channelRms, 1.0));
        }
    }

    tesmora::bench::Wav& wav_;
    FILE* truth_;
    Random random_;
    Deemphasis riaa_;
    double rate_;
    std::vector<double> clean_;
    std::vector<double> damaged_;
    std::vector<std::vector<Placed>> placed_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: damage_record CLEAN OUT TRUTH SEED [PER_MINUTE]\n");
        return 2;
    }
    tesmora::bench::Wav wav = tesmora::bench::readWav(argv[1]);
    FILE* truth = std::fopen(argv[3], "w");
    if (truth == nullptr) return 1;
    Damager damager(wav, truth, std::strtoull(argv[4], nullptr, 10));
    damager.run(argc > 5 ? std::atof(argv[5]) : 120.0);
    std::fclose(truth);
    tesmora::bench::writeWav(argv[2], wav);
    return 0;
}
