#include "recording_imports.h"

#include <cstdint>

#include "guarded_block.h"
#include "import_patch.h"
#include "recorded_calls.h"

namespace tesmora::testhost {

namespace {

decltype(&lstrcpyA) systemCopy = nullptr;
int allocationsServed = 0;

int WINAPI recordMessageBoxA(HWND window, LPCSTR body, LPCSTR caption, UINT style) {
    return recordMessageBox(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)), body, caption, style);
}

HGLOBAL WINAPI recordGlobalAlloc(UINT flags, SIZE_T byteCount) {
    if (!recordAllocation(flags, byteCount)) {
        return nullptr;
    }
    // Alternate the guard between the block's end and its start.
    const Guard guard = allocationsServed++ % 2 == 0 ? Guard::afterEnd : Guard::beforeStart;
    void* block = allocateGuarded(byteCount, guard);
    if (block != nullptr) {
        recordServed(block, byteCount);
    }
    return block;
}

HGLOBAL WINAPI recordGlobalFree(HGLOBAL block) {
    if (!recordRelease(block)) {
        return block;
    }
    releaseGuarded(block);
    return nullptr;
}

LPSTR WINAPI recordLstrcpyA(LPSTR destination, LPCSTR source) {
    recordCopy(source);
    return systemCopy(destination, source);
}

}  // namespace

bool recordImportsOf(HMODULE module) {
    systemCopy = reinterpret_cast<decltype(systemCopy)>(
        patchImport(module, "KERNEL32.dll", "lstrcpyA", reinterpret_cast<void*>(recordLstrcpyA)));
    const bool patched =
        patchImport(module, "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(recordMessageBoxA)) != nullptr &&
        patchImport(module, "KERNEL32.dll", "GlobalAlloc", reinterpret_cast<void*>(recordGlobalAlloc)) != nullptr &&
        patchImport(module, "KERNEL32.dll", "GlobalFree", reinterpret_cast<void*>(recordGlobalFree)) != nullptr;
    return patched && systemCopy != nullptr;
}

}  // namespace tesmora::testhost
