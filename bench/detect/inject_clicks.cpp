// inject_clicks CLEAN OUT TRUTH SEED [PER_MINUTE]: adds clicks to a clean
// 16-bit mono recording, from a seeded generator, and lists them in TRUTH
// ("FIRST LAST SHAPE PEAK FACTOR" a line: the damaged samples, inclusive).
// Widths 1 to 32 samples; shapes: a single-sign spike (a burst of one sign,
// each sample 0.4 to 1 times the peak), a damped bipolar
// oscillation, a step with an exponential decay; peaks 3 to 20 times the
// local RMS of the clean signal (over 10 ms each side), never below 300.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "wav_file.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Uniform in [0, 1) from the generator's raw output, the same on every
// standard library (the standard's distributions are not).
double uniform(std::mt19937_64& random) {
    return static_cast<double>(random() >> 11) / 9007199254740992.0;
}

double localRms(const std::vector<std::int16_t>& x, std::size_t at, std::size_t span) {
    const std::size_t from = at > span ? at - span : 0;
    const std::size_t to = std::min(x.size(), at + span);
    double sum = 0;
    for (std::size_t n = from; n < to; ++n) sum += static_cast<double>(x[n]) * x[n];
    return std::sqrt(sum / static_cast<double>(std::max<std::size_t>(1, to - from)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: inject_clicks CLEAN OUT TRUTH SEED [PER_MINUTE]\n");
        return 2;
    }
    tesmora::bench::MonoWav wav = tesmora::bench::readMonoWav(argv[1]);
    std::mt19937_64 random(std::strtoull(argv[4], nullptr, 10));
    const double perMinute = argc > 5 ? std::atof(argv[5]) : 60.0;
    const std::vector<std::int16_t> clean = wav.samples;
    const auto span = static_cast<std::size_t>(wav.sampleRate / 100);
    const double minutes = static_cast<double>(clean.size()) / wav.sampleRate / 60;
    const auto count = static_cast<std::size_t>(std::lround(minutes * perMinute));
    FILE* truth = std::fopen(argv[3], "w");
    if (truth == nullptr) return 1;
    // One click in each of count equal slots, away from the slot's edges, so
    // that no two clicks touch.
    const std::size_t slot = count > 0 ? clean.size() / count : 0;
    const char* shapes[] = {"spike", "oscillation", "step"};
    std::vector<double> signal(clean.begin(), clean.end());
    for (std::size_t c = 0; c < count && slot > 2 * span + 64; ++c) {
        const auto width = static_cast<std::size_t>(1 + random() % 32);
        const auto shape = static_cast<int>(random() % 3);
        const double factor = 3 + 17 * uniform(random);
        const double sign = random() % 2 == 0 ? 1 : -1;
        const double hertz = 0.1 + 0.3 * uniform(random);  // cycles a sample, for the oscillation
        const std::size_t first = c * slot + span + static_cast<std::size_t>(uniform(random) * (slot - 2 * span - 32));
        const double peak = std::min(30000.0, std::max(300.0, factor * localRms(clean, first + width / 2, span)));
        for (std::size_t i = 0; i < width; ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(width);
            double v = 1;
            if (shape == 0) v = i == 0 ? 1 : 0.4 + 0.6 * uniform(random);
            if (shape == 1) v = std::exp(-2 * t) * std::cos(2 * kPi * hertz * static_cast<double>(i));
            if (shape == 2) v = std::exp(-2 * t);
            signal[first + i] += sign * peak * v;
        }
        std::fprintf(truth, "%zu %zu %s %.0f %.2f\n", first, first + width - 1, shapes[shape], peak, factor);
    }
    std::fclose(truth);
    for (std::size_t n = 0; n < signal.size(); ++n) {
        wav.samples[n] = static_cast<std::int16_t>(std::clamp(std::lround(signal[n]), -32768L, 32767L));
    }
    tesmora::bench::writeMonoWav(argv[2], wav);
    return 0;
}
