#include "repair_command.h"

#include <sys/stat.h>

#include <iostream>
#include <sstream>

#include "audio_file.h"
#include "channel.h"
#include "channel_reader.h"
#include "detect_command.h"
#include "failure.h"
#include "module_driver.h"
#include "module_loader.h"
#include "pending_outputs.h"
#include "range_report.h"
#include "sample_range.h"
#include "svg_plot.h"

namespace tesmora::cli {

namespace {

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

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

// --detect: the clicks found in the channel to be repaired, as ranges. Answers
// false when the search was stopped.
bool detectedRanges(const RepairRequest& request, volatile std::int32_t& stopFlag,
                    std::vector<WrittenRange>& writtenRanges) {
    if (!request.ranges.empty() || !request.rangesFile.empty()) {
        throw UsageError("--detect finds the ranges itself: leave out --range and --ranges");
    }
    checkDetectOptions(request.detectOptions);
    int channel = 0;
    if (!request.channel.empty()) {
        channel = parseChannel(request.channel);
    } else if (ChannelReader(request.input, 0).channelCount() > 1) {
        throw UsageError("--detect repairs one channel at a time: give --channel (left, right or an index)");
    }
    std::vector<detect::Click> clicks;
    if (!detectChannel(request.input, channel, request.detectOptions, stopFlag, clicks)) return false;
    for (const detect::Click& click : clicks) {
        writtenRanges.push_back({{false, click.first, 0.0},
                                 {false, click.last, 0.0},
                                 std::to_string(click.first) + ":" + std::to_string(click.last)});
    }
    return true;
}

void checkTarget(const RepairRequest& request) {
    if (request.inPlace == !request.output.empty()) {
        throw UsageError("give either -o OUTPUT or --in-place");
    }
    if (!request.inPlace && sameFile(request.input, request.output)) {
        throw UsageError(request.output + " is the input file; use --in-place to repair it where it lies");
    }
    const std::string& target = request.inPlace ? request.input : request.output;
    if (!request.plotPath.empty() && (request.plotPath == target || sameFile(request.plotPath, request.input) ||
                                      sameFile(request.plotPath, target))) {
        throw UsageError("the plot " + request.plotPath + " would overwrite the sound file; give it a name of its own");
    }
}

// What the module is handed: one channel when one is chosen (or the file has
// only one), otherwise the interleaved frames of them all.
struct HandedData {
    HostFormat format;
    int channel = -1;  // -1: every channel
    std::vector<std::int16_t> samples;
};

HandedData dataToHand(const Audio& audio, const std::string& channelText) {
    HandedData handed;
    const auto bytesPerSample = static_cast<std::uint16_t>((audio.bitsPerSample + 7) / 8);
    if (!channelText.empty()) {
        handed.channel = parseChannel(channelText);
        if (handed.channel >= audio.channels) {
            throw HostError("there is no channel " + channelText + ": the file has " + std::to_string(audio.channels) +
                            (audio.channels == 1 ? " channel" : " channels") + ", counted from 0");
        }
    }
    if (handed.channel >= 0 || audio.channels == 1) {
        handed.format = {1, audio.bitsPerSample, bytesPerSample};
        if (handed.channel < 0) handed.channel = 0;
        if (audio.is16Bit()) handed.samples = extractChannel(audio.samples, audio.channels, handed.channel);
    } else {
        handed.format = {static_cast<std::uint16_t>(audio.channels), audio.bitsPerSample,
                         static_cast<std::uint16_t>(bytesPerSample * audio.channels)};
        handed.samples = audio.samples;
    }
    return handed;
}

int explainFailure(const DriveResult& result) {
    const std::string range = result.range->describe();
    switch (result.kind) {
        case DriveResult::stopped: std::cerr << "tesmora: stopped; nothing was written\n"; return kExitStopped;
        case DriveResult::declined:
            std::cerr << "tesmora: range " << range << " was not confirmed; nothing was written\n";
            return kExitFailed;
        default:
            std::cerr << "tesmora: the module did not repair range " << range << "; nothing was written\n";
            return kExitFailed;
    }
}

int repair(const RepairRequest& request, volatile std::int32_t& stopFlag) {
    checkTarget(request);
    std::vector<WrittenRange> writtenRanges;
    if (!request.detect) {
        writtenRanges = requestedRanges(request);
    } else if (!detectedRanges(request, stopFlag, writtenRanges)) {
        std::cerr << "tesmora: stopped; nothing was written\n";
        return kExitStopped;
    }
    const LoadedModule module(request.modulePath);
    Audio audio = readAudio(request.input);
    const std::vector<SampleRange> ranges = resolveRanges(writtenRanges, audio.sampleRate, audio.frameCount);
    HandedData handed = dataToHand(audio, request.channel);
    const std::vector<std::int16_t> before = handed.samples;

    const DriveResult result =
        driveModule(module.entryPoints(), handed.samples, handed.format, ranges, {!request.skipQuestion, &stopFlag});
    if (result.kind != DriveResult::repaired) return explainFailure(result);
    // Only 16-bit samples are held; another module that accepts other widths
    // has had nothing to work on.
    if (!audio.is16Bit()) {
        throw HostError("cannot write " + std::to_string(audio.bitsPerSample) + "-bit audio: only 16-bit is held");
    }

    if (handed.channel >= 0) {
        mergeChannel(audio.samples, audio.channels, handed.channel, handed.samples);
    } else {
        audio.samples = handed.samples;
    }
    const std::string target = request.inPlace ? request.input : request.output;
    PendingOutputs outputs;
    outputs.addAudio(target, audio);
    if (!request.plotPath.empty()) {
        std::ostringstream plot;
        writeSvgPlot(plot, "Tesmora: " + request.input + (request.detect ? ", the clicks found" : ""), before,
                     handed.samples, ranges);
        outputs.addText(request.plotPath, plot.str());
    }
    if (stopFlag != 0) {
        std::cerr << "tesmora: stopped; nothing was written\n";
        return kExitStopped;
    }
    if (ranges.empty()) {
        // Nothing to repair: -o still gets its file (a copy), so that what
        // follows in a script finds it; --in-place leaves the input alone.
        if (!request.inPlace) outputs.commitAll();
        std::cout << "No clicks found in " << request.input << "; "
                  << (request.inPlace ? "left it as it was" : "wrote " + target + ", a copy of it") << "\n";
        return kExitRepaired;
    }
    outputs.commitAll();

    if (request.report) printReport(std::cout, before, handed.samples, ranges);
    std::cout << "Repaired " << ranges.size() << (ranges.size() == 1 ? " range" : " ranges") << "; wrote " << target
              << (request.plotPath.empty() ? "" : " and " + request.plotPath) << "\n";
    return kExitRepaired;
}

}  // namespace

int runRepair(const RepairRequest& request, volatile std::int32_t& stopFlag) {
    try {
        return repair(request, stopFlag);
    } catch (const UsageError& error) {
        std::cerr << "tesmora: " << error.what() << "\n";
        return kExitBadUsage;
    } catch (const HostError& error) {
        std::cerr << "tesmora: " << error.what() << "\n";
        return kExitFailed;
    }
}

}  // namespace tesmora::cli
