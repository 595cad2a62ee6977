#include "memcpy_host.h"

#include <cstring>

namespace tesmora::bench {

namespace {

MemcpyHost* liveHost = nullptr;

// Returned by readData when the bytes asked for lie outside the waveform.
constexpr std::uint32_t kReadFailed = 1;

}  // namespace

MemcpyHost::MemcpyHost(std::uint32_t selectedSamples, LineEnds ends)
    : waveform_(makeBlock(selectedSamples, ends)), ownCopy_(selectedSamples) {
    context_.channels = 1;
    context_.bitsPerSample = 16;
    context_.frameSize = sizeof(std::int16_t);
    context_.selectionStart = 0;
    context_.selectionEnd = selectedSamples - 1;
    context_.readData = readData;
    context_.writeData = writeData;
    context_.cancelFlag = &cancelFlag_;
    context_.reportProgress = reportProgress;
    context_.showStatus = showStatus;
    context_.endProcessing = endProcessing;
    liveHost = this;
}

MemcpyHost::~MemcpyHost() {
    if (liveHost == this) liveHost = nullptr;
}

std::uint32_t MemcpyHost::selectedBytes() const {
    return static_cast<std::uint32_t>(waveform_.size() * sizeof(std::int16_t));
}

void MemcpyHost::copyOutAndBack() {
    std::memcpy(ownCopy_.data(), waveform_.data(), selectedBytes());
    std::memcpy(waveform_.data(), ownCopy_.data(), selectedBytes());
}

unsigned char* MemcpyHost::bytesAt(std::uint32_t byteOffset, std::uint32_t byteCount) {
    const std::uint64_t end = std::uint64_t{byteOffset} + byteCount;
    if (end > selectedBytes()) return nullptr;
    return reinterpret_cast<unsigned char*>(waveform_.data()) + byteOffset;
}

std::uint32_t XFM_WINAPI MemcpyHost::readData(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    const unsigned char* source = liveHost == nullptr ? nullptr : liveHost->bytesAt(byteOffset, byteCount);
    if (source == nullptr) return kReadFailed;
    std::memcpy(buffer, source, byteCount);
    return 0;
}

// A write outside the waveform is dropped: the host keeps its own bytes whole.
std::uint32_t XFM_WINAPI MemcpyHost::writeData(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    unsigned char* destination = liveHost == nullptr ? nullptr : liveHost->bytesAt(byteOffset, byteCount);
    if (destination == nullptr) return 0;
    std::memcpy(destination, buffer, byteCount);
    return byteCount;
}

std::uint32_t XFM_WINAPI MemcpyHost::reportProgress(std::uint32_t, std::uint32_t) {
    if (liveHost != nullptr) ++liveHost->progressReports_;
    return 0;
}

void XFM_WINAPI MemcpyHost::showStatus(const char*, std::uint32_t) {}

void XFM_CDECL MemcpyHost::endProcessing(XfmContext*) {}

}  // namespace tesmora::bench
