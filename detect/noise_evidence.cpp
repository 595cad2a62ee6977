#include "noise_evidence.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "four_doubles.h"

namespace tesmora::detect {

namespace {

// out[n] = (sum shape[k] x[n + k])^2 * factor for n in [from, to), the sum
// taken over k in order: four n side by side (AVX2 where the processor
// has it), each rounded as one at a time.
__attribute__((target_clones("avx2", "default"))) void weightedSquares(const double* x, std::size_t from,
                                                                       std::size_t to, const std::vector<double>& shape,
                                                                       double factor, double* out) {
    const std::size_t span = shape.size();
    std::size_t n = from;
    for (; n + 4 <= to; n += 4) {
        FourDoubles sums = {0, 0, 0, 0};
        for (std::size_t k = 0; k < span; ++k) {
            FourDoubles ahead;
            loadFour(ahead, x + n + k);
            sums += shape[k] * ahead;
        }
        storeFour(out + n, sums * sums * factor);
    }
    for (; n < to; ++n) {
        double sum = 0;
        for (std::size_t k = 0; k < span; ++k) sum += shape[k] * x[n + k];
        out[n] = sum * sum * factor;
    }
}

// Over n in [from, to): the sums of w[n]^2, w[n] w[n + 1], w[n] w[n + 2],
// |w[n] w[n + 1]| and |w[n] w[n + 2]|, added to sums[0..4]; four n side by
// side (AVX2 where the processor has it), in no particular order.
__attribute__((target_clones("avx2", "default"))) void laggedSums(const double* w, std::size_t from, std::size_t to,
                                                                  double* sums) {
    FourDoubles lanes[5] = {};
    std::size_t n = from;
    for (; n + 4 <= to; n += 4) {
        FourDoubles here;
        FourDoubles next;
        FourDoubles later;
        loadFour(here, w + n);
        loadFour(next, w + n + 1);
        loadFour(later, w + n + 2);
        const FourDoubles one = here * next;
        const FourDoubles two = here * later;
        lanes[0] += here * here;
        lanes[1] += one;
        lanes[2] += two;
        lanes[3] += one < 0 ? -one : one;
        lanes[4] += two < 0 ? -two : two;
    }
    for (std::size_t k = 0; k < 5; ++k) sums[k] += (lanes[k][0] + lanes[k][1]) + (lanes[k][2] + lanes[k][3]);
    for (; n < to; ++n) {
        sums[0] += w[n] * w[n];
        sums[1] += w[n] * w[n + 1];
        sums[2] += w[n] * w[n + 2];
        sums[3] += std::fabs(w[n] * w[n + 1]);
        sums[4] += std::fabs(w[n] * w[n + 2]);
    }
}

}  // namespace

void NoiseEvidence::measure(const double* error, const double* scale, std::size_t first, std::size_t count,
                            std::size_t span, double probe) {
    // Every entry is written below (0 where not measured): no clearing first.
    whitened_.resize(count);
    energy_.resize(count);
    first = std::min(first, count);
    std::fill(whitened_.begin(), whitened_.begin() + static_cast<std::ptrdiff_t>(first), 0.0);
    std::fill(energy_.begin(), energy_.begin() + static_cast<std::ptrdiff_t>(first), 0.0);
    // The running energy of the last span samples (none where span is 0, at
    // a rate below 5.5 kHz): each sample is divided by its scale as it
    // enters the sum, so that the divisions run in the shadow of the sum's
    // chain of additions.
    // The windows above the probe are counted as their energies come, in
    // the shadow of the sum's chain too.
    rough_.resize(count + 1);
    rough_[0] = 0;
    const auto countRough = [&](std::size_t from, std::size_t to) {
        for (std::size_t n = from; n < to; ++n) rough_[n + 1] = rough_[n] + (energy_[n] > probe ? 1U : 0U);
    };
    countRough(0, first);
    double energy = 0;
    const std::size_t filled = std::min(count, first + span);
    for (std::size_t n = first; n < filled; ++n) {
        whitened_[n] = error[n] / scale[n];
        energy += whitened_[n] * whitened_[n];
    }
    const bool measured = span > 0 && filled == first + span;
    if (measured) {
        energy_[first] = energy;
        countRough(first, first + 1);
    }
    for (std::size_t n = filled; n < count; ++n) {
        whitened_[n] = error[n] / scale[n];
        if (!measured) continue;
        energy += whitened_[n] * whitened_[n];
        energy -= whitened_[n - span] * whitened_[n - span];
        energy_[n + 1 - span] = energy;
        rough_[n + 2 - span] = rough_[n + 1 - span] + (energy > probe ? 1U : 0U);
    }
    const std::size_t unmeasured = measured ? count + 1 - span : first;
    std::fill(energy_.begin() + static_cast<std::ptrdiff_t>(unmeasured), energy_.end(), 0.0);
    countRough(unmeasured, count);
}

void NoiseEvidence::measureShaped(const double* matched, const RobustScale& scale, std::size_t first, std::size_t end,
                                  const std::vector<double>& model, std::size_t span) {
    // Every entry is written (0 where not measured): no clearing first.
    shaped_.resize(end);
    const std::size_t measuredEnd = span > 0 && end >= first + span ? end + 1 - span : first;
    std::fill(shaped_.begin(), shaped_.begin() + static_cast<std::ptrdiff_t>(std::min(first, end)), 0.0);
    std::fill(shaped_.begin() + static_cast<std::ptrdiff_t>(std::min(measuredEnd, end)), shaped_.end(), 0.0);
    if (span == 0 || end < first + span) return;
    std::vector<double> shape(span);
    for (std::size_t k = 0; k < span; ++k) shape[k] = static_cast<double>(span - k) / static_cast<double>(span);
    // Under white error of deviation s the two-sided error has deviation
    // s * sqrt(r[0]) and correlation r[lag] / r[0], r the model's own
    // autocorrelation: the weighted sum has the variance of the shape
    // through it.
    std::vector<double> correlation(span, 0.0);
    for (std::size_t lag = 0; lag < span; ++lag) {
        for (std::size_t k = 0; k + lag < model.size(); ++k) correlation[lag] += model[k] * model[k + lag];
    }
    double variance = 0;
    for (std::size_t j = 0; j < span; ++j) {
        for (std::size_t k = 0; k < span; ++k) {
            variance += shape[j] * shape[k] * correlation[j > k ? j - k : k - j] / correlation[0];
        }
    }
    // The scale holds across a stretch: its inverse is taken once a stretch.
    const std::size_t stretch = std::max<std::size_t>(1, scale.stretch());
    for (std::size_t from = first; from + span <= end;) {
        const std::size_t to = std::min(end + 1 - span, (from / stretch + 1) * stretch);
        const double deviation = scale.ownAt(from) * std::sqrt(variance);
        const double inverse = 1 / (deviation * deviation);
        weightedSquares(matched, from, to, shape, inverse, shaped_.data());
        from = to;
    }
}

double roughShareLimit(double share, double cluster, std::size_t count, double deviations) {
    if (count == 0) return 1;
    return share + deviations * std::sqrt(share * cluster / static_cast<double>(count));
}

double NoiseEvidence::roughShare(std::size_t from, std::size_t to) const {
    if (from >= to) return 0;
    return static_cast<double>(rough_[to] - rough_[from]) / static_cast<double>(to - from);
}

bool NoiseEvidence::white(std::size_t from, std::size_t to, std::size_t skipFrom, std::size_t skipTo,
                          double bound) const {
    // The sums in any order first: the answer is the sums' in order
    // wherever they lie clear of the bound by more than the two can differ.
    to = std::min(to, whitened_.size());
    const std::size_t end = to > 2 ? to - 2 : 0;
    const std::size_t skipStart = skipFrom > 2 ? skipFrom - 2 : 0;
    double sums[5] = {};
    std::size_t counted = 0;
    for (const auto& [first, last] :
         {std::pair{from, std::min(end, skipStart)}, std::pair{std::max({from, skipTo, skipStart}), end}}) {
        if (first >= last) continue;
        laggedSums(whitened_.data(), first, last, sums);
        counted += last - first;
    }
    // Either sum of m terms lies within m + 1 roundings of their magnitudes
    // of the exact one; four times that covers both and the comparisons.
    const double rounding = 4 * static_cast<double>(counted + 4) * std::numeric_limits<double>::epsilon();
    const double root = std::sqrt(static_cast<double>(std::max<std::size_t>(counted, 1)));
    const double limit = bound * sums[0] / root;
    const double limitSlack = bound * rounding * sums[0] / root + 8 * std::numeric_limits<double>::epsilon() * limit;
    const double slackOne = rounding * sums[3];
    const double slackTwo = rounding * sums[4];
    if (std::fabs(sums[1]) + slackOne < limit - limitSlack && std::fabs(sums[2]) + slackTwo < limit - limitSlack) {
        return true;
    }
    if (std::fabs(sums[1]) - slackOne > limit + limitSlack || std::fabs(sums[2]) - slackTwo > limit + limitSlack) {
        return false;
    }
    return whiteInOrder(from, to, skipFrom, skipTo, bound);
}

bool NoiseEvidence::whiteInOrder(std::size_t from, std::size_t to, std::size_t skipFrom, std::size_t skipTo,
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
