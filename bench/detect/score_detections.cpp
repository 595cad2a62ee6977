// score_detections TRUTH INPUT (--ranges FILE | --changed OUTPUT)
//                  [--clean CLEAN --repaired REPAIRED]
// Scores one detector's run on one file against the clicks in TRUTH (from
// inject_clicks; "-" for a clean file, where every detection is a false
// alarm). A detection is the run of samples it repairs: the inside of a range
// FIRST:LAST (the module keeps both ends), or, with --changed, each run of
// samples that OUTPUT changed in INPUT (runs closer than 3 samples are one).
// A click is found when one detection covers all its samples. With CLEAN and
// REPAIRED, what remains of each click found after the repair: the largest
// |repaired - clean| within its extent, in % of the largest |input - clean|
// there (its peak). Prints one line of key=value counts for the benchmark
// script to sum, and the remains of each click found as a comma list.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sample_range.h"
#include "wav_file.h"

namespace {

struct Run {
    long first;
    long last;
};

struct TrueClick {
    Run run;
    double factor;
};

std::vector<TrueClick> readTruth(const std::string& path) {
    std::vector<TrueClick> clicks;
    if (path == "-") return clicks;
    std::ifstream in(path);
    std::string shape;
    TrueClick click{};
    double peak = 0;
    while (in >> click.run.first >> click.run.last >> shape >> peak >> click.factor) clicks.push_back(click);
    return clicks;
}

// The inside of each range tesmora detect printed, read as repair --ranges
// reads them (its ends are the good samples kept).
std::vector<Run> readRanges(const std::string& path) {
    std::vector<Run> runs;
    for (const tesmora::cli::WrittenRange& written : tesmora::cli::readRangeFile(path)) {
        const auto first = static_cast<long>(written.first.sample);
        const auto last = static_cast<long>(written.last.sample);
        if (last >= first + 2) runs.push_back({first + 1, last - 1});
    }
    return runs;
}

std::vector<Run> changedRuns(const std::vector<std::int16_t>& input, const std::vector<std::int16_t>& output) {
    std::vector<Run> runs;
    const std::size_t n = std::min(input.size(), output.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (input[i] == output[i]) continue;
        const auto at = static_cast<long>(i);
        if (!runs.empty() && at - runs.back().last <= 3) {
            runs.back().last = at;
        } else {
            runs.push_back({at, at});
        }
    }
    return runs;
}

// The largest departure from the clean signal within the click's extent
// after the repair, as a share of the largest before it.
double remainingShare(const std::vector<std::int16_t>& input, const std::vector<std::int16_t>& clean,
                      const std::vector<std::int16_t>& repaired, const Run& extent) {
    double peak = 0;
    double left = 0;
    for (long n = extent.first; n <= extent.last; ++n) {
        const auto i = static_cast<std::size_t>(n);
        if (i >= input.size() || i >= clean.size() || i >= repaired.size()) break;
        peak = std::max(peak, std::fabs(static_cast<double>(input[i]) - clean[i]));
        left = std::max(left, std::fabs(static_cast<double>(repaired[i]) - clean[i]));
    }
    return peak > 0 ? left / peak : 0.0;
}

int widthBin(const Run& r) {
    const long width = r.last - r.first + 1;
    return width <= 3 ? 0 : (width <= 11 ? 1 : 2);
}

int peakBin(double factor) {
    return factor < 6 ? 0 : (factor < 12 ? 1 : 2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: score_detections TRUTH INPUT (--ranges FILE | --changed OUTPUT) [...]\n");
        return 2;
    }
    const std::vector<TrueClick> clicks = readTruth(argv[1]);
    const tesmora::bench::MonoWav input = tesmora::bench::readMonoWav(argv[2]);
    std::vector<Run> detections;
    std::string cleanPath;
    std::string repairedPath;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--ranges") detections = readRanges(argv[i + 1]);
        if (option == "--changed")
            detections = changedRuns(input.samples, tesmora::bench::readMonoWav(argv[i + 1]).samples);
        if (option == "--clean") cleanPath = argv[i + 1];
        if (option == "--repaired") repairedPath = argv[i + 1];
    }
    std::sort(detections.begin(), detections.end(), [](const Run& a, const Run& b) { return a.first < b.first; });

    long found = 0;
    long partial = 0;
    long widthCount[3] = {};
    long widthFound[3] = {};
    long peakCount[3] = {};
    long peakFound[3] = {};
    double boundarySum = 0;
    std::vector<bool> explained(detections.size(), false);
    std::vector<const TrueClick*> foundClicks;
    for (const TrueClick& click : clicks) {
        bool covered = false;
        bool touched = false;
        for (std::size_t d = 0; d < detections.size(); ++d) {
            const Run& r = detections[d];
            if (r.last < click.run.first || r.first > click.run.last) continue;
            explained[d] = true;
            touched = true;
            if (!covered && r.first <= click.run.first && r.last >= click.run.last) {
                covered = true;
                boundarySum += (std::labs(r.first - click.run.first) + std::labs(r.last - click.run.last)) / 2.0;
            }
        }
        ++widthCount[widthBin(click.run)];
        ++peakCount[peakBin(click.factor)];
        if (covered) {
            ++found;
            foundClicks.push_back(&click);
            ++widthFound[widthBin(click.run)];
            ++peakFound[peakBin(click.factor)];
        } else if (touched) {
            ++partial;
        }
    }
    const long falseAlarms = std::count(explained.begin(), explained.end(), false);

    // The error against the clean signal around each click (10 ms each side),
    // before and after the repair.
    double errorBefore = 0;
    double errorAfter = 0;
    std::string remains;
    if (!cleanPath.empty() && !repairedPath.empty()) {
        const auto clean = tesmora::bench::readMonoWav(cleanPath).samples;
        const auto repaired = tesmora::bench::readMonoWav(repairedPath).samples;
        for (const TrueClick* click : foundClicks) {
            const double left = remainingShare(input.samples, clean, repaired, click->run);
            remains += (remains.empty() ? "" : ",") + std::to_string(100 * left);
        }
        const long span = input.sampleRate / 100;
        const auto size = static_cast<long>(std::min({clean.size(), repaired.size(), input.samples.size()}));
        long covered = -1;  // windows may overlap: each sample counts once
        for (const TrueClick& click : clicks) {
            for (long n = std::max({0L, click.run.first - span, covered + 1}); n <= click.run.last + span && n < size;
                 ++n) {
                const auto i = static_cast<std::size_t>(n);
                const double before = input.samples[i] - clean[i];
                const double after = repaired[i] - clean[i];
                errorBefore += before * before;
                errorAfter += after * after;
                covered = n;
            }
        }
    }
    std::printf("clicks=%zu found=%ld partial=%ld", clicks.size(), found, partial);
    for (int b = 0; b < 3; ++b)
        std::printf(" w%dn=%ld w%df=%ld p%dn=%ld p%df=%ld", b, widthCount[b], b, widthFound[b], b, peakCount[b], b,
                    peakFound[b]);
    std::printf(" detections=%zu fa=%ld seconds=%.3f bsum=%.1f errbefore=%.6g errafter=%.6g", detections.size(),
                falseAlarms, static_cast<double>(input.samples.size()) / input.sampleRate, boundarySum, errorBefore,
                errorAfter);
    if (!remains.empty()) std::printf(" remains=%s", remains.c_str());
    std::printf("\n");
    return 0;
}
