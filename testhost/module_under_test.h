// The module the test host's programs call, loaded by the caller they are
// built with: wine's own loader and the foreign-call trampoline, or the
// emulated caller with a loader of its own. The tests, the stress run and
// their main functions are the same for both.
#ifndef TESMORA_TESTHOST_MODULE_UNDER_TEST_H
#define TESMORA_TESTHOST_MODULE_UNDER_TEST_H

#include <string>

namespace tesmora::testhost {

// The module's file when none is named: the one built beside the programs.
constexpr const char kModuleFile[] = "tesmora.xfm";

// Loads the module from path and binds the entry points the tests call to its
// exports. On failure returns false and says why in error.
bool loadModuleUnderTest(const std::string& path, std::string& error);

// Ends the module's life as a host does when it unloads it; false, with the
// reason, when that went wrong.
bool unloadModuleUnderTest(std::string& error);

// How the module is called, for the programs' closing lines.
const char* callerKind();

}  // namespace tesmora::testhost

#endif
