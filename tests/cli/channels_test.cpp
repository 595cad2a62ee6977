// The channels of a file as `repair` meets them: each line of a --ranges
// file in the channel its ch=N names, lines without it in the one --channel
// names, overlaps judged per channel, and a line for a channel the file
// lacks (or one --channel does not name) refused before anything is written.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "channel.h"
#include "cli_fixture.h"

namespace tesmora::testing {
namespace {

struct Repaired {
    int channel;
    std::uint32_t first;
    std::uint32_t last;
};

struct ChannelCase {
    const char* what;
    int channels;
    const char* rangesFile;         // r.txt
    std::vector<std::string> args;  // after "repair IN -o OUT --ranges r.txt"
    int status;
    const char* message;  // in standard error (or, with status 0, standard output)
    std::vector<Repaired> repaired;
};

std::vector<std::int16_t> expectedOutput(std::vector<std::int16_t> samples, int channels,
                                         const std::vector<Repaired>& repaired) {
    for (const Repaired& r : repaired) {
        const std::vector<std::int16_t> one = cli::extractChannel(samples, channels, r.channel);
        cli::mergeChannel(samples, channels, r.channel, expectedRepair(one, r.first, r.last));
    }
    return samples;
}

TEST(Channels, EachRangeGoesToItsChannelOrIsRefusedNamingItsLine) {
    const ChannelCase cases[] = {
        {"each line in the channel it names, the same samples in two channels",
         2,
         "40:60 ch=0\n40:60 2.5 ch=1\n100:110 ch=1 # a click\n",
         {"--report"},
         0,
         "40:60 in channel 1",
         {{0, 40, 60}, {1, 40, 60}, {1, 100, 110}}},
        {"lines without ch= go to the channel --channel names",
         2,
         "40:60\n100:110 ch=1\n",
         {"--channel", "right"},
         0,
         "Repaired 2 ranges",
         {{1, 40, 60}, {1, 100, 110}}},
        {"four channels", 4, "40:60 ch=3\n", {}, 0, "Repaired 1 range", {{3, 40, 60}}},
        {"a mono file's lines, with ch=0 or without, in one channel",
         1,
         "40:60 ch=0\n40:60\n",
         {},
         1,
         "ranges 40:60 and 40:60 overlap",
         {}},
        {"a mono file's ch=0", 1, "40:60 ch=0\n", {}, 0, "Repaired 1 range", {{0, 40, 60}}},
        {"a line --channel does not name",
         2,
         "40:60\n100:110 ch=1\n",
         {"--channel", "left"},
         1,
         "r.txt:2: ch=1, but --channel names channel 0",
         {}},
        {"a channel a stereo file lacks", 2, "40:60 ch=2\n", {}, 1, "r.txt:1: ch=2, but the file has 2 channels", {}},
        {"a channel a mono file lacks", 1, "40:60 ch=1\n", {}, 1, "r.txt:1: ch=1, but the file has 1 channel,", {}},
        {"overlap within a channel",
         2,
         "40:60 ch=1\n100:110 ch=0\n55:70 ch=1\n",
         {},
         1,
         "ranges 40:60 in channel 1 and 55:70 in channel 1 overlap",
         {}},
        {"a range of every channel overlaps each channel's",
         2,
         "40:60 ch=1\n",
         {"-r", "50:70"},
         1,
         "ranges 40:60 in channel 1 and 50:70 overlap",
         {}},
        {"a channel that is no number", 2, "40:60 ch=x\n", {}, 2, "r.txt:1: bad channel 'ch=x'", {}},
    };
    for (const ChannelCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        const std::string in = folder.path("in.wav");
        const std::string out = folder.path("out.wav");
        const WavFile input{SF_FORMAT_PCM_16, c.channels, 22050, clickyRamp(300, c.channels)};
        writeWav(in, input);
        std::ofstream(folder.path("r.txt")) << c.rangesFile;
        std::vector<std::string> args{"repair", in, "-o", out, "--ranges", folder.path("r.txt")};
        args.insert(args.end(), c.args.begin(), c.args.end());

        const ProgramRun run = runProgram(args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.message), std::string::npos) << run.out << run.err;
        if (c.status != 0) {
            EXPECT_FALSE(fileExists(out));
            continue;
        }
        EXPECT_EQ(readWav(out).samples, expectedOutput(input.samples, c.channels, c.repaired));
    }
}

}  // namespace
}  // namespace tesmora::testing
