#include "window_scanner.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <numeric>

#include "ar_model.h"
#include "decay_tail.h"
#include "first_above.h"
#include "four_doubles.h"
#include "line_swing.h"

namespace tesmora::detect {

namespace {

double rootMeanSquare(const std::vector<double>& x, std::size_t from, std::size_t to) {
    if (from >= to) return 0;
    double sum = 0;
    for (std::size_t n = from; n < to; ++n) sum += x[n] * x[n];
    return std::sqrt(sum / static_cast<double>(to - from));
}

double largestMagnitude(const std::vector<double>& x, std::size_t from, std::size_t to) {
    double largest = 0;
    for (std::size_t n = from; n < to; ++n) largest = std::max(largest, std::fabs(x[n]));
    return largest;
}

// The index of the largest magnitude of x[0, last] (within x).
std::size_t largestAt(const std::vector<double>& x, std::size_t last) {
    std::size_t peak = 0;
    for (std::size_t i = 1; i <= last && i < x.size(); ++i) {
        if (std::fabs(x[i]) > std::fabs(x[peak])) peak = i;
    }
    return peak;
}

// The RMS of the second difference of x over [from, to) (curvature), or of
// the first (slope): the sound's high-frequency level, blind to a slow drift
// under it. The curvature lifts white noise about 20 times more than a tone
// of 2.5 kHz, the slope 4 times: under a faint hiss the slope still sees a
// drum's body where the curvature sees the hiss alone.
double rootMeanSquareOfChange(const std::vector<double>& x, std::size_t from, std::size_t to, bool curvature) {
    if (from < 1 || from >= to) return 0;
    double sum = 0;
    for (std::size_t n = from; n < to; ++n) {
        const double change = curvature ? x[n + 1] - 2 * x[n] + x[n - 1] : x[n + 1] - x[n];
        sum += change * change;
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

// The de-emphasis' two decays (time constants in samples) fitted by least
// squares to y[from, from + span]: slow * s^i + fast * f^i, and the share of
// the energy they leave (1 where they cannot be fitted).
struct TwoDecays {
    double slow = 0;
    double fast = 0;
    double leaves = 1;
};

TwoDecays fitTwoDecays(const std::vector<double>& y, std::size_t from, std::size_t span, double slowDecay,
                       double fastDecay) {
    const double slowRatio = std::exp(-1 / slowDecay);
    const double fastRatio = std::exp(-1 / fastDecay);
    // The normal equations of the least-squares fit.
    double ss = 0;
    double sf = 0;
    double ff = 0;
    double ys = 0;
    double yf = 0;
    double yy = 0;
    double s = 1;
    double f = 1;
    for (std::size_t i = from; i <= from + span && i < y.size(); ++i) {
        ss += s * s;
        sf += s * f;
        ff += f * f;
        ys += y[i] * s;
        yf += y[i] * f;
        yy += y[i] * y[i];
        s *= slowRatio;
        f *= fastRatio;
    }
    const double determinant = ss * ff - sf * sf;
    if (determinant <= 0 || yy <= 0) return {};
    const double slow = (ys * ff - yf * sf) / determinant;
    const double fast = (yf * ss - ys * sf) / determinant;
    return {slow, fast, (yy - slow * ys - fast * yf) / yy};
}

// The first index in [from, end) whose value's magnitude is not at most
// bound times its scale, or end: four at a time, as firstAbove.
__attribute__((target_clones("avx2", "default"))) std::size_t firstBeyond(const double* values, const double* scales,
                                                                          double bound, std::size_t from,
                                                                          std::size_t end) {
    const FourDoubles bounds = {bound, bound, bound, bound};
    std::size_t n = from;
    for (; n + 4 <= end; n += 4) {
        FourDoubles four;
        FourDoubles scale;
        loadFour(four, values + n);
        loadFour(scale, scales + n);
        const FourDoubles limit = bounds * scale;
        const FourMasks within = (four <= limit) & (-four <= limit);
        if (!everyLane(within)) break;
    }
    for (; n < end; ++n) {
        if (!(std::fabs(values[n]) <= bound * scales[n])) return n;
    }
    return end;
}

// For j = 0..3, in lane j: the sums over n in [0, count) of here[n] times
// there[n + j] and of there[n + j] squared, each added up in n's order as
// a loop over one lag adds them (AVX2 where the processor has it).
__attribute__((target_clones("avx2", "default"))) void fourLagSums(const double* here, const double* there,
                                                                   std::size_t count, double* cross, double* energy) {
    FourDoubles crossSums = {0, 0, 0, 0};
    FourDoubles energySums = {0, 0, 0, 0};
    for (std::size_t n = 0; n < count; ++n) {
        const FourDoubles same = {here[n], here[n], here[n], here[n]};
        FourDoubles shifted;
        loadFour(shifted, there + n);
        crossSums += same * shifted;
        energySums += shifted * shifted;
    }
    storeFour(cross, crossSums);
    storeFour(energy, energySums);
}

}  // namespace

Cluster clusterFrom(const double* values, std::size_t first, std::size_t end, std::size_t gap, double threshold) {
    Cluster cluster{first, first + 1};
    for (std::size_t j = first + 1; j < end && j < cluster.stop + gap; ++j) {
        if (values[j] <= threshold) continue;
        cluster.stop = j + 1;
        if (values[j] > values[cluster.strongest]) cluster.strongest = j;
    }
    return cluster;
}

void WindowScanner::computeErrors(bool refit) {
    const std::size_t n = count_;
    model_ = fitPredictor(cleaned_.data(), n, settings_.order);
    gaps_.setModel(model_);
    forwardError(cleaned_.data(), n, model_, forward_.data());
    // The forward error filtered by the time-reversed model is the error of
    // predicting each sample from both sides: a click shows as one sharp peak
    // where the error of a voiced or tonal signal stays spread out.
    reversedFilter(forward_.data(), n, model_, matched_.data());
    measureScores(refit);
    // Where the window's model misses a quiet stretch, the stretch's own
    // model gives its errors, and they are measured again.
    if (!blockScore_.empty()) {
        for (std::size_t i = 0; i < n; ++i) blockScore_[i] = std::max(blockScore_[i], score_[i]);
        if (modelQuietStretches()) measureScores(true);
    }
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t end = n > p ? n - p : 0;
    noise_.measure(forward_.data(), forwardScale_.bySample(), std::min(p, n), n, settings_.energySpan,
                   settings_.noiseProbe);
    noise_.measureShaped(matched_.data(), matchedScale_, std::min(p, end), end, model_, settings_.energySpan);
}

void WindowScanner::measureScores(bool refit) {
    const std::size_t n = count_;
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t end = n > p ? n - p : 0;
    // The backward error of the same model has the same spread as the
    // forward one: one scale serves both. A refit changes the errors a
    // little: their medians are found near the last ones.
    forwardScale_.measure(forward_.data(), std::min(p, n), n, settings_.scaleStretch, refit);
    matchedScale_.measure(matched_.data(), std::min(p, end), end, settings_.scaleStretch, refit);
    // Only the samples outside [p, end) keep a zero score: the loop below
    // writes every one inside.
    std::fill(score_.begin(), score_.begin() + static_cast<std::ptrdiff_t>(std::min(p, n)), 0.0);
    std::fill(score_.begin() + static_cast<std::ptrdiff_t>(std::min(n, std::max(p, end))), score_.end(), 0.0);
    const double* matchedScale = matchedScale_.bySample();
    for (std::size_t i = p; i < end; ++i) score_[i] = std::fabs(matched_[i]) / matchedScale[i];
    // Near the ends of the signal only one side is there to predict from
    // (the two-sided error there would smear a click at the very end over
    // twice the model's order).
    if (atStart_) {
        for (std::size_t i = 0; i < std::min(2 * p, end); ++i) {
            score_[i] = std::fabs(backwardErrorAt(cleaned_.data(), n, model_, i)) / forwardScale_.at(i);
        }
    }
    if (atEnd_) {
        for (std::size_t i = n > 2 * p ? n - 2 * p : 0; i < n; ++i) {
            score_[i] = std::fabs(forward_[i]) / forwardScale_.at(i);
        }
    }
}

void WindowScanner::matchPulse() {
    // A defect through a phono stage's de-emphasis (time constants 3180, 318
    // and 75 us) is a spike falling fast, then slowly. Wide and weak, its
    // two-sided error spreads over its edges and no one sample stands out;
    // the error correlated with the whole shape as the model filters it
    // gathers them. That is the two-sided error (already the correlation
    // with the model) summed over the shape's two decays, each a recursion
    // run backwards.
    const std::size_t n = count_;
    const auto p = static_cast<std::size_t>(settings_.order);
    pulseScore_.assign(n, 0.0);
    pulseShape_.clear();
    if (settings_.pulseThreshold <= 0 || n < 2 * p) return;
    constexpr double kSlow = 3180e-6;
    constexpr double kShelf = 318e-6;
    constexpr double kFast = 75e-6;
    const double slowGain = (kSlow - kShelf) / (kSlow - kFast) / settings_.slowDecay;
    const double fastGain = (kShelf - kFast) / (kSlow - kFast) / settings_.fastDecay;
    const double slow = std::exp(-1 / settings_.slowDecay);
    const double fast = std::exp(-1 / settings_.fastDecay);
    // The sum's deviation where the error is white of unit deviation: the
    // energy of the pulse's own forward error (the model's order of silence
    // before it, so that the error starts at the spike).
    const auto length = static_cast<std::size_t>(5 * settings_.slowDecay);
    std::vector<double> shape(p + length, 0.0);
    double slowPart = slowGain;
    double fastPart = fastGain;
    for (std::size_t k = p; k < shape.size(); ++k) {
        shape[k] = slowPart + fastPart;
        slowPart *= slow;
        fastPart *= fast;
    }
    std::vector<double> shapeError(shape.size());
    forwardError(shape.data(), shape.size(), model_, shapeError.data());
    const double energy = std::inner_product(shapeError.begin(), shapeError.end(), shapeError.begin(), 0.0);
    if (energy <= 0) return;
    pulseShape_.assign(shape.begin() + static_cast<std::ptrdiff_t>(p), shape.end());
    pulseShapeError_ = shapeError;
    const double norm = std::sqrt(energy);
    const double floor = settings_.pulseThreshold * norm;
    const double* scale = forwardScale_.bySample();
    // The sums run on from one sample to the one before it: their scope is
    // the loop's, not one pass's.
    // cppcheck-suppress variableScope
    double slowSum = 0;
    // cppcheck-suppress variableScope
    double fastSum = 0;
    // cppcheck-suppress variableScope
    double laterSums = 0;
    pulseSuffix_.resize(n + 1);
    std::fill(pulseSuffix_.begin() + static_cast<std::ptrdiff_t>(n - p), pulseSuffix_.end(), 0.0);
    for (std::size_t k = p; k < n - p; ++k) {
        const std::size_t i = n - 1 - k;  // from the end back
        slowSum = matched_[i] + slow * slowSum;
        fastSum = matched_[i] + fast * fastSum;
        const double signedSum = slowGain * slowSum + fastGain * fastSum;
        laterSums += signedSum;
        pulseSuffix_[i] = laterSums;
        // Divided out only where it may start a candidate: the rest are 0.
        const double sum = std::fabs(signedSum);
        if (sum > floor * scale[i]) pulseScore_[i] = sum / (norm * scale[i]);
    }
}

void WindowScanner::findPulseCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before) const {
    // Each cluster of samples above the threshold that no candidate found
    // already explains starts one at its strongest.
    const auto p = static_cast<std::size_t>(settings_.order);
    const double threshold = settings_.pulseThreshold;
    if (threshold <= 0) return;
    const std::size_t known = found.size();
    const std::size_t end = count_ > 2 * p ? count_ - 2 * p : 0;
    std::size_t i = 2 * p;
    while (i < end) {
        if (pulseScore_[i] <= threshold) {
            ++i;
            continue;
        }
        const Cluster cluster = clusterFrom(pulseScore_.data(), i, end, p, threshold);
        const std::size_t peak = cluster.strongest;
        i = cluster.stop;
        // Within the longest click of one found, the pulse matched is that
        // click (its slow decay reaches back from it) or its own tail.
        const std::size_t reach = settings_.maxWidth;
        const auto near = [&](const Candidate& c) { return c.first <= peak + reach && c.last + reach >= peak; };
        const bool covered = std::any_of(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(known), near) ||
                             std::any_of(before.begin(), before.end(), near);
        if (covered) continue;
        Candidate candidate = edgesAround(peak, pulseScore_[peak] * settings_.threshold / threshold);
        candidate.byPulse = true;
        found.push_back(candidate);
        i = std::max(i, candidate.last + 1);
    }
}

bool WindowScanner::fallsAsAPulse(const Candidate& candidate, double leaves) const {
    // Against what the sound before it predicts, the damage after its
    // largest departure is the de-emphasis' two decays; an instrument's or a
    // drum's attack, which the pulse's shape may match as well, falls
    // otherwise.
    const auto p = static_cast<std::size_t>(settings_.order);
    if (candidate.first < p || candidate.first + settings_.maxWidth + p >= count_) return false;
    const std::vector<double> away = departureFromBefore(candidate.first, settings_.maxWidth);
    const std::size_t peak = largestAt(away, candidate.last - candidate.first);
    return fitTwoDecays(away, peak, settings_.decayFitSpan, settings_.slowDecay, settings_.fastDecay).leaves <= leaves;
}

bool WindowScanner::fallsAsAPop(const Candidate& core, double largest) const {
    // Once its raw defect is over (2 ms at most), a pop through the
    // de-emphasis falls as the two decays alone, the slow one (3180 us)
    // lasting on past the widest core; a sound's own event in both channels
    // near their ratio (a swell, a hit's body) goes on as the sound does, and
    // against what the sound before it predicts it strays from such a fall.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t length = settings_.longestStereoCore;
    if (settings_.popDecayLeaves <= 0 || length <= settings_.maxWidth ||
        core.first < std::max(p, settings_.scaleStretch) || core.first + length + p > count_ ||
        settings_.coreOfPeak * largest < settings_.offRatioPopFloor * levelBefore(core.first)) {
        return false;
    }
    const std::vector<double> away = departureFromBefore(core.first, length);
    const std::size_t peak = largestAt(away, std::min(core.last - core.first, settings_.maxWidth));
    const TwoDecays fit = fitTwoDecays(away, peak, length - peak - 1, settings_.slowDecay, settings_.fastDecay);
    return fit.leaves <= settings_.popDecayLeaves && steadyAcross(core.first, core.last + 1);
}

WindowScanner::Candidate WindowScanner::edgesAround(std::size_t peak, double score, bool againstPartner) const {
    const std::size_t n = count_;
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t width = settings_.maxWidth;
    const double edge = settings_.edgeThreshold;
    // Against the partner, the errors are this channel's less the partner's
    // share, and their scale shrinks as the two-sided one does.
    const double gain = againstPartner ? partnerGain_ : 0.0;
    const auto scaleAt = [&](std::size_t i) {
        const double scale = forwardScale_.at(i);
        return againstPartner ? scale * cancelledScale_.at(i) / matchedScale_.at(i) : scale;
    };
    const auto backwardAt = [&](std::size_t i) {
        const double own = backwardErrorAt(cleaned_.data(), n, model_, i);
        return againstPartner ? own - gain * backwardErrorAt(partner_.data(), n, model_, i) : own;
    };
    // The forward error rises where the damage starts (it sees only the
    // samples before), the backward error falls where it ends: each is
    // followed out from the peak across gaps of a few quiet samples.
    std::size_t first = peak;
    std::size_t quiet = 0;
    for (std::size_t i = peak; i + width > peak && i >= p && quiet <= settings_.edgeGap; --i) {
        const double forward = againstPartner ? forward_[i] - gain * partnerForward_[i] : forward_[i];
        if (std::fabs(forward) > edge * scaleAt(i)) {
            first = i;
            quiet = 0;
        } else {
            ++quiet;
        }
        if (i == 0) break;
    }
    std::size_t last = peak;
    quiet = 0;
    for (std::size_t i = peak; i < peak + width && i + p < n && quiet <= settings_.edgeGap; ++i) {
        if (std::fabs(backwardAt(i)) > edge * scaleAt(i)) {
            last = i;
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    // Within the model's order of an end of the signal there is no side to
    // bound the click by: the range runs to that end.
    if (atStart_ && peak < p) first = 0;
    if (atEnd_ && peak + p >= n) last = n - 1;
    // A click decays into the signal: its tail lies below what can be told
    // apart, so the range runs on by a share of what was seen.
    last = std::min({n - 1, last + (last - first) * settings_.tailShare / 100, first + width - 1});
    return {first, last, peak, score / settings_.threshold, false};
}

void WindowScanner::findCandidates(std::vector<Candidate>& found) const {
    const auto p = static_cast<std::size_t>(settings_.order);
    std::size_t i = 0;
    while (i < count_) {
        i = firstAbove(score_.data(), i, count_, settings_.threshold);
        if (i == count_) break;
        // One cluster: exceedances less than the model's order apart (a loud
        // click shows in the two-sided error that far on either side).
        std::size_t peak = i;
        std::size_t end = i + 1;
        for (std::size_t j = i + 1; j < count_ && j < end + p; ++j) {
            if (score_[j] <= settings_.threshold) continue;
            end = j + 1;
            if (score_[j] > score_[peak]) peak = j;
        }
        Candidate candidate = edgesAround(peak, score_[peak]);
        if (candidate.first == peak && candidate.last == peak && end > i + 1 && !edgeAt(peak)) {
            candidate.ringFirst = i;
            const std::size_t last = std::min(end - 1, i + settings_.maxWidth - 2);
            candidate.ringLast =
                std::min({count_ - 1, last + (last - i) * settings_.tailShare / 100, i + settings_.maxWidth - 2});
        }
        found.push_back(candidate);
        i = std::max(end, candidate.last + 1);
    }
}

bool WindowScanner::edgeAt(std::size_t at) const {
    // A spike of one sample is its own two edges.
    const double bound = settings_.edgeThreshold * forwardScale_.at(at);
    return std::fabs(forward_[at]) > bound || std::fabs(backwardErrorAt(cleaned_.data(), count_, model_, at)) > bound;
}

std::vector<double> WindowScanner::judgeRingsWhole(std::vector<Candidate>& candidates,
                                                   const std::vector<double>& departures) const {
    // In a loud sound whose band ends short of the rate's (a recording cut
    // off there) the two-sided error rings for some samples about a click
    // and may peak off it, where no one-sided error stands out: the
    // candidate there is a single sample whose line removes nothing of the
    // click. Its cluster holds the click; judged in its place only where it
    // departs far above the sound before it, as a click does and a wide
    // range over the sound's own swings seldom does (the fits have filled
    // the single sample only). Where a candidate with edges of its own lies
    // in the cluster, that one holds the click; other single samples there
    // are the same ringing.
    std::vector<double> judged = departures;
    const std::vector<Candidate> asFound = candidates;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Candidate& c = asFound[i];
        if (c.ringLast == 0 || c.first != c.last || c.ringFirst < settings_.scaleStretch) continue;
        Candidate whole = c;
        whole.first = c.ringFirst;
        whole.last = c.ringLast;
        const auto holdsIt = [&](const Candidate& other) {
            return other.first != other.last && other.first <= whole.last + settings_.mergeGap &&
                   other.last + settings_.mergeGap >= whole.first;
        };
        if (std::any_of(asFound.begin(), asFound.end(), holdsIt)) continue;
        const double across = departure(whole);
        if (across < settings_.ringDeparture * levelBefore(whole.first)) continue;
        candidates[i] = whole;
        judged[i] = across;
    }
    return judged;
}

void WindowScanner::findFrontCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before) const {
    // A wide, smooth pulse is predicted well from the pulse itself after it:
    // its two-sided error stays low, but its sudden front is not predicted
    // from the sound before. Where the forward error stands above the
    // threshold and no candidate lies near, one starts there too. Looked
    // for once, in the errors of the last fit, it draws no fit of its own.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t known = found.size();
    const double bound = settings_.frontThreshold;
    const std::size_t end = count_ > p ? count_ - p : 0;
    std::size_t i = p;
    while (i < end) {
        // The scale is measured to the window's end: every sample has one.
        i = firstBeyond(forward_.data(), forwardScale_.bySample(), bound, i, end);
        if (i == end) break;
        const auto near = [&](const Candidate& c) { return c.first <= i + p && c.last + p >= i; };
        const bool covered = std::any_of(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(known), near) ||
                             std::any_of(before.begin(), before.end(), near);
        if (covered) {
            ++i;
            continue;
        }
        Candidate candidate =
            edgesAround(i, std::fabs(forward_[i]) / forwardScale_.at(i) * settings_.threshold / bound);
        candidate.byFront = true;
        found.push_back(candidate);
        i = std::max(i + p, candidate.last + 1);
    }
}

bool WindowScanner::noiseLikeAround(std::size_t at, bool withinChance) const {
    // The energy of a few samples of white Gaussian error seldom reaches the
    // threshold; the error of music, heavy-tailed and not quite white where
    // the model misses the sound's spectrum (a cymbal's attack), often does.
    // So the energy is evidence only where the windows around exceed a lower
    // probe about as rarely as in white Gaussian noise, in all and on either
    // side, and the error is white; the candidate's own samples left out.
    // withinChance: "as rarely" allows for the count's own spread (over the
    // few thousand windows around, white Gaussian error itself passes the
    // fixed share one time in six).
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t reach = settings_.noiseSpan;
    const std::size_t before = at > 2 * p ? at - 2 * p : 0;
    const std::size_t after = std::min(count_, at + 2 * p);
    const std::size_t from = before > reach ? before - reach : 0;
    const std::size_t to = std::min(count_, after + reach);
    const double roughBefore = noise_.roughShare(from, before);
    const double roughAfter = noise_.roughShare(after, to);
    const double rough =
        (roughBefore * static_cast<double>(before - from) + roughAfter * static_cast<double>(to - after)) /
        static_cast<double>(std::max<std::size_t>(1, before - from + to - after));
    const auto limit = [this](std::size_t windows, double deviations) {
        return roughShareLimit(settings_.noiseProbeShare, settings_.noiseProbeCluster, windows, deviations);
    };
    const double side = settings_.noiseSideDeviations;
    const bool seldomRough =
        withinChance
            ? rough <= limit(before - from + to - after, settings_.noiseRoughDeviations) &&
                  roughBefore <= limit(before - from, side) && roughAfter <= limit(to - after, side)
            : rough <= settings_.noiseRoughShare && std::max(roughBefore, roughAfter) <= 2 * settings_.noiseRoughShare;
    return seldomRough && noise_.white(std::max(from, p), to, before, after, settings_.whiteBound);
}

bool WindowScanner::aloneWithinChance(std::size_t at, const double* evidence, std::size_t end, double threshold) const {
    // Where the share of rough windows around is let stand within its chance
    // spread, the candidate must be alone: white Gaussian error reaches the
    // threshold itself a few times a minute, so another window over it near
    // (rough music, or the rest of a wider defect such as a pop) is taken
    // for sound that is not noise, and left to the rules that judge it so.
    // A click of the window's few samples leaves the windows after it as
    // quiet as noise.
    const std::size_t span = settings_.energySpan;
    const std::size_t own = 2 * static_cast<std::size_t>(settings_.order);
    const std::size_t reach = settings_.noiseSpan;
    const std::size_t from = at > own + reach ? at - own - reach : 0;
    // The evidence is measured before end only.
    const std::size_t to = std::min(end, at + own + reach);
    // The candidate's own windows, from own samples before it to span after
    // it, are not looked at; the rest are searched four at a time.
    const auto anyAbove = [&](std::size_t first, std::size_t stop) {
        for (std::size_t n = firstAbove(evidence, first, stop, threshold); n < stop;
             n = firstAbove(evidence, n + 1, stop, threshold)) {
            if (evidence[n] > threshold) return true;
        }
        return false;
    };
    if (anyAbove(from, std::min(to, at > own ? at - own : 0)) || anyAbove(std::max(from, at + span + 1), to)) {
        return false;
    }
    const double* energies = noise_.energies();
    for (std::size_t n = at + span; n < std::min(to, at + 2 * span); ++n) {
        if (energies[n] > settings_.noiseProbe) return false;
    }
    return true;
}

void WindowScanner::findEnergyCandidates(std::vector<Candidate>& found) const {
    // Where no one sample of a click stands out (in noise-like sound its
    // error is about as large as the error around it), the energy of its
    // few samples together may, and their sum weighted by a click's shape
    // more surely. The energy is looked at first: it holds for any shape, and
    // where it finds a click the shaped sum is not asked again.
    findWindowCandidates(found, false);
    findWindowCandidates(found, true);
}

void WindowScanner::findWindowCandidates(std::vector<Candidate>& found, bool shaped) const {
    // Each cluster of windows above the threshold that no candidate found
    // already covers is one, its samples the strongest window's.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t span = settings_.energySpan;
    if (span < 2) return;
    const std::size_t end = count_ > p + span ? count_ - p - span : 0;
    const std::size_t known = found.size();
    const double* evidence = shaped ? noise_.shapedSums() : noise_.energies();
    const double threshold = shaped ? settings_.shapedThreshold : settings_.energyThreshold;
    std::size_t i = 2 * p;
    while (i < end) {
        i = firstAbove(evidence, i, end, threshold);
        if (i == end) break;
        const Cluster cluster = clusterFrom(evidence, i, end, span, threshold);
        const std::size_t best = cluster.strongest;
        i = cluster.stop;
        bool covered = false;
        for (std::size_t k = 0; k < known && !covered; ++k) {
            covered = found[k].first <= best + span + p && found[k].last + p >= best;
        }
        if (covered) continue;
        if (!noiseLikeAround(best) &&
            !(aloneWithinChance(best, evidence, end, threshold) && noiseLikeAround(best, true))) {
            continue;
        }
        std::size_t peak = best;
        for (std::size_t k = best; k < best + span; ++k) {
            if (std::fabs(forward_[k]) > std::fabs(forward_[peak])) peak = k;
        }
        // The shaped sum of a pulse stays high a sample either side of its
        // start: the range starts a sample early, lest it start inside it.
        const std::size_t first = shaped ? best - 1 : best;
        found.push_back({first, best + span - 1, peak, std::sqrt(evidence[best] / threshold), true});
    }
}

void WindowScanner::fillCandidates(const std::vector<Candidate>& candidates) {
    // The cleaned samples differ from the samples only where the last fill
    // wrote: those stretches are restored, not the whole window copied.
    for (const Candidate& c : filled_) {
        std::copy(signal_.begin() + static_cast<std::ptrdiff_t>(c.first),
                  signal_.begin() + static_cast<std::ptrdiff_t>(c.last + 1),
                  cleaned_.begin() + static_cast<std::ptrdiff_t>(c.first));
    }
    filled_ = candidates;
    const auto p = static_cast<std::size_t>(settings_.order);
    for (const Candidate& c : candidates) {
        if (c.first >= p && c.last + p < count_) {
            const std::vector<double> gap = gaps_.interpolate(cleaned_.data(), count_, c.first, c.last);
            std::copy(gap.begin(), gap.end(), cleaned_.begin() + static_cast<std::ptrdiff_t>(c.first));
            continue;
        }
        // At an end of the signal: hold the nearest good sample.
        const double held = c.first > 0 ? cleaned_[c.first - 1] : (c.last + 1 < count_ ? cleaned_[c.last + 1] : 0.0);
        std::fill(cleaned_.begin() + static_cast<std::ptrdiff_t>(c.first),
                  cleaned_.begin() + static_cast<std::ptrdiff_t>(c.last + 1), held);
    }
}

WindowScanner::RunningEnergy WindowScanner::runningEnergy(std::size_t from, std::size_t to) const {
    RunningEnergy running;
    running.origin = from;
    running.before.resize(to - from + 1);
    running.before[0] = 0;
    for (std::size_t n = from; n < to; ++n) {
        running.before[n + 1 - from] = running.before[n - from] + rawError_[n] * rawError_[n];
    }
    // Each running sum is off by at most a rounding of the whole total a
    // step, two of them and their difference by twice that and one more,
    // and a window's sum in order by one such a term: eight times the
    // bound of it all.
    const double total = running.before.back();
    running.slack = 8 * static_cast<double>(to - from + 8) * std::numeric_limits<double>::epsilon() * total;
    return running;
}

bool WindowScanner::mayCancelFrom(std::size_t from, std::size_t to, double energy, std::ptrdiff_t offset,
                                  const RunningEnergy& running) const {
    if (offset < 0 ? from < static_cast<std::size_t>(-offset) : to + static_cast<std::size_t>(offset) > count_) {
        return false;
    }
    const auto shiftedFrom = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(from) + offset);
    const std::size_t shiftedTo = shiftedFrom + (to - from);
    if (shiftedFrom >= running.origin && shiftedTo - running.origin < running.before.size()) {
        const double rough = running.before[shiftedTo - running.origin] - running.before[shiftedFrom - running.origin];
        if (rough + running.slack <= settings_.periodicShare * energy ||
            rough - running.slack >= energy / settings_.periodicShare) {
            return false;
        }
    }
    return true;
}

bool WindowScanner::cancels(double energy, double cross, double shiftedEnergy) const {
    // A pulse of like strength there, that the best gain (cross /
    // shiftedEnergy) cancels mostly: what is left of the energy is
    // energy - cross^2 / shiftedEnergy.
    return shiftedEnergy > settings_.periodicShare * energy && shiftedEnergy < energy / settings_.periodicShare &&
           cross * cross > settings_.periodicShare * energy * shiftedEnergy;
}

bool WindowScanner::cancelledFrom(std::size_t from, std::size_t to, double energy, std::ptrdiff_t offset,
                                  const RunningEnergy& running) const {
    if (!mayCancelFrom(from, to, energy, offset, running)) return false;
    double cross = 0;
    double shiftedEnergy = 0;
    for (std::size_t n = from; n < to; ++n) {
        const double shifted = rawError_[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(n) + offset)];
        cross += rawError_[n] * shifted;
        shiftedEnergy += shifted * shifted;
    }
    return cancels(energy, cross, shiftedEnergy);
}

void WindowScanner::cancelledAtFourLags(std::size_t from, std::size_t to, double energy, std::ptrdiff_t side,
                                        std::size_t lag, const RunningEnergy& running,
                                        std::array<bool, 4>& cancelled) const {
    std::array<bool, 4> may{};
    for (std::size_t j = 0; j < 4; ++j) {
        may[j] = mayCancelFrom(from, to, energy, side * static_cast<std::ptrdiff_t>(lag + j), running);
    }
    cancelled = {false, false, false, false};
    if (std::none_of(may.begin(), may.end(), [](bool m) { return m; })) return;
    // Lane k holds the offset lowest + k: on the earlier side, the lags
    // from the longest down.
    const std::ptrdiff_t lowest = side > 0 ? static_cast<std::ptrdiff_t>(lag) : -static_cast<std::ptrdiff_t>(lag + 3);
    const auto laneOf = [side](std::size_t j) { return side > 0 ? j : 3 - j; };
    const std::ptrdiff_t highest = lowest + 3;
    if (lowest < 0 ? from < static_cast<std::size_t>(-lowest)
                   : highest > 0 && to + static_cast<std::size_t>(highest) > count_) {
        // Some lane lies out of the window: the lags one at a time.
        for (std::size_t j = 0; j < 4; ++j) {
            cancelled[j] =
                may[j] && cancelledFrom(from, to, energy, side * static_cast<std::ptrdiff_t>(lag + j), running);
        }
        return;
    }
    double cross[4];
    double shiftedEnergy[4];
    fourLagSums(rawError_.data() + from, rawError_.data() + static_cast<std::ptrdiff_t>(from) + lowest, to - from,
                cross, shiftedEnergy);
    for (std::size_t j = 0; j < 4; ++j) {
        cancelled[j] = may[j] && cancels(energy, cross[laneOf(j)], shiftedEnergy[laneOf(j)]);
    }
}

WindowScanner::PeriodicRepeat WindowScanner::repeatsAPeriodAway(const Candidate& candidate, bool onceWillDo) const {
    // The error of a voiced sound, a bowed or plucked string, a synthesiser's
    // sawtooth shows a sharp pulse every period; a click happens once. So the
    // error around the candidate is predicted from the error one period
    // earlier or later (the classic long-term, pitch predictor), for every
    // period from 2 to 20 ms: when that removes most of its energy, the
    // candidate is the signal's own periodic structure.
    const std::size_t half = std::max<std::size_t>(8, (candidate.last - candidate.first + 1) / 2 + 4);
    const std::size_t from = candidate.first > half ? candidate.first - half : 0;
    const std::size_t to = std::min(count_, candidate.last + half + 1);
    // The error of the samples as they are: in the cleaned signal the pulses
    // of a periodic sound, taken for clicks, would be interpolated away.
    double energy = 0;
    for (std::size_t n = from; n < to; ++n) energy += rawError_[n] * rawError_[n];
    if (energy <= 0) return PeriodicRepeat::none;
    // A wide click shows in the error at its start and at its end: two
    // pulses of like energy, less than the longest click apart, as a short
    // period would be (at a low rate the longest click, 64 samples, spans
    // more than the shortest period). A pulse train goes on, a click does
    // not: a period that short counts only where the pulse a period away has
    // another a period beyond it, or one on the candidate's other side.
    const std::size_t reach = 2 * settings_.longestPeriod + 1;
    const RunningEnergy running = runningEnergy(from > reach ? from - reach : 0, std::min(count_, to + reach));
    const auto cancelledNear = [&](std::ptrdiff_t offset) {
        constexpr std::ptrdiff_t kJitters[] = {0, -1, 1};  // a voice's period wavers by a sample
        return std::any_of(std::begin(kJitters), std::end(kJitters), [&](std::ptrdiff_t jitter) {
            return cancelledFrom(from, to, energy, offset + jitter, running);
        });
    };
    // Dense crackle strikes one like pulse after another at random: one of
    // them a period away cancels a click of it as well as a voice's next
    // pulse does. For a click of that kind a period counts, as a short one,
    // only where the pulses go on (asked once, where it matters).
    int crackle = -1;
    const auto onePulseCounts = [&] {
        if (crackle < 0) crackle = fallsAsCrackle(candidate) ? 1 : 0;
        return crackle == 0;
    };
    // Any other single pulse a longer period away may be a periodic sound's
    // too, or a loop's own sharp event a few milliseconds after another (a
    // flam, a hi-hat's double stroke): it is weaker evidence, the caller's
    // to weigh.
    // The lags are summed four at a time on each side, and taken in order.
    PeriodicRepeat repeat = PeriodicRepeat::none;
    std::array<bool, 4> earlier{};
    std::array<bool, 4> later{};
    for (std::size_t lag = settings_.shortestPeriod; lag <= settings_.longestPeriod; ++lag) {
        const auto period = static_cast<std::ptrdiff_t>(lag);
        const std::size_t inFour = (lag - settings_.shortestPeriod) % 4;
        const bool fourLeft = lag + 3 - inFour <= settings_.longestPeriod;
        if (inFour == 0 && fourLeft) {
            cancelledAtFourLags(from, to, energy, -1, lag, running, earlier);
            cancelledAtFourLags(from, to, energy, 1, lag, running, later);
        }
        for (const std::ptrdiff_t side : {-1, 1}) {
            const bool cancelled = fourLeft ? (side < 0 ? earlier : later)[inFour]
                                            : cancelledFrom(from, to, energy, side * period, running);
            if (!cancelled) continue;
            if (cancelledNear(-side * period) || cancelledNear(2 * side * period)) return PeriodicRepeat::train;
            if (lag >= settings_.maxWidth && repeat == PeriodicRepeat::none && onePulseCounts()) {
                repeat = PeriodicRepeat::once;
                if (onceWillDo) return repeat;
            }
        }
    }
    return repeat;
}

bool WindowScanner::extendTail(Candidate& candidate, double peakDeviation, double shareOfPeak,
                               std::size_t longest) const {
    // A click decays into the signal, and the backward error loses its tail
    // early. Samples after it that depart from the AR interpolation across
    // the click and them (by more than a few deviations of the error, and
    // by more than a share of the click's own peak) are damage too.
    const auto p = static_cast<std::size_t>(settings_.order);
    const double unit =
        std::max(settings_.tailThreshold * forwardScale_.at(candidate.first), shareOfPeak * peakDeviation);
    if (longest == 0) longest = settings_.maxWidth;
    for (int round = 0; round < 8; ++round) {
        const std::size_t width = candidate.last - candidate.first + 1;
        const std::size_t reach =
            std::min({candidate.first + longest - 1, candidate.last + std::max<std::size_t>(4, width), count_ - p - 1});
        if (reach <= candidate.last) break;
        const std::vector<double> gap = gaps_.interpolate(cleaned_.data(), count_, candidate.first, reach);
        std::size_t last = candidate.last;
        std::size_t quiet = 0;
        for (std::size_t n = candidate.last + 1; n <= reach && quiet <= settings_.tailGap; ++n) {
            if (std::fabs(signal_[n] - gap[n - candidate.first]) > unit) {
                last = n;
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        // The samples after reach, the context the interpolation leans on,
        // may still be tail and pull it towards them: the tail has ended
        // only where it ended in the first half of the stretch looked at.
        const bool endedInside = last < candidate.last + (reach - candidate.last) / 2;
        candidate.last = last;
        if (endedInside) break;
    }
    // The last samples of the tail lie below what can be told apart from the
    // signal: the range runs on by a sample and a share of the width found.
    // Damage that runs on beyond longest is the start of a sound, or a sound
    // of its own, not a click.
    const std::size_t width = candidate.last - candidate.first + 1;
    const std::size_t padded = candidate.last + 1 + width * settings_.tailPad / 100;
    if (padded >= candidate.first + longest) return false;
    candidate.last = std::min(padded, count_ - 1);
    return true;
}

namespace {

// How far raw[0, length) departs from what the prediction-error filter
// model predicts from the order samples of before, each from the
// predictions before it: the sound as it would have gone on undamaged.
std::vector<double> departureFromContext(const std::vector<double>& model, const double* before, const double* raw,
                                         std::size_t length) {
    const std::size_t p = model.size() - 1;
    std::vector<double> predicted;
    predicted.reserve(p + length);
    predicted.assign(before, before + p);
    std::vector<double> away(length);
    for (std::size_t i = 0; i < length; ++i) {
        double next = 0;
        for (std::size_t k = 1; k <= p; ++k) next -= model[k] * predicted[p + i - k];
        predicted.push_back(next);
        away[i] = raw[i] - next;
    }
    return away;
}

}  // namespace

std::vector<double> WindowScanner::departureFromBefore(std::size_t first, std::size_t length) const {
    const auto p = static_cast<std::size_t>(settings_.order);
    return departureFromContext(model_, cleaned_.data() + first - p, signal_.data() + first, length);
}

std::vector<double> WindowScanner::departureFromAfter(std::size_t last, std::size_t length) const {
    // The model run backwards from the samples after last: the sound as it
    // would have come in undamaged, in the order of the samples.
    const auto p = static_cast<std::size_t>(settings_.order);
    std::vector<double> predicted(length + p);
    std::copy_n(cleaned_.begin() + static_cast<std::ptrdiff_t>(last + 1), p,
                predicted.begin() + static_cast<std::ptrdiff_t>(length));
    const std::size_t first = last + 1 - length;
    std::vector<double> away(length);
    for (std::size_t i = length; i-- > 0;) {
        double next = 0;
        for (std::size_t k = 1; k <= p; ++k) next -= model_[k] * predicted[i + k];
        predicted[i] = next;
        away[i] = signal_[first + i] - next;
    }
    return away;
}

bool WindowScanner::driftingCore(Candidate& core, bool tailOutlasts) const {
    // A pulse through a phono stage's de-emphasis: a sharp spike, then a low
    // tail that drifts back slowly under a sound that goes on unchanged. Its
    // core runs on while the samples depart from what the sound before it
    // predicts by a quarter of the spike's departure, in its sign, and ends
    // within the longest click; the interpolation across it, leaning on the
    // tail after it, would end it early.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t span = settings_.scaleStretch;
    const std::size_t reach = std::min(core.first + settings_.maxWidth, count_);
    if (core.first < span + p || reach <= core.last + 1) return false;
    const std::vector<double> away = departureFromBefore(core.first, reach - core.first);
    const std::size_t peak = largestAt(away, core.last - core.first);
    // The prediction strays from the sound as it goes on, by about the
    // sound's own level: the core is told from it only where a quarter of
    // the spike stands above that level.
    const double share = settings_.driftCoreOfPeak * away[peak];
    if (std::fabs(share) < levelBefore(core.first)) return false;
    std::size_t end = peak;
    while (end + 1 < away.size() && away[end + 1] * share >= share * share) ++end;
    // Far ahead the prediction strays by the sound's own level and may hold
    // the core on past its end: where the de-emphasis' two decays explain
    // the damage just after the spike, the slow one tells where it ends.
    const std::size_t byDecay = fittedDecayEnd(away, peak, core.first);
    if (byDecay > peak) end = std::min(end, byDecay);
    if (end + 1 >= away.size()) return false;
    // A core longer than a millisecond is a pulse's only where those decays
    // explain it: a low drum's attack may fall as slowly.
    if (tailOutlasts && byDecay <= peak && end + 2 > settings_.longestUnfittedCore) return false;
    if (tailOutlasts) {
        // A tail that outlasts the longest click goes on after the core in
        // the core's sign, where the body of a sound swings about.
        double tail = 0;
        for (std::size_t i = end + 1; i < away.size(); ++i) tail += away[i] / share;
        if (tail < settings_.driftTailShare * static_cast<double>(away.size() - end - 1)) return false;
    }
    if (!steadyAcross(core.first, core.first + end + 1)) return false;
    core.last = std::max(core.last, core.first + end + 1);
    return true;
}

WindowScanner::HighFrequencyLevels WindowScanner::highFrequencyAround(std::size_t first, std::size_t last,
                                                                      bool bySlope) const {
    // The second difference is blind to a slow drift under the sound: a
    // drum hit, a pluck or a consonant raises it for tens of milliseconds
    // after it, the drift of a pulse's tail does not.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t span = settings_.scaleStretch;
    const std::size_t after = last + p;
    if (first < span + p || after + span + 1 > count_) return {};
    return {rootMeanSquareOfChange(cleaned_, first - span - p, first - p, !bySlope),
            rootMeanSquareOfChange(cleaned_, after, after + span, !bySlope), true};
}

bool WindowScanner::steadyAcross(std::size_t first, std::size_t last) const {
    const HighFrequencyLevels levels = highFrequencyAround(first, last);
    return levels.measured && levels.after <= settings_.driftRise * levels.before;
}

bool WindowScanner::isAttack(const Candidate& whole, std::size_t largestAt) const {
    // A consonant's burst builds up over some samples to its largest and
    // goes on in a sound whose high-frequency level stands many times above
    // that before it; a click jumps to its largest at once, and the sound
    // after it is the sound before. Lining an attack flattens it.
    if (largestAt < whole.first + settings_.attackFront && !buildsUpBefore(whole)) return startsRingingSound(whole);
    const HighFrequencyLevels levels = highFrequencyAround(whole.first, whole.last + 1);
    return levels.measured && levels.after >= settings_.attackRise * levels.before;
}

bool WindowScanner::buildsUpBefore(const Candidate& whole) const {
    // A click's core is where it departs by a quarter of its peak or more,
    // and its range starts there. Where the samples just before the range
    // already depart from what the sound before them predicts by that much,
    // the range begins at the peak of a sound that grew into it: a burst
    // whose build-up stood too little above a rough sound to be found.
    const std::size_t lead = settings_.attackLead;
    const auto p = static_cast<std::size_t>(settings_.order);
    if (lead == 0 || whole.first < lead + p) return false;
    const std::vector<double> away = departureFromBefore(whole.first - lead, lead + whole.last - whole.first + 1);
    const std::size_t peak = largestAt(away, away.size() - 1);
    return peak >= lead && largestMagnitude(away, 0, lead) >= settings_.coreOfPeak * std::fabs(away[peak]);
}

namespace {

// How far after its peak the damage's mean over run samples keeps the sign
// of share and at least its size: the last sample its mean run starts from
// (run + 1 short of the end where it holds all the way).
std::size_t meanHoldsTo(const std::vector<double>& away, std::size_t peak, std::size_t run, double share) {
    double sum = 0;
    for (std::size_t i = peak + 1; i <= peak + run && i < away.size(); ++i) sum += away[i];
    std::size_t end = peak;
    while (end + run + 1 < away.size() && sum * share >= static_cast<double>(run) * share * share) {
        ++end;
        sum += away[end + run] - away[end];
    }
    return end;
}

constexpr std::size_t kNoEnd = std::numeric_limits<std::size_t>::max();

}  // namespace

WindowScanner::CoreEnds WindowScanner::reachCoreEnd(const Candidate& whole, bool loudLook) const {
    // The core of a pulse through a phono stage's de-emphasis falls slowly
    // from its spike, and the interpolation across the range leans on the
    // damage still there after it: the range would end inside the core, and
    // the line start on damage. So its end is followed on, against what the
    // sound before it predicts, while the damage keeps its sign and stays
    // above a quarter of its peak, as far as the longest click. A loud core
    // (a quarter of its peak well above the sound before it) is looked at
    // again up to a pop's longest core: its slow decay holds that quarter
    // past the longest click, where the sound no longer hides it.
    const std::size_t byTail = decayTailEnd(whole);
    const CoreEnds asFound{byTail, whole.last, whole.last, false};
    const auto p = static_cast<std::size_t>(settings_.order);
    if (whole.first < p || whole.last + p >= count_) return asFound;
    const std::size_t look = loudLook ? longestDecayCore() : settings_.maxWidth;
    const std::size_t reach = std::min(whole.first + look - 1, count_ - p);
    if (reach <= whole.last + 1) return asFound;
    const std::vector<double> away = departureFromBefore(whole.first, reach - whole.first);
    const std::size_t peak = largestAt(away, whole.last - whole.first);
    const double share = settings_.driftCoreOfPeak * away[peak];
    const bool loud = quarterStandsOverSound(whole, std::fabs(share), settings_.loudCoreEndFloor);
    if (loudLook && !loud) return asFound;
    // The prediction strays from the sound by about its own level, and
    // swings with it: the damage is judged by its mean over a few samples.
    const std::size_t run = settings_.coreMeanRun;
    std::size_t end = meanHoldsTo(away, peak, run, share);
    if (end + run + 1 >= away.size()) {
        // The mean held on as far as it looked, the prediction straying
        // with the sound: only the decays fitted just after the spike,
        // where it still predicts well, tell where the core ends.
        const std::size_t fitted = fittedDecayEnd(away, peak, whole.first);
        if (fitted <= peak || fitted + 1 >= away.size()) return {byTail, whole.last, whole.last, loud};
        const std::size_t decayEnd = std::max(whole.last, whole.first + fitted + 1);
        return {std::max(byTail, decayEnd), decayEnd, whole.last, loud};
    }
    end += run / 2;
    const std::size_t byDecay = std::max(end, fittedDecayEnd(away, peak, whole.first));
    const std::size_t decayEnd = std::max(whole.last, whole.first + byDecay + 1);
    // Where the mean let go within the look, a longer one finds the same.
    return {std::max(byTail, decayEnd), decayEnd, std::max(whole.last, whole.first + end + 1),
            loud && byDecay + 1 >= away.size()};
}

WindowScanner::CancelledEnd WindowScanner::cancelledCoreEnd(const Candidate& whole) const {
    // The music both channels share cancels in this channel less the
    // partner at the gain the sound just before the range holds; a click of
    // this channel, or of both at a ratio of its own, does not. Against what that
    // cancelled sound before the range predicts, far quieter than the
    // channel's own, the low end of a faint click's core stands out where in
    // the channel it sinks into the music: the end is followed on while the
    // damage there keeps its sign and its mean stays above a quarter of its
    // peak, within the longest click, or within a pop's longest core where
    // that quarter stands well clear of what the partner leaves.
    const CancelledEnd asFound{whole.last, false};
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t span = settings_.scaleStretch;
    const std::size_t click = settings_.maxWidth;
    if (partner_.empty() || whole.first < span + p || whole.first + click > count_) return asFound;
    const std::size_t width = std::min(std::max(click, longestDecayCore()), count_ - whole.first);
    const auto [gain, leaves] = relationJustBefore(whole);
    if (!(leaves <= settings_.cancelledEndLeaves)) return asFound;
    // The cancelled sound over the scale's stretch before the range (its
    // clicks interpolated), then as it is over the longest core from it.
    std::vector<double> cancelled(span + width);
    for (std::size_t i = 0; i < span + width; ++i) {
        const std::size_t n = whole.first - span + i;
        cancelled[i] = (i < span ? cleaned_[n] : signal_[n]) - gain * partner_[n];
    }
    const std::vector<double> away =
        departureFromContext(model_, cancelled.data() + span - p, cancelled.data() + span, width);
    const std::size_t peak = largestAt(away, whole.last - whole.first);
    const double share = settings_.coreOfPeak * away[peak];
    // A quarter of the peak must stand clear of what the partner leaves of
    // the sound, or the mean follows that sound rather than the damage.
    const double left = rootMeanSquare(cancelled, 0, span);
    if (std::fabs(share) < settings_.cancelledEndFloor * left) return asFound;
    const std::size_t run = settings_.coreMeanRun;
    const std::size_t end = meanHoldsTo(away, peak, run, share);
    if (end + run + 1 >= away.size()) return asFound;
    const std::size_t last = std::max(whole.last, whole.first + end + run / 2 + 1);
    // Past the longest drifting core the line removes as much sound as a
    // wide core's: the quarter must stand far clear of what the partner
    // leaves, and the sound after it go on as before it (no attack).
    const bool wide = last >= whole.first + settings_.longestDriftingCore;
    const bool sure =
        wide && std::fabs(share) >= settings_.wideCancelledFloor * left && steadyAcross(whole.first, last + 1);
    if (last >= whole.first + click && !sure) return asFound;
    return {last, sure};
}

WindowScanner::SideRelation WindowScanner::relationJustBefore(const Candidate& whole) const {
    // Fitted on the sound with the clicks found so far interpolated, and
    // before the range alone: the sound after a click may be mixed anew (a
    // note panned elsewhere), and a gain fitted there too cancels little of
    // the sound the click's end lies in.
    GainFit fit;
    for (std::size_t n = whole.first - settings_.cancelledEndFitSpan; n < whole.first; ++n) {
        fit.add(cleaned_[n], partner_[n]);
    }
    return fit.relation();
}

std::size_t WindowScanner::interpolatedCoreEnd(const Candidate& whole, std::size_t longest,
                                               std::size_t reachPast) const {
    // The interpolation across a range leans on the samples after it, which
    // still carry the core's low end and the de-emphasis' slow decay: it
    // bends towards them, and the samples after the range seem to depart
    // from it little. Fitted with that decay taken out of them (decay_tail.h)
    // it does not, and the end is followed on, as extendTail follows a tail,
    // while they depart by a quarter of the range's largest departure in its
    // sign; within longest samples of its start and reachPast after it.
    const std::size_t limit = std::min({whole.first + longest - 1, count_ - 1, whole.last + reachPast});
    std::size_t last = whole.last;
    for (int round = 0; round < 8 && last < limit; ++round) {
        const std::size_t reach = std::min(limit, last + std::max<std::size_t>(4, last - whole.first + 1));
        const DecayTail fit = fitDecayTail(cleaned_.data(), count_, gaps_, whole.first, reach, settings_.tailFitSpan,
                                           settings_.slowDecay);
        if (fit.gap.empty() || fit.significance < settings_.followFit) break;
        double peak = 0;
        for (std::size_t n = whole.first; n <= whole.last; ++n) {
            const double damage = signal_[n] - fit.gap[n - whole.first];
            if (std::fabs(damage) > std::fabs(peak)) peak = damage;
        }
        // Where the stylus rings on a pop, its departure dips under the
        // bound between the ringing's lobes while their envelope stands far
        // over it: a dip the ringing climbs back out of within a quarter of
        // a millisecond does not end it, where that bound stands over the
        // sound's level (a faint click's end, near it, is the sound's swing).
        const bool ringsClear = standsLoudOverSound(whole, std::fabs(peak), settings_.ringGapFloor);
        const std::size_t gap = ringsClear ? settings_.ringGap : settings_.tailGap;
        std::size_t end = last;
        std::size_t quiet = 0;
        for (std::size_t n = last + 1; n <= reach && quiet <= gap; ++n) {
            if ((signal_[n] - fit.gap[n - whole.first]) * peak >= settings_.coreOfPeak * peak * peak) {
                end = n;
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        // As in extendTail: the core has ended only where it ended in the
        // first half of the stretch looked at.
        const bool endedInside = end < last + (reach - last) / 2;
        last = end;
        if (endedInside) break;
    }
    return last > whole.last && steadyAcross(whole.first, last + 1) ? last : whole.last;
}

std::size_t WindowScanner::coreFollowedOut(const Candidate& whole, std::size_t interpolated, double deviation) const {
    // Where the end followed against the interpolation still departs by a
    // quarter of the peak at the longest drifting core's bound, the core
    // goes on past it: a pop's, whose slow decay holds that quarter longer.
    // In a signal of two channels (the other judging the sound's own
    // events), where that quarter stands over the sound's level before it
    // as a tail's bound must, the end is followed on as before, up to half
    // the longest click further; the range, run on past the drifting core,
    // is judged as a wide core's (lineAcrossEnd).
    const std::size_t drift = settings_.longestDriftingCore;
    if (interpolated + 1 < whole.first + drift || !standsLoudOverSound(whole, deviation, settings_.tailBoundFloor)) {
        return kNoEnd;
    }
    return interpolatedCoreEnd(whole, longestDecayCore(), settings_.maxWidth / 2);
}

std::size_t WindowScanner::decayTailEnd(const Candidate& whole) const {
    // Far from the sound before it the extrapolation strays, and where the
    // pulse's front is wider than the fast decay the two decays fit the
    // damage ill; but after the range the slow decay is all that is left of
    // it, under a sound the model still predicts. Its amplitude there,
    // fitted with the interpolation across the range, tells where it falls
    // below the core's bound. Where the other channel judges the sound's
    // own events, a loud pop's core may outlast the longest click.
    const std::size_t clickReach = std::min(whole.first + settings_.maxWidth - 1, count_ - 1);
    const std::size_t popReach = std::min(whole.first + longestDecayCore() - 1, count_ - 1);
    if (popReach <= whole.last) return whole.last;
    // The gap starts a little early, where a soft front begins (reachCoreEnd).
    const std::size_t origin = whole.first > settings_.frontLead ? whole.first - settings_.frontLead : 0;
    const DecayTail tail =
        fitDecayTail(cleaned_.data(), count_, gaps_, origin, whole.last, settings_.tailFitSpan, settings_.slowDecay);
    double peak = 0;
    for (std::size_t i = 0; i < tail.gap.size(); ++i) {
        const double damage = signal_[origin + i] - tail.gap[i];
        if (std::fabs(damage) > std::fabs(peak)) peak = damage;
    }
    if (tail.significance < settings_.tailSignificance) return whole.last;
    // The decay is fitted over the stretch after the range, not read from a
    // few samples of it: a bound a little below the sound's level is still
    // told from it, and the line's judge (with the decay taken out) decides.
    const double decayReach = slowDecayReach(peak, tail.amplitude, whole.first, settings_.tailBoundFloor);
    if (decayReach < 0) return whole.last;
    // Past the longest click only where the core's bound stands well above
    // the sound's level: the decay of a faint click, fitted that far, strays
    // with the sound, and its line would flatten the sound with it.
    const bool loud =
        popReach > clickReach && slowDecayReach(peak, tail.amplitude, whole.first, settings_.loudDecayFloor) >= 0;
    const std::size_t reach = loud ? popReach : clickReach;
    if (reach <= whole.last) return whole.last;
    // A core that would run well past the longest click is no click's
    // (the fitted level is noisy: a quarter of it is let pass, and cut).
    const std::size_t end = whole.last + 1 + static_cast<std::size_t>(decayReach);
    if (end > reach + settings_.maxWidth / 4) return whole.last;
    return steadyAcross(whole.first, std::min(end, reach)) ? std::min(end, reach) : whole.last;
}

std::size_t WindowScanner::longestDecayCore() const {
    const bool stereoCores = !partner_.empty() && settings_.longestStereoCore > settings_.maxWidth;
    return stereoCores ? settings_.longestStereoCore : settings_.maxWidth;
}

bool WindowScanner::outlastsDriftingCore(const Candidate& range) const {
    return longestDecayCore() > settings_.maxWidth && range.last >= range.first + settings_.longestDriftingCore;
}

std::size_t WindowScanner::fittedDecayEnd(const std::vector<double>& away, std::size_t peak, std::size_t first) const {
    // Past its spike, a pulse through the de-emphasis is the sum of two
    // decaying exponentials of known time constants (its poles): a fast one
    // gone within a few samples, and the slow fall of the bass shelf. Fitted
    // over the samples just after the peak, where the sound before still
    // predicts well, the slow one tells where the core ends, far ahead where
    // the prediction strays by the sound's own level. Used only where the
    // two explain the damage there well.
    const std::size_t span = settings_.decayFitSpan;
    if (span == 0 || peak + span >= away.size()) return 0;
    const TwoDecays fit = fitTwoDecays(away, peak, span, settings_.slowDecay, settings_.fastDecay);
    if (fit.leaves > settings_.decayFitLeaves) return 0;
    const double reach = slowDecayReach(away[peak], fit.slow, first);
    if (reach < 0) return 0;
    return std::min(away.size() - 1, peak + static_cast<std::size_t>(reach) + 1);
}

double WindowScanner::slowDecayReach(double peak, double slowLevel, std::size_t first, double floor) const {
    // The slow decay's level in the peak's sign, against the core's bound.
    const double bound = settings_.driftCoreOfPeak * std::fabs(peak);
    const double level = peak > 0 ? slowLevel : -slowLevel;
    if (bound <= 0 || level <= bound) return -1;
    // Lining a tail below the sound's own level removes more sound than damage.
    const std::size_t stretch = settings_.scaleStretch;
    if (first < stretch || bound < floor * levelBefore(first)) return -1;
    return settings_.slowDecay * std::log(level / bound);
}

bool WindowScanner::lineBringsCloser(const Candidate& whole, const LineDemand& demand, bool decayAfter) const {
    // The repair keeps the selection's end samples, draws a line between
    // them and, from 6 selected samples up, averages the sample next to
    // each end with it. The AR interpolation across the samples it changes
    // is the best guess of the sound there: a line that leaves them further
    // from it than they were makes the signal worse, click or not; a line
    // across damage leaves little of its departure, one across a sound's
    // own shape much (but for a click as loud as the sound's loudest: plain
    // whatever the line leaves of the sound).
    const auto p = static_cast<std::size_t>(settings_.order);
    const SampleSpan selection = selectionAround({whole.first, whole.last}, count_);
    if (selection.first < p || selection.last + p >= count_) return true;
    const auto from = static_cast<std::size_t>(selection.first);
    const auto to = static_cast<std::size_t>(selection.last);
    // A range followed on by the slow decay after it: the samples after it
    // still carry that decay, and the interpolation would lean on it.
    // Damage found against the partner is judged against the partner's
    // share with the sound both leave interpolated: in loud music far closer
    // to what the channel held than its own interpolation.
    const bool againstPartner = whole.byPartner && !cancelledSound_.empty();
    const std::size_t tailSpan = settings_.tailFitSpan;
    const std::vector<double> guess =
        againstPartner ? guessFromPartner(from + 1, to - 1)
        : decayAfter ? fitDecayTail(cleaned_.data(), count_, gaps_, from + 1, to - 1, tailSpan, settings_.slowDecay).gap
                     : gaps_.interpolate(cleaned_.data(), count_, from + 1, to - 1);
    if (guess.size() != to - from - 1) return false;
    const LineEffect effect = lineEffect(selection, guess);
    // The interpolation is only a guess of the sound: across a stretch of
    // noise-like sound as wide it misses by about the sound's own energy,
    // and a line there removes that much of the sound with the damage. The
    // line must gain more than the guess itself may miss by.
    // A range lined with the sound after it is judged against the larger of
    // the interpolation's misses before and after it.
    const std::vector<double>& sound = againstPartner ? cancelledSound_ : cleaned_;
    const double miss =
        std::max(interpolationMiss(from, to, sound), demand.eitherSide ? interpolationMissAfter(from, to, sound) : 0.0);
    // A line that ends inside a core leaves its fall after the line's end
    // in, which the departure counts: such a line may leave more (eased).
    const bool leavesLittle =
        effect.after <= demand.leaves * effect.before ||
        (effect.after <= demand.whereCoreHolds * effect.before && coreHoldsAtEnd(selection, guess));
    return leavesLittle && effect.gain() >= demand.overMiss * miss &&
           !(demand.soundAround && lineRemovesMoreSound(effect, from, to));
}

WindowScanner::LineEffect WindowScanner::lineEffect(const SampleSpan& selection,
                                                    const std::vector<double>& guess) const {
    const SampleSpan replaced = replacedBy(selection);
    const auto from = static_cast<std::size_t>(selection.first);
    const auto to = static_cast<std::size_t>(selection.last);
    const double slope = (signal_[to] - signal_[from]) / static_cast<double>(to - from);
    LineEffect effect;
    for (std::size_t n = from + 1; n < to; ++n) {
        const double line = signal_[from] + slope * static_cast<double>(n - from);
        const bool averaged = n < replaced.first || n > replaced.last;
        const double repaired = averaged ? (line + signal_[n]) / 2 : line;
        const double expected = guess[n - from - 1];
        effect.before += (signal_[n] - expected) * (signal_[n] - expected);
        effect.after += (repaired - expected) * (repaired - expected);
    }
    return effect;
}

double WindowScanner::interpolationMiss(std::size_t from, std::size_t to, const std::vector<double>& sound) const {
    // The same interpolation across as many samples of the sound just
    // before the selection (the clicks found so far filled), against the
    // samples themselves; 0 where the window holds too little before it.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t width = to - from - 1;
    if (settings_.lineGainOverMiss <= 0 || from < width + 2 * p) return 0;
    return interpolationMissAt(from - p - width, width, sound);
}

double WindowScanner::interpolationMissAfter(std::size_t from, std::size_t to, const std::vector<double>& sound) const {
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t width = to - from - 1;
    if (settings_.lineGainOverMiss <= 0 || to + 2 * p + width + 1 > count_) return 0;
    return interpolationMissAt(to + p + 1, width, sound);
}

double WindowScanner::interpolationMissAt(std::size_t first, std::size_t width,
                                          const std::vector<double>& sound) const {
    const std::vector<double> guess = gaps_.interpolate(sound.data(), count_, first, first + width - 1);
    double miss = 0;
    for (std::size_t i = 0; i < guess.size(); ++i)
        miss += (sound[first + i] - guess[i]) * (sound[first + i] - guess[i]);
    return miss;
}

WindowScanner::Departure WindowScanner::largestDeparture(const Candidate& candidate, const std::vector<double>& raw,
                                                         const std::vector<double>& sound) const {
    const auto p = static_cast<std::size_t>(settings_.order);
    if (candidate.first < p || candidate.last + p >= count_) return {-1, candidate.first};
    const std::vector<double> gap = gaps_.interpolate(sound.data(), count_, candidate.first, candidate.last);
    Departure largest{0, candidate.first};
    for (std::size_t i = 0; i < gap.size(); ++i) {
        const double size = std::fabs(raw[candidate.first + i] - gap[i]);
        if (size > largest.size) largest = {size, candidate.first + i};
    }
    return largest;
}

double WindowScanner::departure(const Candidate& candidate) const {
    return largestDeparture(candidate, signal_, cleaned_).size;
}

bool WindowScanner::standsOutOfTexture(std::size_t index, const std::vector<Candidate>& candidates,
                                       const std::vector<double>& departures,
                                       const std::vector<CrowdKind>& kinds) const {
    // Some sounds are rough by nature (a bit-crushed synthesiser, a rattle,
    // a glitch effect): candidates crowd there. Where at least two others lie
    // within the span, a click must depart from its interpolation clearly
    // more than the largest of them.
    const std::size_t peak = candidates[index].peak;
    std::size_t crowd = 0;
    double largest = 0;
    for (std::size_t j = 0; j < candidates.size(); ++j) {
        const std::size_t other = candidates[j].peak;
        if (j == index || (other > peak ? other - peak : peak - other) > settings_.textureSpan) continue;
        ++crowd;
        if (kinds.empty() || kinds[j] != CrowdKind::crackle) largest = std::max(largest, departures[j]);
    }
    return crowd < 2 || departures[index] >= settings_.textureRatio * largest;
}

bool WindowScanner::standsOutOfCrackle(std::size_t index, const std::vector<Candidate>& candidates,
                                       const std::vector<double>& departures, std::vector<CrowdKind>& kinds) const {
    // Dense crackle crowds candidates as a rough sound does, but its clicks
    // are all of one kind, each a pulse through the de-emphasis, however
    // many: such a click need stand out only of the others that are not
    // (a rough sound's grains, each departing its own way).
    const auto judge = [&](std::size_t j) {
        if (kinds[j] == CrowdKind::unjudged) {
            kinds[j] = fallsAsCrackle(candidates[j]) ? CrowdKind::crackle : CrowdKind::other;
        }
        return kinds[j] == CrowdKind::crackle;
    };
    if (!judge(index)) return false;
    const std::size_t peak = candidates[index].peak;
    for (std::size_t j = 0; j < candidates.size(); ++j) {
        const std::size_t other = candidates[j].peak;
        if (j != index && (other > peak ? other - peak : peak - other) <= settings_.textureSpan) judge(j);
    }
    return standsOutOfTexture(index, candidates, departures, kinds);
}

bool WindowScanner::fallsAsCrackle(const Candidate& candidate) const {
    return settings_.pulseThreshold > 0 && fallsAsAPulse(candidate, settings_.crackleFitLeaves) &&
           steadyAcross(candidate.first, candidate.last + 1);
}

WindowScanner::SoundLevels WindowScanner::levelsAround(const Candidate& candidate, const Candidate& whole,
                                                       const std::vector<double>& sound, bool decayOut) const {
    const std::size_t span = settings_.scaleStretch;
    const std::size_t beforeFrom = candidate.first > span ? candidate.first - span : 0;
    const std::size_t afterEnd = std::min(count_, whole.last + 1 + span);
    double after = rootMeanSquare(sound, whole.last + 1, afterEnd);
    if (decayOut) after = std::min(after, levelWithoutDecay(whole, sound, afterEnd));
    return {rootMeanSquare(sound, beforeFrom, candidate.first), after};
}

double WindowScanner::levelWithoutDecay(const Candidate& whole, const std::vector<double>& sound,
                                        std::size_t to) const {
    // A pulse through a phono stage's de-emphasis runs on after its range in
    // a slow decay, loud beside the sound for some milliseconds: counted in
    // the level after, the damage would raise the bar it must clear. Fitted
    // as the end of a core is (decay_tail.h), it is taken out.
    const DecayTail fit =
        fitDecayTail(sound.data(), count_, gaps_, whole.first, whole.last, settings_.tailFitSpan, settings_.slowDecay);
    if (fit.gap.empty() || fit.significance < settings_.tailSignificance || to <= whole.last + 1) {
        return std::numeric_limits<double>::infinity();
    }
    const double step = std::exp(-1 / settings_.slowDecay);
    double decay = fit.amplitude;
    double energy = 0;
    for (std::size_t n = whole.last + 1; n < to; ++n) {
        energy += (sound[n] - decay) * (sound[n] - decay);
        decay *= step;
    }
    return std::sqrt(energy / static_cast<double>(to - whole.last - 1));
}

double WindowScanner::overLevel(const Candidate& candidate, const Candidate& whole, double deviation,
                                const std::vector<double>& sound) const {
    const SoundLevels levels = levelsAround(candidate, whole, sound);
    const double level = std::max(levels.before, levels.after);
    return level > 0 ? deviation / level : std::numeric_limits<double>::infinity();
}

double WindowScanner::neededDeparture(const Candidate& candidate, const Candidate& whole, double evidence,
                                      const std::vector<double>& sound, bool decayOut) const {
    // A click departs from what the signal around it predicts for its place
    // by more than the signal's own level; an onset or a plosive does not,
    // because the loud signal after it is part of that level.
    const std::size_t span = settings_.scaleStretch;
    const std::size_t beforeFrom = candidate.first > span ? candidate.first - span : 0;
    const std::size_t afterEnd = std::min(count_, whole.last + 1 + span);
    const auto [before, after] = levelsAround(candidate, whole, sound, decayOut);
    const double level = std::max(before, after);
    // Where the sound keeps its level across the candidate there is no onset
    // to mistake for a click, and a smaller departure is one.
    const bool steady = std::min(before, after) >= settings_.steadyShare * level;
    double needed = (steady ? settings_.steadyDeviationRatio : settings_.deviationRatio) * level;
    if (steady) {
        // A click as loud as the loudest of a steady sound around it is
        // plain, though a tone's peak stands little above its RMS.
        const double loudest = std::max(largestMagnitude(sound, beforeFrom, candidate.first),
                                        largestMagnitude(sound, whole.last + 1, afterEnd));
        needed = std::min(needed, settings_.plainShare * loudest);
    }
    // Where the sound starts at the candidate (a drum hit, a pluck, a
    // consonant), its attack departs from a line drawn across it as a click
    // does, and lining it flattens the hit: a click there must stand out of
    // the loud sound after it clearly more.
    if (after >= settings_.onsetRise * before) needed = std::max(needed, settings_.onsetDeviationRatio * after);
    needed = std::max(needed, settings_.minDeviation);
    needed *= evidence;
    // Found by its energy alone, where no sample stood out by itself: its
    // own samples must stand out of the level more.
    if (candidate.byEnergy) needed = std::max(needed, settings_.energyDeviationRatio * level);
    return needed;
}

bool WindowScanner::standsOutAtSignalEnd(Candidate& candidate) const {
    // At the very start or end of the signal only the sound on one side is
    // there to judge by. A recording cut into a sound starts or ends on the
    // sound's own shape, which that side predicts; a click departs from the
    // extrapolation across it by a click's share of that side's level.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t span = settings_.scaleStretch;
    const bool atFirst = candidate.first < p;
    const std::size_t width = candidate.last - candidate.first + 1;
    // Too short a signal to judge: kept, as a click at an end always was.
    if (atFirst ? candidate.last + 1 + std::max(p, span) > count_ : candidate.first < p + span) return true;
    const std::vector<double> away =
        atFirst ? departureFromAfter(candidate.last, width) : departureFromBefore(candidate.first, width);
    const double largest = largestMagnitude(away, 0, width);
    const double level = atFirst ? rootMeanSquare(cleaned_, candidate.last + 1, candidate.last + 1 + span)
                                 : levelBefore(candidate.first);
    const double needed = std::max(settings_.deviationRatio * level, settings_.minDeviation);
    candidate.score = std::min(candidate.score, largest / needed);
    return largest >= needed;
}

bool WindowScanner::confirm(Candidate& candidate, double deviation) const {
    // Candidates joined into one as long as the longest click: a sound.
    if (candidate.last - candidate.first + 1 >= settings_.maxWidth) return false;
    if (startsInQuietStretch(candidate)) return false;
    if (deviation < 0) return standsOutAtSignalEnd(candidate);
    // The tail is followed first: a wide click found by its first samples
    // only (its middle, clipped or noise-like, surprises the model less)
    // would otherwise count its own rest as the signal's level after it.
    Candidate whole = candidate;
    const bool coreOnly = !extendTail(whole, deviation, settings_.tailOfPeak);
    // A pulse through a phono stage's de-emphasis whose tail drifts back
    // under a sound that goes on unchanged: its core, measured against the
    // sound before it, is what the line replaces, and it needs less evidence
    // than the core of damage that may be a sound's start.
    Candidate core = candidate;
    const bool drifting =
        driftingCore(core, coreOnly) && (!coreOnly || core.last - core.first + 1 <= settings_.longestDriftingCore);
    if (drifting) whole.last = coreOnly ? core.last : std::max(whole.last, core.last);
    if (coreOnly && !drifting) {
        // Damage whose low tail outlasts the longest click (a pop through a
        // phono stage's de-emphasis) is still a click: its core, where it
        // departs by a good share of its peak, is what the line replaces.
        // The start of a sound runs on as long, so such a core must stand
        // out more (neededDeparture).
        whole = candidate;
        // A proven strike's core is already told: the shape matched's.
        if (!coreWithin(whole, deviation) && candidate.repeatProof == 0) return false;
    }
    // ... and the departure is measured across all of it, for the same
    // reason: interpolated across its first samples only, the line leans on
    // the damage after them.
    const Departure across = largestDeparture(whole, signal_, cleaned_);
    deviation = std::max(deviation, across.size);
    // A core whose damage after its peak falls as a de-emphasised pulse's
    // two decays do, with the high-frequency level after it held, is a pop's:
    // a drum's or a pluck's body does neither, and such a core needs less.
    const bool pulseCore = coreOnly && !drifting && fallsAsAPulse(candidate, settings_.pulseFitLeaves) &&
                           steadyAcross(candidate.first, whole.last + 1);
    // The wider a range, the more of a sound's own shape its line may
    // remove: one over half the longest click must stand out more, unless
    // its damage falls as a pulse through the de-emphasis does.
    const bool wide = !coreOnly && wideUnlikeAPulse(candidate, whole);
    // Such a range whose samples swing to and fro across the line, slower
    // than a click rings and not dying away, is the sound's own tone (a
    // drum's body under its attack, a loop's): the line would flatten it.
    const bool wideCore = whole.partnerLeaves < 1;
    if ((wide || wideCore) && swingsAcrossLine(signal_, whole.first, whole.last, settings_.wideSwing)) return false;
    // The sound's high-frequency level after a wide core must hold.
    if (wideCore && !steadyAcross(candidate.first, whole.last + 1)) return false;
    const double evidence = wideCore    ? wideCoreEvidence(whole)
                            : !coreOnly ? (wide ? settings_.wideEvidence : 1.0)
                            : drifting  ? settings_.driftCoreEvidence
                            : pulseCore ? settings_.pulseCoreEvidence
                                        : settings_.coreEvidence;
    // A front alone is weaker evidence than a click's two-sided error: a
    // sound's onset is as unpredictable from before.
    const double asked = candidate.byFront ? settings_.frontEvidence * evidence : evidence;
    double needed = neededDeparture(candidate, whole, asked, cleaned_);
    // The level after may hold the damage's own slow decay: judged without
    // it where the candidate falls short (the fit costs an interpolation).
    if (deviation < needed) needed = std::min(needed, neededDeparture(candidate, whole, asked, cleaned_, true));
    // A strike the match proves needs a share of what a lone click does;
    // the checks that spare a sound's attack and shape below still hold.
    if (candidate.repeatProof > 0) needed *= settings_.repeatEvidenceShare;
    // A click in both channels whose two departures share their shape at a
    // sign against the ratio the sound holds between the channels is no
    // event of the music's, which both carry at that ratio: it needs half
    // the departure. (A wide core has the partner's witness in its evidence
    // already.) A click whose damage after its peak falls closely as a
    // de-emphasised pulse's two decays do, the high-frequency level after it
    // held, needs a little less (at rates where the pulse's shape tells: its
    // fall lasts some samples).
    const double pulseNeeded = settings_.pulseDeviationShare * needed;
    if (!wideCore && deviation < needed && departsAgainstSound(whole)) {
        needed *= settings_.againstSoundShare;
    } else if (!coreOnly && settings_.pulseThreshold > 0 && deviation < needed && deviation >= pulseNeeded &&
               fallsAsAPulse(candidate, settings_.decayFitLeaves) && steadyAcross(candidate.first, whole.last + 1)) {
        needed = pulseNeeded;
    }
    whole.score = std::min(whole.score, deviation / needed);
    if (deviation < needed ||
        (candidate.byPulse && !candidate.inNoise && !fallsAsAPulse(candidate, settings_.pulseFitLeaves)) ||
        isAttack(whole, across.at) || explainedByPeriod(candidate, deviation / needed)) {
        return false;
    }
    return lineAcrossReachedCore(candidate, whole, deviation, overLevel(candidate, whole, deviation, cleaned_)) &&
           outweighsSound(candidate);
}

bool WindowScanner::explainedByPeriod(const Candidate& candidate, double standing) const {
    // A train of pulses is the sound's own. A lone pulse of like energy a few
    // milliseconds away explains a candidate that barely passes, not one
    // that departs far beyond what a click needs: a loud click in a drum
    // loop often has some sharp event of the loop's that near.
    const bool onceExplains = standing < settings_.lonePeriodEvidence;
    const PeriodicRepeat repeat = repeatsAPeriodAway(candidate, onceExplains);
    return repeat == PeriodicRepeat::train || (repeat == PeriodicRepeat::once && onceExplains);
}

double WindowScanner::wideCoreEvidence(const Candidate& whole) const {
    // The wider a core, the more of a sound's own shape its line may remove.
    const std::size_t half = settings_.maxWidth / 2;  // the half longest click, in whole samples
    const double halves = static_cast<double>(whole.last - whole.first + 1) / static_cast<double>(half);
    return settings_.wideCoreEvidence * halves / (1 - whole.partnerLeaves);
}

bool WindowScanner::coreWithin(Candidate& core, double deviation) const {
    const Candidate found = core;
    core.partnerLeaves = 1;
    if (extendTail(core, deviation, settings_.coreOfPeak) && core.last - core.first + 1 <= settings_.maxWidth / 2) {
        return true;
    }
    // A pop's core may outlast the longest click. A drum hit's attack runs
    // on as long, but the other channel of a recording carries it too, in
    // the ratio the two hold around it; a defect of the groove is in one
    // channel, or in both with a ratio of its own.
    if (partner_.empty() || settings_.longestStereoCore <= settings_.maxWidth / 2) return false;
    core = found;
    if (!extendTail(core, deviation, settings_.coreOfPeak, settings_.longestStereoCore) && !coreFromBefore(core)) {
        return false;
    }
    if (core.last - core.first + 1 <= settings_.maxWidth / 2) return true;
    core.partnerLeaves = partnerLeavesAround(core);
    return core.partnerLeaves < 1;
}

bool WindowScanner::coreFromBefore(Candidate& core) const {
    // The interpolation across a wide pop leans on its slow tail after it
    // and sees its damage shrink: against what the sound before it predicts,
    // the core runs on while the damage's mean over a few samples keeps a
    // quarter of its peak in its sign, and ends within the widest core.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t stretch = settings_.scaleStretch;
    const std::size_t length = settings_.longestStereoCore;
    if (core.first < std::max(p, stretch) || core.first + length + p > count_) return false;
    const std::vector<double> away = departureFromBefore(core.first, length);
    const std::size_t peak = largestAt(away, settings_.maxWidth / 2);
    const double share = settings_.coreOfPeak * away[peak];
    // A quarter a little under the sound's level may still be a pop's where,
    // from its peak on, the damage falls as the de-emphasis' two decays alone
    // over the widest core: a sound's own swell or a hit's body strays from
    // such a fall.
    const double level = levelBefore(core.first);
    if (std::fabs(share) < level) {
        if (std::fabs(share) < settings_.quietPopCoreFloor * level) return false;
        Candidate raw = core;
        raw.last = core.first + settings_.maxWidth / 2;
        if (!fallsAsAPop(raw, std::fabs(away[peak]))) return false;
    }
    const std::size_t run = settings_.coreMeanRun;
    const std::size_t end = meanHoldsTo(away, peak, run, share);
    if (end + run + 1 >= away.size()) return false;
    core.last = core.first + end + run / 2 + 1;
    return true;
}

bool WindowScanner::wideUnlikeAPulse(const Candidate& candidate, const Candidate& whole) const {
    return whole.last - whole.first + 1 > settings_.maxWidth / 2 && !fallsAsAPulse(candidate, settings_.pulseFitLeaves);
}

bool WindowScanner::lineAcrossReachedCore(Candidate& candidate, const Candidate& whole, double deviation,
                                          double aboveLevel) const {
    // The core's end followed on where the line then still helps; a range
    // whose line leaves the signal further from what the sound predicts
    // there than it was is not reported.
    const std::size_t span = settings_.scaleStretch;
    const double loudest =
        std::max(largestMagnitude(cleaned_, whole.first > span ? whole.first - span : 0, whole.first),
                 largestMagnitude(cleaned_, whole.last + 1, std::min(count_, whole.last + 1 + span)));
    // Damage that departs little more than the sound's own level about it
    // may be the sound's shape as well (a rough texture, a low click's tail
    // followed on into the music): its line removes about as much sound as
    // damage, and must gain clearly more than the interpolation misses by.
    LineDemand demand{deviation >= settings_.plainShare * loudest ? 1.0 : settings_.lineLeaves,
                      aboveLevel < settings_.faintLevel || deviation < loudest ? settings_.faintGainOverMiss
                                                                               : settings_.lineGainOverMiss};
    // A faint click's long line under loud, bright sound removes as much of
    // the sound as of the damage, more of it the wider it runs: it must gain
    // clearly more than the interpolation misses by before or after it.
    const bool faintWide = faintAgainstBefore(whole, deviation);
    if (faintWide) demand.overMiss = std::max(demand.overMiss, settings_.faintBeforeGainOverMiss);
    // A pulse told by its shape alone in noise is faint: the line across it
    // leaves the noise's own energy there, as large as the miss, and must
    // gain clearly more than that.
    if (candidate.inNoise) demand.overMiss = std::max(demand.overMiss, settings_.noiseGainOverMiss);
    // A plain click's line is plain whatever it misses of the sound; in
    // noise the line misses the noise about as much as any guess does,
    // which the demand above already weighs.
    demand.soundAround = demand.leaves < 1 && !candidate.inNoise;
    // A wide core's line removes the sound under it with the damage: it
    // must remove the damage more surely.
    if (whole.partnerLeaves < 1) demand = asAWideCore(demand);
    // Followed against the interpolation with the decay taken out or by the
    // decay fitted after the range, whichever reaches further, then by the
    // fitted decay alone, by the damage's mean alone, and as found: where an
    // end reaches too far, the line judges that range worse. Ends that
    // coincide are judged once. A loud core whose end ran to the longest
    // click is followed on up to a pop's longest core as well, by the ends
    // that reach further: the range that comes of them is kept only where it
    // runs on further than the one of the shorter look (a line's judgement
    // in loud noise turns on a sample or two of its ends).
    const EndJudging judging{demand, deviation, faintWide};
    const CoreEnds ends = reachCoreEnd(whole, false);
    const std::size_t interpolated = interpolatedCoreEnd(whole, settings_.longestDriftingCore, settings_.maxWidth / 4);
    const std::size_t furthest = std::max(interpolated, ends.byTail);
    const std::size_t followedOut = coreFollowedOut(whole, interpolated, deviation);
    bool found = firstLinedEnd(
        candidate, whole,
        {followedOut > furthest ? followedOut : kNoEnd, furthest, ends.byTail, ends.byDecay, ends.byMean, whole.last},
        ends.byDecay, judging);
    if (ends.lookFurther) {
        const CoreEnds loud = reachCoreEnd(whole, true);
        const auto beyond = [furthest](std::size_t last) { return last > furthest ? last : kNoEnd; };
        Candidate further = whole;
        if (firstLinedEnd(further, whole, {beyond(loud.byTail), beyond(loud.byDecay), beyond(loud.byMean)},
                          loud.byDecay, judging) &&
            (!found || further.last > candidate.last)) {
            candidate = further;
            found = true;
        }
    }
    if (found) followPartnersCore(candidate, whole, judging);
    return found;
}

std::size_t WindowScanner::partnersCoreEnd(const Candidate& whole, const Candidate& range) const {
    // A click in both channels strikes both at once with one core. Where
    // this channel's share of it sinks into its sound, its end is found
    // early; where the partner's share stands further out of the partner's
    // sound, the de-emphasis' two decays fitted just after the partner's
    // peak (where what its sound before predicts still holds) tell where the
    // core ends. The partner's departure from that prediction (through this
    // channel's model: the two carry the same music) must take the shape of
    // this channel's over the range found.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t stretch = settings_.scaleStretch;
    const std::size_t longest = longestDecayCore();
    if (partner_.empty() || longest <= settings_.maxWidth || whole.first < std::max(p, stretch)) return kNoEnd;
    const std::size_t width = std::min(longest, count_ - whole.first);
    if (range.last + 1 >= whole.first + width) return kNoEnd;
    const std::vector<double> theirs =
        departureFromContext(model_, partner_.data() + whole.first - p, partner_.data() + whole.first, width);
    const std::vector<double> mine = departureFromBefore(whole.first, range.last + 1 - whole.first);
    double cross = 0;
    double ownEnergy = 0;
    double otherEnergy = 0;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        cross += mine[i] * theirs[i];
        ownEnergy += mine[i] * mine[i];
        otherEnergy += theirs[i] * theirs[i];
    }
    const double match = settings_.partnerCoreShape;
    if (!(cross * cross >= match * match * ownEnergy * otherEnergy)) return kNoEnd;
    const std::size_t peak = largestAt(theirs, whole.last - whole.first);
    const double bound = settings_.driftCoreOfPeak * std::fabs(theirs[peak]);
    if (settings_.coreOfPeak * std::fabs(theirs[peak]) <
            settings_.partnerCoreFloor * rootMeanSquare(partner_, whole.first - stretch, whole.first) ||
        peak + settings_.decayFitSpan >= theirs.size()) {
        return kNoEnd;
    }
    const TwoDecays fit = fitTwoDecays(theirs, peak, settings_.decayFitSpan, settings_.slowDecay, settings_.fastDecay);
    const double level = theirs[peak] > 0 ? fit.slow : -fit.slow;
    if (fit.leaves > settings_.decayFitLeaves || level <= bound) return kNoEnd;
    const std::size_t last =
        whole.first + peak + static_cast<std::size_t>(settings_.slowDecay * std::log(level / bound)) + 1;
    // The fitted slow level is noisy, and far ahead its reach with it: a
    // range is run on to at most so many times its length as found.
    const double found = static_cast<double>(range.last + 1 - range.first);
    const bool within = last > range.last && last < whole.first + width;
    return within && static_cast<double>(last + 1 - range.first) <= settings_.partnerCoreReach * found ? last : kNoEnd;
}

void WindowScanner::followPartnersCore(Candidate& candidate, const Candidate& whole, const EndJudging& judging) const {
    const std::size_t last = partnersCoreEnd(whole, candidate);
    if (last == kNoEnd) return;
    Candidate followed = candidate;
    followed.last = last;
    LineDemand asked = outlastsDriftingCore(followed) ? asAWideCore(judging.demand) : judging.demand;
    asked.eitherSide = true;
    if (lineBringsCloser(followed, asked, true)) candidate = followed;
}

bool WindowScanner::firstLinedEnd(Candidate& candidate, const Candidate& whole, std::initializer_list<std::size_t> ends,
                                  std::size_t byDecay, const EndJudging& judging) const {
    for (const std::size_t* at = ends.begin(); at != ends.end(); ++at) {
        if (*at == kNoEnd || std::find(ends.begin(), at, *at) != at) continue;
        if (lineAcrossEnd(candidate, whole, *at, byDecay, judging)) return true;
    }
    return false;
}

bool WindowScanner::lineAcrossEnd(Candidate& candidate, const Candidate& whole, std::size_t last, std::size_t byDecay,
                                  const EndJudging& judging) const {
    const LineDemand& demand = judging.demand;
    const double deviation = judging.deviation;
    const bool faintWide = judging.faintWide;
    Candidate reached = whole;
    reached.last = last;
    // A range run on by the slow decay past the longest drifting core
    // lines as much sound as a wide core does, and is judged as one.
    const bool pastDrift = outlastsDriftingCore(reached);
    LineDemand asked = pastDrift ? asAWideCore(demand) : demand;
    asked.eitherSide = last > whole.last || faintWide;
    // An end offered past the range found that still lies inside the core
    // leaves the core's fall after it in: its line may leave more than a
    // wide core's, where a quarter of the peak stands over the sound (below
    // it, what departs at the end is as much the sound's own misfit).
    LineDemand offered = asked;
    if (pastDrift && last > whole.last && standsLoudOverSound(whole, deviation, settings_.heldCoreFloor)) {
        offered.whereCoreHolds = settings_.heldCoreLineLeaves;
    }
    if (!lineBringsCloser(reached, offered, last > byDecay)) return false;
    // The end found lies where the damage falls into the sound's own
    // level, give or take a sample or two: the range runs on past it
    // where the line still helps, but for one as long as a core may be.
    // Only a range found already is moved.
    Candidate padded = reached;
    const std::size_t pad = partner_.empty() ? settings_.endPad : settings_.stereoEndPad;
    const std::size_t longest = whole.first + (pastDrift ? longestDecayCore() : settings_.longestDriftingCore) - 1;
    padded.last = std::min(last + pad, longest);
    // A loud pop's end is told where its slow decay passes a quarter of
    // its peak, slowly: found some samples early, it leaves damage well
    // above the sound. The other channel judges the sound's own events.
    Candidate carried = reached;
    carried.last = std::min(last + settings_.loudEndPad, longest);
    LineDemand carriedDemand = asked;
    if (carried.last > padded.last && carriesOn(whole, deviation, pastDrift, carriedDemand) &&
        lineBringsCloser(carried, carriedDemand, carried.last > byDecay)) {
        reached = carried;
    } else if (padded.last > last && lineBringsCloser(padded, asked, padded.last > byDecay)) {
        reached = padded;
    }
    // In a signal of two channels the core's end is followed on in the
    // sound the partner leaves, where the line over the longer range
    // still helps.
    // Where that end stands sure past the longest drifting core, a
    // pop's longest core bounds it, and its line is judged as a wide
    // core's.
    const CancelledEnd cancelledEnd = cancelledCoreEnd(whole);
    Candidate followed = reached;
    followed.last = std::min(cancelledEnd.last, cancelledEnd.sure ? whole.first + longestDecayCore() - 1 : longest);
    LineDemand followedDemand = cancelledEnd.sure ? asAWideCore(asked) : asked;
    followedDemand.eitherSide = true;
    if (followed.last > reached.last && lineBringsCloser(followed, followedDemand, followed.last > byDecay)) {
        reached = followed;
    }
    candidate = startedEarlier(reached, asked, reached.last > byDecay);
    candidate = loudStartedEarlier(candidate, whole, deviation, asked, reached.last > byDecay);
    // A pop's soft front rises over some samples into its core: a range
    // that runs on as long as a pop's starts a sample earlier too, where
    // the line still helps.
    if (outlastsDriftingCore(candidate) &&
        candidate.first > settings_.wideStartPad + static_cast<std::size_t>(settings_.order)) {
        Candidate earlier = candidate;
        earlier.first -= settings_.wideStartPad;
        if (lineBringsCloser(earlier, asked, candidate.last > byDecay)) candidate = earlier;
    }
    return true;
}

double WindowScanner::levelBefore(std::size_t at) const {
    return rootMeanSquare(cleaned_, at - settings_.scaleStretch, at);
}

bool WindowScanner::faintAgainstBefore(const Candidate& whole, double deviation) const {
    // Told against the sound before alone: the level after may hold the
    // damage's own tail, and a click faint against the sound it interrupts
    // is faint however loud the sound after it.
    const std::size_t stretch = settings_.scaleStretch;
    if (whole.last - whole.first + 1 <= settings_.maxWidth / 4 || whole.first < stretch) return false;
    return deviation < settings_.faintBeforeLevel * levelBefore(whole.first);
}

bool WindowScanner::standsLoudOverSound(const Candidate& whole, double deviation, double floor) const {
    return quarterStandsOverSound(whole, settings_.coreOfPeak * deviation, floor);
}

bool WindowScanner::quarterStandsOverSound(const Candidate& whole, double quarter, double floor) const {
    const std::size_t stretch = settings_.scaleStretch;
    if (partner_.empty() || longestDecayCore() <= settings_.maxWidth || whole.first < stretch) return false;
    return quarter >= floor * levelBefore(whole.first);
}

bool WindowScanner::carriesOn(const Candidate& whole, double deviation, bool pastDrift, LineDemand& demand) const {
    if (standsLoudOverSound(whole, deviation, settings_.loudEndFloor)) return true;
    // A fainter click's quarter lies nearer the sound's level, and its end
    // is found as early. Within the longest drifting core (past it, the
    // range is a wide core's, already run on far) it is carried on where its
    // damage falls as the de-emphasis' two decays do (a sound's own event
    // after its attack seldom does), and its longer line must then remove
    // the damage as surely as a wide core's.
    if (pastDrift || !standsLoudOverSound(whole, deviation, settings_.faintEndFloor) ||
        !fallsAsAPulse(whole, settings_.faintEndFitLeaves)) {
        return false;
    }
    demand = asAWideCore(demand);
    return true;
}

WindowScanner::LineDemand WindowScanner::asAWideCore(LineDemand demand) const {
    demand.leaves = std::min(demand.leaves, settings_.wideCoreLineLeaves);
    demand.overMiss = std::max(demand.overMiss, settings_.wideCoreGainOverMiss);
    return demand;
}

WindowScanner::Candidate WindowScanner::loudStartedEarlier(const Candidate& range, const Candidate& whole,
                                                           double deviation, const LineDemand& demand,
                                                           bool decayAfter) const {
    // A loud pop's soft front rises over some samples before its error
    // stands out: where the range's first sample already departs by a
    // quarter of its peak from what the sound before predicts, the samples
    // before it that still depart by more than the sound's level belong to
    // the front, and the line would keep the last of them as its end.
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t stretch = settings_.scaleStretch;
    const std::size_t steps = settings_.maxWidth / 4;
    if (partner_.empty() || range.first < std::max(p, stretch) + steps + 1) return range;
    // Told against the sound before the stretch searched, as it would have
    // gone on undamaged: one step's prediction would follow the soft front.
    const std::size_t origin = range.first - steps;
    const std::vector<double> away = departureFromBefore(origin, range.last + 1 - origin);
    // Interpolated across the few samples found first, a soft-fronted pop
    // leans on its own rest and departs less than from the sound before it,
    // whose departure tells its loudness. The first sample is still told
    // against the interpolation's: that prediction, run on over the whole
    // range, drifts from the sound and would ask too much of the front.
    const double peak = std::max(deviation, largestMagnitude(away, steps, away.size()));
    if (!standsLoudOverSound(whole, peak, settings_.loudEndFloor) ||
        std::fabs(away[steps]) < settings_.coreOfPeak * deviation) {
        return range;
    }
    const double level = levelBefore(origin);
    Candidate earlier = range;
    while (earlier.first > origin + 1 && std::fabs(away[earlier.first - 1 - origin]) > level) --earlier.first;
    if (earlier.first == range.first) return range;
    return lineBringsCloser(earlier, demand, decayAfter) ? earlier : range;
}

WindowScanner::Candidate WindowScanner::startedEarlier(const Candidate& range, const LineDemand& demand,
                                                       bool decayAfter) const {
    // The forward error stands out only once a click's rise does: the sample
    // before the found start, where it already departs by half as much, is
    // the rise's foot, and the line would keep it as its end. The range
    // starts there where the line then still helps; a range is only ever
    // moved, never confirmed by it.
    const auto p = static_cast<std::size_t>(settings_.order);
    if (range.first <= p) return range;
    const std::size_t before = range.first - 1;
    const double lead = settings_.startLeadShare * settings_.edgeThreshold * forwardScale_.at(before);
    if (std::fabs(forward_[before]) <= lead) return range;
    Candidate earlier = range;
    earlier.first = before;
    return lineBringsCloser(earlier, demand, decayAfter) ? earlier : range;
}

void WindowScanner::mergeInto(std::vector<Candidate>& candidates, const std::vector<Candidate>& fresh) const {
    candidates.insert(candidates.end(), fresh.begin(), fresh.end());
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.first < b.first; });
    std::vector<Candidate> merged;
    for (const Candidate& c : candidates) {
        if (!merged.empty() && c.first <= merged.back().last + settings_.mergeGap) {
            Candidate& back = merged.back();
            back.last = std::max(back.last, c.last);
            back.byEnergy = back.byEnergy && c.byEnergy;
            back.byPulse = back.byPulse && c.byPulse;
            back.byFront = back.byFront && c.byFront;
            if (c.score > back.score) {
                back.score = c.score;
                back.peak = c.peak;
            }
        } else {
            merged.push_back(c);
        }
    }
    candidates.swap(merged);
}

void WindowScanner::scan(const std::int16_t* samples, std::size_t count, const WindowPlace& place,
                         std::vector<Damage>& found, const std::int16_t* partner) {
    count_ = count;
    signal_.assign(samples, samples + count);
    if (partner != nullptr) {
        partner_.assign(partner, partner + count);
    } else {
        partner_.clear();
    }
    cleaned_ = signal_;
    filled_.clear();
    blockScore_.assign(settings_.quietStretch > 0 ? count : 0, 0.0);
    // Each fit writes every entry of these before they are read.
    for (auto* buffer : {&forward_, &matched_, &score_}) buffer->resize(count);
    atStart_ = place.start == 0;
    atEnd_ = place.start + count >= place.signalLength;

    std::vector<Candidate> candidates;
    std::vector<Candidate> fresh;
    // Damage found against the partner is kept apart: it draws no fit, so
    // that this channel's own search goes as it would alone.
    std::vector<Candidate> againstPartner;
    for (int fit = 0; fit < settings_.fits; ++fit) {
        computeErrors(fit > 0);
        fresh.clear();
        findCandidates(fresh);
        findEnergyCandidates(fresh);
        // ... and is looked for in the first fit only: a second channel's
        // errors cost nearly as much as this one's.
        if (fit == 0 && !partner_.empty()) {
            if (measurePartner()) findPartnerCandidates(againstPartner, fresh);
        }
        if (fresh.empty()) break;
        // The model is fitted again with the clicks found so far interpolated
        // away: a loud click drags the fit and hides weaker ones, and a wide
        // one is found whole only once it no longer shapes the model.
        mergeInto(candidates, fresh);
        if (fit + 1 < settings_.fits) fillCandidates(candidates);
    }
    // Pulses found by their shape alone are looked for once, in the errors of
    // the last fit, and draw no fit of their own: most are refused, and a fit
    // costs a whole pass.
    fresh.clear();
    matchPulse();
    findPulseCandidates(fresh, candidates);
    findNoisePulseCandidates(fresh, candidates);
    if (settings_.frontThreshold > 0) findFrontCandidates(fresh, candidates);
    std::vector<Candidate> standIns;
    findLoudCandidates(fresh, candidates, againstPartner, standIns);
    mergeInto(candidates, fresh);
    // A confirmed click's shape where a scratch would strike again: kept
    // apart, for such a candidate draws no fit and is no crowd of the others.
    std::vector<Candidate> repeats;
    findRepeatCandidates(repeats, candidates);
    if (candidates.empty() && againstPartner.empty() && repeats.empty()) return;
    // The final model, fitted with every candidate left out.
    fillCandidates(candidates);
    model_ = fitPredictor(cleaned_.data(), count_, settings_.order);
    gaps_.setModel(model_);
    rawError_.resize(count_);
    forwardError(signal_.data(), count_, model_, rawError_.data());
    const std::size_t foundBefore = found.size();

    // What each departs as found is what it weighs in another's crowd: a
    // ringing judged whole must not hide a click beside it.
    std::vector<double> departures(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) departures[i] = departure(candidates[i]);
    const std::vector<double> judged = judgeRingsWhole(candidates, departures);
    std::vector<CrowdKind> kinds(candidates.size(), CrowdKind::unjudged);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        Candidate c = candidates[i];
        const std::uint64_t peak = place.start + c.peak;
        if (peak < place.decideFirst || peak >= place.decideEnd) continue;
        const double asFound = departures[i];
        departures[i] = judged[i];
        const bool standsOut =
            standsOutOfTexture(i, candidates, departures, {}) || standsOutOfCrackle(i, candidates, departures, kinds);
        departures[i] = asFound;
        if (!standsOut || !confirm(c, judged[i])) continue;
        found.push_back(reported(c, place));
    }
    if (!againstPartner.empty()) confirmAgainstPartner(againstPartner, candidates, place, found);
    confirmStandIns(standIns, candidates, place, foundBefore, found);
    confirmRepeats(repeats, place, foundBefore, found);
    std::sort(found.begin() + static_cast<std::ptrdiff_t>(foundBefore), found.end(),
              [](const Damage& a, const Damage& b) { return a.span.first < b.span.first; });
}

}  // namespace tesmora::detect
