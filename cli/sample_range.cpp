#include "sample_range.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "failure.h"
#include "file_io.h"

namespace tesmora::cli {

namespace {

// The module's selection fields are 32-bit: a range is handed to it alone,
// wherever it lies, but cannot hold more samples than they count.
constexpr std::uint64_t kMostSamplesInARange = std::numeric_limits<std::uint32_t>::max();

const char kExpectedForm[] = "expected FIRST:LAST in samples (1200:1210) or seconds (0.512s:0.513s)";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// from_chars must take the whole text: "12x" is not 12.
template <typename Number>
bool parseWhole(std::string_view text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

RangeBound parseBound(std::string_view whole, std::string_view text) {
    RangeBound bound;
    text = trimmed(text);
    if (!text.empty() && text.back() == 's') {
        bound.inSeconds = true;
        if (parseWhole(text.substr(0, text.size() - 1), bound.seconds) && std::isfinite(bound.seconds) &&
            bound.seconds >= 0.0) {
            return bound;
        }
    } else if (parseWhole(text, bound.sample)) {
        return bound;
    }
    throw UsageError("bad range '" + std::string(whole) + "': '" + std::string(text) +
                     "' is neither a sample index nor a time in seconds");
}

std::uint64_t toSample(const RangeBound& bound, int sampleRate) {
    if (!bound.inSeconds) return bound.sample;
    const double sample = std::round(bound.seconds * sampleRate);
    // Anything this far out lies outside every file; keep it representable.
    return sample < 1e18 ? static_cast<std::uint64_t>(sample) : std::uint64_t{1'000'000'000'000'000'000};
}

// The channel a field "ch=N" among fields names, or -1 when none does;
// other fields (the score `tesmora detect` prints) are comments.
int channelField(std::string_view fields) {
    while (!(fields = trimmed(fields)).empty()) {
        const std::size_t end = std::min(fields.size(), fields.find_first_of(" \t"));
        const std::string_view field = fields.substr(0, end);
        fields.remove_prefix(end);
        if (field.substr(0, 3) != "ch=") continue;
        int channel = -1;
        if (!parseWhole(field.substr(3), channel) || channel < 0) {
            throw UsageError("bad channel '" + std::string(field) + "': expected ch=N, N counted from 0");
        }
        return channel;
    }
    return -1;
}

std::string channelCount(int channels) {
    return std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

// Whether two ranges, sorted by their first frames, share a sample of one channel.
bool overlap(const SampleRange& earlier, const SampleRange& later) {
    const bool sameChannel = earlier.channel < 0 || later.channel < 0 || earlier.channel == later.channel;
    return sameChannel && later.first <= earlier.last;
}

}  // namespace

void settleChannels(std::vector<WrittenRange>& writtenRanges, int channels, int chosen) {
    for (WrittenRange& written : writtenRanges) {
        const std::string where = written.origin.empty() ? "range " + written.text : written.origin;
        if (written.channel >= channels) {
            throw HostError(where + ": ch=" + std::to_string(written.channel) + ", but the file has " +
                            channelCount(channels) + ", counted from 0");
        }
        if (written.channel >= 0 && chosen >= 0 && written.channel != chosen) {
            throw HostError(where + ": ch=" + std::to_string(written.channel) + ", but --channel names channel " +
                            std::to_string(chosen) + "; leave out --channel to repair every line in its own channel");
        }
        if (written.channel < 0) written.channel = chosen >= 0 ? chosen : (channels == 1 ? 0 : -1);
    }
}

std::string SampleRange::describe() const {
    const std::string samples = std::to_string(first) + ":" + std::to_string(last);
    const std::string where = namesChannel && channel >= 0 ? " in channel " + std::to_string(channel) : "";
    return (text == samples ? text : text + " (samples " + samples + ")") + where;
}

WrittenRange parseRange(std::string_view text) {
    const std::string_view whole = trimmed(text);
    const auto colon = whole.find(':');
    if (colon == std::string_view::npos || whole.find(':', colon + 1) != std::string_view::npos) {
        throw UsageError("bad range '" + std::string(whole) + "': " + kExpectedForm);
    }
    return {parseBound(whole, whole.substr(0, colon)),
            parseBound(whole, whole.substr(colon + 1)),
            std::string(whole),
            -1,
            {}};
}

std::vector<WrittenRange> parseRangeList(std::istream& lines, const std::string& name) {
    std::vector<WrittenRange> writtenRanges;
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::string_view text = line;
        // A byte order mark, as some editors write at the start of a text file.
        if (number == 1 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        // '#' starts a comment, on a line of its own or after a range.
        text = trimmed(text.substr(0, text.find('#')));
        if (text.empty()) continue;
        try {
            const std::size_t end = std::min(text.size(), text.find_first_of(" \t"));
            WrittenRange written = parseRange(text.substr(0, end));
            written.channel = channelField(text.substr(end));
            written.origin = name + ":" + std::to_string(number);
            writtenRanges.push_back(std::move(written));
        } catch (const UsageError& error) {
            throw UsageError(name + ":" + std::to_string(number) + ": " + error.what());
        }
    }
    return writtenRanges;
}

std::vector<WrittenRange> readRangeFile(const std::string& path) {
    checkReadableFile(path, "the ranges file " + path);
    std::ifstream file(path);
    if (!file) throw HostError("cannot read the ranges file " + path + ": " + std::strerror(errno));
    return parseRangeList(file, path);
}

std::vector<SampleRange> resolveRanges(const std::vector<WrittenRange>& writtenRanges, int sampleRate,
                                       std::uint64_t frameCount, int channels) {
    std::vector<SampleRange> ranges;
    for (const WrittenRange& written : writtenRanges) {
        const SampleRange range{toSample(written.first, sampleRate), toSample(written.last, sampleRate), written.text,
                                written.channel, channels > 1};
        if (range.first > range.last) {
            throw HostError("range " + range.describe() + " runs backwards: its first sample comes after its last");
        }
        if (range.last >= frameCount) {
            throw HostError("range " + range.describe() + " lies outside the file, " +
                            (frameCount == 0 ? std::string("which has no samples")
                                             : "whose samples are 0 to " + std::to_string(frameCount - 1)));
        }
        if (range.size() > kMostSamplesInARange) {
            throw HostError("range " + range.describe() + " has " + std::to_string(range.size()) +
                            " samples, more than the module can take at once (" + std::to_string(kMostSamplesInARange) +
                            ")");
        }
        ranges.push_back(range);
    }
    std::sort(ranges.begin(), ranges.end(), [](const SampleRange& a, const SampleRange& b) {
        return a.first != b.first ? a.first < b.first : a.channel < b.channel;
    });
    // The latest-ending range so far of each channel (index channel + 1; 0
    // for every channel at once): a range can overlap only those.
    std::vector<const SampleRange*> latest;
    for (const SampleRange& range : ranges) {
        const auto slot = static_cast<std::size_t>(range.channel + 1);
        if (latest.size() <= slot) latest.resize(slot + 1, nullptr);
        for (const SampleRange* earlier : latest) {
            if (earlier != nullptr && overlap(*earlier, range)) {
                throw HostError("ranges " + earlier->describe() + " and " + range.describe() + " overlap");
            }
        }
        if (latest[slot] == nullptr || latest[slot]->last < range.last) latest[slot] = &range;
    }
    return ranges;
}

}  // namespace tesmora::cli
