#include "demo_command.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <vector>

#include "audio_file.h"
#include "failure.h"
#include "module_driver.h"
#include "module_info.h"
#include "module_loader.h"
#include "pending_outputs.h"
#include "svg_plot.h"

namespace tesmora::cli {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kFrameCount = kSampleRate / 2;
constexpr double kPi = 3.14159265358979323846;
constexpr double kToneHz = 220.0;
constexpr double kToneAmplitude = 8000.0;

struct Click {
    int position;  // first damaged sample
    int width;     // damaged samples
    int height;    // the first one's offset from the tone; the rest alternate and fade
};

constexpr Click kClicks[] = {{2205, 1, 14000}, {6615, 3, -12000}, {11907, 9, 15000}, {16758, 24, -10000}};

std::vector<std::int16_t> cleanTone() {
    std::vector<std::int16_t> samples(kFrameCount);
    for (int i = 0; i < kFrameCount; ++i) {
        const double phase = 2.0 * kPi * kToneHz * i / kSampleRate;
        samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround(kToneAmplitude * std::sin(phase)));
    }
    return samples;
}

std::vector<std::int16_t> withClicks(std::vector<std::int16_t> samples) {
    for (const Click& click : kClicks) {
        for (int j = 0; j < click.width; ++j) {
            const double fade = 1.0 - static_cast<double>(j) / click.width;
            const int offset = static_cast<int>(click.height * fade) * (j % 2 == 0 ? 1 : -1);
            auto& sample = samples[static_cast<std::size_t>(click.position + j)];
            sample = static_cast<std::int16_t>(std::clamp(sample + offset, -32768, 32767));
        }
    }
    return samples;
}

// Each click with two good samples on either side: the repair keeps the end
// samples and, from six samples up, averages their neighbours with the line,
// so those must be good too.
constexpr int kGoodMargin = 2;

std::vector<SampleRange> clickRanges() {
    std::vector<SampleRange> ranges;
    for (const Click& click : kClicks) {
        const auto first = static_cast<std::uint64_t>(click.position - kGoodMargin);
        const auto last = static_cast<std::uint64_t>(click.position + click.width - 1 + kGoodMargin);
        ranges.push_back({first, last, std::to_string(first) + ":" + std::to_string(last)});
    }
    return ranges;
}

int largestDeviation(const std::vector<std::int16_t>& samples, const std::vector<std::int16_t>& tone,
                     const SampleRange& range) {
    int largest = 0;
    for (std::uint64_t i = range.first; i <= range.last; ++i)
        largest = std::max(largest, std::abs(samples[i] - tone[i]));
    return largest;
}

Audio monoAudio(std::vector<std::int16_t> samples) {
    Audio audio;
    audio.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    audio.sampleRate = kSampleRate;
    audio.channels = 1;
    audio.bitsPerSample = 16;
    audio.frameCount = samples.size();
    audio.samples = std::move(samples);
    return audio;
}

void makeFolder(const std::string& folder) {
    std::string path;
    std::istringstream parts(folder);
    for (std::string part; std::getline(parts, part, '/');) {
        path += part + "/";
        if (!part.empty() && mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
            throw HostError("cannot create the folder " + path + ": " + std::strerror(errno));
        }
    }
}

void printTable(const std::vector<SampleRange>& ranges, const std::vector<std::int16_t>& tone,
                const std::vector<std::int16_t>& clicked, const std::vector<std::int16_t>& repaired) {
    std::printf("\n%-5s %-12s %-7s %s\n", "click", "range", "width", "largest deviation from the clean tone");
    std::printf("%-5s %-12s %-7s %9s %9s\n", "", "", "", "before", "after");
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        std::printf("%-5zu %-12s %-7d %9d %9d\n", i + 1, ranges[i].text.c_str(), kClicks[i].width,
                    largestDeviation(clicked, tone, ranges[i]), largestDeviation(repaired, tone, ranges[i]));
    }
}

std::vector<SampleWindow> windowsAround(const std::vector<SampleRange>& ranges, const std::vector<std::int16_t>& before,
                                        const std::vector<std::int16_t>& after) {
    std::vector<SampleWindow> windows;
    for (const SampleRange& range : ranges) {
        const PlotSpan span = plotSpan(range, before.size());
        const auto from = static_cast<std::ptrdiff_t>(span.first);
        const auto to = static_cast<std::ptrdiff_t>(span.end);
        windows.push_back({range,
                           span.first,
                           {before.begin() + from, before.begin() + to},
                           {after.begin() + from, after.begin() + to}});
    }
    return windows;
}

int demo(const std::string& folder, const std::string& modulePath, volatile std::int32_t& stopFlag) {
    const LoadedModule module(modulePath);
    const ModuleInfo info = queryModule(module.entryPoints());
    const std::vector<std::int16_t> tone = cleanTone();
    const std::vector<std::int16_t> clicked = withClicks(tone);
    const std::vector<SampleRange> ranges = clickRanges();

    std::vector<std::int16_t> repaired = clicked;
    const DriveResult result = driveModule(module.entryPoints(), repaired, {1, 16, 2}, ranges, {true, &stopFlag});
    if (result.kind == DriveResult::stopped) {
        std::cerr << "tesmora: stopped; nothing was written\n";
        return kExitStopped;
    }
    if (result.kind != DriveResult::repaired) {
        std::cerr << "tesmora: the module did not repair range " << result.range->text << "\n";
        return kExitFailed;
    }

    makeFolder(folder);
    PendingOutputs outputs;
    outputs.addAudio(folder + "/clicks.wav", monoAudio(clicked));
    outputs.addAudio(folder + "/repaired.wav", monoAudio(repaired));
    std::ostringstream plot;
    writeSvgPlot(plot, "Tesmora demo: four clicks in a 220 Hz tone, before and after",
                 windowsAround(ranges, clicked, repaired));
    outputs.addText(folder + "/repaired.svg", plot.str());
    outputs.commitAll();

    std::printf("%s (%s), loaded from %s\n", info.name.c_str(), info.description.c_str(), module.path().c_str());
    std::printf("A %g Hz tone, %g s of 16-bit mono at %d Hz, with %zu clicks 1 to 24 samples wide,\n", kToneHz,
                static_cast<double>(kFrameCount) / kSampleRate, kSampleRate, ranges.size());
    std::printf("each repaired through the module from two good samples before it to two after it.\n");
    printTable(ranges, tone, clicked, repaired);
    std::printf("\nThe files, in %s:\n", folder.c_str());
    std::printf("  clicks.wav    the tone with the clicks\n");
    std::printf("  repaired.wav  the same after the repair\n");
    std::printf("  repaired.svg  the waveform around each click, before (red) and after (blue)\n");
    return kExitRepaired;
}

}  // namespace

int runDemo(const std::string& folder, const std::string& modulePath, volatile std::int32_t& stopFlag) {
    try {
        return demo(folder, modulePath, stopFlag);
    } catch (const HostError& error) {
        std::cerr << "tesmora: " << error.what() << "\n";
        return kExitFailed;
    }
}

}  // namespace tesmora::cli
