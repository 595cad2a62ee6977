// The evidence of a click's few samples taken together. In noise-like sound
// (surface noise, hiss, cymbals, rain) the prediction error of a click's
// samples is about as large as the error around it: no one sample stands
// out, but their energy together does, as long as the error around is
// white and Gaussian, the noise the model leaves when it fits the sound.
// Better still where the click's shape is known roughly: a pulse that
// decays over the span, weighted sample by sample as it is expected (the
// matched filter for that pulse through the model) gathers its energy
// against the noise of one dimension, not of span.
#ifndef TESMORA_DETECT_NOISE_EVIDENCE_H
#define TESMORA_DETECT_NOISE_EVIDENCE_H

#include <cstddef>
#include <vector>

#include "robust_scale.h"

namespace tesmora::detect {

// The share of windows over the probe that white Gaussian error reaches by
// chance among count of them: its expected share plus deviations of the
// share's spread. The windows overlap, so they cross the probe in clusters
// of about cluster at once, and the spread is that of count / cluster
// independent draws.
double roughShareLimit(double share, double cluster, std::size_t count, double deviations);

class NoiseEvidence {
public:
    // Takes error[first, count) divided by scale (its local deviation),
    // the energy of each span samples and, of these, which exceed probe.
    void measure(const double* error, const double* scale, std::size_t first, std::size_t count, std::size_t span,
                 double probe);

    // Takes the two-sided error matched[first, end) (the forward error
    // filtered by the time-reversed model) and its local deviation scale:
    // the evidence of a pulse falling linearly over span samples from each
    // n, in squared deviations of that evidence.
    void measureShaped(const double* matched, const RobustScale& scale, std::size_t first, std::size_t end,
                       const std::vector<double>& model, std::size_t span);

    // The energy of the span samples from each n, in squared deviations (0
    // where they are not all measured).
    const double* energies() const { return energy_.data(); }
    // The shaped evidence of a pulse from each n (0 where not measured).
    const double* shapedSums() const { return shaped_.data(); }
    // The share of the windows starting in [from, to) whose energy exceeds
    // the probe.
    double roughShare(std::size_t from, std::size_t to) const;
    // Whether the error in [from, to), less [skipFrom, skipTo), is white:
    // its correlation with itself one and two samples later within bound
    // deviations of the estimate's chance from zero.
    bool white(std::size_t from, std::size_t to, std::size_t skipFrom, std::size_t skipTo, double bound) const;

private:
    // white, its sums taken in order.
    bool whiteInOrder(std::size_t from, std::size_t to, std::size_t skipFrom, std::size_t skipTo, double bound) const;

    std::vector<double> whitened_;
    std::vector<double> energy_;
    std::vector<double> shaped_;
    std::vector<std::size_t> rough_;  // windows before each index whose energy exceeds the probe
};

}  // namespace tesmora::detect

#endif
