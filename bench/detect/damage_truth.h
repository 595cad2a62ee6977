// The list of damage damage_record writes beside a damaged recording, one line
// per defect per channel it damages:
//   CHANNEL CORE_FIRST CORE_LAST TAIL_FIRST TAIL_LAST KIND PLACEMENT PEAK FACTOR
#ifndef TESMORA_BENCH_DETECT_DAMAGE_TRUTH_H
#define TESMORA_BENCH_DETECT_DAMAGE_TRUTH_H

#include <fstream>
#include <string>
#include <vector>

#include "selection.h"

namespace tesmora::bench {

struct TrueClick {
    int channel = 0;
    detect::SampleSpan core;  // where the damage exceeds a quarter of its peak: what the line should replace
    detect::SampleSpan tail;  // where it exceeds 2 % of its peak
    std::string kind;         // pulse, pop, scratch or crackle
    std::string placement;    // "one" channel or "both"
    double peak = 0;          // the largest damage, in sample values
    double factor = 0;        // the peak against the clean signal's local RMS
};

// The clicks listed at path; none for "-" (a clean file).
inline std::vector<TrueClick> readTruth(const std::string& path) {
    std::vector<TrueClick> clicks;
    if (path == "-") return clicks;
    std::ifstream in(path);
    TrueClick c;
    while (in >> c.channel >> c.core.first >> c.core.last >> c.tail.first >> c.tail.last >> c.kind >> c.placement >>
           c.peak >> c.factor) {
        clicks.push_back(c);
    }
    return clicks;
}

}  // namespace tesmora::bench

#endif
