// Audio files read and written with libsndfile. 16-bit files are held as
// their samples; for any other width only the description is kept, because
// the module refuses such data before it asks for any of it.
#ifndef TESMORA_CLI_AUDIO_FILE_H
#define TESMORA_CLI_AUDIO_FILE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tesmora::cli {

struct Audio {
    int format = 0;  // libsndfile's container and encoding, kept for the output
    int sampleRate = 0;
    int channels = 0;
    std::uint16_t bitsPerSample = 0;  // 0 when the encoding has no fixed width
    std::uint64_t frameCount = 0;
    std::vector<std::int16_t> samples;               // interleaved; empty unless 16-bit
    std::vector<std::pair<int, std::string>> texts;  // title, artist, ... by libsndfile's id

    bool is16Bit() const { return bitsPerSample == 16; }
};

// Throws HostError when the file cannot be opened or read.
Audio readAudio(const std::string& path);

// Writes 16-bit audio, in its own format, to an open descriptor (left open).
// Throws HostError naming target when anything fails.
void writeAudio(const Audio& audio, int descriptor, const std::string& target);

}  // namespace tesmora::cli

#endif
