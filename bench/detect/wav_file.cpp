#include "wav_file.h"

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>

namespace tesmora::bench {

namespace {

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::exit(1);
}

}  // namespace

Wav readWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) fail("cannot read " + path);
    if ((info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_PCM_16) {
        sf_close(file);
        fail(path + " is not 16-bit");
    }
    Wav wav{info.samplerate, info.channels,
            std::vector<std::int16_t>(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels))};
    const sf_count_t got = sf_readf_short(file, wav.samples.data(), info.frames);
    sf_close(file);
    if (got != info.frames) fail("cannot read all of " + path);
    return wav;
}

MonoWav readMonoWav(const std::string& path) {
    Wav wav = readWav(path);
    if (wav.channels != 1) fail(path + " is not mono");
    return wav;
}

void writeWav(const std::string& path, const Wav& wav) {
    SF_INFO info{};
    info.samplerate = wav.sampleRate;
    info.channels = wav.channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) fail("cannot write " + path);
    const auto frames = static_cast<sf_count_t>(wav.frames());
    const bool written = sf_writef_short(file, wav.samples.data(), frames) == frames;
    if (sf_close(file) != 0 || !written) fail("cannot write " + path);
}

}  // namespace tesmora::bench
