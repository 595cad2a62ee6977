// The real tesmora.xfm, loaded from beside this program with LoadLibraryA as an
// editor loads it, its imports left as they are: the module allocates from the
// system as it does in the editor.
#ifndef TESMORA_BENCH_I686_XFM_MODULE_H
#define TESMORA_BENCH_I686_XFM_MODULE_H

#include <string>

#include "xfm.h"

namespace tesmora::bench {

using XfmDoEntry = decltype(&XfmDo);

// The module's XfmDo, found by name; null on failure, with the reason in error.
XfmDoEntry loadXfmDo(std::string& error);

}  // namespace tesmora::bench

#endif
