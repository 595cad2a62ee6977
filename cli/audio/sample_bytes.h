// The 16-bit samples of a file read and written where its layout says they
// lie, converted between their stored byte order and the machine's.
#ifndef TESMORA_CLI_SAMPLE_BYTES_H
#define TESMORA_CLI_SAMPLE_BYTES_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "sample_layout.h"

namespace tesmora::cli {

// Reads frames frames (every channel, interleaved) from frame first on.
// Throws HostError naming path when the file does not hold them.
void readSampleBytes(int descriptor, const SampleLayout& layout, std::uint64_t first, std::size_t frames,
                     std::int16_t* out, const std::string& path);

// Writes frames frames (every channel, interleaved) from frame first on.
void writeSampleBytes(int descriptor, const SampleLayout& layout, std::uint64_t first, std::size_t frames,
                      const std::int16_t* samples, const std::string& path);

}  // namespace tesmora::cli

#endif
