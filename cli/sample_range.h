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
};

// An inclusive range of sample (frame) indices in a file.
struct SampleRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::string text;  // as written

    std::uint64_t size() const { return last - first + 1; }
    // The text as written, with the sample indices when it was in seconds.
    std::string describe() const;
};

// Parses "1200:1210" or "0.5120s:0.5129s" (the two forms may be mixed).
// Throws UsageError naming the text and what is wrong with it.
WrittenRange parseRange(std::string_view text);

// One range a line; '#' starts a comment (on its own line or after a range),
// blank lines and a leading byte order mark are skipped.
// Throws UsageError "NAME:LINE: ..." for the first bad line.
std::vector<WrittenRange> parseRangeList(std::istream& lines, const std::string& name);

// parseRangeList on a file; throws HostError when it cannot be read.
std::vector<WrittenRange> readRangeFile(const std::string& path);

// Turns the ranges into sample indices (seconds round to the nearest sample)
// and checks them against a file of frameCount frames: each inside it, first
// not after last, no more samples than the module counts, no two overlapping. Returns them in file order; throws
// HostError for the first range that fails.
std::vector<SampleRange> resolveRanges(const std::vector<WrittenRange>& writtenRanges, int sampleRate,
                                       std::uint64_t frameCount);

}  // namespace tesmora::cli

#endif
