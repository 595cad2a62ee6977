// Rewrites a block of 16-bit samples onto the straight line between its first
// and last sample. Pure integer arithmetic: it knows nothing of the host or the
// platform, and reaches the outside only through the two hooks.
#ifndef TESMORA_REPAIR_LINE_REPAIR_H
#define TESMORA_REPAIR_LINE_REPAIR_H

#include <cstdint>

namespace tesmora {

enum class RepairOutcome { completed, stopped };

struct RepairHooks {
    // Progress: the block has been rewritten down to position (of total samples).
    void (*reportProgress)(void* user, std::uint32_t position, std::uint32_t total);
    // Whether the user asks to stop, at the moment of asking.
    bool (*stopRequested)(void* user);
    // Handed to both hooks.
    void* user;
};

// Keeps samples[0] and samples[sampleCount - 1] and puts the samples between
// them on the line L(k) = first + T(k * delta + half, N), where N = sampleCount - 1,
// delta = last - first, half = N / 2 and T divides truncating toward zero.
// From 6 samples up, samples[1] and samples[N - 1] become the truncated average
// of their old value and the line, and the interior (N - 2 down to 2) reports
// progress at every multiple of 64, asking the stop query after each report; a
// stop ends the pass at once and the query is asked once more at the end. 3 to 5
// samples are always completed without a report or a query. Fewer than 3 are
// left as they are.
RepairOutcome LineRepair(std::int16_t* samples, std::uint32_t sampleCount, const RepairHooks& hooks);

}  // namespace tesmora

#endif
