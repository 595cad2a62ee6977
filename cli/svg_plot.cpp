#include "svg_plot.h"

#include <algorithm>
#include <cstdio>

namespace tesmora::cli {

namespace {

constexpr double kWidth = 900;
constexpr double kLeft = 70;  // room for the sample values
constexpr double kPlotWidth = kWidth - kLeft - 20;
constexpr double kPanelHeight = 210;
constexpr double kPlotHeight = 150;
constexpr double kTop = 60;                 // title and legend
constexpr std::uint64_t kFewSamples = 120;  // up to this many, every sample is drawn as a dot

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// Maps the window of samples around one range onto its panel.
struct Panel {
    double top;
    std::uint64_t first;  // the window's first and last sample
    std::uint64_t last;
    int low;
    int high;

    double x(std::uint64_t sample) const {
        if (last == first) return kLeft + kPlotWidth / 2;
        return kLeft + kPlotWidth * static_cast<double>(sample - first) / static_cast<double>(last - first);
    }
    double y(int value) const { return top + kPlotHeight * static_cast<double>(high - value) / (high - low); }
};

Panel panelAround(const SampleRange& range, std::size_t sampleCount, double top,
                  const std::vector<std::int16_t>& before, const std::vector<std::int16_t>& after) {
    const std::uint64_t margin = std::max<std::uint64_t>(16, range.size());
    Panel panel{top, range.first > margin ? range.first - margin : 0,
                std::min<std::uint64_t>(range.last + margin, sampleCount - 1), before[range.first],
                before[range.first]};
    for (std::uint64_t i = panel.first; i <= panel.last; ++i) {
        panel.low = std::min({panel.low, int{before[i]}, int{after[i]}});
        panel.high = std::max({panel.high, int{before[i]}, int{after[i]}});
    }
    const int pad = std::max(1, (panel.high - panel.low) / 20);
    panel.low -= pad;
    panel.high += pad;
    return panel;
}

void writeTrace(std::ostream& out, const Panel& panel, const std::vector<std::int16_t>& samples, const char* colour) {
    out << "<polyline fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.5\" points=\"";
    for (std::uint64_t i = panel.first; i <= panel.last; ++i) {
        out << number(panel.x(i)) << ',' << number(panel.y(samples[i])) << ' ';
    }
    out << "\"/>\n";
    if (panel.last - panel.first >= kFewSamples) return;
    for (std::uint64_t i = panel.first; i <= panel.last; ++i) {
        out << "<circle r=\"2\" fill=\"" << colour << "\" cx=\"" << number(panel.x(i)) << "\" cy=\""
            << number(panel.y(samples[i])) << "\"/>\n";
    }
}

void writePanel(std::ostream& out, const Panel& panel, const SampleRange& range,
                const std::vector<std::int16_t>& before, const std::vector<std::int16_t>& after) {
    const double bottom = panel.top + kPlotHeight;
    out << "<text x=\"" << kLeft << "\" y=\"" << number(panel.top - 8) << "\">range " << escaped(range.describe())
        << ", " << range.size() << " samples</text>\n";
    out << "<rect x=\"" << kLeft << "\" y=\"" << panel.top << "\" width=\"" << kPlotWidth << "\" height=\""
        << kPlotHeight << "\" fill=\"white\" stroke=\"#999\"/>\n";
    // The repaired stretch, from half a sample before it to half a sample after.
    const double halfSample = panel.last == panel.first ? 0 : kPlotWidth / (panel.last - panel.first) / 2;
    const double shadeLeft = std::max(kLeft, panel.x(range.first) - halfSample);
    const double shadeRight = std::min(kLeft + kPlotWidth, panel.x(range.last) + halfSample);
    out << "<rect x=\"" << number(shadeLeft) << "\" y=\"" << panel.top << "\" width=\""
        << number(shadeRight - shadeLeft) << "\" height=\"" << kPlotHeight << "\" fill=\"#fff3b0\"/>\n";
    if (panel.low < 0 && panel.high > 0) {
        out << "<line x1=\"" << kLeft << "\" x2=\"" << kLeft + kPlotWidth << "\" y1=\"" << number(panel.y(0))
            << "\" y2=\"" << number(panel.y(0)) << "\" stroke=\"#ccc\"/>\n";
    }
    writeTrace(out, panel, before, "#d62728");
    writeTrace(out, panel, after, "#1f5fbf");
    out << "<text x=\"" << kLeft - 6 << "\" y=\"" << number(panel.top + 10) << "\" text-anchor=\"end\">" << panel.high
        << "</text>\n";
    out << "<text x=\"" << kLeft - 6 << "\" y=\"" << number(bottom) << "\" text-anchor=\"end\">" << panel.low
        << "</text>\n";
    out << "<text x=\"" << kLeft << "\" y=\"" << number(bottom + 16) << "\">" << panel.first << "</text>\n";
    out << "<text x=\"" << kLeft + kPlotWidth << "\" y=\"" << number(bottom + 16) << "\" text-anchor=\"end\">"
        << panel.last << "</text>\n";
}

}  // namespace

void writeSvgPlot(std::ostream& out, const std::string& title, const std::vector<std::int16_t>& before,
                  const std::vector<std::int16_t>& after, const std::vector<SampleRange>& ranges) {
    const double height = kTop + kPanelHeight * static_cast<double>(ranges.size());
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << height
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    out << "<rect width=\"100%\" height=\"100%\" fill=\"#f8f8f8\"/>\n";
    out << "<text x=\"" << kLeft << "\" y=\"22\" font-size=\"15\">" << escaped(title) << "</text>\n";
    out << "<text x=\"" << kLeft << "\" y=\"42\"><tspan fill=\"#d62728\">&#9632; before</tspan>  "
        << "<tspan fill=\"#1f5fbf\">&#9632; after</tspan>  <tspan fill=\"#b59b00\">&#9632; repaired range</tspan>"
        << "  (sample index across, sample value up)</text>\n";
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const Panel panel =
            panelAround(ranges[i], before.size(), kTop + 30 + kPanelHeight * static_cast<double>(i), before, after);
        writePanel(out, panel, ranges[i], before, after);
    }
    out << "</svg>\n";
}

}  // namespace tesmora::cli
