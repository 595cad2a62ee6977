#include "audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "failure.h"

namespace tesmora::cli {

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfilePointer = std::unique_ptr<SNDFILE, SndfileCloser>;

std::uint16_t bitsPerSampleOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW: return 8;
        case SF_FORMAT_PCM_16: return 16;
        case SF_FORMAT_PCM_24: return 24;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT: return 32;
        case SF_FORMAT_DOUBLE: return 64;
        default: return 0;
    }
}

}  // namespace

Audio describeAudio(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) throw HostError("cannot read " + path + ": " + std::strerror(errno));
    if (S_ISDIR(status.st_mode)) throw HostError("cannot read " + path + ": it is a folder");
    SF_INFO info{};
    SndfilePointer file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) throw HostError("cannot read " + path + ": " + sf_strerror(nullptr));

    Audio audio;
    audio.format = info.format;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.bitsPerSample = bitsPerSampleOf(info.format);
    audio.frameCount = static_cast<std::uint64_t>(info.frames);
    return audio;
}

void writeAudio(const Audio& audio, int descriptor, const std::string& target) {
    SF_INFO info{};
    info.format = audio.format;
    info.samplerate = audio.sampleRate;
    info.channels = audio.channels;
    SndfilePointer file(sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE));
    if (!file) throw HostError("cannot write " + target + ": " + sf_strerror(nullptr));

    const auto frames = static_cast<sf_count_t>(audio.frameCount);
    if (sf_writef_short(file.get(), audio.samples.data(), frames) != frames) {
        throw HostError("cannot write " + target + ": " + sf_strerror(file.get()));
    }
    // Closing writes the final header sizes.
    if (sf_close(file.release()) != 0) throw HostError("cannot write " + target);
}

}  // namespace tesmora::cli
