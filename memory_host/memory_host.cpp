#include "memory_host.h"

#include <cstring>
#include <stdexcept>

namespace tesmora::cli {

namespace {
MemoryHost* activeHost = nullptr;

// readData's status: 0 delivered, anything else failed.
constexpr std::uint32_t kDelivered = 0;
constexpr std::uint32_t kNotDelivered = 1;
}  // namespace

MemoryHost::MemoryHost(std::vector<std::int16_t>& samples, HostFormat format, ProgressBar& progress)
    : samples_(samples), format_(format), progress_(progress) {
    if (activeHost != nullptr) throw std::logic_error("only one MemoryHost may be active");
    activeHost = this;
}

MemoryHost::~MemoryHost() {
    activeHost = nullptr;
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

bool MemoryHost::holds(std::uint32_t byteOffset, std::uint32_t byteCount) const {
    return std::uint64_t{byteOffset} + byteCount <= samples_.size() * sizeof(std::int16_t);
}

// Requests outside the samples are refused rather than served from beyond them.
std::uint32_t MemoryHost::readData(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    if (activeHost == nullptr || !activeHost->holds(byteOffset, byteCount)) return kNotDelivered;
    std::memcpy(buffer, reinterpret_cast<const char*>(activeHost->samples_.data()) + byteOffset, byteCount);
    return kDelivered;
}

std::uint32_t MemoryHost::writeData(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    if (activeHost == nullptr || !activeHost->holds(byteOffset, byteCount)) return 0;
    std::memcpy(reinterpret_cast<char*>(activeHost->samples_.data()) + byteOffset, buffer, byteCount);
    ++activeHost->writeCount_;
    return byteCount;
}

std::uint32_t MemoryHost::reportProgress(std::uint32_t position, std::uint32_t total) {
    if (activeHost != nullptr) activeHost->progress_.show(position, total);
    return 0;
}

void MemoryHost::showStatus(const char* text, std::uint32_t /*value*/) {
    if (activeHost != nullptr && text != nullptr) activeHost->progress_.setStatus(text);
}

void MemoryHost::endProcessing(XfmContext* /*context*/) {
    if (activeHost != nullptr) activeHost->progress_.clear();
}

}  // namespace tesmora::cli
