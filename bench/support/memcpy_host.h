// A host that keeps its waveform in memory and serves the module's reads and
// writes with memcpy, as the fastest editor would. Its own two copies of the
// same bytes (out of the waveform and back) are the figure XfmDo is held
// against: no host can hand a selection over and take it back for less.
#ifndef TESMORA_BENCH_SUPPORT_MEMCPY_HOST_H
#define TESMORA_BENCH_SUPPORT_MEMCPY_HOST_H

#include <cstdint>
#include <vector>

#include "blocks.h"
#include "xfm.h"

namespace tesmora::bench {

// The host functions carry no state of their own, so one host is live at a
// time: the last one constructed, until it is destroyed.
class MemcpyHost {
public:
    // A one-channel 16-bit waveform of selectedSamples samples (at least 2),
    // all of them selected, from ends.first to ends.last with noise between.
    MemcpyHost(std::uint32_t selectedSamples, LineEnds ends);
    ~MemcpyHost();
    MemcpyHost(const MemcpyHost&) = delete;
    MemcpyHost& operator=(const MemcpyHost&) = delete;

    // The context to hand to XfmDo: every host function present, the stop flag clear.
    XfmContext* context() { return &context_; }

    const std::vector<std::int16_t>& waveform() const { return waveform_; }
    std::uint32_t selectedBytes() const;
    // How often the module has reported progress since the host was made.
    std::uint32_t progressReports() const { return progressReports_; }

    // The host's own two copies of the selected bytes: into a buffer of its own and back.
    void copyOutAndBack();

private:
    static std::uint32_t XFM_WINAPI readData(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount);
    static std::uint32_t XFM_WINAPI writeData(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount);
    static std::uint32_t XFM_WINAPI reportProgress(std::uint32_t position, std::uint32_t total);
    static void XFM_WINAPI showStatus(const char* text, std::uint32_t value);
    static void XFM_CDECL endProcessing(XfmContext* context);

    // The waveform's bytes from byteOffset on, or null when byteCount of them are not there.
    unsigned char* bytesAt(std::uint32_t byteOffset, std::uint32_t byteCount);

    std::vector<std::int16_t> waveform_;
    std::vector<std::int16_t> ownCopy_;
    volatile std::int32_t cancelFlag_ = 0;
    std::uint32_t progressReports_ = 0;
    XfmContext context_{};
};

}  // namespace tesmora::bench

#endif
