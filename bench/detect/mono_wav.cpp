#include "mono_wav.h"

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

MonoWav readMonoWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) fail("cannot read " + path);
    if (info.channels != 1 || (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_PCM_16) {
        sf_close(file);
        fail(path + " is not 16-bit mono");
    }
    MonoWav wav{info.samplerate, std::vector<std::int16_t>(static_cast<std::size_t>(info.frames))};
    const sf_count_t got = sf_readf_short(file, wav.samples.data(), info.frames);
    sf_close(file);
    if (got != info.frames) fail("cannot read all of " + path);
    return wav;
}

void writeMonoWav(const std::string& path, const MonoWav& wav) {
    SF_INFO info{};
    info.samplerate = wav.sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) fail("cannot write " + path);
    const auto count = static_cast<sf_count_t>(wav.samples.size());
    const bool written = sf_writef_short(file, wav.samples.data(), count) == count;
    if (sf_close(file) != 0 || !written) fail("cannot write " + path);
}

}  // namespace tesmora::bench
