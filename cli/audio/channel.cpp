#include "channel.h"

#include <cctype>
#include <charconv>

#include "failure.h"

namespace tesmora::cli {

int parseChannel(const std::string& written) {
    std::string text = written;
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (text == "left") return 0;
    if (text == "right") return 1;
    int index = -1;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, index);
    if (error != std::errc() || stop != end || index < 0) {
        throw UsageError("bad channel '" + written + "': expected left, right or an index counted from 0");
    }
    return index;
}

int existingChannel(const std::string& text, int channels) {
    const int channel = parseChannel(text);
    if (channel >= channels) {
        throw HostError("there is no channel " + text + ": the file has " + std::to_string(channels) +
                        (channels == 1 ? " channel" : " channels") + ", counted from 0");
    }
    return channel;
}

std::vector<std::int16_t> extractChannel(const std::vector<std::int16_t>& interleaved, int channels, int channel) {
    const auto stride = static_cast<std::size_t>(channels);
    std::vector<std::int16_t> samples;
    samples.reserve(interleaved.size() / stride);
    for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size(); i += stride) {
        samples.push_back(interleaved[i]);
    }
    return samples;
}

void mergeChannel(std::vector<std::int16_t>& interleaved, int channels, int channel,
                  const std::vector<std::int16_t>& samples) {
    const auto stride = static_cast<std::size_t>(channels);
    for (std::size_t frame = 0; frame < samples.size(); ++frame) {
        interleaved[frame * stride + static_cast<std::size_t>(channel)] = samples[frame];
    }
}

}  // namespace tesmora::cli
