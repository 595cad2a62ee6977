// `tesmora detect` and `tesmora repair --detect` on generated files: the
// ranges it prints repair the file as `--detect` does, and a file without
// clicks is told so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace tesmora::testing {
namespace {

constexpr std::uint32_t kClicks[] = {3000, 9100, 15000};

// Two tones over a faint noise floor, and (with clicks) a burst of 6 samples
// at each of kClicks in the given channel.
std::vector<std::int16_t> tones(int frames, int channels, int clickChannel) {
    std::vector<std::int16_t> samples;
    std::uint32_t noise = 1;
    for (int n = 0; n < frames; ++n) {
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            double v = 3000 * std::sin(n * 0.031 * (c + 1)) + 800 * std::sin(n * 0.23) + (noise >> 28) - 8.0;
            for (const std::uint32_t at : kClicks) {
                if (c == clickChannel && n >= static_cast<int>(at) && n < static_cast<int>(at) + 6) v += 15000;
            }
            samples.push_back(static_cast<std::int16_t>(std::lround(v)));
        }
    }
    return samples;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST(Detect, PrintsRangesThatRepairTheFileAsDetectDoes) {
    ScratchFolder folder;
    const std::string in = folder.path("in.wav");
    writeWav(in, {SF_FORMAT_PCM_16, 1, 22050, tones(20000, 1, 0)});

    const ProgramRun detect = runProgram({"detect", in});
    ASSERT_EQ(detect.status, 0) << detect.err;
    const std::vector<std::string> found = lines(detect.out);
    ASSERT_EQ(found.size(), 1 + std::size(kClicks)) << detect.out;
    EXPECT_EQ(found[0].rfind("# tesmora detect " + in + ": mono, 22050 Hz, ", 0), 0u) << found[0];
    for (std::size_t i = 0; i < std::size(kClicks); ++i) {
        unsigned first = 0;
        unsigned last = 0;
        double score = 0;
        ASSERT_EQ(std::sscanf(found[i + 1].c_str(), "%u:%u %lf", &first, &last, &score), 3) << found[i + 1];
        EXPECT_LT(first, kClicks[i]);
        EXPECT_GT(last, kClicks[i] + 5);
        EXPECT_LT(last - first, 20u);
        EXPECT_GT(score, 1.0);
    }

    std::ofstream(folder.path("found.txt")) << detect.out;
    const ProgramRun byRanges =
        runProgram({"repair", in, "-o", folder.path("ranges.wav"), "--ranges", folder.path("found.txt")});
    ASSERT_EQ(byRanges.status, 0) << byRanges.err;
    const ProgramRun byDetect = runProgram(
        {"repair", in, "-o", folder.path("detect.wav"), "--detect", "--report", "--plot", folder.path("p.svg")});
    ASSERT_EQ(byDetect.status, 0) << byDetect.err;
    EXPECT_NE(byDetect.out.find("Repaired 3 ranges"), std::string::npos) << byDetect.out;
    EXPECT_NE(readFile(folder.path("p.svg")).find("the clicks found"), std::string::npos);
    const WavFile repaired = readWav(folder.path("detect.wav"));
    EXPECT_EQ(repaired.samples, readWav(folder.path("ranges.wav")).samples);
    for (const std::uint32_t at : kClicks) EXPECT_LT(std::abs(repaired.samples[at + 2]), 6000) << at;
}

TEST(Detect, SearchesEveryChannelAndSaysWhenNothingIsFound) {
    ScratchFolder folder;
    const std::string stereo = folder.path("stereo.wav");
    writeWav(stereo, {SF_FORMAT_PCM_16, 2, 22050, tones(20000, 2, 1)});
    const ProgramRun both = runProgram({"detect", stereo});
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(lines(both.out).size(), 1 + std::size(kClicks));
    for (std::size_t i = 1; i < lines(both.out).size(); ++i)
        EXPECT_NE(lines(both.out)[i].find(" ch=1"), std::string::npos);
    const ProgramRun left = runProgram({"detect", stereo, "--channel", "left"});
    ASSERT_EQ(left.status, 0) << left.err;
    EXPECT_EQ(lines(left.out).size(), 1u) << left.out;
    EXPECT_NE(left.out.find(": channel 0 of 2, "), std::string::npos) << left.out;
    EXPECT_NE(left.err.find("no clicks found"), std::string::npos);

    // A mono recording carried in two channels: its bursts are in both, as
    // the channels hold elsewhere, so they are its own sounds; one channel
    // searched alone is judged against the other all the same.
    const std::vector<std::int16_t> once = tones(20000, 1, 0);
    std::vector<std::int16_t> twice;
    for (const std::int16_t v : once) twice.insert(twice.end(), {v, v});
    const std::string mono = folder.path("mono.wav");
    const std::string dual = folder.path("dual.wav");
    writeWav(mono, {SF_FORMAT_PCM_16, 1, 22050, once});
    writeWav(dual, {SF_FORMAT_PCM_16, 2, 22050, twice});
    EXPECT_EQ(lines(runProgram({"detect", mono}).out).size(), 1 + std::size(kClicks));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"detect", dual}, std::vector<std::string>{"detect", dual, "--channel", "right"}}) {
        const ProgramRun run = runProgram(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(lines(run.out).size(), 1u) << run.out;
    }

    const std::string clean = folder.path("clean.wav");
    writeWav(clean, {SF_FORMAT_PCM_16, 1, 22050, tones(20000, 1, -1)});
    const ProgramRun copy = runProgram({"repair", clean, "-o", folder.path("out.wav"), "--detect"});
    ASSERT_EQ(copy.status, 0) << copy.err;
    EXPECT_NE(copy.out.find("No clicks found"), std::string::npos) << copy.out;
    EXPECT_EQ(readWav(folder.path("out.wav")).samples, readWav(clean).samples);
}

// A stereo file with clicks in both channels, from detect's ranges to the
// repaired file in one command or two: every click in its own channel, the
// whole of it on the line.
TEST(Detect, RepairsEveryChannelInOneRunAndRangesGoBackToTheirChannels) {
    ScratchFolder folder;
    const std::string in = folder.path("stereo.wav");
    std::vector<std::int16_t> samples = tones(20000, 2, 1);
    constexpr std::uint32_t kLeftClicks[] = {5000, 12000};
    for (const std::uint32_t at : kLeftClicks) {
        for (std::uint32_t n = at; n < at + 6; ++n) samples[2 * n] = static_cast<std::int16_t>(samples[2 * n] + 15000);
    }
    writeWav(in, {SF_FORMAT_PCM_16, 2, 22050, samples});

    const ProgramRun detect = runProgram({"detect", in});
    ASSERT_EQ(detect.status, 0) << detect.err;
    EXPECT_EQ(lines(detect.out).size(), 1 + std::size(kClicks) + std::size(kLeftClicks)) << detect.out;
    EXPECT_NE(detect.err.find("2 clicks found in channel 0 of " + in), std::string::npos) << detect.err;
    EXPECT_NE(detect.err.find("3 clicks found in channel 1 of " + in), std::string::npos) << detect.err;
    std::ofstream(folder.path("found.txt")) << detect.out;

    const ProgramRun byRanges =
        runProgram({"repair", in, "-o", folder.path("ranges.wav"), "--ranges", folder.path("found.txt")});
    ASSERT_EQ(byRanges.status, 0) << byRanges.err;
    const ProgramRun byDetect = runProgram({"repair", in, "-o", folder.path("detect.wav"), "--detect"});
    ASSERT_EQ(byDetect.status, 0) << byDetect.err;
    EXPECT_NE(byDetect.out.find("Repaired 5 ranges"), std::string::npos) << byDetect.out;
    const std::vector<std::int16_t> repaired = readWav(folder.path("detect.wav")).samples;
    EXPECT_EQ(readWav(folder.path("ranges.wav")).samples, repaired);

    // What remains of each click is the line's departure from the tones, not
    // the click: a tenth of its height at most.
    const std::vector<std::int16_t> clean = tones(20000, 2, -1);
    const auto remains = [&](std::uint32_t at, std::size_t channel) {
        int largest = 0;
        for (std::size_t n = at; n < at + 6; ++n)
            largest = std::max(largest, std::abs(repaired[2 * n + channel] - clean[2 * n + channel]));
        return largest;
    };
    for (const std::uint32_t at : kLeftClicks) EXPECT_LT(remains(at, 0), 1500) << at;
    for (const std::uint32_t at : kClicks) EXPECT_LT(remains(at, 1), 1500) << at;

    const ProgramRun right =
        runProgram({"repair", in, "-o", folder.path("right.wav"), "--detect", "--channel", "right"});
    ASSERT_EQ(right.status, 0) << right.err;
    const std::vector<std::int16_t> rightOnly = readWav(folder.path("right.wav")).samples;
    for (std::size_t i = 0; i < rightOnly.size(); ++i) {
        ASSERT_EQ(rightOnly[i], i % 2 == 0 ? samples[i] : repaired[i]) << "sample " << i / 2 << " of channel " << i % 2;
    }
}

}  // namespace
}  // namespace tesmora::testing
