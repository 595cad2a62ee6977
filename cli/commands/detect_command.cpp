#include "detect_command.h"

#include <cmath>
#include <cstdio>
#include <iostream>

#include "channel.h"
#include "channel_reader.h"
#include "click_finder.h"
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

void checkDetectOptions(const detect::DetectOptions& options) {
    if (!(options.sensitivity >= 0 && options.sensitivity <= 10)) {
        throw UsageError("--sensitivity must lie between 0 and 10");
    }
    if (!(options.maxWidthMs >= 0 && options.maxWidthMs <= 50)) {
        throw UsageError("--max-width must lie between 0 (the default: 2 ms, at least 64 samples) and 50 ms");
    }
}

bool detectChannel(const std::string& path, int channel, const detect::DetectOptions& options,
                   volatile std::int32_t& stopFlag, std::vector<detect::Click>& clicks) {
    ChannelReader reader(path, channel);
    ProgressBar progress;
    progress.setTask("detecting");
    progress.setStatus("channel " + std::to_string(channel));
    bool stopped = false;
    clicks = detect::findClicks(
        reader.frameCount(), reader.sampleRate(), options,
        [&reader](std::uint64_t first, std::int16_t* out, std::size_t count) { return reader.read(first, out, count); },
        [&](std::uint64_t done, std::uint64_t total) {
            progress.show(static_cast<std::uint32_t>(kProgressSteps - done * kProgressSteps / total), kProgressSteps);
            stopped = stopFlag != 0;
            return !stopped;
        });
    progress.clear();
    return !stopped;
}

int runDetect(const DetectRequest& request, volatile std::int32_t& stopFlag) {
    try {
        checkDetectOptions(request.options);
        const ChannelReader first(request.input, 0);
        std::vector<int> channels;
        if (!request.channel.empty()) {
            channels.push_back(existingChannel(request.channel, first.channelCount()));
        } else {
            for (int c = 0; c < first.channelCount(); ++c) channels.push_back(c);
        }
        const bool tagChannels = request.channel.empty() && first.channelCount() > 1;
        std::vector<std::vector<detect::Click>> found(channels.size());
        for (std::size_t i = 0; i < channels.size(); ++i) {
            if (!detectChannel(request.input, channels[i], request.options, stopFlag, found[i])) {
                std::cerr << "tesmora: stopped\n";
                return kExitStopped;
            }
        }
        std::cout << "# tesmora detect " << printable(request.input) << ": "
                  << (tagChannels ? "every channel" : "channel " + std::to_string(channels.front())) << " of "
                  << first.channelCount() << ", " << first.sampleRate() << " Hz, " << first.frameCount()
                  << " samples, sensitivity " << formatted(request.options.sensitivity, "%g") << ", max-width "
                  << (request.options.maxWidthMs > 0 ? formatted(request.options.maxWidthMs, "%g ms")
                                                     : std::string("2 ms (at least 64 samples)"))
                  << "; FIRST:LAST SCORE" << (tagChannels ? " CHANNEL" : "") << "\n";
        std::size_t total = 0;
        for (std::size_t i = 0; i < channels.size(); ++i) {
            printClicks(std::cout, found[i], tagChannels ? channels[i] : -1);
            total += found[i].size();
        }
        if (total == 0) std::cerr << "tesmora: no clicks found in " << printable(request.input) << "\n";
        return kExitRepaired;
    } catch (const UsageError& error) {
        std::cerr << "tesmora: " << printable(error.what()) << "\n";
        return kExitBadUsage;
    } catch (const HostError& error) {
        std::cerr << "tesmora: " << printable(error.what()) << "\n";
        return kExitFailed;
    }
}

}  // namespace tesmora::cli
