// A picture of the repair: for each range, the waveform around it before
// (red) and after (blue), the range itself shaded. Long windows are drawn as
// the least and greatest sample of each pixel column, so the picture's size
// does not grow with the range's.
#ifndef TESMORA_CLI_SVG_PLOT_H
#define TESMORA_CLI_SVG_PLOT_H

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "sample_window.h"

namespace tesmora::cli {

// At most this many panels are drawn; the picture says how many were left out.
constexpr std::size_t kMostPanels = 100;

// The frames [first, end) a range's panel shows in a file of frameCount
// frames: on each side as far as the range is long, at least 16 samples, at
// most 65536.
struct PlotSpan {
    std::uint64_t first;
    std::uint64_t end;
};
PlotSpan plotSpan(const SampleRange& range, std::uint64_t frameCount);

// One panel a window, stacked top to bottom under title.
void writeSvgPlot(std::ostream& out, const std::string& title, const std::vector<SampleWindow>& windows);

}  // namespace tesmora::cli

#endif
