#include "xfm_module.h"

#include <windows.h>

namespace tesmora::bench {

namespace {

constexpr const char kModuleFile[] = "tesmora.xfm";

}  // namespace

XfmDoEntry loadXfmDo(std::string& error) {
    HMODULE module = LoadLibraryA(kModuleFile);
    if (module == nullptr) {
        error = std::string("LoadLibraryA(") + kModuleFile + ") failed with error " + std::to_string(GetLastError());
        return nullptr;
    }
    FARPROC entry = GetProcAddress(module, "XfmDo");
    if (entry == nullptr) {
        error = std::string(kModuleFile) + " does not export XfmDo";
        return nullptr;
    }
    return reinterpret_cast<XfmDoEntry>(reinterpret_cast<void*>(entry));
}

}  // namespace tesmora::bench
