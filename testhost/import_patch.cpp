#include "import_patch.h"

#include <cstring>

namespace tesmora::testhost {

namespace {

template <typename T>
T* at(HMODULE module, DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

void* replaceEntry(IMAGE_THUNK_DATA* entry, void* replacement) {
    DWORD protection = 0;
    VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection);
    void* original = reinterpret_cast<void*>(entry->u1.Function);
    entry->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
    VirtualProtect(entry, sizeof *entry, protection, &protection);
    return original;
}

}  // namespace

void* patchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement) {
    const auto* dos = at<IMAGE_DOS_HEADER>(module, 0);
    const auto* nt = at<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library = at<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); library->Name != 0; ++library) {
        if (lstrcmpiA(at<char>(module, library->Name), dllName) != 0) {
            continue;
        }
        // The name table lists what the address table was bound from.
        const auto* name = at<IMAGE_THUNK_DATA>(
            module, library->OriginalFirstThunk != 0 ? library->OriginalFirstThunk : library->FirstThunk);
        auto* entry = at<IMAGE_THUNK_DATA>(module, library->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++entry) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
                continue;
            }
            const auto* byName = at<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(name->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), functionName) == 0) {
                return replaceEntry(entry, replacement);
            }
        }
    }
    return nullptr;
}

}  // namespace tesmora::testhost
