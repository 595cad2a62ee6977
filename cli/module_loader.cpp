#include "module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "failure.h"

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
    std::string program(buffer.data(), static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/') + 1) + "tesmora.so";
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

LoadedModule::~LoadedModule() {
    entryPoints_.xfmDestroy(0);
    dlclose(handle_);
}

}  // namespace tesmora::cli
