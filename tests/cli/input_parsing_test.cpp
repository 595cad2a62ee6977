// The ranges and channels as the user writes them: both forms of a range,
// every way one can be wrong, and the checks against the file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "channel.h"
#include "failure.h"
#include "sample_range.h"

namespace tesmora::cli {
namespace {

constexpr std::uint64_t kLongFile = 10'000'000;

struct GoodRange {
    const char* text;
    int sampleRate;
    std::uint64_t first;
    std::uint64_t last;
};

TEST(RangeParsing, TakesSamplesSecondsAndBothMixed) {
    const GoodRange cases[] = {
        {"1200:1210", 44100, 1200, 1210},
        {" 5 : 9 ", 44100, 5, 9},
        {"7:7", 44100, 7, 7},
        {"0.5120s:0.5129s", 44100, 22579, 22619},  // 22579.2 and 22618.9 round to the nearest sample
        {"0:0.0015s", 1000, 0, 2},                 // 1.5 rounds up
        {"1e-3s:96", 48000, 48, 96},
    };
    for (const GoodRange& good : cases) {
        const std::vector<SampleRange> ranges = resolveRanges({parseRange(good.text)}, good.sampleRate, kLongFile);
        ASSERT_EQ(ranges.size(), 1u);
        EXPECT_EQ(ranges[0].first, good.first) << good.text;
        EXPECT_EQ(ranges[0].last, good.last) << good.text;
    }
}

TEST(RangeParsing, RefusesWhatIsNotARange) {
    const std::pair<const char*, const char*> cases[] = {
        {"12", "expected FIRST:LAST"},      {"", "expected FIRST:LAST"},
        {"1:2:3", "expected FIRST:LAST"},   {":5", "'' is neither a sample index nor a time in seconds"},
        {"a:5", "'a' is neither"},          {"-1:5", "'-1' is neither"},
        {"1.5:3", "'1.5' is neither"},  // fractions only in seconds
        {"5:0x10", "'0x10' is neither"},    {"s:1s", "'s' is neither"},
        {"-0.1s:1s", "'-0.1s' is neither"}, {"nans:1s", "'nans' is neither"},
        {"0s:infs", "'infs' is neither"},
    };
    for (const auto& [text, message] : cases) {
        try {
            parseRange(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const UsageError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << text << ": " << error.what();
        }
    }
}

struct RefusedRanges {
    std::vector<const char*> texts;
    std::uint64_t frameCount;
    const char* message;
};

TEST(RangeChecks, RefusesRangesTheFileCannotHave) {
    const RefusedRanges cases[] = {
        {{"9:5"}, 100, "range 9:5 runs backwards"},
        {{"0:100"}, 100, "range 0:100 lies outside the file, whose samples are 0 to 99"},
        {{"0s:1s"}, 100, "range 0s:1s (samples 0:100) lies outside the file"},
        {{"0:0"}, 0, "which has no samples"},
        {{"10:20", "20:30"}, 100, "ranges 10:20 and 20:30 overlap"},
        {{"30:40", "5:35"}, 100, "ranges 5:35 and 30:40 overlap"},
        {{"1:2", "50:60", "3:4", "55:55"}, 100, "ranges 50:60 and 55:55 overlap"},
        {{"0:4294967295"}, std::uint64_t{1} << 33, "4294967296 samples, more than the module can take at once"},
    };
    for (const RefusedRanges& refused : cases) {
        std::vector<WrittenRange> writtenRanges;
        for (const char* text : refused.texts) writtenRanges.push_back(parseRange(text));
        try {
            resolveRanges(writtenRanges, 100, refused.frameCount);
            ADD_FAILURE() << "accepted " << refused.texts.front();
        } catch (const HostError& error) {
            EXPECT_NE(std::string(error.what()).find(refused.message), std::string::npos) << error.what();
        }
    }
}

TEST(RangeChecks, PutsAdjacentRangesInFileOrder) {
    const auto ranges = resolveRanges({parseRange("21:99"), parseRange("0:20")}, 100, 100);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].describe(), "0:20");
    EXPECT_EQ(ranges[1].describe(), "21:99");
    // Counts are 64-bit: a range may lie anywhere in a file beyond 2^32 frames.
    const auto far = resolveRanges({parseRange("6000000000:6000000010")}, 100, std::uint64_t{1} << 33);
    EXPECT_EQ(far.at(0).first, 6'000'000'000u);
}

TEST(RangeList, SkipsCommentsAndBlankLinesAndNamesTheBadLine) {
    std::istringstream good(
        "\xEF\xBB\xBF# clicks found by ear\n\n10:20 # a pop, ch=1\n  0.5s:0.6s  \r\n30:40 3.52 ch=1\n50:60\tch=12 4\n");
    const auto writtenRanges = parseRangeList(good, "ranges.txt");
    ASSERT_EQ(writtenRanges.size(), 4u);
    EXPECT_EQ(writtenRanges[0].text, "10:20");
    EXPECT_EQ(writtenRanges[1].text, "0.5s:0.6s");
    // A channel is named by a field of its own, never by a comment.
    const int channels[] = {-1, -1, 1, 12};
    for (std::size_t i = 0; i < writtenRanges.size(); ++i) EXPECT_EQ(writtenRanges[i].channel, channels[i]) << i;
    EXPECT_EQ(writtenRanges[3].origin, "ranges.txt:6");

    std::istringstream bad("10:20\n# fine\n\n30:x\n40:50\n");
    try {
        parseRangeList(bad, "ranges.txt");
        ADD_FAILURE() << "accepted a bad line";
    } catch (const UsageError& error) {
        EXPECT_STREQ(error.what(),
                     "ranges.txt:4: bad range '30:x': 'x' is neither a sample index nor a time in seconds");
    }
}

TEST(ChannelParsing, TakesNamesAndIndices) {
    EXPECT_EQ(parseChannel("left"), 0);
    EXPECT_EQ(parseChannel("right"), 1);
    EXPECT_EQ(parseChannel("LEFT"), 0);
    EXPECT_EQ(parseChannel("3"), 3);
    for (const char* bad : {"", "-1", "1x", "centre"}) {
        EXPECT_THROW(parseChannel(bad), UsageError) << bad;
    }
}

}  // namespace
}  // namespace tesmora::cli
