// The quantities derived from the host's selection.
#ifndef TESMORA_MODULE_SELECTION_H
#define TESMORA_MODULE_SELECTION_H

#include <cstdint>

#include "xfm.h"

namespace tesmora {

// selectionEnd - selectionStart + 1 in 32-bit unsigned arithmetic: a selection
// ending just before its start has no samples, one reversed further wraps to a
// huge count.
inline std::uint32_t selectedSampleCount(const XfmContext& context) {
    return context.selectionEnd - context.selectionStart + 1u;
}

// The selection as the host's byte offset and byte count, formed without
// wrap-around.
struct SelectedBytes {
    std::uint64_t offset;
    std::uint64_t count;

    // Whether the host's 32-bit offsets and counts can name this range.
    bool fitsIn32Bits() const { return count <= 0xFFFFFFFFu && offset + count <= (std::uint64_t{1} << 32); }
};

inline SelectedBytes selectedBytes(const XfmContext& context) {
    const std::uint64_t frameSize = context.frameSize;
    return {frameSize * context.selectionStart, frameSize * selectedSampleCount(context)};
}

}  // namespace tesmora

#endif
