// The plot stays small whatever it shows: long windows drawn as one stroke a
// pixel column, the panels capped, and text that is not UTF-8 made valid.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "svg_plot.h"

namespace tesmora::cli {
namespace {

SampleWindow windowOf(std::uint64_t first, std::uint64_t size) {
    SampleWindow window{{first + size / 3, first + 2 * size / 3, "range"}, first, {}, {}};
    for (std::uint64_t i = 0; i < size; ++i) window.before.push_back(static_cast<std::int16_t>((i * 37) % 2000));
    window.after = window.before;
    return window;
}

TEST(SvgPlot, StaysSmallForLongRangesAndManyRanges) {
    std::ostringstream longRange;
    writeSvgPlot(longRange, "long", {windowOf(0, 15'000'000)});
    EXPECT_LT(longRange.str().size(), 100'000u);

    std::vector<SampleWindow> many;
    for (std::uint64_t i = 0; i < kMostPanels + 7; ++i) many.push_back(windowOf(i * 100, 60));
    std::ostringstream capped;
    writeSvgPlot(capped, "many", many);
    std::size_t panels = 0;
    for (auto at = capped.str().find(">range "); at != std::string::npos; at = capped.str().find(">range ", at + 1)) {
        ++panels;
    }
    EXPECT_EQ(panels, kMostPanels);
    EXPECT_NE(capped.str().find("7 more ranges are not drawn"), std::string::npos);
}

TEST(SvgPlot, MakesTitlesValidUtf8AndEscapesMarkup) {
    std::ostringstream out;
    writeSvgPlot(out, "caf\xC3\xA9 <\xFF\x1B>", {windowOf(0, 40)});
    EXPECT_NE(out.str().find("caf\xC3\xA9 &lt;\xEF\xBF\xBD\xEF\xBF\xBD&gt;"), std::string::npos);
}

}  // namespace
}  // namespace tesmora::cli
