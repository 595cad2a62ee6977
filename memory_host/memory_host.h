// The host side of XfmContext for audio held in memory, as an editor holds its
// waveform: the module's reads and writes are copies from and to a vector of
// 16-bit samples, and a request for bytes the vector does not hold is refused
// rather than served from beyond it. The command-line host drives the module
// through it, the benchmarks time the module against it, and the tests'
// recording host records every call around it.
#ifndef TESMORA_MEMORY_HOST_H
#define TESMORA_MEMORY_HOST_H

#include <cstdint>
#include <vector>

#include "xfm.h"

namespace tesmora {

// How the data is described to the module.
struct HostFormat {
    std::uint16_t channels = 1;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t frameSize = 2;  // bytes per frame
};

// Where the host shows what the module tells it while it works. Each
// function gets `view` back; any of them may be null.
struct ProgressView {
    void* view = nullptr;
    void (*show)(void* view, std::uint32_t position, std::uint32_t total) = nullptr;
    void (*status)(void* view, const char* text) = nullptr;
    void (*end)(void* view) = nullptr;
};

// Whether byteCount bytes at byteOffset lie inside samples.
bool holdsBytes(const std::vector<std::int16_t>& samples, std::uint32_t byteOffset, std::uint32_t byteCount);

// The host functions carry no pointer of the host's, so they serve the host
// made last. Hosts nest: one made while another lives serves until it is
// destroyed, and then the other serves again.
class MemoryHost {
public:
    // samples: the frames handed to the module, byte offsets counted from its
    // start. It is read and written in place and must outlive the host.
    explicit MemoryHost(std::vector<std::int16_t>& samples, HostFormat format = {}, const ProgressView& view = {});
    ~MemoryHost();
    MemoryHost(const MemoryHost&) = delete;
    MemoryHost& operator=(const MemoryHost&) = delete;

    // The record for the selection first..last (frame indices).
    XfmContext context(std::uint32_t first, std::uint32_t last, volatile std::int32_t& stopFlag) const;

    // How many times the module has reported its progress.
    std::uint32_t progressReports() const { return progressReports_; }

    // The functions every context carries, for a wrapper that does more
    // around them. readData answers 0 when it delivered, 1 when it did not;
    // writeData the bytes it took, 0 when it took none.
    static std::uint32_t XFM_WINAPI readData(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount);
    static std::uint32_t XFM_WINAPI writeData(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount);
    static std::uint32_t XFM_WINAPI reportProgress(std::uint32_t position, std::uint32_t total);
    static void XFM_WINAPI showStatus(const char* text, std::uint32_t value);
    static void XFM_CDECL endProcessing(XfmContext* context);

private:
    std::vector<std::int16_t>& samples_;
    HostFormat format_;
    ProgressView view_;
    std::uint32_t progressReports_ = 0;
    MemoryHost* previous_;
};

}  // namespace tesmora

#endif
