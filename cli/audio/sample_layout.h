// Where a sound file keeps its 16-bit samples, found by walking the
// container's own chunks, so that a repair can rewrite those bytes alone and
// leave every other byte of the file as it was.
#ifndef TESMORA_CLI_SAMPLE_LAYOUT_H
#define TESMORA_CLI_SAMPLE_LAYOUT_H

#include <cstdint>
#include <string>

namespace tesmora::cli {

struct SampleLayout {
    std::string container;         // "WAV", "RF64", "W64", "AIFF", "AIFF-C", "CAF", "AU", ...
    std::uint64_t dataOffset = 0;  // byte offset of the first sample of the first frame
    std::uint64_t frameCount = 0;  // whole frames present in the file
    int channels = 0;
    bool bigEndian = false;
    // The header promises more sample bytes than the file holds.
    bool truncated = false;
    std::uint64_t declaredFrames = 0;

    std::uint64_t frameBytes() const { return 2 * static_cast<std::uint64_t>(channels); }
    // Byte offset of one sample of one frame.
    std::uint64_t offsetOf(std::uint64_t frame, int channel) const {
        return dataOffset + frame * frameBytes() + 2 * static_cast<std::uint64_t>(channel);
    }
};

// Walks the chunks of the file open on descriptor (named path in messages)
// and answers where its interleaved 16-bit PCM samples lie. Throws HostError,
// saying why, for a container or an encoding whose samples cannot be
// rewritten where they lie.
SampleLayout locateSamples(int descriptor, const std::string& path);

// Decodes one 16-bit sample as the layout stores it.
inline std::int16_t decodeSample(const unsigned char* bytes, bool bigEndian) {
    const unsigned value = bigEndian ? (unsigned{bytes[0]} << 8) | bytes[1] : (unsigned{bytes[1]} << 8) | bytes[0];
    return static_cast<std::int16_t>(value);
}

inline void encodeSample(std::int16_t sample, unsigned char* bytes, bool bigEndian) {
    const auto value = static_cast<std::uint16_t>(sample);
    const auto high = static_cast<unsigned char>(value >> 8);
    const auto low = static_cast<unsigned char>(value & 0xFF);
    bytes[0] = bigEndian ? high : low;
    bytes[1] = bigEndian ? low : high;
}

}  // namespace tesmora::cli

#endif
