#include "host_calls.h"

namespace tesmora {

std::uint16_t hostReadData(const XfmContext& context, void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    return static_cast<std::uint16_t>(context.readData(buffer, byteOffset, byteCount) & 0xFFFFu);
}

std::uint32_t hostWriteData(const XfmContext& context, const void* buffer, std::uint32_t byteOffset,
                            std::uint32_t byteCount) {
    return context.writeData(buffer, byteOffset, byteCount);
}

void hostReportProgress(const XfmContext& context, std::uint32_t position, std::uint32_t total) {
    if (context.reportProgress != nullptr) {
        context.reportProgress(position, total);
    }
}

void hostShowStatus(const XfmContext& context, const char* text, std::uint32_t value) {
    if (context.showStatus != nullptr) {
        context.showStatus(text, value);
    }
}

void hostEndProcessing(XfmContext& context) {
    if (context.endProcessing != nullptr) {
        context.endProcessing(&context);
    }
}

bool hostStopRequested(const XfmContext& context) {
    // cancelFlag points to volatile storage, so this load is never cached.
    return *context.cancelFlag != 0;
}

}  // namespace tesmora
