// The cross-check made before anything is written: the samples libsndfile
// decodes must be the bytes the chunk walker located, or the walker has
// misread the file and patching it would corrupt it.
#ifndef TESMORA_CLI_LAYOUT_CHECK_H
#define TESMORA_CLI_LAYOUT_CHECK_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "channel_reader.h"
#include "sample_layout.h"
#include "sample_range.h"

namespace tesmora::cli {

// The first frame of the first block, from frame first on for count frames,
// where a sample decoded by reader differs from the bytes at the layout's
// offsets in the file open on descriptor; none when every sample matches.
std::optional<std::uint64_t> firstMismatch(const SampleLayout& layout, int descriptor, ChannelReader& reader,
                                           std::uint64_t first, std::uint64_t count, const std::string& path);

// Compares, frame by frame and channel by channel, the frames of each range
// and the first and last frames of the file as decoded by reader with the
// bytes at the layout's offsets in the file open on descriptor. Throws
// HostError naming path when the frame counts or any sample differ.
void checkLayout(const SampleLayout& layout, int descriptor, ChannelReader& reader,
                 const std::vector<SampleRange>& ranges, const std::string& path);

}  // namespace tesmora::cli

#endif
