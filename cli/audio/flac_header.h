// The metadata of a FLAC file as its bytes: read once, written back as they
// were, with only the two blocks that describe the audio frames rebuilt
// (STREAMINFO and SEEKTABLE), so that tags, pictures, padding, cue sheets and
// application blocks come through byte for byte.
#ifndef TESMORA_CLI_FLAC_HEADER_H
#define TESMORA_CLI_FLAC_HEADER_H

#include <FLAC/format.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tesmora::cli {

// Whether the file open on descriptor starts with the FLAC stream marker.
bool isFlac(int descriptor);

struct FlacHeader {
    std::string bytes;              // "fLaC" and every metadata block, as in the file
    std::size_t seekTableAt = 0;    // offset of the SEEKTABLE body in bytes, 0 if none
    std::size_t seekTableSize = 0;  // its length in bytes
};

// Reads the marker and the metadata blocks. Throws HostError naming path
// when they cannot be read.
FlacHeader readFlacHeader(int descriptor, const std::string& path);

// The 34 bytes of a STREAMINFO block's body, and back (the header's own).
std::string streamInfoBody(const FLAC__StreamMetadata_StreamInfo& info);
FLAC__StreamMetadata_StreamInfo streamInfoOf(const FlacHeader& header);

// One encoded frame: its first sample, its byte offset from the first
// frame, and its length in samples.
struct FlacFrame {
    std::uint64_t firstSample;
    std::uint64_t offset;
    std::uint32_t samples;
};

// A seek table of as many points as the old one (pointCount), pointing at
// the frames that hold the old points' samples; points the new frames cannot
// tell apart become placeholders at the end, as the format wants.
std::string seekTableBody(const std::string& oldBody, const std::vector<FlacFrame>& frames);

}  // namespace tesmora::cli

#endif
