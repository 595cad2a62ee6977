#include "sample_range.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "failure.h"

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

}  // namespace

std::string SampleRange::describe() const {
    const std::string samples = std::to_string(first) + ":" + std::to_string(last);
    return text == samples ? text : text + " (samples " + samples + ")";
}

WrittenRange parseRange(std::string_view text) {
    const std::string_view whole = trimmed(text);
    const auto colon = whole.find(':');
    if (colon == std::string_view::npos || whole.find(':', colon + 1) != std::string_view::npos) {
        throw UsageError("bad range '" + std::string(whole) + "': " + kExpectedForm);
    }
    return {parseBound(whole, whole.substr(0, colon)), parseBound(whole, whole.substr(colon + 1)), std::string(whole)};
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
            // Anything after the range (the score `tesmora detect` prints) is a comment.
            writtenRanges.push_back(parseRange(text.substr(0, text.find_first_of(" \t"))));
        } catch (const UsageError& error) {
            throw UsageError(name + ":" + std::to_string(number) + ": " + error.what());
        }
    }
    return writtenRanges;
}

std::vector<WrittenRange> readRangeFile(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        throw HostError("cannot read the ranges file " + path + ": " + std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) throw HostError("cannot read the ranges file " + path + ": it is a folder");
    std::ifstream file(path);
    if (!file) throw HostError("cannot read the ranges file " + path + ": " + std::strerror(errno));
    return parseRangeList(file, path);
}

std::vector<SampleRange> resolveRanges(const std::vector<WrittenRange>& writtenRanges, int sampleRate,
                                       std::uint64_t frameCount) {
    std::vector<SampleRange> ranges;
    for (const WrittenRange& written : writtenRanges) {
        const SampleRange range{toSample(written.first, sampleRate), toSample(written.last, sampleRate), written.text};
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
    std::sort(ranges.begin(), ranges.end(),
              [](const SampleRange& a, const SampleRange& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].first <= ranges[i - 1].last) {
            throw HostError("ranges " + ranges[i - 1].describe() + " and " + ranges[i].describe() + " overlap");
        }
    }
    return ranges;
}

}  // namespace tesmora::cli
