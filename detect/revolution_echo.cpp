#include "revolution_echo.h"

#include <algorithm>
#include <cmath>

namespace tesmora::detect {

namespace {

// A turntable's speed wanders by about 0.1 %: a strike is looked for within
// that share of the revolutions' span each way (1.8 ms a revolution at
// 33 1/3 rpm, 0.8 ms at 78). Wider, the looks try more places and find
// more of the music's own events for no more strikes.
constexpr double kSpeedTolerance = 0.001;
// Strikes looked for a revolution on: a strike found starts looks of its own.
constexpr std::uint64_t kRevolutions = 2;
// Clicks kept at once: dense crackle confirms hundreds a minute, and the
// weakest are dropped for louder ones.
constexpr std::size_t kKept = 48;

}  // namespace

RevolutionEcho::RevolutionEcho(int sampleRate) {
    // A revolution at 33 1/3, 45 and 78 rpm.
    const auto period = [sampleRate](double rpm) {
        return static_cast<std::uint64_t>(std::lround(60 / rpm * sampleRate));
    };
    periods_ = {period(100.0 / 3), period(45), period(78)};
}

void RevolutionEcho::confirmed(std::uint64_t first, std::vector<double> shape) {
    double peak = 0;
    for (double value : shape) peak = std::max(peak, std::fabs(value));
    if (peak <= 0) return;
    // Strikes too far back for any look to reach the windows to come.
    const std::uint64_t reach = kRevolutions * periods_[0] + periods_[0] / 100;
    strikes_.erase(
        std::remove_if(strikes_.begin(), strikes_.end(), [&](const Strike& s) { return s.first + reach < first; }),
        strikes_.end());
    if (strikes_.size() >= kKept) {
        auto weakest = std::min_element(strikes_.begin(), strikes_.end(),
                                        [](const Strike& a, const Strike& b) { return a.peak < b.peak; });
        if (weakest->peak >= peak) return;
        strikes_.erase(weakest);
    }
    strikes_.push_back({first, std::move(shape), peak});
}

const std::vector<RepeatLook>& RevolutionEcho::looksFor(std::uint64_t start, std::uint64_t decideFirst,
                                                        std::uint64_t decideEnd, std::size_t count, std::size_t order) {
    looks_.clear();
    for (const Strike& strike : strikes_) {
        for (const std::uint64_t period : periods_) {
            for (std::uint64_t k = 1; k <= kRevolutions; ++k) {
                const std::uint64_t at = strike.first + k * period;
                if (at < decideFirst || at >= decideEnd) continue;
                const auto tolerance =
                    static_cast<std::uint64_t>(std::ceil(kSpeedTolerance * static_cast<double>(k * period)));
                const std::uint64_t from = std::max(start + order, at > tolerance ? at - tolerance : 0);
                const std::uint64_t lastStart = start + count;
                if (lastStart < strike.shape.size() + 2 * order) continue;
                const std::uint64_t to = std::min(at + tolerance, lastStart - strike.shape.size() - order);
                if (from > to) continue;
                looks_.push_back(
                    {static_cast<std::size_t>(from - start), static_cast<std::size_t>(to - start), &strike.shape});
            }
        }
    }
    return looks_;
}

}  // namespace tesmora::detect
