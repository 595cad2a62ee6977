// The host side of XfmContext for audio held in memory: the module's reads
// and writes are copies from and to a vector of 16-bit samples.
#ifndef TESMORA_CLI_MEMORY_HOST_H
#define TESMORA_CLI_MEMORY_HOST_H

#include <cstdint>
#include <vector>

#include "progress_bar.h"
#include "xfm.h"

namespace tesmora::cli {

// How the data is described to the module.
struct HostFormat {
    std::uint16_t channels = 1;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t frameSize = 2;  // bytes per frame
};

// The host functions carry no pointer of the host's, so they find their
// audio through the one host that is active: only one may live at a time.
class MemoryHost {
public:
    // samples: the frames handed to the module, byte offsets counted from its
    // start. It is read and written in place and must outlive the host.
    MemoryHost(std::vector<std::int16_t>& samples, HostFormat format, ProgressBar& progress);
    ~MemoryHost();
    MemoryHost(const MemoryHost&) = delete;
    MemoryHost& operator=(const MemoryHost&) = delete;

    // The record for the selection first..last (frame indices).
    XfmContext context(std::uint32_t first, std::uint32_t last, volatile std::int32_t& stopFlag) const;

    // How many times the module handed samples back.
    int writeCount() const { return writeCount_; }

private:
    static std::uint32_t XFM_WINAPI readData(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount);
    static std::uint32_t XFM_WINAPI writeData(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount);
    static std::uint32_t XFM_WINAPI reportProgress(std::uint32_t position, std::uint32_t total);
    static void XFM_WINAPI showStatus(const char* text, std::uint32_t value);
    static void XFM_CDECL endProcessing(XfmContext* context);

    // Whether byteCount bytes at byteOffset lie inside the samples.
    bool holds(std::uint32_t byteOffset, std::uint32_t byteCount) const;

    std::vector<std::int16_t>& samples_;
    HostFormat format_;
    ProgressBar& progress_;
    int writeCount_ = 0;
};

}  // namespace tesmora::cli

#endif
