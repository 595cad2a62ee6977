#include "loaded_module.h"

#include <cstdio>
#include <cstdlib>

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

// A fault of an instruction inside the module (an aligned SSE access to a
// misaligned stack slot, for one) ends the run with a message naming it and
// its offset in the module, where a bare crash would say nothing.
LONG WINAPI onFaultInModule(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    MEMORY_BASIC_INFORMATION info{};
    if ((record.ExceptionCode & 0xC0000000u) == 0xC0000000u &&
        VirtualQuery(record.ExceptionAddress, &info, sizeof info) != 0 &&
        info.AllocationBase == static_cast<void*>(module.handle)) {
        const auto offset =
            reinterpret_cast<std::uintptr_t>(record.ExceptionAddress) - reinterpret_cast<std::uintptr_t>(module.handle);
        std::fprintf(stderr, "fault 0x%08lX in %s at offset 0x%X (stack pointer %p)\n", record.ExceptionCode,
                     kModuleFile, static_cast<unsigned>(offset),
                     reinterpret_cast<void*>(exception->ContextRecord->Esp));
        std::fflush(stderr);
        std::_Exit(3);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool loadModule(const char* file, std::string& error) {
    module.handle = LoadLibraryA(file);
    if (module.handle == nullptr) {
        error = std::string("LoadLibraryA(") + file + ") failed with error " + std::to_string(GetLastError());
        return false;
    }
    if (!find("QueryXfm", 2, module.queryXfm, error) || !find("XfmInit", 3, module.xfmInit, error) ||
        !find("XfmSetup", 4, module.xfmSetup, error) || !find("XfmDo", 5, module.xfmDo, error) ||
        !find("XfmDestroy", 6, module.xfmDestroy, error)) {
        return false;
    }
    AddVectoredExceptionHandler(1, onFaultInModule);
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
