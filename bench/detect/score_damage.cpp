// score_damage TRUTH INPUT CLEAN REPAIRED (--ranges FILE | --changed)
// Scores one detector's repair of a damaged recording, channel by channel,
// against the damage in TRUTH (from damage_record; "-" for a clean file).
// A detection is what the repair replaced: with --ranges, the samples of each
// range of FILE (as tesmora detect prints them, with a ch=N column on a file
// of several channels) that the line replaces outright, neither kept nor
// averaged; with --changed, each run of samples REPAIRED changed in INPUT
// (runs closer than 3 samples are one). A click is found when one detection
// covers its core. Prints one line of key=value figures for the benchmark
// script to sum; rem= lists what remains of each click found (the largest
// error against CLEAN over its core, in % of its peak).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "damage_truth.h"
#include "line_repair.h"
#include "selection.h"
#include "wav_file.h"

namespace {

using tesmora::bench::readTruth;
using tesmora::bench::TrueClick;
using tesmora::detect::SampleSpan;

// What the repair of each range replaces outright, by channel.
std::vector<std::vector<SampleSpan>> readRanges(const std::string& path, int channels) {
    std::vector<std::vector<SampleSpan>> spans(static_cast<std::size_t>(channels));
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        unsigned long long first = 0;
        unsigned long long last = 0;
        int channel = 0;
        if (std::sscanf(line.c_str(), "%llu:%llu", &first, &last) != 2) continue;
        const std::size_t tag = line.find("ch=");
        if (tag != std::string::npos) channel = std::atoi(line.c_str() + tag + 3);
        const SampleSpan replaced = tesmora::detect::replacedBy({first, last});
        if (replaced.first <= replaced.last && channel < channels) {
            spans[static_cast<std::size_t>(channel)].push_back(replaced);
        }
    }
    return spans;
}

std::vector<std::vector<SampleSpan>> changedRuns(const tesmora::bench::Wav& input, const tesmora::bench::Wav& output) {
    std::vector<std::vector<SampleSpan>> spans(static_cast<std::size_t>(input.channels));
    for (int c = 0; c < input.channels; ++c) {
        auto& runs = spans[static_cast<std::size_t>(c)];
        for (std::size_t n = 0; n < input.frames(); ++n) {
            if (input.at(n, c) == output.at(n, c)) continue;
            if (!runs.empty() && n - runs.back().last <= 3) {
                runs.back().last = n;
            } else {
                runs.push_back({n, n});
            }
        }
    }
    return spans;
}

bool overlaps(SampleSpan a, SampleSpan b) {
    return a.first <= b.last && b.first <= a.last;
}

bool covers(SampleSpan outer, SampleSpan inner) {
    return outer.first <= inner.first && outer.last >= inner.last;
}

// The repair that knows the damage: a selection around every core (cores
// whose selections would overlap taken as one), the module's line on each.
std::vector<double> idealRepair(const tesmora::bench::Wav& input, const std::vector<TrueClick>& clicks, int channel) {
    std::vector<std::int16_t> samples(input.frames());
    for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = input.at(n, channel);
    std::vector<SampleSpan> cores;
    for (const TrueClick& c : clicks)
        if (c.channel == channel) cores.push_back(c.core);
    std::sort(cores.begin(), cores.end(), [](SampleSpan a, SampleSpan b) { return a.first < b.first; });
    std::vector<SampleSpan> joined;
    for (const SampleSpan& core : cores) {
        if (!joined.empty() && core.first <= joined.back().last + 4) {
            joined.back().last = std::max(joined.back().last, core.last);
        } else {
            joined.push_back(core);
        }
    }
    const tesmora::RepairHooks hooks{[](void*, std::uint32_t, std::uint32_t) {}, [](void*) { return false; }, nullptr};
    for (const SampleSpan& core : joined) {
        const SampleSpan s = tesmora::detect::selectionAround(core, samples.size());
        tesmora::LineRepair(samples.data() + s.first, static_cast<std::uint32_t>(s.last - s.first + 1), hooks);
    }
    return {samples.begin(), samples.end()};
}

int peakBin(double factor) {
    return factor < 3 ? 0 : (factor < 10 ? 1 : 2);
}

// Core widths in milliseconds, so that the bins mean the same at every rate:
// crackle's and a short pulse's (to 0.5 ms), a click's (to 2 ms), a pop's.
int widthBin(SampleSpan core, long sampleRate) {
    const double ms = 1000.0 * static_cast<double>(core.last - core.first + 1) / static_cast<double>(sampleRate);
    return ms <= 0.5 ? 0 : (ms <= 2 ? 1 : 2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: score_damage TRUTH INPUT CLEAN REPAIRED (--ranges FILE | --changed)\n");
        return 2;
    }
    const std::vector<TrueClick> clicks = readTruth(argv[1]);
    const tesmora::bench::Wav input = tesmora::bench::readWav(argv[2]);
    const tesmora::bench::Wav clean = tesmora::bench::readWav(argv[3]);
    const tesmora::bench::Wav repaired = tesmora::bench::readWav(argv[4]);
    const std::string mode = argv[5];
    const auto detections =
        mode == "--ranges" && argc > 6 ? readRanges(argv[6], input.channels) : changedRuns(input, repaired);
    std::map<std::string, double> sums;
    std::string remaining;
    const auto frames = std::min({input.frames(), clean.frames(), repaired.frames()});
    const long span = input.sampleRate / 100;

    for (int c = 0; c < input.channels; ++c) {
        const auto& found = detections[static_cast<std::size_t>(c)];
        std::vector<const TrueClick*> mine;
        for (const TrueClick& click : clicks)
            if (click.channel == c) mine.push_back(&click);
        // Recall of the cores, by kind, placement, peak and width.
        for (const TrueClick* click : mine) {
            const bool covered =
                std::any_of(found.begin(), found.end(), [&](SampleSpan d) { return covers(d, click->core); });
            const std::string bins[] = {
                "peak" + std::to_string(peakBin(click->factor)), click->factor >= 3 ? "all" : "",
                click->factor >= 3 ? click->kind : "", click->factor >= 3 ? click->placement : "",
                click->factor >= 3 ? "width" + std::to_string(widthBin(click->core, input.sampleRate)) : ""};
            for (const std::string& bin : bins) {
                if (bin.empty()) continue;
                sums["n_" + bin] += 1;
                sums["f_" + bin] += covered ? 1 : 0;
            }
            if (!covered) continue;
            double left = 0;
            for (std::uint64_t n = click->core.first; n <= click->core.last && n < frames; ++n) {
                left = std::max(left, std::fabs(static_cast<double>(repaired.at(n, c)) - clean.at(n, c)));
            }
            char text[32];
            std::snprintf(text, sizeof text, "%s%.1f", remaining.empty() ? "" : ",", 100 * left / click->peak);
            remaining += text;
        }
        // False alarms: detections that touch no click's damage.
        for (const SampleSpan& d : found) {
            const bool explained =
                std::any_of(mine.begin(), mine.end(), [&](const TrueClick* k) { return overlaps(d, k->tail); });
            sums["fa"] += explained ? 0 : 1;
            // Did the repair of this range bring it closer to the clean signal?
            double before = 0;
            double after = 0;
            for (std::uint64_t n = d.first; n <= d.last && n < frames; ++n) {
                before += std::pow(static_cast<double>(input.at(n, c)) - clean.at(n, c), 2);
                after += std::pow(static_cast<double>(repaired.at(n, c)) - clean.at(n, c), 2);
            }
            sums["ranges"] += 1;
            sums["worse"] += after > before ? 1 : 0;
        }
        // The error against the clean signal: over the whole file, and around
        // the clicks (10 ms each side, each sample once).
        const std::vector<double> ideal = idealRepair(input, clicks, c);
        std::vector<bool> near(frames, false);
        for (const TrueClick* click : mine) {
            const long from = std::max(0L, static_cast<long>(click->core.first) - span);
            const long to = std::min(static_cast<long>(frames) - 1, static_cast<long>(click->core.last) + span);
            for (long n = from; n <= to; ++n) near[static_cast<std::size_t>(n)] = true;
        }
        double errorIn = 0;
        double errorOut = 0;
        for (std::size_t n = 0; n < frames; ++n) {
            const double truth = clean.at(n, c);
            const double in = std::pow(input.at(n, c) - truth, 2);
            const double out = std::pow(repaired.at(n, c) - truth, 2);
            sums["signal"] += truth * truth;
            errorIn += in;
            errorOut += out;
            sums["changed"] += input.at(n, c) != repaired.at(n, c) ? 1 : 0;
            if (!near[n]) continue;
            sums["nearin"] += in;
            sums["nearout"] += out;
            sums["nearideal"] += std::pow(ideal[n] - truth, 2);
        }
        sums["errin"] += errorIn;
        sums["errout"] += errorOut;
        sums["worsefiles"] += errorOut > errorIn ? 1 : 0;
        sums["channelfiles"] += 1;
    }
    sums["chseconds"] = static_cast<double>(frames) * input.channels / input.sampleRate;
    sums["samples"] = static_cast<double>(frames) * input.channels;
    sums["seconds"] = static_cast<double>(frames) / input.sampleRate;
    for (const auto& [key, value] : sums) std::printf("%s=%.6g ", key.c_str(), value);
    std::printf("rem=%s\n", remaining.empty() ? "none" : remaining.c_str());
    return 0;
}
