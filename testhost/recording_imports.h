// The test host's stand-ins for the four system functions the module imports
// (MessageBoxA, GlobalAlloc, GlobalFree, lstrcpyA). Patched into the loaded
// module's import table, they record each call (recorded_calls.h), answer
// questions as the world scripts them, and serve memory from guarded blocks.
#ifndef TESMORA_TESTHOST_RECORDING_IMPORTS_H
#define TESMORA_TESTHOST_RECORDING_IMPORTS_H

#include <windows.h>

namespace tesmora::testhost {

// Patches all four into module; false when one of them is not imported.
bool recordImportsOf(HMODULE module);

}  // namespace tesmora::testhost

#endif
