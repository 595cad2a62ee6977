// The AR interpolation across a gap whose damage runs on after it as a slow
// exponential decay (a pulse through a phono stage's de-emphasis): the
// samples after the gap are the sound plus that decay, of unknown amplitude.
#ifndef TESMORA_DETECT_DECAY_TAIL_H
#define TESMORA_DETECT_DECAY_TAIL_H

#include <cstddef>
#include <vector>

#include "ar_model.h"

namespace tesmora::detect {

struct DecayTail {
    double amplitude = 0;     // the decay's value at the first sample after the gap
    double significance = 0;  // its amplitude squared against its estimate's variance
    std::vector<double> gap;  // the sound across the gap, the decay taken out of its context
};

// Fits the decay exp(-(n - last - 1) / decay) after the gap x[first..last]
// over span samples, jointly with the gap's interpolation: the amplitude
// that leaves the smallest prediction error. Needs order samples before
// first and span (at least order) after last. The gap is interpolated under
// the interpolator's model, reusing its factor.
DecayTail fitDecayTail(const double* x, std::size_t count, GapInterpolator& gaps, std::size_t first, std::size_t last,
                       std::size_t span, double decay);

}  // namespace tesmora::detect

#endif
