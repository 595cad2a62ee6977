#include "channel_reader.h"

#include <algorithm>

#include "audio_file.h"
#include "failure.h"

namespace tesmora::cli {

namespace {

// Frames read from libsndfile at a time: bounds the scratch block whatever
// the caller asks for.
constexpr std::size_t kChunkFrames = 8192;

}  // namespace

ChannelReader::ChannelReader(const std::string& path, int channel) : path_(path), channel_(channel) {
    SF_INFO info{};
    file_.reset(openSound(path, info));
    const std::string unsupported = unsupportedSamples(path, info.format);
    if (!unsupported.empty()) throw HostError(unsupported);
    if (channel < 0 || channel >= info.channels) {
        throw HostError(path + " has no channel " + std::to_string(channel) + " (it has " +
                        std::to_string(info.channels) + ")");
    }
    frameCount_ = static_cast<std::uint64_t>(info.frames);
    sampleRate_ = info.samplerate;
    channelCount_ = info.channels;
    frames_.resize(kChunkFrames * static_cast<std::size_t>(channelCount_));
}

template <typename Take>
std::size_t ChannelReader::readChunks(std::uint64_t first, std::size_t count, Take take) {
    if (first >= frameCount_) return 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, frameCount_ - first));
    if (sf_seek(file_.get(), static_cast<sf_count_t>(first), SEEK_SET) < 0) {
        throw HostError("cannot read " + path_ + " at frame " + std::to_string(first));
    }
    std::size_t done = 0;
    while (done < count) {
        const std::size_t want = std::min(kChunkFrames, count - done);
        const sf_count_t got = sf_readf_short(file_.get(), frames_.data(), static_cast<sf_count_t>(want));
        if (got != static_cast<sf_count_t>(want)) {
            throw HostError("cannot read " + path_ + ": " + sf_strerror(file_.get()));
        }
        take(frames_.data(), want, done);
        done += want;
    }
    return done;
}

std::size_t ChannelReader::readChannel(int which, std::uint64_t first, std::int16_t* out, std::size_t count) {
    const auto channels = static_cast<std::size_t>(channelCount_);
    const auto channel = static_cast<std::size_t>(which);
    return readChunks(first, count, [&](const std::int16_t* block, std::size_t frames, std::size_t done) {
        // Stereo, the common case, with its stride known: the compiler
        // copies it in vectors.
        if (channels == 2) {
            for (std::size_t i = 0; i < frames; ++i) out[done + i] = block[i * 2 + channel];
            return;
        }
        for (std::size_t i = 0; i < frames; ++i) out[done + i] = block[i * channels + channel];
    });
}

std::size_t ChannelReader::readFrames(std::uint64_t first, std::int16_t* out, std::size_t count) {
    const auto channels = static_cast<std::size_t>(channelCount_);
    return readChunks(first, count, [&](const std::int16_t* block, std::size_t frames, std::size_t done) {
        std::copy(block, block + frames * channels, out + done * channels);
    });
}

}  // namespace tesmora::cli
