// The stretches of samples the user asks to repair: parsed from "FIRST:LAST"
// (sample indices, or seconds with an "s"), then checked against the file.
#ifndef TESMORA_CLI_SAMPLE_RANGE_H
#define TESMORA_CLI_SAMPLE_RANGE_H

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace tesmora::cli {

// One end of a range as written: a sample index, or a time in seconds that
// becomes an index only once the sample rate is known.
struct RangeBound {
    bool inSeconds = false;
    std::uint64_t sample = 0;
    double seconds = 0.0;
};

// A range as the user wrote it; text is kept for messages.
struct WrittenRange {
    RangeBound first;
    RangeBound last;
    std::string text;
    int channel = -1;    // the channel its line names (ch=N), or -1
    std::string origin;  // "FILE:LINE" for a line of a ranges file, else empty
};

// An inclusive range of sample (frame) indices in a file.
struct SampleRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::string text;           // as written
    int channel = -1;           // the channel handed to the module alone; -1: every channel of the frames
    bool namesChannel = false;  // the file has several channels: messages say which

    std::uint64_t size() const { return last - first + 1; }
    // The text as written, with the sample indices when it was in seconds,
    // and the channel in a file of several.
    std::string describe() const;
};

// Parses "1200:1210" or "0.5120s:0.5129s" (the two forms may be mixed).
// Throws UsageError naming the text and what is wrong with it.
WrittenRange parseRange(std::string_view text);

// One range a line; '#' starts a comment (on its own line or after a range),
// blank lines and a leading byte order mark are skipped. After the range, a
// field ch=N names its channel (counted from 0); any other (the score
// `tesmora detect` prints) is a comment.
// Throws UsageError "NAME:LINE: ..." for the first bad line.
std::vector<WrittenRange> parseRangeList(std::istream& lines, const std::string& name);

// parseRangeList on a file; throws HostError when it cannot be read.
std::vector<WrittenRange> readRangeFile(const std::string& path);

// The channel each range goes to in a file of channels channels: the one
// its line names, else chosen (the one --channel names, -1 for none), else
// channel 0 of a mono file, else -1: every channel of the frames, as the
// editor hands over a selection across a stereo waveform. Throws HostError,
// naming the line, for a channel the file lacks or one that is not chosen.
void settleChannels(std::vector<WrittenRange>& writtenRanges, int channels, int chosen);

// Turns the ranges into sample indices (seconds round to the nearest sample)
// and checks them against a file of frameCount frames and channels channels:
// each inside it, first not after last, no more samples than the module
// counts, no two overlapping in one channel (a range of every channel
// overlaps those of each). Returns them in file order; throws HostError for
// the first range that fails.
std::vector<SampleRange> resolveRanges(const std::vector<WrittenRange>& writtenRanges, int sampleRate,
                                       std::uint64_t frameCount, int channels = 1);

}  // namespace tesmora::cli

#endif
