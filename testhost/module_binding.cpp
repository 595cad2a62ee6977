// The entry points the shared tests call, bound to the loaded module's exports.
#include "loaded_module.h"

using tesmora::testhost::loadedModule;

XFM_EXTERN_C uint16_t XFM_WINAPI QueryXfm(XfmQuery* query) {
    return loadedModule().queryXfm(query);
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmInit(uint32_t unused) {
    return loadedModule().xfmInit(unused);
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmSetup(void* ownerWindow, uint32_t unused, const XfmContext* context) {
    return loadedModule().xfmSetup(ownerWindow, unused, context);
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmDo(XfmContext* context) {
    return loadedModule().xfmDo(context);
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmDestroy(uint32_t unused) {
    return loadedModule().xfmDestroy(unused);
}
