#include "sample_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "failure.h"
#include "file_io.h"
#include "layout_check.h"

namespace tesmora::cli {

namespace {

// The frames looked for, and how far into the file a header may reach.
constexpr std::uint64_t kProbeFrames = 32;
constexpr std::uint64_t kLongestHeader = std::uint64_t{1} << 20;

std::vector<unsigned char> readBytes(int descriptor, std::uint64_t offset, std::size_t count) {
    std::vector<unsigned char> bytes(count);
    bytes.resize(static_cast<std::size_t>(std::max(readAt(descriptor, offset, bytes.data(), count), 0LL)));
    return bytes;
}

}  // namespace

std::optional<SampleLayout> searchSamples(int descriptor, ChannelReader& reader, const std::string& container,
                                          const std::string& path) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) return std::nullopt;
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    SampleLayout layout;
    layout.container = container;
    layout.channels = reader.channelCount();
    layout.frameCount = reader.frameCount();
    layout.declaredFrames = layout.frameCount;
    const std::uint64_t frameBytes = layout.frameBytes();
    const std::uint64_t dataBytes = layout.frameCount * frameBytes;
    if (layout.frameCount == 0 || dataBytes > fileSize) return std::nullopt;

    // Frames where the samples change, so that the pattern is not one any
    // stretch of silence would match.
    const auto channels = static_cast<std::size_t>(layout.channels);
    const std::uint64_t head = std::min<std::uint64_t>(layout.frameCount, 65536);
    std::vector<std::int16_t> first(static_cast<std::size_t>(head) * channels);
    reader.readFrames(0, first.data(), static_cast<std::size_t>(head));
    const auto change = std::find_if(first.begin(), first.end(), [&](std::int16_t s) { return s != first.front(); });
    if (change == first.end()) return std::nullopt;
    const std::uint64_t probe = std::min(kProbeFrames, head);
    const std::uint64_t probeFrame =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(change - first.begin()) / channels, head - probe);

    const std::uint64_t lastOffset = std::min(fileSize - dataBytes, kLongestHeader);
    const std::vector<unsigned char> bytes =
        readBytes(descriptor, probeFrame * frameBytes, static_cast<std::size_t>(lastOffset + probe * frameBytes));
    for (const bool bigEndian : {false, true}) {
        std::vector<unsigned char> pattern(static_cast<std::size_t>(probe * frameBytes));
        for (std::size_t i = 0; i < pattern.size() / 2; ++i) {
            encodeSample(first[static_cast<std::size_t>(probeFrame) * channels + i], &pattern[2 * i], bigEndian);
        }
        for (auto at = bytes.begin();
             (at = std::search(at, bytes.end(), pattern.begin(), pattern.end())) != bytes.end(); ++at) {
            layout.dataOffset = static_cast<std::uint64_t>(at - bytes.begin());
            layout.bigEndian = bigEndian;
            if (layout.dataOffset <= lastOffset &&
                !firstMismatch(layout, descriptor, reader, 0, layout.frameCount, path))
                return layout;
        }
    }
    return std::nullopt;
}

}  // namespace tesmora::cli
