#include "line_swing.h"

#include <algorithm>
#include <cmath>

namespace tesmora::detect {

bool swingsAcrossLine(const std::vector<double>& x, std::size_t first, std::size_t last, const SwingRule& rule) {
    if (rule.shortestPeriod == 0 || first == 0 || last + 1 >= x.size() || last < first) return false;
    const double from = x[first - 1];
    const auto span = static_cast<double>(last - first + 2);
    const double step = (x[last + 1] - from) / span;
    std::vector<double> away(last - first + 1);
    double largest = 0;
    for (std::size_t i = 0; i < away.size(); ++i) {
        away[i] = x[first + i] - (from + step * static_cast<double>(i + 1));
        largest = std::max(largest, std::fabs(away[i]));
    }
    // The lobes beyond a share of the largest departure, each its largest
    // magnitude, in order.
    const double floor = rule.lobeShare * largest;
    std::vector<double> lobes;
    std::vector<std::size_t> swingsAt;  // where each lobe starts
    int side = 0;
    for (std::size_t i = 0; i < away.size(); ++i) {
        const int now = away[i] > floor ? 1 : (away[i] < -floor ? -1 : 0);
        if (now == 0) continue;
        if (now != side) {
            lobes.push_back(0);
            swingsAt.push_back(i);
        }
        side = now;
        lobes.back() = std::max(lobes.back(), std::fabs(away[i]));
    }
    const std::size_t swings = swingsAt.empty() ? 0 : swingsAt.size() - 1;
    // Two swings make a period: the sound's tones swing slower than a
    // click's ring.
    if (swings < rule.swings || 2 * (swingsAt.back() - swingsAt.front()) < swings * rule.shortestPeriod) return false;
    // A click's ring dies away from its largest lobe, the first or the next,
    // on each side of the line (about the pulse it rides on, one side's
    // lobes stand larger); a sound's tone builds up to it, or swells again.
    const auto peak = static_cast<std::size_t>(std::max_element(lobes.begin(), lobes.end()) - lobes.begin());
    if (peak > 1) return true;
    double smallest[2] = {lobes[peak], peak + 1 < lobes.size() ? lobes[peak + 1] : 0.0};
    for (std::size_t k = peak + 1; k < lobes.size(); ++k) {
        double& ownSide = smallest[(k - peak) % 2];
        if (lobes[k] >= rule.swell * ownSide) return true;
        ownSide = std::min(ownSide, lobes[k]);
    }
    return false;
}

}  // namespace tesmora::detect
