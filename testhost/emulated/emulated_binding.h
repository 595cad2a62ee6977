// The DLL the emulated caller's entry points are bound to, for the tests of
// the loader itself.
#ifndef TESMORA_TESTHOST_EMULATED_EMULATED_BINDING_H
#define TESMORA_TESTHOST_EMULATED_EMULATED_BINDING_H

#include "dll_loader.h"

namespace tesmora::emulated {

const LoadedDll& boundDll();

}  // namespace tesmora::emulated

#endif
