// A host that keeps its waveform in memory and serves the module's reads and
// writes with memcpy, as the fastest editor would: the in-memory host, with a
// waveform of its own. Its own two copies of the same bytes (out of the
// waveform and back) are the figure XfmDo is held against: no host can hand a
// selection over and take it back for less.
#ifndef TESMORA_BENCH_SUPPORT_MEMCPY_HOST_H
#define TESMORA_BENCH_SUPPORT_MEMCPY_HOST_H

#include <cstdint>
#include <vector>

#include "blocks.h"
#include "memory_host.h"
#include "xfm.h"

namespace tesmora::bench {

// As MemoryHost, one host is live at a time: the last one constructed, until
// it is destroyed.
class MemcpyHost {
public:
    // A one-channel 16-bit waveform of selectedSamples samples (at least 2),
    // all of them selected, from ends.first to ends.last with noise between.
    MemcpyHost(std::uint32_t selectedSamples, LineEnds ends);

    // The context to hand to XfmDo: every host function present, the stop flag clear.
    XfmContext* context() { return &context_; }

    const std::vector<std::int16_t>& waveform() const { return waveform_; }
    std::uint32_t selectedBytes() const;
    // How often the module has reported progress since the host was made.
    std::uint32_t progressReports() const { return host_.progressReports(); }

    // The host's own two copies of the selected bytes: into a buffer of its own and back.
    void copyOutAndBack();

private:
    std::vector<std::int16_t> waveform_;
    std::vector<std::int16_t> ownCopy_;
    volatile std::int32_t cancelFlag_ = 0;
    MemoryHost host_;
    XfmContext context_;
};

}  // namespace tesmora::bench

#endif
