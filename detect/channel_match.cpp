#include "channel_match.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tesmora::detect {

namespace {

// The sound on either side of the damage that the other channel must
// predict: 15 ms, the attack and some of the body of what is heard there.
constexpr double kContextSeconds = 0.015;
// Samples next to the damage left out of the context: its edges may be
// damaged too.
constexpr std::size_t kGuard = 2;
// The other channel predicts the sound around where the difference holds at
// most this share of its energy on either side (music in both channels,
// mixed with a part of its own in one) ...
constexpr double kContextShare = 0.01;
// The gains fitted on the two sides alone differ by at most this share of
// the larger ...
constexpr double kGainAgreement = 0.2;
// ... and the damage where the difference of its departure holds at most
// this share of the departure's energy, and none of its samples departs by
// more than this many times the RMS of the difference around.
constexpr double kDamageShare = 0.05;
constexpr double kDamagePeakToContext = 3;
// The least energy a sample of the difference around is counted with: the
// channels of a mono recording carried in two differ by their own rounding
// or dither, a few steps of 16 bits.
constexpr double kRoundingEnergy = 16;

double square(double x) {
    return x * x;
}

}  // namespace

ChannelMatch::ChannelMatch(int sampleRate) : context_(static_cast<std::size_t>(kContextSeconds * sampleRate)) {}

std::size_t ChannelMatch::reach() const {
    return context_ + kGuard;
}

bool ChannelMatch::fit(const std::int16_t* samples, const std::int16_t* other, std::size_t first, std::size_t last,
                       Relation& relation) const {
    const std::pair<std::size_t, std::size_t> sides[] = {{first - kGuard - context_, first - kGuard},
                                                         {last + kGuard + 1, last + kGuard + 1 + context_}};
    // The relation must hold on each side alike: a click in both channels
    // runs on after itself in a low tail that holds its own ratio, and a
    // side in silence witnesses nothing.
    double gains[2] = {};
    double otherEnergy = 0;
    double product = 0;
    for (std::size_t side = 0; side < 2; ++side) {
        double sideEnergy = 0;
        double sideProduct = 0;
        for (std::size_t n = sides[side].first; n < sides[side].second; ++n) {
            sideEnergy += square(other[n]);
            sideProduct += double(other[n]) * samples[n];
        }
        if (!(sideEnergy > 0)) return false;
        gains[side] = sideProduct / sideEnergy;
        otherEnergy += sideEnergy;
        product += sideProduct;
    }
    if (std::fabs(gains[0] - gains[1]) > kGainAgreement * std::max(std::fabs(gains[0]), std::fabs(gains[1]))) {
        return false;
    }
    relation.gain = product / otherEnergy;
    relation.residual = 0;
    for (const auto& [from, to] : sides) {
        double energy = 0;
        double residual = 0;
        for (std::size_t n = from; n < to; ++n) {
            energy += square(samples[n]);
            residual += square(samples[n] - relation.gain * other[n]);
        }
        if (residual > kContextShare * energy) return false;
        relation.residual += residual;
    }
    return true;
}

bool ChannelMatch::predicts(const std::int16_t* samples, const std::int16_t* other, std::size_t count,
                            std::size_t first, std::size_t last) const {
    if (first < reach() || last + reach() >= count) return false;
    Relation relation;
    if (!fit(samples, other, first, last, relation)) return false;
    // The departure of each damaged sample from the line across the damage,
    // and that of its difference from the prediction.
    const auto difference = [&](std::size_t n) { return samples[n] - relation.gain * other[n]; };
    const std::size_t before = first - 1;
    const std::size_t after = last + 1;
    const double span = static_cast<double>(after - before);
    double departureEnergy = 0;
    double unexplainedEnergy = 0;
    double largestUnexplained = 0;
    for (std::size_t n = first; n <= last; ++n) {
        const double t = static_cast<double>(n - before) / span;
        const double departure = samples[n] - ((1 - t) * samples[before] + t * samples[after]);
        const double unexplained = difference(n) - ((1 - t) * difference(before) + t * difference(after));
        departureEnergy += square(departure);
        unexplainedEnergy += square(unexplained);
        largestUnexplained = std::max(largestUnexplained, square(unexplained));
    }
    const double contextSamples = 2.0 * static_cast<double>(context_);
    const double differenceAround = std::max(relation.residual / contextSamples, kRoundingEnergy);
    return unexplainedEnergy <= kDamageShare * departureEnergy &&
           largestUnexplained <= square(kDamagePeakToContext) * differenceAround;
}

}  // namespace tesmora::detect
