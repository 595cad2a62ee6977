#include "repair_command.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <sstream>

#include "audio_file.h"
#include "channel.h"
#include "channel_reader.h"
#include "command_failures.h"
#include "detect_command.h"
#include "failure.h"
#include "input_file.h"
#include "input_layout.h"
#include "module_driver.h"
#include "module_loader.h"
#include "pending_outputs.h"
#include "printable.h"
#include "range_report.h"
#include "repair_targets.h"
#include "sample_layout.h"
#include "sample_range.h"
#include "sample_window.h"
#include "svg_plot.h"
#include "terminal.h"

namespace tesmora::cli {

namespace {

// The module asks about selections longer than this.
constexpr std::uint64_t kSamplesWithoutQuestion = 500;

// Every source of ranges is gathered here, in one list.
std::vector<WrittenRange> requestedRanges(const RepairRequest& request) {
    std::vector<WrittenRange> writtenRanges;
    for (const std::string& text : request.ranges) writtenRanges.push_back(parseRange(text));
    if (!request.rangesFile.empty()) {
        for (WrittenRange& written : readRangeFile(request.rangesFile)) writtenRanges.push_back(std::move(written));
    }
    if (writtenRanges.empty())
        throw UsageError("no range to repair: give --range FIRST:LAST, --ranges FILE or --detect");
    return writtenRanges;
}

// --detect: the clicks found in the channels to be repaired (every channel
// without --channel), as ranges of their channels. Answers false when the
// search was stopped.
bool detectedRanges(const RepairRequest& request, int channels, volatile std::int32_t& stopFlag,
                    std::vector<WrittenRange>& writtenRanges) {
    if (!request.ranges.empty() || !request.rangesFile.empty()) {
        throw UsageError("--detect finds the ranges itself: leave out --range and --ranges");
    }
    checkDetectOptions(request.detectOptions);
    const std::vector<int> searched = channelsToSearch(request.channel, channels);
    std::vector<std::vector<detect::Click>> found;
    if (!detectChannels(request.input, searched, request.detectOptions, stopFlag, found)) return false;
    for (std::size_t i = 0; i < searched.size(); ++i) {
        for (const detect::Click& click : found[i]) {
            writtenRanges.push_back({{false, click.first, 0.0},
                                     {false, click.last, 0.0},
                                     std::to_string(click.first) + ":" + std::to_string(click.last),
                                     searched[i],
                                     {}});
        }
    }
    return true;
}

// The channel --channel names, or -1 when it is not given.
int chosenChannel(const std::string& channelText, int channels) {
    return channelText.empty() ? -1 : existingChannel(channelText, channels);
}

// Without a terminal the module cannot ask, and would go on: such ranges
// need --yes.
void refuseUnaskedLongRanges(const RepairRequest& request, const std::vector<SampleRange>& ranges) {
    if (request.skipQuestion || hasTerminal()) return;
    for (const SampleRange& range : ranges) {
        if (range.size() > kSamplesWithoutQuestion) {
            throw HostError("range " + range.describe() + " has " + std::to_string(range.size()) +
                            " samples, more than 500, and there is no terminal to ask whether to go on; give --yes "
                            "to repair it anyway");
        }
    }
}

int explainFailure(DriveResult::Kind kind, const SampleRange& range, int channels) {
    const std::string described = printable(range.describe());
    switch (kind) {
        case DriveResult::stopped: std::cerr << "tesmora: stopped; nothing was written\n"; return kExitStopped;
        case DriveResult::declined:
            std::cerr << "tesmora: range " << described << " was not confirmed; nothing was written\n";
            return kExitFailed;
        default:
            std::cerr << "tesmora: the module did not repair range " << described << "; nothing was written\n";
            if (range.channel < 0 && channels > 1) {
                std::cerr << "tesmora: the file has " << channels
                          << " channels; repair one at a time with --channel left, right or an index from 0, or "
                             "give each line of --ranges its channel as ch=N\n";
            }
            return kExitFailed;
    }
}

// What the module is handed for a file whose samples are not 16-bit: their
// description alone, which it refuses before it asks for any of them. The
// program then says what the file holds and what to do.
int handOverOtherWidth(const LoadedModule& module, const Audio& audio, const std::string& path,
                       const std::vector<SampleRange>& ranges, const DriveOptions& options) {
    const auto bytes = static_cast<std::uint16_t>((audio.bitsPerSample + 7) / 8);
    const auto channels = static_cast<std::uint16_t>(ranges.front().channel < 0 ? audio.channels : 1);
    const HostFormat format{channels, audio.bitsPerSample, static_cast<std::uint16_t>(bytes * channels)};
    std::vector<std::int16_t> nothing;
    const auto kind = driveRange(module.entryPoints(), nothing, format,
                                 static_cast<std::uint32_t>(ranges.front().size()), "range 1", options);
    if (kind == DriveResult::stopped || kind == DriveResult::declined) {
        return explainFailure(kind, ranges.front(), audio.channels);
    }
    throw HostError(unsupportedSamples(path, audio.format) + "; nothing was written");
}

// The range's samples and as many again on each side, before the repair and
// after, for the report and the plot.
SampleWindow windowAround(ChannelReader& reader, const SampleRange& range, const std::vector<std::int16_t>& repaired) {
    const PlotSpan span = plotSpan(range, reader.frameCount());
    SampleWindow window{range, span.first, {}, {}};
    window.before.resize(static_cast<std::size_t>(span.end - span.first));
    reader.readChannel(range.channel, window.first, window.before.data(), window.before.size());
    window.after = window.before;
    std::copy(repaired.begin(), repaired.end(),
              window.after.begin() + static_cast<std::ptrdiff_t>(range.first - window.first));
    return window;
}

// Ranges of one or two samples have no inside to put on a line.
std::vector<const SampleRange*> unchangedRanges(const std::vector<SampleRange>& ranges) {
    std::vector<const SampleRange*> unchanged;
    for (const SampleRange& range : ranges) {
        if (range.size() <= 2) unchanged.push_back(&range);
    }
    return unchanged;
}

void printSummary(const RepairRequest& request, const std::vector<SampleRange>& ranges, const std::string& target) {
    const std::vector<const SampleRange*> unchanged = unchangedRanges(ranges);
    for (const SampleRange* range : unchanged) {
        std::cout << "Range " << printable(range->describe()) << " has " << range->size()
                  << (range->size() == 1 ? " sample" : " samples")
                  << ": its first and last samples are kept, so nothing in it changes\n";
    }
    const std::size_t repaired = ranges.size() - unchanged.size();
    std::cout << (repaired == 0 ? std::string("Changed nothing")
                                : "Repaired " + std::to_string(repaired) + (repaired == 1 ? " range" : " ranges"))
              << "; wrote " << printable(target)
              << (request.plotPath.empty() ? "" : " and " + printable(request.plotPath)) << "\n";
}

// What the ranges became: their new samples, and the windows around them for
// the report and the plot.
struct Repairs {
    std::vector<RangePatch> patches;
    std::vector<SampleWindow> windows;
};

// Hands each range to the module alone, read from the input as it is needed.
// Answers the exit status when one does not go through.
std::optional<int> repairEach(const RepairRequest& request, const LoadedModule& module, ChannelReader& reader,
                              const std::vector<SampleRange>& ranges, const DriveOptions& options, Repairs& repairs) {
    const int channels = reader.channelCount();
    const bool wantsWindows = request.report || !request.plotPath.empty();
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const SampleRange& range = ranges[i];
        // One channel goes to the module as a mono waveform, as the editor
        // hands over one channel of a stereo one.
        const bool alone = range.channel >= 0;
        const HostFormat format =
            alone ? HostFormat{1, 16, 2}
                  : HostFormat{static_cast<std::uint16_t>(channels), 16, static_cast<std::uint16_t>(2 * channels)};
        RangePatch patch{range.first, {}, range.channel};
        const auto frames = static_cast<std::size_t>(range.size());
        if (alone) {
            patch.samples.resize(frames);
            reader.readChannel(range.channel, range.first, patch.samples.data(), frames);
        } else {
            patch.samples.resize(frames * static_cast<std::size_t>(channels));
            reader.readFrames(range.first, patch.samples.data(), frames);
        }
        if (options.confirmLongRanges && range.size() > kSamplesWithoutQuestion) {
            tellOnTerminal("range " + printable(range.describe()) + " has " + std::to_string(range.size()) +
                           " samples.");
        }
        const std::string task = "range " + std::to_string(i + 1) + "/" + std::to_string(ranges.size());
        const auto kind =
            driveRange(module.entryPoints(), patch.samples, format, static_cast<std::uint32_t>(frames), task, options);
        if (kind != DriveResult::repaired) return explainFailure(kind, range, channels);
        if (wantsWindows && alone) repairs.windows.push_back(windowAround(reader, range, patch.samples));
        repairs.patches.push_back(std::move(patch));
    }
    return std::nullopt;
}

int repair(const RepairRequest& request, volatile std::int32_t& stopFlag) {
    const RepairTargets targets = planTargets(request);
    const Audio audio = describeAudio(request.input);
    const int chosen = chosenChannel(request.channel, audio.channels);
    std::vector<WrittenRange> writtenRanges;
    if (!request.detect) {
        writtenRanges = requestedRanges(request);
    } else if (!audio.is16Bit()) {
        throw HostError(unsupportedSamples(request.input, audio.format));
    } else if (!detectedRanges(request, audio.channels, stopFlag, writtenRanges)) {
        std::cerr << "tesmora: stopped; nothing was written\n";
        return kExitStopped;
    }
    const LoadedModule module(request.modulePath);
    settleChannels(writtenRanges, audio.channels, chosen);
    const std::vector<SampleRange> ranges =
        resolveRanges(writtenRanges, audio.sampleRate, audio.frameCount, audio.channels);
    if (ranges.empty() && request.inPlace) {
        std::cout << "No clicks found in " << printable(request.input) << "; left it as it was\n";
        return kExitRepaired;
    }
    refuseUnaskedLongRanges(request, ranges);
    const DriveOptions options{!request.skipQuestion, &stopFlag};
    if (!audio.is16Bit()) return handOverOtherWidth(module, audio, request.input, ranges, options);

    const InputFile input(request.input);
    ChannelReader reader(request.input, 0);
    const SampleLayout layout = locateInput(input, reader, audio, ranges, request.input, request.output);
    Repairs repairs;
    if (const auto failed = repairEach(request, module, reader, ranges, options, repairs)) return *failed;

    PendingOutputs outputs;
    const bool written = layout.container == "FLAC"
                             ? outputs.addRepairedFlac(targets.sound.path, request.input, input.descriptor(),
                                                       audio.channels, repairs.patches, request.inPlace, stopFlag)
                             : outputs.addPatchedCopy(targets.sound.path, input.descriptor(), layout, repairs.patches,
                                                      request.inPlace, stopFlag);
    if (targets.plot && written && !ranges.empty()) {
        std::ostringstream plot;
        writeSvgPlot(plot, "Tesmora: " + request.input + (request.detect ? ", the clicks found" : ""), repairs.windows);
        outputs.addText(targets.plot->path, plot.str());
    }
    if (!written || stopFlag != 0) {
        std::cerr << "tesmora: stopped; nothing was written\n";
        return kExitStopped;
    }
    outputs.commitAll();
    if (ranges.empty()) {
        // Nothing found to repair: -o still gets its file, a copy, so that
        // what follows in a script finds it.
        std::cout << "No clicks found in " << printable(request.input) << "; wrote " << printable(request.output)
                  << ", a copy of it\n";
        return kExitRepaired;
    }

    if (targets.plot && repairs.windows.size() > kMostPanels) {
        std::cerr << "tesmora: " << printable(request.plotPath) << " draws the first " << kMostPanels << " of the "
                  << repairs.windows.size() << " ranges repaired; --report lists them all\n";
    }
    if (request.report) printReport(std::cout, repairs.windows);
    printSummary(request, ranges, request.inPlace ? request.input : request.output);
    return kExitRepaired;
}

}  // namespace

int runRepair(const RepairRequest& request, volatile std::int32_t& stopFlag) {
    return exitStatusOf([&] { return repair(request, stopFlag); });
}

}  // namespace tesmora::cli
