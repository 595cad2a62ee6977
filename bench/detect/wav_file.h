// 16-bit WAV files for the click benchmark's helpers.
#ifndef TESMORA_BENCH_DETECT_WAV_FILE_H
#define TESMORA_BENCH_DETECT_WAV_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace tesmora::bench {

struct Wav {
    int sampleRate = 0;
    int channels = 1;
    std::vector<std::int16_t> samples;  // interleaved, frame by frame

    std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
    std::int16_t at(std::size_t frame, int channel) const {
        return samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
    }
};

using MonoWav = Wav;

// Exit with a message when the file is not 16-bit (or, for readMonoWav, not
// mono) or cannot be read or written.
Wav readWav(const std::string& path);
MonoWav readMonoWav(const std::string& path);
void writeWav(const std::string& path, const Wav& wav);
inline void writeMonoWav(const std::string& path, const MonoWav& wav) {
    writeWav(path, wav);
}

}  // namespace tesmora::bench

#endif
