// The records benchmark's two programs, run as the benchmark script runs
// them: the damage generator must be reproducible from its seed and list the
// damage it made, and the scorer must call a click found exactly when the
// line of a range replaces its whole core, and a range away from all damage
// a false alarm. A fault in either would put false figures in the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "damage_truth.h"
#include "selection.h"
#include "wav_file.h"

namespace tesmora::bench {
namespace {

using detect::SampleSpan;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class DamageScoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tesmora-damage-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        // Three seconds of two quiet tones, so that no defect is clipped.
        Wav clean{44100, 2, std::vector<std::int16_t>(2 * 3 * 44100)};
        for (std::size_t n = 0; n < clean.frames(); ++n) {
            clean.samples[2 * n] = static_cast<std::int16_t>(std::lround(500 * std::sin(0.0627 * n)));
            clean.samples[2 * n + 1] = static_cast<std::int16_t>(std::lround(400 * std::sin(0.094 * n + 1)));
        }
        writeWav(path("clean.wav"), clean);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    static int run(const std::string& command) { return std::system((command + " 2>&1").c_str()); }

    // The figures score_damage prints for ranges, with the damaged file taken
    // as the repair (the figures read here do not depend on it).
    std::map<std::string, double> score(const std::vector<std::pair<int, SampleSpan>>& ranges) {
        std::ofstream out(path("ranges.txt"));
        for (const auto& [channel, s] : ranges) out << s.first << ':' << s.last << " ch=" << channel << '\n';
        out.close();
        const std::string command = std::string(TESMORA_SCORE_DAMAGE) + " " + path("truth.txt") + " " +
                                    path("damaged.wav") + " " + path("clean.wav") + " " + path("damaged.wav") +
                                    " --ranges " + path("ranges.txt") + " > " + path("score.txt");
        EXPECT_EQ(run(command), 0);
        std::map<std::string, double> figures;
        std::istringstream words(slurp(path("score.txt")));
        for (std::string word; words >> word;) {
            const auto equals = word.find('=');
            if (equals != std::string::npos) figures[word.substr(0, equals)] = std::atof(word.c_str() + equals + 1);
        }
        return figures;
    }

    std::string dir_;
};

double foundOf(std::map<std::string, double>& figures) {
    return figures["f_peak0"] + figures["f_peak1"] + figures["f_peak2"];
}

TEST_F(DamageScoreTest, TheTruthListsTheDamageAndTheScoreCoversCoresExactly) {
    const std::string damage = std::string(TESMORA_DAMAGE_RECORD) + " " + path("clean.wav") + " ";
    ASSERT_EQ(run(damage + path("damaged.wav") + " " + path("truth.txt") + " 5 900"), 0);
    ASSERT_EQ(run(damage + path("again.wav") + " " + path("again.txt") + " 5 900"), 0);
    EXPECT_EQ(slurp(path("damaged.wav")), slurp(path("again.wav"))) << "the same seed must give the same damage";
    EXPECT_EQ(slurp(path("truth.txt")), slurp(path("again.txt")));

    const std::vector<TrueClick> truth = readTruth(path("truth.txt"));
    ASSERT_GE(truth.size(), 20u);
    const Wav clean = readWav(path("clean.wav"));
    const Wav damaged = readWav(path("damaged.wav"));
    std::map<std::string, int> seen;
    for (const TrueClick& d : truth) {
        ++seen["channel " + std::to_string(d.channel)];
        ++seen[d.placement];
        ASSERT_LE(d.tail.first, d.core.first);
        ASSERT_LE(d.core.last, d.tail.last);
        ASSERT_LT(d.tail.last, damaged.frames());
        // The core is where the damage is largest: its peak lies there.
        double largest = 0;
        for (std::uint64_t n = d.core.first; n <= d.core.last; ++n) {
            largest =
                std::max(largest, std::fabs(static_cast<double>(damaged.at(n, d.channel)) - clean.at(n, d.channel)));
        }
        EXPECT_NEAR(largest, d.peak, 0.05 * d.peak + 1) << "the defect at " << d.core.first << " in " << d.channel;
        // Below its tail the damage fades out (2 ms at 44.1 kHz): cut off, it would end in a step, a click of its own.
        double step = 0;
        const auto damageAt = [&](std::uint64_t n) {
            return static_cast<double>(damaged.at(n, d.channel)) - clean.at(n, d.channel);
        };
        for (std::uint64_t n = d.tail.last; n < std::min<std::uint64_t>(d.tail.last + 88, damaged.frames() - 1); ++n) {
            step = std::max(step, std::fabs(damageAt(n + 1) - damageAt(n)));
        }
        EXPECT_LE(step, 0.003 * d.peak + 2) << "the damage at " << d.core.first << " in " << d.channel << " stops";
    }
    for (const char* expected : {"channel 0", "channel 1", "one", "both"}) EXPECT_GT(seen[expected], 0) << expected;

    // Each core selected as the detector selects it: every one found, no
    // false alarm. Each one sample late, so that the line leaves the core's
    // first sample, or over the low tail alone: none found, still no false
    // alarm (the tail is damage too).
    std::vector<std::pair<int, SampleSpan>> exact;
    std::vector<std::pair<int, SampleSpan>> late;
    for (const TrueClick& d : truth) {
        const SampleSpan s = detect::selectionAround(d.core, damaged.frames());
        exact.emplace_back(d.channel, s);
        late.emplace_back(d.channel, SampleSpan{s.first + 1, s.last + 1});
        if (d.tail.last >= d.core.last + 9) late.emplace_back(d.channel, SampleSpan{d.core.last + 2, d.core.last + 9});
    }
    auto figures = score(exact);
    EXPECT_EQ(foundOf(figures), static_cast<double>(truth.size()));
    EXPECT_EQ(figures["fa"], 0);
    figures = score(late);
    EXPECT_EQ(foundOf(figures), 0);
    EXPECT_EQ(figures["fa"], 0);

    // A defect in one channel, selected in both: found in its own, a false
    // alarm in the other, where no damage lies.
    auto quietInOther = [&](const TrueClick& one) {
        for (const TrueClick& d : truth) {
            if (d.channel != one.channel && d.tail.first <= one.tail.last && one.tail.first <= d.tail.last)
                return false;
        }
        return true;
    };
    const auto target = std::find_if(truth.begin(), truth.end(), quietInOther);
    ASSERT_NE(target, truth.end());
    const SampleSpan s = detect::selectionAround(target->core, damaged.frames());
    figures = score({{target->channel, s}, {1 - target->channel, s}});
    EXPECT_EQ(figures["ranges"], 2);
    EXPECT_EQ(figures["fa"], 1);
    EXPECT_EQ(foundOf(figures), 1);
}

}  // namespace
}  // namespace tesmora::bench
