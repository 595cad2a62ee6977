// Audio files described and written with libsndfile: what a file holds
// (its samples are read through ChannelReader), and new 16-bit files.
#ifndef TESMORA_CLI_AUDIO_FILE_H
#define TESMORA_CLI_AUDIO_FILE_H

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tesmora::cli {

struct Audio {
    int format = 0;  // libsndfile's container and encoding, kept for the output
    int sampleRate = 0;
    int channels = 0;
    std::uint16_t bitsPerSample = 0;  // 0 when the encoding has no fixed width
    std::uint64_t frameCount = 0;
    std::vector<std::int16_t> samples;  // interleaved, for writing; describeAudio leaves it empty

    bool is16Bit() const { return bitsPerSample == 16; }
};

// The file's format, rate, channels, width and length, without its samples.
// Throws HostError when the file cannot be opened or read.
Audio describeAudio(const std::string& path);

// What the module cannot take in a file of libsndfile's format, said to the
// user with what to do about it ("X holds 24-bit samples; ..."), or empty
// for 16-bit PCM.
std::string unsupportedSamples(const std::string& path, int format);

// Opens path for reading with libsndfile, filling info. Throws HostError in
// the wording every command uses for a file that is missing, a folder,
// unreadable, or no sound file libsndfile knows.
SNDFILE* openSound(const std::string& path, SF_INFO& info);

// Writes 16-bit audio, in its own format, to an open descriptor (left open).
// Throws HostError naming target when anything fails.
void writeAudio(const Audio& audio, int descriptor, const std::string& target);

}  // namespace tesmora::cli

#endif
