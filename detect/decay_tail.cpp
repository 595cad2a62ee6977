#include "decay_tail.h"

#include <algorithm>
#include <cmath>

#include "ar_model.h"

namespace tesmora::detect {

DecayTail fitDecayTail(const double* x, std::size_t count, GapInterpolator& gaps, std::size_t first, std::size_t last,
                       std::size_t span, double decay) {
    const std::vector<double>& a = gaps.model();
    const std::size_t p = a.size() - 1;
    if (first < p || last < first || span < p || last + span >= count || decay <= 0) return {};
    // Local copies from order samples before the gap to span after it: the
    // samples, and the decay of unit amplitude (zero up to the gap's end).
    const std::size_t from = first - p;
    const std::size_t length = last + span + 1 - from;
    const std::size_t gapFirst = p;
    const std::size_t gapLast = last - from;
    std::vector<double> sound(x + from, x + from + length);
    std::vector<double> tail(length, 0.0);
    const double step = std::exp(-1 / decay);
    double value = 1;
    for (std::size_t i = gapLast + 1; i < length; ++i) {
        tail[i] = value;
        value *= step;
    }
    // The interpolation is linear in its context: the gap filled from the
    // samples less A times the decay is the gap filled from the samples less
    // A times the gap filled from the decay alone. So is the prediction
    // error, and A is a one-unknown least-squares fit.
    const std::vector<double> soundGap = gaps.interpolate(sound.data(), length, gapFirst, gapLast);
    const std::vector<double> tailGap = gaps.interpolate(tail.data(), length, gapFirst, gapLast);
    std::copy(soundGap.begin(), soundGap.end(), sound.begin() + static_cast<std::ptrdiff_t>(gapFirst));
    std::copy(tailGap.begin(), tailGap.end(), tail.begin() + static_cast<std::ptrdiff_t>(gapFirst));
    // The prediction errors of both, each sum over the model in its order.
    std::vector<double> soundErrors(length);
    std::vector<double> tailErrors(length);
    forwardError(sound.data(), length, a, soundErrors.data());
    forwardError(tail.data(), length, a, tailErrors.data());
    double cross = 0;
    double tailEnergy = 0;
    double soundEnergy = 0;
    for (std::size_t n = p; n < length; ++n) {
        const double soundError = soundErrors[n];
        const double tailError = tailErrors[n];
        cross += soundError * tailError;
        tailEnergy += tailError * tailError;
        soundEnergy += soundError * soundError;
    }
    if (tailEnergy <= 0) return {};
    DecayTail fit;
    fit.amplitude = cross / tailEnergy;
    const double rows = static_cast<double>(length - p);
    const double left = std::max(soundEnergy - fit.amplitude * cross, 1e-12);
    fit.significance = fit.amplitude * fit.amplitude * tailEnergy / (left / (rows - 1));
    fit.gap.resize(soundGap.size());
    for (std::size_t i = 0; i < soundGap.size(); ++i) fit.gap[i] = soundGap[i] - fit.amplitude * tailGap[i];
    return fit;
}

}  // namespace tesmora::detect
