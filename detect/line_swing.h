// Whether the samples of a range swing to and fro across the repair's line:
// the sound's own oscillation (a drum's body, a loop's tone) rather than a
// click's damage, which departs to one side (overshooting once at most as
// the recording's filters smear it), or rings faster than the sound's tones.
#ifndef TESMORA_DETECT_LINE_SWING_H
#define TESMORA_DETECT_LINE_SWING_H

#include <cstddef>
#include <vector>

namespace tesmora::detect {

struct SwingRule {
    double lobeShare = 0.25;         // a lobe departs from the line by this share of the largest departure
    std::size_t swings = 4;          // at least this many changes of sign between such lobes: two periods
    std::size_t shortestPeriod = 0;  // ... of at least this many samples on average (0: never swings)
    double swell = 1.2;  // ... not dying away: a lobe after the largest this times the smallest of its side before it
};

// x[first..last] against the straight line from x[first - 1] to x[last + 1];
// needs a sample on each side.
bool swingsAcrossLine(const std::vector<double>& x, std::size_t first, std::size_t last, const SwingRule& rule);

}  // namespace tesmora::detect

#endif
