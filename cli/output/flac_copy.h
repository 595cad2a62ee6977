// A repaired FLAC file: its samples are compressed, so they cannot be patched
// where they lie. It is decoded and encoded again with libFLAC, every
// metadata block kept byte for byte but the two that describe the new frames
// (STREAMINFO, and the seek table, rebuilt for them), and decoded once more
// and checked before it may take the input's place.
#ifndef TESMORA_CLI_FLAC_COPY_H
#define TESMORA_CLI_FLAC_COPY_H

#include <cstdint>
#include <string>
#include <vector>

#include "patched_copy.h"

namespace tesmora::cli {

// Writes to target the FLAC stream of sourcePath (open on source) with the
// patches' samples (each of its channel, or of all channels interleaved when
// that is -1) in place of the decoded ones. Answers false, having stopped, as soon
// as stopFlag is set. Throws HostError for a damaged input (a decoding error
// or an MD5 signature that does not match), for any failure to write, and
// when the result does not decode to the samples it must hold.
bool writeRepairedFlac(const std::string& sourcePath, int source, int target, int channels,
                       const std::vector<RangePatch>& patches, const std::string& targetName,
                       volatile std::int32_t& stopFlag);

}  // namespace tesmora::cli

#endif
