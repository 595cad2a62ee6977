// XfmDo for the tests of the i686 build: the real tesmora.xfm's, loaded once,
// so that the memcpy host is checked against the module the benchmark times.
#include <cstdio>
#include <string>

#include "xfm_module.h"

namespace {

tesmora::bench::XfmDoEntry loadedXfmDo() {
    std::string error;
    const tesmora::bench::XfmDoEntry entry = tesmora::bench::loadXfmDo(error);
    if (entry == nullptr) std::fprintf(stderr, "cannot run the real XfmDo: %s\n", error.c_str());
    return entry;
}

}  // namespace

XFM_EXTERN_C int32_t XFM_WINAPI XfmDo(XfmContext* context) {
    static const tesmora::bench::XfmDoEntry entry = loadedXfmDo();
    return entry == nullptr ? 0 : entry(context);
}
