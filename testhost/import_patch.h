// Redirects one import of a loaded module: the entry of its import address
// table for dllName!functionName is replaced, as a host's debugger or a
// validator would do, so that the module's calls reach the replacement.
#ifndef TESMORA_TESTHOST_IMPORT_PATCH_H
#define TESMORA_TESTHOST_IMPORT_PATCH_H

#include <windows.h>

namespace tesmora::testhost {

// Returns the address the entry held before, or null when the module does not
// import that function by name.
void* patchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement);

}  // namespace tesmora::testhost

#endif
