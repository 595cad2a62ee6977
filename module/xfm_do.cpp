// XfmDo: fetch the selected samples from the host, put them on a line, hand
// them back.
#include <cstdint>

#include "host_calls.h"
#include "line_repair.h"
#include "messages.h"
#include "platform.h"
#include "selection.h"
#include "xfm.h"

namespace tesmora {

namespace {

bool hasHostFunctions(const XfmContext& context) {
    return context.readData != nullptr && context.writeData != nullptr && context.cancelFlag != nullptr;
}

void reportToHost(void* context, std::uint32_t position, std::uint32_t total) {
    hostReportProgress(*static_cast<const XfmContext*>(context), position, total);
}

bool hostAsksToStop(void* context) {
    return hostStopRequested(*static_cast<const XfmContext*>(context));
}

// Reads, checks and repairs the selection in buffer, and writes it back when
// the repair completed. Returns the entry point's result.
std::int32_t repairSelection(XfmContext& context, std::int16_t* buffer, std::uint32_t sampleCount,
                             std::uint32_t byteOffset, std::uint32_t byteCount) {
    if (hostReadData(context, buffer, byteOffset, byteCount) != 0) {
        platform::showError(kErrorCannotRead);
        return 0;
    }
    if (context.channels != 1) {
        platform::showError(kErrorNotMono);
        return 0;
    }
    // The buffer holds frameSize bytes a sample but is worked on as 16-bit
    // samples: any other frame would overrun it or corrupt the waveform.
    if (context.frameSize != sizeof(std::int16_t)) {
        platform::showError(kErrorFrameSize);
        return 0;
    }
    const RepairHooks hooks{reportToHost, hostAsksToStop, &context};
    if (LineRepair(buffer, sampleCount, hooks) == RepairOutcome::completed) {
        hostWriteData(context, buffer, byteOffset, byteCount);
    }
    return 1;
}

}  // namespace

}  // namespace tesmora

XFM_EXTERN_C XFM_EXPORT std::int32_t XFM_WINAPI XfmDo(XfmContext* context) {
    using namespace tesmora;
    if (context == nullptr) {
        return 0;
    }
    if (context->bitsPerSample != 16) {
        platform::showError(kErrorNot16Bit);
        return 0;
    }
    const std::uint32_t sampleCount = selectedSampleCount(*context);
    if (sampleCount <= 2) {
        return 1;
    }
    if (!hasHostFunctions(*context)) {
        platform::showError(kErrorInvalidContext);
        return 0;
    }
    const SelectedBytes range = selectedBytes(*context);
    if (!range.fitsIn32Bits()) {
        platform::showError(kErrorSelectionTooLong);
        return 0;
    }
    const auto byteOffset = static_cast<std::uint32_t>(range.offset);
    const auto byteCount = static_cast<std::uint32_t>(range.count);

    void* buffer = platform::allocateBlock(byteCount);
    if (buffer == nullptr) {
        platform::showError(kErrorNoMemory);
        return 0;
    }
    hostShowStatus(*context, kStatusText, 0);
    const std::int32_t result =
        repairSelection(*context, static_cast<std::int16_t*>(buffer), sampleCount, byteOffset, byteCount);
    hostEndProcessing(*context);
    platform::releaseBlock(buffer);
    return result;
}
