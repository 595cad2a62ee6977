// The repaired file made as a copy of the input in which only the repaired
// samples' bytes are rewritten: every chunk, header field and pad byte is
// the input's own.
#ifndef TESMORA_CLI_PATCHED_COPY_H
#define TESMORA_CLI_PATCHED_COPY_H

#include <cstdint>
#include <string>
#include <vector>

#include "sample_layout.h"

namespace tesmora::cli {

// The new samples of one range, from frame firstFrame on: of one channel, or
// of every channel interleaved when channel is -1.
struct RangePatch {
    std::uint64_t firstFrame = 0;
    std::vector<std::int16_t> samples;
    int channel = -1;
};

// Copies the whole file open on source to target (with copy_file_range, a
// reflink where the file system has one), then rewrites the patches' samples
// in target. Shows its progress on a terminal. flushFollows: target will be
// flushed to disk when it is done, and starts on its way there meanwhile.
// Answers false, having stopped, as soon as stopFlag is set. Throws
// HostError naming targetName on failure.
bool writePatchedCopy(int source, int target, const SampleLayout& layout, const std::vector<RangePatch>& patches,
                      const std::string& targetName, bool flushFollows, volatile std::int32_t& stopFlag);

}  // namespace tesmora::cli

#endif
