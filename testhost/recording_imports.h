// The test host's stand-ins for the four system functions the module imports
// (MessageBoxA, GlobalAlloc, GlobalFree, lstrcpyA). Patched into the loaded
// module's import table, they record each call into the current FakeWorld in
// the same words as the unit tests' fake platform, answer questions as the
// world scripts them, and serve memory from guarded blocks.
#ifndef TESMORA_TESTHOST_RECORDING_IMPORTS_H
#define TESMORA_TESTHOST_RECORDING_IMPORTS_H

#include <windows.h>

#include <deque>

namespace tesmora::testhost {

// Patches all four into module; false when one of them is not imported.
bool recordImportsOf(HMODULE module);

// Raw MessageBoxA results to answer with before the world's scripted answers
// (IDCANCEL, IDOK, ...).
extern std::deque<int> rawAnswers;

}  // namespace tesmora::testhost

#endif
