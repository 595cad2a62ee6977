#include "click_finder.h"

namespace tesmora::detect {

void addDamage(std::vector<Damage>& runs, const Damage& damage, std::size_t mergeGap) {
    if (!runs.empty() && damage.span.first <= runs.back().span.last + mergeGap) {
        Damage& back = runs.back();
        back.span.last = std::max(back.span.last, damage.span.last);
        back.score = std::max(back.score, damage.score);
        return;
    }
    runs.push_back(damage);
}

std::vector<Click> selectionsFor(const std::vector<Damage>& runs, std::uint64_t length) {
    std::vector<Click> clicks;
    clicks.reserve(runs.size());
    for (const Damage& run : runs) {
        const SampleSpan selection = selectionAround(run.span, length);
        clicks.push_back({selection.first, selection.last, run.score});
    }
    return clicks;
}

}  // namespace tesmora::detect
