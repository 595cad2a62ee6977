// XfmInit and XfmDestroy: the module keeps no state, so both simply succeed.
#include <cstdint>

#include "xfm.h"

XFM_EXTERN_C XFM_EXPORT std::int32_t XFM_WINAPI XfmInit(std::uint32_t /*unused*/) {
    return 1;
}

XFM_EXTERN_C XFM_EXPORT std::int32_t XFM_WINAPI XfmDestroy(std::uint32_t /*unused*/) {
    return 1;
}
