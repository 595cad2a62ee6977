#include "detect_command.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <iostream>

#include "channel.h"
#include "channel_reader.h"
#include "click_finder.h"
#include "command_failures.h"
#include "failure.h"
#include "printable.h"
#include "progress_bar.h"

namespace tesmora::cli {

namespace {

// Progress is drawn in thousandths; the bar counts down, as the module's does.
constexpr std::uint32_t kProgressSteps = 1000;

std::string formatted(double value, const char* format) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void printClicks(std::ostream& out, const std::vector<detect::Click>& clicks, int channel) {
    for (const detect::Click& click : clicks) {
        out << click.first << ':' << click.last << ' ' << formatted(click.score, "%.2f");
        if (channel >= 0) out << " ch=" << channel;
        out << '\n';
    }
}

}  // namespace

int partnerChannel(int channel, int channels) {
    if (channels < 2) return -1;
    const int pair = channel ^ 1;
    return pair < channels ? pair : channel - 1;
}

std::vector<int> channelsToSearch(const std::string& channelText, int channels) {
    if (!channelText.empty()) return {existingChannel(channelText, channels)};
    std::vector<int> every;
    for (int c = 0; c < channels; ++c) every.push_back(c);
    return every;
}

void checkDetectOptions(const detect::DetectOptions& options) {
    if (!(options.sensitivity >= 0 && options.sensitivity <= 10)) {
        throw UsageError("--sensitivity must lie between 0 and 10");
    }
    if (!(options.maxWidthMs >= 0 && options.maxWidthMs <= 50)) {
        throw UsageError("--max-width must lie between 0 (the default: 2 ms, at least 64 samples) and 50 ms");
    }
}

bool detectChannels(const std::string& path, const std::vector<int>& channels, const detect::DetectOptions& options,
                    volatile std::int32_t& stopFlag, std::vector<std::vector<detect::Click>>& clicks) {
    const std::uint64_t length = ChannelReader(path, channels.front()).frameCount();
    std::vector<std::atomic<std::uint64_t>> done(channels.size());
    const auto search = [&](std::size_t i) {
        ChannelReader reader(path, channels[i]);
        const int partner = partnerChannel(channels[i], reader.channelCount());
        return detect::findClicks(
            reader.frameCount(), reader.sampleRate(), options,
            [&reader](std::uint64_t first, std::int16_t* out, std::size_t count) {
                return reader.read(first, out, count);
            },
            [&reader, partner](std::uint64_t first, std::int16_t* out, std::size_t count) {
                return partner < 0 ? std::size_t{0} : reader.readChannel(partner, first, out, count);
            },
            [&](std::uint64_t samples, std::uint64_t) {
                done[i] = samples;
                return stopFlag == 0;
            });
    };
    std::vector<std::future<std::vector<detect::Click>>> searches;
    for (std::size_t i = 0; i < channels.size(); ++i) searches.push_back(std::async(std::launch::async, search, i));

    ProgressBar progress;
    progress.setTask("detecting");
    progress.setStatus(channels.size() == 1 ? "channel " + std::to_string(channels.front())
                                            : std::to_string(channels.size()) + " channels");
    const std::uint64_t total = std::max<std::uint64_t>(1, length * channels.size());
    for (std::future<std::vector<detect::Click>>& one : searches) {
        while (one.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            std::uint64_t sum = 0;
            for (const std::atomic<std::uint64_t>& samples : done) sum += samples;
            progress.show(static_cast<std::uint32_t>(kProgressSteps - sum * kProgressSteps / total), kProgressSteps);
        }
    }
    progress.clear();
    clicks.clear();
    for (std::future<std::vector<detect::Click>>& one : searches) clicks.push_back(one.get());
    return stopFlag == 0;
}

namespace {

// Searches the channels asked for and prints what it found.
int searchAndPrint(const DetectRequest& request, volatile std::int32_t& stopFlag) {
    checkDetectOptions(request.options);
    const ChannelReader first(request.input, 0);
    const std::vector<int> channels = channelsToSearch(request.channel, first.channelCount());
    // Each line of a file of several channels says its own, so that the
    // ranges go back to it whatever --channel repair is given.
    const bool tagChannels = first.channelCount() > 1;
    std::vector<std::vector<detect::Click>> found;
    if (!detectChannels(request.input, channels, request.options, stopFlag, found)) {
        std::cerr << "tesmora: stopped\n";
        return kExitStopped;
    }
    std::cout << "# tesmora detect " << printable(request.input) << ": "
              << (first.channelCount() == 1 ? std::string("mono")
                  : request.channel.empty()
                      ? "every channel of " + std::to_string(first.channelCount())
                      : "channel " + std::to_string(channels.front()) + " of " + std::to_string(first.channelCount()))
              << ", " << first.sampleRate() << " Hz, " << first.frameCount() << " samples, sensitivity "
              << formatted(request.options.sensitivity, "%g") << ", max-width "
              << (request.options.maxWidthMs > 0 ? formatted(request.options.maxWidthMs, "%g ms")
                                                 : std::string("2 ms (at least 64 samples)"))
              << "; FIRST:LAST SCORE" << (tagChannels ? " CHANNEL" : "") << "\n";
    for (std::size_t i = 0; i < channels.size(); ++i) printClicks(std::cout, found[i], tagChannels ? channels[i] : -1);
    std::cout.flush();
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const std::size_t count = found[i].size();
        std::cerr << "tesmora: "
                  << (count == 0 ? std::string("no clicks")
                                 : std::to_string(count) + (count == 1 ? " click" : " clicks"))
                  << " found in channel " << channels[i] << " of " << printable(request.input) << "\n";
    }
    return kExitRepaired;
}

}  // namespace

int runDetect(const DetectRequest& request, volatile std::int32_t& stopFlag) {
    return exitStatusOf([&] { return searchAndPrint(request, stopFlag); });
}

}  // namespace tesmora::cli
