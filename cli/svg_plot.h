// A picture of the repair: for each range, the waveform around it before
// (red) and after (blue), the range itself shaded.
#ifndef TESMORA_CLI_SVG_PLOT_H
#define TESMORA_CLI_SVG_PLOT_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sample_range.h"

namespace tesmora::cli {

// One panel a range, stacked top to bottom under title.
void writeSvgPlot(std::ostream& out, const std::string& title, const std::vector<std::int16_t>& before,
                  const std::vector<std::int16_t>& after, const std::vector<SampleRange>& ranges);

}  // namespace tesmora::cli

#endif
