#include "layout_check.h"

#include <algorithm>

#include "failure.h"
#include "sample_bytes.h"

namespace tesmora::cli {

namespace {

// Frames compared at a time, and at each end of the file.
constexpr std::uint64_t kBlockFrames = 8192;
constexpr std::uint64_t kEndFrames = 4096;

void compareFrames(const SampleLayout& layout, int descriptor, ChannelReader& reader, std::uint64_t first,
                   std::uint64_t count, const std::string& path) {
    if (const auto mismatch = firstMismatch(layout, descriptor, reader, first, count, path)) {
        throw HostError("cannot repair " + path + " without re-encoding it: the samples found at byte " +
                        std::to_string(layout.offsetOf(*mismatch, 0)) + " of its " + layout.container +
                        " layout are not the ones libsndfile decodes there");
    }
}

}  // namespace

std::optional<std::uint64_t> firstMismatch(const SampleLayout& layout, int descriptor, ChannelReader& reader,
                                           std::uint64_t first, std::uint64_t count, const std::string& path) {
    const auto channels = static_cast<std::size_t>(layout.channels);
    std::vector<std::int16_t> decoded(kBlockFrames * channels);
    std::vector<std::int16_t> located(kBlockFrames * channels);
    for (std::uint64_t done = 0; done < count;) {
        const auto frames = static_cast<std::size_t>(std::min(kBlockFrames, count - done));
        reader.readFrames(first + done, decoded.data(), frames);
        readSampleBytes(descriptor, layout, first + done, frames, located.data(), path);
        if (!std::equal(decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(frames * channels),
                        located.begin())) {
            return first + done;
        }
        done += frames;
    }
    return std::nullopt;
}

void checkLayout(const SampleLayout& layout, int descriptor, ChannelReader& reader,
                 const std::vector<SampleRange>& ranges, const std::string& path) {
    if (layout.frameCount != reader.frameCount() || layout.channels != reader.channelCount()) {
        throw HostError("cannot repair " + path + " without re-encoding it: its " + layout.container + " header says " +
                        std::to_string(layout.frameCount) + " frames of " + std::to_string(layout.channels) +
                        " channels, libsndfile reads " + std::to_string(reader.frameCount()) + " of " +
                        std::to_string(reader.channelCount()));
    }
    const std::uint64_t ends = std::min(kEndFrames, layout.frameCount);
    compareFrames(layout, descriptor, reader, 0, ends, path);
    compareFrames(layout, descriptor, reader, layout.frameCount - ends, ends, path);
    for (const SampleRange& range : ranges) compareFrames(layout, descriptor, reader, range.first, range.size(), path);
}

}  // namespace tesmora::cli
