// Every call from the module into the host goes through these functions: the
// context first, then the host function's own arguments.
#ifndef TESMORA_MODULE_HOST_CALLS_H
#define TESMORA_MODULE_HOST_CALLS_H

#include <cstdint>

#include "xfm.h"

namespace tesmora {

// The host's read status, reduced to the 16 bits that count: 0 = delivered.
std::uint16_t hostReadData(const XfmContext& context, void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount);

// The host's write result, which the module does not look at.
std::uint32_t hostWriteData(const XfmContext& context, const void* buffer, std::uint32_t byteOffset,
                            std::uint32_t byteCount);

// The three optional host functions: nothing happens when the host left them null.
void hostReportProgress(const XfmContext& context, std::uint32_t position, std::uint32_t total);
void hostShowStatus(const XfmContext& context, const char* text, std::uint32_t value);
void hostEndProcessing(XfmContext& context);

// Whether the host's stop flag is set now. Read afresh on every call: the host
// may set it from another thread or from inside reportProgress.
bool hostStopRequested(const XfmContext& context);

}  // namespace tesmora

#endif
