#include "noise_evidence.h"

#include <algorithm>
#include <cmath>

namespace tesmora::detect {

void NoiseEvidence::measure(const double* error, const double* scale, std::size_t first, std::size_t count,
                            std::size_t span, double probe) {
    whitened_.assign(count, 0.0);
    energy_.assign(count, 0.0);
    for (std::size_t n = first; n < count; ++n) whitened_[n] = error[n] / scale[n];
    double energy = 0;
    for (std::size_t n = first; n < count; ++n) {
        energy += whitened_[n] * whitened_[n];
        if (n >= first + span) energy -= whitened_[n - span] * whitened_[n - span];
        if (n + 1 >= first + span) energy_[n + 1 - span] = energy;
    }
    rough_.assign(count + 1, 0);
    for (std::size_t n = 0; n < count; ++n) rough_[n + 1] = rough_[n] + (energy_[n] > probe ? 1U : 0U);
}

double NoiseEvidence::roughShare(std::size_t from, std::size_t to) const {
    if (from >= to) return 0;
    return static_cast<double>(rough_[to] - rough_[from]) / static_cast<double>(to - from);
}

bool NoiseEvidence::white(std::size_t from, std::size_t to, std::size_t skipFrom, std::size_t skipTo,
                          double bound) const {
    double power = 0;
    double lagOne = 0;
    double lagTwo = 0;
    std::size_t counted = 0;
    to = std::min(to, whitened_.size());
    for (std::size_t n = from; n + 2 < to; ++n) {
        if (n + 2 >= skipFrom && n < skipTo) continue;
        power += whitened_[n] * whitened_[n];
        lagOne += whitened_[n] * whitened_[n + 1];
        lagTwo += whitened_[n] * whitened_[n + 2];
        ++counted;
    }
    // The correlation of n samples of white noise at a lag has a deviation
    // of 1 / sqrt(n).
    const double limit = bound * power / std::sqrt(static_cast<double>(std::max<std::size_t>(counted, 1)));
    return std::fabs(lagOne) <= limit && std::fabs(lagTwo) <= limit;
}

}  // namespace tesmora::detect
