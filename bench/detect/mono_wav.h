// 16-bit mono WAV files for the click benchmark's helpers.
#ifndef TESMORA_BENCH_DETECT_MONO_WAV_H
#define TESMORA_BENCH_DETECT_MONO_WAV_H

#include <cstdint>
#include <string>
#include <vector>

namespace tesmora::bench {

struct MonoWav {
    int sampleRate = 0;
    std::vector<std::int16_t> samples;
};

// Exits with a message when the file is not 16-bit mono or cannot be read.
MonoWav readMonoWav(const std::string& path);
void writeMonoWav(const std::string& path, const MonoWav& wav);

}  // namespace tesmora::bench

#endif
