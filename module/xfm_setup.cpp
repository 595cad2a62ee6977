// XfmSetup: the user confirms before a long selection is worked on.
#include <cstdint>

#include "messages.h"
#include "platform.h"
#include "selection.h"
#include "xfm.h"

namespace {
constexpr std::uint32_t kSamplesWithoutQuestion = 500;
}

// 1: go on, 0: the user declined. Only the two selection fields are read; a
// reversed selection counts as huge and is asked about.
XFM_EXTERN_C XFM_EXPORT std::int32_t XFM_WINAPI XfmSetup(void* ownerWindow, std::uint32_t /*unused*/,
                                                         const XfmContext* context) {
    using namespace tesmora;
    if (context == nullptr) {
        return 0;
    }
    if (selectedSampleCount(*context) <= kSamplesWithoutQuestion) {
        return 1;
    }
    return platform::askYesNo(ownerWindow, kLongSelectionQuestion) == platform::Answer::no ? 0 : 1;
}
