// One channel of an audio file's 16-bit samples, read in blocks at any frame,
// so that only the block asked for is ever held in memory, whatever the
// file's length. Whatever needs the samples of a whole channel (the click
// detector, a check of the samples about to be patched) reads through it.
#ifndef TESMORA_CLI_CHANNEL_READER_H
#define TESMORA_CLI_CHANNEL_READER_H

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tesmora::cli {

class ChannelReader {
public:
    // Opens path and takes the given channel (counted from 0). Throws
    // HostError when the file cannot be read, is not 16-bit, or has no such
    // channel.
    ChannelReader(const std::string& path, int channel);

    std::uint64_t frameCount() const { return frameCount_; }
    int sampleRate() const { return sampleRate_; }
    int channelCount() const { return channelCount_; }

    // Copies up to count samples of the channel, from frame first on, into
    // out; returns how many it copied (fewer only at the end of the file).
    // Throws HostError when the file cannot be read there.
    std::size_t read(std::uint64_t first, std::int16_t* out, std::size_t count) {
        return readChannel(channel_, first, out, count);
    }

    // As read, but of another channel of the file (counted from 0, below
    // channelCount()).
    std::size_t readChannel(int channel, std::uint64_t first, std::int16_t* out, std::size_t count);

    // As read, but every channel of each frame, interleaved: out holds
    // count * channelCount() samples. Returns the frames copied.
    std::size_t readFrames(std::uint64_t first, std::int16_t* out, std::size_t count);

private:
    // Calls take(block, frames, done) for each chunk of frames from first on.
    template <typename Take>
    std::size_t readChunks(std::uint64_t first, std::size_t count, Take take);

    struct Closer {
        void operator()(SNDFILE* file) const { sf_close(file); }
    };

    std::string path_;
    std::unique_ptr<SNDFILE, Closer> file_;
    std::uint64_t frameCount_ = 0;
    int sampleRate_ = 0;
    int channelCount_ = 0;
    int channel_ = 0;
    std::vector<std::int16_t> frames_;  // one chunk of interleaved frames
};

}  // namespace tesmora::cli

#endif
