#include "memory_host.h"

#include <cstring>

namespace tesmora {

namespace {

// The host the functions serve: the one made last, null when none lives.
MemoryHost* servingHost = nullptr;

// readData's status: 0 delivered, anything else failed.
constexpr std::uint32_t kDelivered = 0;
constexpr std::uint32_t kNotDelivered = 1;

}  // namespace

bool holdsBytes(const std::vector<std::int16_t>& samples, std::uint32_t byteOffset, std::uint32_t byteCount) {
    return std::uint64_t{byteOffset} + byteCount <= samples.size() * sizeof(std::int16_t);
}

MemoryHost::MemoryHost(std::vector<std::int16_t>& samples, HostFormat format, const ProgressView& view)
    : samples_(samples), format_(format), view_(view), previous_(servingHost) {
    servingHost = this;
}

MemoryHost::~MemoryHost() {
    servingHost = previous_;
}

XfmContext MemoryHost::context(std::uint32_t first, std::uint32_t last, volatile std::int32_t& stopFlag) const {
    XfmContext context{};
    context.channels = format_.channels;
    context.bitsPerSample = format_.bitsPerSample;
    context.frameSize = format_.frameSize;
    context.selectionStart = first;
    context.selectionEnd = last;
    context.readData = readData;
    context.writeData = writeData;
    context.cancelFlag = &stopFlag;
    context.reportProgress = reportProgress;
    context.showStatus = showStatus;
    context.endProcessing = endProcessing;
    return context;
}

std::uint32_t XFM_WINAPI MemoryHost::readData(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    if (servingHost == nullptr || !holdsBytes(servingHost->samples_, byteOffset, byteCount)) return kNotDelivered;
    std::memcpy(buffer, reinterpret_cast<const char*>(servingHost->samples_.data()) + byteOffset, byteCount);
    return kDelivered;
}

// A write outside the samples is dropped: the host keeps its own bytes whole.
std::uint32_t XFM_WINAPI MemoryHost::writeData(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    if (servingHost == nullptr || !holdsBytes(servingHost->samples_, byteOffset, byteCount)) return 0;
    std::memcpy(reinterpret_cast<char*>(servingHost->samples_.data()) + byteOffset, buffer, byteCount);
    return byteCount;
}

std::uint32_t XFM_WINAPI MemoryHost::reportProgress(std::uint32_t position, std::uint32_t total) {
    if (servingHost == nullptr) return 0;
    ++servingHost->progressReports_;
    const ProgressView& view = servingHost->view_;
    if (view.show != nullptr) view.show(view.view, position, total);
    return 0;
}

void XFM_WINAPI MemoryHost::showStatus(const char* text, std::uint32_t /*value*/) {
    if (servingHost == nullptr || text == nullptr) return;
    const ProgressView& view = servingHost->view_;
    if (view.status != nullptr) view.status(view.view, text);
}

void XFM_CDECL MemoryHost::endProcessing(XfmContext* /*context*/) {
    if (servingHost == nullptr) return;
    const ProgressView& view = servingHost->view_;
    if (view.end != nullptr) view.end(view.view);
}

}  // namespace tesmora
