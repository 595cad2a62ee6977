// The real module, loaded the way a host loads it, with its five entry points
// found by name (and checked against their ordinals).
#ifndef TESMORA_TESTHOST_LOADED_MODULE_H
#define TESMORA_TESTHOST_LOADED_MODULE_H

#include <windows.h>

#include <string>

#include "xfm.h"

namespace tesmora::testhost {

constexpr const char kModuleFile[] = "tesmora.xfm";

struct LoadedModule {
    HMODULE handle = nullptr;
    decltype(&QueryXfm) queryXfm = nullptr;
    decltype(&XfmInit) xfmInit = nullptr;
    decltype(&XfmSetup) xfmSetup = nullptr;
    decltype(&XfmDo) xfmDo = nullptr;
    decltype(&XfmDestroy) xfmDestroy = nullptr;
};

// Loads the module beside the test host and patches its imports. On failure
// returns false and says why in error.
bool loadModule(std::string& error);

const LoadedModule& loadedModule();

}  // namespace tesmora::testhost

#endif
