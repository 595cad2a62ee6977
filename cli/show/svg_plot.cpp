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

// The length of the valid UTF-8 sequence at text[at], or 0.
std::size_t utf8Length(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) >> 6) != 2) return 0;
    }
    return length;
}

// XML text: the markup characters escaped, and bytes that are not valid
// UTF-8 or control characters (a file name may hold any) replaced by U+FFFD.
std::string escaped(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const std::size_t length = utf8Length(text, at);
        if (length == 0 || (length == 1 && static_cast<unsigned char>(c) < 0x20)) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.append(text, at, length);
        }
        at += length;
    }
    return out;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// Maps one window of samples onto its panel.
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

Panel panelFor(const SampleWindow& window, double top) {
    Panel panel{top, window.first, window.last(), window.before.front(), window.before.front()};
    for (std::size_t i = 0; i < window.before.size(); ++i) {
        panel.low = std::min({panel.low, int{window.before[i]}, int{window.after[i]}});
        panel.high = std::max({panel.high, int{window.before[i]}, int{window.after[i]}});
    }
    const int pad = std::max(1, (panel.high - panel.low) / 20);
    panel.low -= pad;
    panel.high += pad;
    return panel;
}

// Up to one sample a pixel column, a line through every sample; beyond, one
// stroke a column from its least to its greatest sample.
void writeTrace(std::ostream& out, const Panel& panel, const std::vector<std::int16_t>& samples, const char* colour) {
    const auto columns = static_cast<std::size_t>(kPlotWidth);
    if (samples.size() > columns) {
        out << "<path fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1\" d=\"";
        for (std::size_t column = 0; column < columns; ++column) {
            const std::size_t from = column * samples.size() / columns;
            const std::size_t to = std::max(from + 1, (column + 1) * samples.size() / columns);
            const auto [low, high] = std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(from),
                                                         samples.begin() + static_cast<std::ptrdiff_t>(to));
            const double x = kLeft + static_cast<double>(column) + 0.5;
            out << 'M' << number(x) << ',' << number(panel.y(*high)) << 'V' << number(panel.y(*low) + 0.5);
        }
        out << "\"/>\n";
        return;
    }
    out << "<polyline fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.5\" points=\"";
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out << number(panel.x(panel.first + i)) << ',' << number(panel.y(samples[i])) << ' ';
    }
    out << "\"/>\n";
    if (samples.size() > kFewSamples) return;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out << "<circle r=\"2\" fill=\"" << colour << "\" cx=\"" << number(panel.x(panel.first + i)) << "\" cy=\""
            << number(panel.y(samples[i])) << "\"/>\n";
    }
}

void writePanel(std::ostream& out, const Panel& panel, const SampleWindow& window) {
    const SampleRange& range = window.range;
    const double bottom = panel.top + kPlotHeight;
    out << "<text x=\"" << kLeft << "\" y=\"" << number(panel.top - 8) << "\">range " << escaped(range.describe())
        << ", " << range.size() << " samples</text>\n";
    out << "<rect x=\"" << kLeft << "\" y=\"" << panel.top << "\" width=\"" << kPlotWidth << "\" height=\""
        << kPlotHeight << "\" fill=\"white\" stroke=\"#999\"/>\n";
    // The repaired stretch, from half a sample before it to half a sample after.
    const double halfSample =
        panel.last == panel.first ? 0 : kPlotWidth / static_cast<double>(panel.last - panel.first) / 2;
    const double shadeLeft = std::max(kLeft, panel.x(range.first) - halfSample);
    const double shadeRight = std::min(kLeft + kPlotWidth, panel.x(range.last) + halfSample);
    out << "<rect x=\"" << number(shadeLeft) << "\" y=\"" << panel.top << "\" width=\""
        << number(shadeRight - shadeLeft) << "\" height=\"" << kPlotHeight << "\" fill=\"#fff3b0\"/>\n";
    if (panel.low < 0 && panel.high > 0) {
        out << "<line x1=\"" << kLeft << "\" x2=\"" << kLeft + kPlotWidth << "\" y1=\"" << number(panel.y(0))
            << "\" y2=\"" << number(panel.y(0)) << "\" stroke=\"#ccc\"/>\n";
    }
    writeTrace(out, panel, window.before, "#d62728");
    writeTrace(out, panel, window.after, "#1f5fbf");
    out << "<text x=\"" << kLeft - 6 << "\" y=\"" << number(panel.top + 10) << "\" text-anchor=\"end\">" << panel.high
        << "</text>\n";
    out << "<text x=\"" << kLeft - 6 << "\" y=\"" << number(bottom) << "\" text-anchor=\"end\">" << panel.low
        << "</text>\n";
    out << "<text x=\"" << kLeft << "\" y=\"" << number(bottom + 16) << "\">" << panel.first << "</text>\n";
    out << "<text x=\"" << kLeft + kPlotWidth << "\" y=\"" << number(bottom + 16) << "\" text-anchor=\"end\">"
        << panel.last << "</text>\n";
}

}  // namespace

// As wide as the range, up to a bound: beyond it the margins would hold
// more samples than the picture shows, and cost their memory.
PlotSpan plotSpan(const SampleRange& range, std::uint64_t frameCount) {
    const std::uint64_t margin = std::clamp<std::uint64_t>(range.size(), 16, 65536);
    return {range.first > margin ? range.first - margin : 0, std::min(range.last + margin + 1, frameCount)};
}

void writeSvgPlot(std::ostream& out, const std::string& title, const std::vector<SampleWindow>& windows) {
    const std::size_t drawn = std::min(windows.size(), kMostPanels);
    const double height = kTop + kPanelHeight * static_cast<double>(drawn) + (drawn < windows.size() ? 30 : 0);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << height
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    out << "<rect width=\"100%\" height=\"100%\" fill=\"#f8f8f8\"/>\n";
    out << "<text x=\"" << kLeft << "\" y=\"22\" font-size=\"15\">" << escaped(title) << "</text>\n";
    out << "<text x=\"" << kLeft << "\" y=\"42\"><tspan fill=\"#d62728\">&#9632; before</tspan>  "
        << "<tspan fill=\"#1f5fbf\">&#9632; after</tspan>  <tspan fill=\"#b59b00\">&#9632; repaired range</tspan>"
        << "  (sample index across, sample value up)</text>\n";
    for (std::size_t i = 0; i < drawn; ++i) {
        writePanel(out, panelFor(windows[i], kTop + 30 + kPanelHeight * static_cast<double>(i)), windows[i]);
    }
    if (drawn < windows.size()) {
        out << "<text x=\"" << kLeft << "\" y=\"" << number(height - 12) << "\">" << windows.size() - drawn
            << " more ranges are not drawn: only the first " << kMostPanels << " are</text>\n";
    }
    out << "</svg>\n";
}

}  // namespace tesmora::cli
