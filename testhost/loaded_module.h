// The real module, loaded the way a host loads it, with its five entry points
// found by name (and checked against their ordinals).
#ifndef TESMORA_TESTHOST_LOADED_MODULE_H
#define TESMORA_TESTHOST_LOADED_MODULE_H

#include <windows.h>

#include <string>

#include "module_under_test.h"
#include "xfm.h"

namespace tesmora::testhost {

struct LoadedModule {
    HMODULE handle = nullptr;
    decltype(&QueryXfm) queryXfm = nullptr;
    decltype(&XfmInit) xfmInit = nullptr;
    decltype(&XfmSetup) xfmSetup = nullptr;
    decltype(&XfmDo) xfmDo = nullptr;
    decltype(&XfmDestroy) xfmDestroy = nullptr;
};

// Loads the module from file as a host does and patches its imports. On
// failure returns false and says why in error.
bool loadModule(const char* file, std::string& error);

const LoadedModule& loadedModule();

}  // namespace tesmora::testhost

#endif
