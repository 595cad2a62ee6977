#include "loaded_module.h"

#include "recording_imports.h"

namespace tesmora::testhost {

namespace {

LoadedModule module;

template <typename Function>
bool find(const char* name, WORD ordinal, Function& function, std::string& error) {
    FARPROC byName = GetProcAddress(module.handle, name);
    FARPROC byOrdinal = GetProcAddress(module.handle, MAKEINTRESOURCEA(ordinal));
    if (byName == nullptr || byName != byOrdinal) {
        error = std::string(name) + " is not exported by name and ordinal " + std::to_string(ordinal);
        return false;
    }
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(byName));
    return true;
}

}  // namespace

bool loadModule(std::string& error) {
    module.handle = LoadLibraryA(kModuleFile);
    if (module.handle == nullptr) {
        error = std::string("LoadLibraryA(") + kModuleFile + ") failed with error " + std::to_string(GetLastError());
        return false;
    }
    if (!find("QueryXfm", 2, module.queryXfm, error) || !find("XfmInit", 3, module.xfmInit, error) ||
        !find("XfmSetup", 4, module.xfmSetup, error) || !find("XfmDo", 5, module.xfmDo, error) ||
        !find("XfmDestroy", 6, module.xfmDestroy, error)) {
        return false;
    }
    if (!recordImportsOf(module.handle)) {
        error = "the module does not import MessageBoxA, GlobalAlloc, GlobalFree and lstrcpyA by name";
        return false;
    }
    return true;
}

const LoadedModule& loadedModule() {
    return module;
}

}  // namespace tesmora::testhost
