#include "audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "failure.h"
#include "file_io.h"

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

// The lossy encodings libsndfile decodes, by name; nullptr for the others.
const char* lossyName(int encoding) {
    switch (encoding) {
        case SF_FORMAT_MPEG_LAYER_I: return "MPEG layer I";
        case SF_FORMAT_MPEG_LAYER_II: return "MP2";
        case SF_FORMAT_MPEG_LAYER_III: return "MP3";
        case SF_FORMAT_VORBIS: return "Ogg Vorbis";
        case SF_FORMAT_OPUS: return "Opus";
        default: return nullptr;
    }
}

// What a file's samples are, for a message: "24-bit samples".
std::string samplesOf(int encoding) {
    switch (encoding) {
        case SF_FORMAT_FLOAT: return "32-bit floating-point samples";
        case SF_FORMAT_DOUBLE: return "64-bit floating-point samples";
        case SF_FORMAT_ULAW: return "8-bit u-law samples";
        case SF_FORMAT_ALAW: return "8-bit A-law samples";
        default: break;
    }
    const std::uint16_t bits = bitsPerSampleOf(encoding);
    return bits != 0 ? std::to_string(bits) + "-bit samples" : "compressed samples of no fixed width";
}

// The path without its folder and extension, for a suggested output name.
std::string stemOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

SNDFILE* openSound(const std::string& path, SF_INFO& info) {
    checkReadableFile(path);
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        throw HostError("cannot read " + path + ": it is no sound file that libsndfile reads (" + sf_strerror(nullptr) +
                        ")");
    }
    return file;
}

std::string unsupportedSamples(const std::string& path, int format) {
    const int encoding = format & SF_FORMAT_SUBMASK;
    if (encoding == SF_FORMAT_PCM_16) return {};
    if (const char* lossy = lossyName(encoding)) {
        return path + " is " + lossy + " (lossy): decode it to a 16-bit WAV or FLAC first, e.g. ffmpeg -i " + path +
               " -c:a pcm_s16le " + stemOf(path) + ".wav";
    }
    return path + " holds " + samplesOf(encoding) + "; the module repairs 16-bit audio: convert it first, e.g. sox " +
           path + " -b 16 " + stemOf(path) + "-16bit.wav";
}

Audio describeAudio(const std::string& path) {
    SF_INFO info{};
    SndfilePointer file(openSound(path, info));

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
