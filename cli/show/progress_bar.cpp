#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace tesmora::cli {

namespace {
constexpr int kBarWidth = 30;
}

ProgressBar::ProgressBar() : ProgressBar(isatty(STDERR_FILENO) == 1) {}

void ProgressBar::show(std::uint32_t position, std::uint32_t total) {
    if (!enabled_ || total == 0 || position > total) return;
    const int percent = static_cast<int>((std::uint64_t{total} - position) * 100 / total);
    if (percent == lastPercent_) return;  // redraw only when the figure changes
    lastPercent_ = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\r%s %s [%.*s%*s] %3d%%", task_.c_str(), status_.c_str(), filled,
                 "##############################", kBarWidth - filled, "", percent);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::clear() {
    if (drawn_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    drawn_ = false;
    lastPercent_ = -1;
}

}  // namespace tesmora::cli
