// Where the samples lie in a file whose container the chunk walker does not
// know but libsndfile reads as 16-bit PCM (IRCAM, NIST, AVR, HTK, 16SV, VOC,
// PAF, MAT, MPC2K, ...): found by looking for the samples libsndfile decodes
// among the file's bytes, and taken only when every sample of the file is
// where the search puts it.
#ifndef TESMORA_CLI_SAMPLE_SEARCH_H
#define TESMORA_CLI_SAMPLE_SEARCH_H

#include <optional>
#include <string>

#include "channel_reader.h"
#include "sample_layout.h"

namespace tesmora::cli {

// The layout of the file open on descriptor, read by reader, if its samples
// lie in one stretch, frame after frame, in either byte order. Every sample
// is compared, so the answer is certain, at the cost of reading the file once.
// container names the format in the layout.
std::optional<SampleLayout> searchSamples(int descriptor, ChannelReader& reader, const std::string& container,
                                          const std::string& path);

}  // namespace tesmora::cli

#endif
