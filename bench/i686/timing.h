// Timing without a benchmark library: each figure is the median, over several
// runs, of the time per call of a run that repeats the call for about 50 ms.
#ifndef TESMORA_BENCH_I686_TIMING_H
#define TESMORA_BENCH_I686_TIMING_H

#include <chrono>
#include <cstdint>
#include <vector>

namespace tesmora::bench {

struct TimingPlan {
    unsigned runs;
    std::uint64_t callsPerRun;
};

// Runs of about 50 ms, seven of them; a call that alone lasts longer than a
// run is timed once per run, three times.
TimingPlan planFor(double nanosecondsPerCall);

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double median(std::vector<double> values);

// Keeps the compiler from dropping or merging stores to memory before this point.
inline void keepStores(const void* memory) {
    __asm__ __volatile__("" : : "g"(memory) : "memory");
}

// The seconds that calls calls of work take together.
template <typename Work>
double secondsFor(Work& work, std::uint64_t calls) {
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t i = 0; i < calls; ++i) work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The median time of one call of work, in nanoseconds.
template <typename Work>
double medianNanosecondsPerCall(Work work) {
    constexpr double kCalibrationSeconds = 1e-3;
    work();  // the first call pays for touching the memory and filling the caches
    std::uint64_t calls = 1;
    double seconds = secondsFor(work, calls);
    while (seconds < kCalibrationSeconds) {
        calls *= 2;
        seconds = secondsFor(work, calls);
    }
    const TimingPlan plan = planFor(seconds * 1e9 / static_cast<double>(calls));
    std::vector<double> perCall;
    for (unsigned run = 0; run < plan.runs; ++run) {
        perCall.push_back(secondsFor(work, plan.callsPerRun) * 1e9 / static_cast<double>(plan.callsPerRun));
    }
    return median(perCall);
}

}  // namespace tesmora::bench

#endif
