// The module's native shared library, loaded at run time as the editor loads
// its transform modules, with its five entry points found by name.
#ifndef TESMORA_CLI_MODULE_LOADER_H
#define TESMORA_CLI_MODULE_LOADER_H

#include <string>

#include "xfm.h"

namespace tesmora::cli {

struct EntryPoints {
    decltype(&::QueryXfm) queryXfm = nullptr;
    decltype(&::XfmInit) xfmInit = nullptr;
    decltype(&::XfmSetup) xfmSetup = nullptr;
    decltype(&::XfmDo) xfmDo = nullptr;
    decltype(&::XfmDestroy) xfmDestroy = nullptr;
};

// The library beside this program (the build tree) if it is there, else the
// installed one, TESMORA_MODULE_FROM_PROGRAM from the program's folder.
std::string defaultModulePath();

// Owns the loaded library: XfmInit on loading, XfmDestroy and dlclose when
// destroyed. Throws HostError when the library cannot be loaded, lacks an
// entry point or refuses XfmInit.
class LoadedModule {
public:
    explicit LoadedModule(const std::string& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const EntryPoints& entryPoints() const { return entryPoints_; }
    const std::string& path() const { return path_; }
    // The version written into the file, or empty when it carries none.
    std::string fileVersion() const;

private:
    std::string path_;
    void* handle_ = nullptr;
    EntryPoints entryPoints_;
};

}  // namespace tesmora::cli

#endif
