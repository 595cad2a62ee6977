#include "click_finder.h"

namespace tesmora::detect {

void addClick(std::vector<Click>& clicks, const Click& click, std::size_t mergeGap) {
    if (!clicks.empty() && click.first <= clicks.back().last + mergeGap) {
        Click& back = clicks.back();
        back.last = std::max(back.last, click.last);
        back.score = std::max(back.score, click.score);
        return;
    }
    clicks.push_back(click);
}

}  // namespace tesmora::detect
