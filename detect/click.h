// What the click finder answers and what it is told: the ranges it found,
// and the two settings a user chooses.
#ifndef TESMORA_DETECT_CLICK_H
#define TESMORA_DETECT_CLICK_H

#include <cstdint>

namespace tesmora::detect {

// One click, as a selection ready for the line repair (0-based, inclusive):
// the samples the repair keeps and averages at its ends are good ones just
// outside the damage (selectionAround in selection.h). Only at the very first
// or last samples of the signal can an end lie on the damage itself, for want
// of samples beyond it.
struct Click {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    double score = 0;  // how far the click stands above its threshold; 1 is just at it
};

struct DetectOptions {
    // Higher finds weaker clicks and takes more of the music for clicks;
    // each step of 1 lowers every threshold by a factor 2^(1/3).
    double sensitivity = 5.0;
    // The longest click, in milliseconds: longer damage is not a click. 0:
    // 2 ms, and at least 64 samples.
    double maxWidthMs = 0;
};

}  // namespace tesmora::detect

#endif
