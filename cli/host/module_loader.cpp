#include "module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "failure.h"
#include "module_file_version.h"

namespace tesmora::cli {

namespace {

// dlsym answers an object pointer; POSIX guarantees it converts to the
// function's pointer type.
template <typename Function>
void bind(void* handle, const std::string& path, const char* name, Function& function) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        throw HostError(path + " is not a Tesmora module: it does not export " + name);
    }
    std::memcpy(&function, &symbol, sizeof function);
}

}  // namespace

std::string defaultModulePath() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return "tesmora.so";
    const std::filesystem::path folder =
        std::filesystem::path(std::string(buffer.data(), static_cast<std::size_t>(length))).parent_path();
    // In the build tree the library lies beside the program; installed, in
    // its own folder under lib/.
    const std::filesystem::path beside = folder / "tesmora.so";
    if (access(beside.c_str(), F_OK) == 0) return beside.string();
    return (folder / TESMORA_MODULE_FROM_PROGRAM).lexically_normal().string();
}

LoadedModule::LoadedModule(const std::string& path) : path_(path) {
    // A bare name would make dlopen search the library path instead of the folder.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw HostError("cannot load the module " + path + ": " + (reason != nullptr ? reason : "unknown error"));
    }
    try {
        bind(handle_, path, "QueryXfm", entryPoints_.queryXfm);
        bind(handle_, path, "XfmInit", entryPoints_.xfmInit);
        bind(handle_, path, "XfmSetup", entryPoints_.xfmSetup);
        bind(handle_, path, "XfmDo", entryPoints_.xfmDo);
        bind(handle_, path, "XfmDestroy", entryPoints_.xfmDestroy);
        if (entryPoints_.xfmInit(0) == 0) throw HostError("the module " + path + " refused to start (XfmInit)");
    } catch (...) {
        dlclose(handle_);
        throw;
    }
}

std::string LoadedModule::fileVersion() const {
    return moduleFileVersion(handle_);
}

LoadedModule::~LoadedModule() {
    entryPoints_.xfmDestroy(0);
    dlclose(handle_);
}

}  // namespace tesmora::cli
