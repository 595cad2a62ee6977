// XfmDo over a whole selection, served by a memcpy host, against that host's
// own two copies of the same bytes. XfmDo's figure includes everything a call
// does: its allocation, the read, the repair, the write and the release.
#include <benchmark/benchmark.h>

#include "memcpy_host.h"

namespace tesmora::bench {
namespace {

void countWork(benchmark::State& state, const MemcpyHost& host) {
    const auto iterations = static_cast<std::int64_t>(state.iterations());
    state.SetItemsProcessed(iterations * static_cast<std::int64_t>(host.waveform().size()));
    state.SetBytesProcessed(iterations * host.selectedBytes());
}

void xfmDo(benchmark::State& state) {
    MemcpyHost host(kSelectionSamples, kModerateEnds);
    for (auto _ : state) {
        if (XfmDo(host.context()) != 1) {
            state.SkipWithError("XfmDo failed");
            break;
        }
    }
    countWork(state, host);
}

void twoCopies(benchmark::State& state) {
    MemcpyHost host(kSelectionSamples, kModerateEnds);
    for (auto _ : state) {
        host.copyOutAndBack();
        benchmark::ClobberMemory();
    }
    countWork(state, host);
}

BENCHMARK(xfmDo)->Name("xfm_do")->Arg(kSelectionSamples)->UseRealTime();
BENCHMARK(twoCopies)->Name("two_copies")->Arg(kSelectionSamples)->UseRealTime();

}  // namespace
}  // namespace tesmora::bench
