#include "loop_echo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "four_doubles.h"

namespace tesmora::detect {

namespace {

// The sound on either side of the damage that must come back: 15 ms, a
// beat's attack and some of its body.
constexpr double kContextSeconds = 0.015;
// Loop periods: a beat of fast music to a bar of 4/4 at 60 beats a
// minute. The search grows with the longest period, but runs only around
// damage confirmed: on an hour of music it costs some 2 % of the detector's
// time.
constexpr double kShortestLagSeconds = 0.25;
constexpr double kLongestLagSeconds = 4;
// The coarse search runs at about this rate, on sums of 32 samples at 44.1
// and 48 kHz (of five at 8 kHz): a loop's beat and bass are there.
constexpr double kCoarseRate = 1350;
// The sound around comes back where, played a little louder or softer
// (a loop that swells or fades, by a quarter a repeat at most), its
// difference holds at most this share of its energy: a loop or a pattern
// plays its event again within a thousandth of it (the repeats of the
// loops and the tracker's patterns measured). Music that only resembles
// itself a bar away leaves a tenth to a third, and there a faint click, a
// few per cent of the loud sound it lies in, passed the damage's bound
// below as the music's own ...
constexpr double kMatchShare = 0.01;
// ... at lags where the sound around, as it is, leaves at most this share
// (what a hundredth at a gain within a quarter of 1 leaves at most) ...
constexpr double kUnscaledShare = 0.2;
// ... found by a coarse search within this share (its sums of a group
// differ from those of a lag off by part of a group by more; where nothing
// repeats, the closest stretch 0.25 to 4 s away leaves more than half) ...
constexpr double kCoarseShare = 0.4;
// ... and the damage with it where the difference of its samples holds at
// most this share of their energy, and none of them departs by more than
// this many times the RMS of the difference around: a click comes back with
// neither, however long the quiet tail its range runs on over.
constexpr double kDamageShare = 0.05;
// Damage that, as it is, differs from the samples a lag away by more than
// this share of its energy does not come back at a gain within a quarter
// of 1: a cheap first test, stopped as soon as the difference passes it.
constexpr double kUnscaledDamageShare = 0.25;
constexpr double kDamagePeakToContext = 3;
// Coarse lags kept for the fine search.
constexpr std::size_t kClosest = 16;
// Samples next to the damage left out of the context: its edges may be
// damaged too.
constexpr std::size_t kGuard = 2;

double square(double x) {
    return x * x;
}

double energyOf(const std::int16_t* samples, std::size_t from, std::size_t to, double sum = 0) {
    for (std::size_t n = from; n < to; ++n) sum += square(samples[n]);
    return sum;
}

// The residuals of the four lags offset to offset + 3 at once (AVX2 where
// the processor has it): sums[j], over the context's groups in their order,
// of the squared difference from the group offset + j further on. The sums
// are of whole numbers well below 2^53: exact. False, the sums unfinished,
// once all four pass limit.
__attribute__((target_clones("avx2", "default"))) bool fourResiduals(const double* coarse, const std::size_t* context,
                                                                     std::size_t count, std::ptrdiff_t offset,
                                                                     double limit, double* sums) {
    FourDoubles total = {0, 0, 0, 0};
    const FourDoubles limits = {limit, limit, limit, limit};
    for (std::size_t i = 0; i < count; ++i) {
        const double here = coarse[context[i]];
        FourDoubles there;
        loadFour(there, coarse + static_cast<std::ptrdiff_t>(context[i]) + offset);
        const FourDoubles difference = here - there;
        total += difference * difference;
        const FourMasks past = total > limits;
        if (everyLane(past)) return false;
    }
    storeFour(sums, total);
    return true;
}

// Samples summed between the tests of a difference's energy against its
// bound: the sum passes it a few samples later than a test at every sample
// would see, and is all the same past it.
constexpr std::size_t kDifferenceRun = 16;

// sum plus the energy of the difference of count samples from those at
// offsetAway, or more than bound (the sum stops there). Each run's squares
// are whole numbers (a difference's square stays below 2^32) added up the
// same in any order, so that the compiler may add them side by side (AVX2
// where the processor has it); the sums, well below 2^53, are exact.
__attribute__((target_clones("avx2", "default"))) double squaredDifference(const std::int16_t* samples,
                                                                           const std::int16_t* offsetAway,
                                                                           std::size_t count, double bound,
                                                                           double sum) {
    for (std::size_t n = 0; n < count && sum <= bound; n += kDifferenceRun) {
        const std::size_t stop = std::min(count, n + kDifferenceRun);
        std::uint64_t run = 0;
        for (std::size_t k = n; k < stop; ++k) {
            const auto difference = static_cast<std::uint32_t>(std::abs(samples[k] - offsetAway[k]));
            const std::uint32_t squared = difference * difference;
            run += squared;
        }
        sum += static_cast<double>(run);
    }
    return sum;
}

// The sums of groups of size samples each, one after another from samples
// on: whole numbers, the same in any order, so that the compiler may add
// them side by side (AVX2 where the processor has it).
__attribute__((target_clones("avx2", "default"))) void groupSums(const std::int16_t* samples, std::size_t groups,
                                                                 std::size_t size, double* sums) {
    for (std::size_t g = 0; g < groups; ++g) {
        std::int32_t sum = 0;
        for (std::size_t k = 0; k < size; ++k) sum += samples[g * size + k];
        sums[g] = sum;
    }
}

}  // namespace

LoopEcho::LoopEcho(int sampleRate)
    : context_(static_cast<std::size_t>(kContextSeconds * sampleRate)),
      shortestLag_(static_cast<std::size_t>(kShortestLagSeconds * sampleRate)),
      longestLag_(static_cast<std::size_t>(kLongestLagSeconds * sampleRate)),
      decimation_(std::max<std::size_t>(1, static_cast<std::size_t>(sampleRate / kCoarseRate))) {}

void LoopEcho::chooseContext(std::size_t first, std::size_t last) {
    sides_ = {Stretch{first - context_, first - kGuard}, Stretch{last + kGuard + 1, last + context_ + 1}};
}

std::size_t LoopEcho::contextSize() const {
    return (sides_[0].to - sides_[0].from) + (sides_[1].to - sides_[1].from);
}

double LoopEcho::residualAt(const std::int16_t* samples, std::ptrdiff_t offset, double bound) const {
    const double before = differenceAt(samples, sides_[0], offset, bound);
    return before > bound ? before : differenceAt(samples, sides_[1], offset, bound, before);
}

void LoopEcho::coarseSearch(const std::int16_t* samples, std::size_t count, double bound) {
    // Groups aligned on the context's first sample, so that a lag of whole
    // groups compares the same samples as the full-rate search would.
    const std::size_t d = decimation_;
    const std::size_t origin = sides_[0].from % d;
    coarse_.assign((count - origin) / d, 0.0);
    groupSums(samples + origin, coarse_.size(), d, coarse_.data());
    // Only whole groups of context, none touching the damage.
    coarseContext_.clear();
    closest_.clear();
    for (const Stretch& side : sides_) {
        for (std::size_t n = side.from + (d - (side.from - origin) % d) % d; n + d <= side.to; n += d) {
            coarseContext_.push_back((n - origin) / d);
        }
    }
    if (coarseContext_.empty()) return;
    // The loudest groups first: at a lag that does not match, the sum
    // passes the bound after a few of them.
    std::sort(coarseContext_.begin(), coarseContext_.end(),
              [&](std::size_t a, std::size_t b) { return std::fabs(coarse_[a]) > std::fabs(coarse_[b]); });
    const auto [firstIt, lastIt] = std::minmax_element(coarseContext_.begin(), coarseContext_.end());
    // The sums of a close match differ by up to d times a sample's
    // difference, and a lag off by part of a group differs more.
    const double coarseBound = 2 * static_cast<double>(d) * bound;
    const auto shortest = static_cast<std::ptrdiff_t>((shortestLag_ + d - 1) / d);
    const auto longest = static_cast<std::ptrdiff_t>(longestLag_ / d);
    const auto groups = static_cast<std::ptrdiff_t>(coarse_.size());
    const auto firstGroup = static_cast<std::ptrdiff_t>(*firstIt);
    const auto lastGroup = static_cast<std::ptrdiff_t>(*lastIt);
    // The lags whose groups all lie within the signal read are one run of
    // steps on each side: four neighbouring lags are tried at once where
    // all four are.
    const auto within = [&](std::ptrdiff_t lag) { return firstGroup + lag >= 1 && lastGroup + lag + 1 < groups; };
    for (const std::ptrdiff_t side : {-1, 1}) {
        for (std::ptrdiff_t step = shortest; step <= longest;) {
            if (step + 3 <= longest && within(side * step) && within(side * (step + 3))) {
                tryFourCoarseLags(side, step, coarseBound);
                step += 4;
                continue;
            }
            if (within(side * step)) tryCoarseLag(side * step, coarseBound);
            ++step;
        }
    }
}

void LoopEcho::tryCoarseLag(std::ptrdiff_t lag, double bound) {
    const double limit = closest_.size() < kClosest ? bound : closest_.back().residual;
    double sum = 0;
    for (const std::size_t g : coarseContext_) {
        sum += square(coarse_[g] - coarse_[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(g) + lag)]);
        if (sum > limit) return;
    }
    keepCoarseLag(lag, sum, bound);
}

void LoopEcho::tryFourCoarseLags(std::ptrdiff_t side, std::ptrdiff_t step, double bound) {
    // Lane j holds the lag offset + j: the steps from step on, in the order
    // tryCoarseLag takes them (on the earlier side, the last lane first).
    const std::ptrdiff_t offset = side > 0 ? step : -(step + 3);
    double sums[4];
    const double limit = closest_.size() < kClosest ? bound : closest_.back().residual;
    if (!fourResiduals(coarse_.data(), coarseContext_.data(), coarseContext_.size(), offset, limit, sums)) return;
    for (std::ptrdiff_t j = 0; j < 4; ++j) {
        const std::ptrdiff_t lane = side > 0 ? j : 3 - j;
        keepCoarseLag(offset + lane, sums[lane], bound);
    }
}

void LoopEcho::keepCoarseLag(std::ptrdiff_t lag, double residual, double bound) {
    // The limit only falls as lags are kept: a residual past the one before
    // is past this one too.
    const double limit = closest_.size() < kClosest ? bound : closest_.back().residual;
    if (residual > limit) return;
    const Lag found{lag * static_cast<std::ptrdiff_t>(decimation_), residual};
    closest_.insert(std::upper_bound(closest_.begin(), closest_.end(), found,
                                     [](const Lag& a, const Lag& b) { return a.residual < b.residual; }),
                    found);
    if (closest_.size() > kClosest) closest_.pop_back();
}

bool LoopEcho::repeats(const std::int16_t* samples, std::size_t count, std::size_t first, std::size_t last) {
    if (first < context_ || last + context_ >= count) return false;
    chooseContext(first, last);
    const double energy =
        energyOf(samples, sides_[1].from, sides_[1].to, energyOf(samples, sides_[0].from, sides_[0].to));
    coarseSearch(samples, count, kCoarseShare * energy);
    // Each coarse lag is refined at full rate within a group either side,
    // to the offset where the sound around matches best, and the damage is
    // judged there. A steady tone matches at every multiple of its period:
    // every close lag is tried, and the damage is the music's own where any
    // brings it back. Where the damage's few samples come back at no offset
    // near a lag (a click, at every lag), the sound around need not be
    // compared.
    const Stretch damage{first, last + 1};
    const double damageEnergy = energyOf(samples, first, last + 1);
    const double damageBound = kDamageShare * damageEnergy;
    const double anyGainBound = kUnscaledDamageShare * damageEnergy;
    const auto d = static_cast<std::ptrdiff_t>(decimation_);
    for (const Lag& coarse : closest_) {
        const std::ptrdiff_t lowest = std::max(coarse.offset - d, -static_cast<std::ptrdiff_t>(first - context_));
        const std::ptrdiff_t highest =
            std::min(coarse.offset + d, static_cast<std::ptrdiff_t>(count - 1 - last - context_));
        bool damageMayComeBack = false;
        for (std::ptrdiff_t offset = lowest; offset <= highest && !damageMayComeBack; ++offset) {
            damageMayComeBack = differenceAt(samples, damage, offset, anyGainBound) <= anyGainBound;
        }
        if (!damageMayComeBack) continue;
        Lag best{0, kUnscaledShare * energy};
        for (std::ptrdiff_t offset = lowest; offset <= highest; ++offset) {
            const double residual = residualAt(samples, offset, best.residual);
            if (residual <= best.residual) best = {offset, residual};
        }
        if (best.offset == 0) continue;
        const Products around =
            productsAt(samples, sides_[1], best.offset, productsAt(samples, sides_[0], best.offset, Products{}));
        best.gain = around.gain();
        best.residual = around.leastDifference();
        if (best.residual <= kMatchShare * energy && damageComesBack(samples, first, last, best, damageBound)) {
            return true;
        }
    }
    return false;
}

LoopEcho::Products LoopEcho::productsAt(const std::int16_t* samples, Stretch stretch, std::ptrdiff_t offset,
                                        Products sum) {
    for (std::size_t n = stretch.from; n < stretch.to; ++n) {
        const double here = samples[n];
        const double there = samples[static_cast<std::ptrdiff_t>(n) + offset];
        sum.here += here * here;
        sum.there += there * there;
        sum.cross += here * there;
    }
    return sum;
}

double LoopEcho::Products::gain() const {
    return there > 0 ? cross / there : 0.0;
}

double LoopEcho::Products::leastDifference() const {
    return there > 0 ? std::max(0.0, here - cross * cross / there) : here;
}

double LoopEcho::differenceAt(const std::int16_t* samples, Stretch stretch, std::ptrdiff_t offset, double bound,
                              double sum) {
    return squaredDifference(samples + stretch.from, samples + static_cast<std::ptrdiff_t>(stretch.from) + offset,
                             stretch.to - stretch.from, bound, sum);
}

bool LoopEcho::damageComesBack(const std::int16_t* samples, std::size_t first, std::size_t last, const Lag& lag,
                               double bound) const {
    // The damage's samples, at the sound around's gain, differ by at most
    // bound, and none of them much more than the sound around does.
    const double largestAround =
        kDamagePeakToContext * kDamagePeakToContext * lag.residual / static_cast<double>(contextSize());
    double sum = 0;
    for (std::size_t n = first; n <= last; ++n) {
        const double difference = samples[n] - lag.gain * samples[static_cast<std::ptrdiff_t>(n) + lag.offset];
        sum += difference * difference;
        if (difference * difference > largestAround || sum > bound) return false;
    }
    return true;
}

}  // namespace tesmora::detect
