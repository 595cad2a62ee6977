// Loads a 32-bit Windows DLL into the emulated machine as Windows loads it
// with LoadLibrary: laid out away from its preferred base (as address-space
// layout randomisation moves it), its imports bound to the emulated system
// functions, each section with its own page access, every instruction with an
// aligned memory operand checked as it runs, its thread-local storage set up,
// its TLS callbacks and entry point told of the process attach; and at the
// end of the process, told of the detach.
#ifndef TESMORA_TESTHOST_EMULATED_DLL_LOADER_H
#define TESMORA_TESTHOST_EMULATED_DLL_LOADER_H

#include <string>

#include "machine.h"
#include "pe_image.h"
#include "system_imports.h"

namespace tesmora::emulated {

struct LoadedDll {
    std::string path;
    std::string name;  // the file's name, for messages
    PeImage image;
};

// On failure returns false and says why in error: a damaged file, an import
// the emulated system does not serve (named), a fault or a convention breach
// of the start-up code, or an entry point that answers 0.
bool loadDll(Machine& machine, SystemImports& system, const std::string& path, LoadedDll& dll, std::string& error);

// The address of the export with this name, checked to be the one its
// ordinal gives; 0 with the reason in error otherwise.
Address exportOf(const LoadedDll& dll, const std::string& name, std::uint32_t ordinal, std::string& error);

// Tells the DLL of the process detach; false, with the reason, on a fault.
bool unloadDll(Machine& machine, const LoadedDll& dll, std::string& error);

}  // namespace tesmora::emulated

#endif
