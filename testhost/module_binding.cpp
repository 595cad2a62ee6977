// The entry points the shared tests call, bound to the loaded module's
// exports and called through the foreign-caller trampoline as the current
// caller would; every call's breaches of the stdcall contract are kept for
// takeConventionFaults.
#include <string>
#include <vector>

#include "caller.h"
#include "foreign_call.h"
#include "guarded_block.h"
#include "loaded_module.h"
#include "module_under_test.h"

namespace tesmora::testing {

namespace {

Caller current = callers().front();
std::vector<std::string> faults;

template <typename... Arguments>
std::uint32_t call(const char* name, const void* function, Arguments... arguments) {
    const testhost::ForeignCall c = testhost::callForeign(function, {static_cast<std::uint32_t>(arguments)...},
                                                          current.stackOffset, current.x87Control, current.mxcsr);
    for (const auto& breach : testhost::conventionBreaches(c)) {
        faults.push_back(std::string(name) + " called as " + current.name + ": " + breach);
    }
    return c.result;
}

}  // namespace

void callAs(const Caller& caller) {
    current = caller;
}

std::vector<std::string> takeConventionFaults() {
    std::vector<std::string> taken;
    taken.swap(faults);
    return taken;
}

}  // namespace tesmora::testing

namespace tesmora::testhost {

bool loadModuleUnderTest(const std::string& path, std::string& error) {
    if (!loadModule(path.c_str(), error)) return false;
    reportGuardFaults();
    return true;
}

// The process ends with the module loaded, as an editor's often does.
bool unloadModuleUnderTest(std::string& /*error*/) {
    return true;
}

const char* callerKind() {
    return "foreign caller under wine";
}

}  // namespace tesmora::testhost

using tesmora::testhost::address;
using tesmora::testhost::loadedModule;
using tesmora::testing::call;

// The results keep the width of each export's own result: QueryXfm's is 16
// bits, and the rest of eax is not part of it.
XFM_EXTERN_C uint16_t XFM_WINAPI QueryXfm(XfmQuery* query) {
    return static_cast<uint16_t>(
        call("QueryXfm", reinterpret_cast<const void*>(loadedModule().queryXfm), address(query)));
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmInit(uint32_t unused) {
    return static_cast<int32_t>(call("XfmInit", reinterpret_cast<const void*>(loadedModule().xfmInit), unused));
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmSetup(void* ownerWindow, uint32_t unused, const XfmContext* context) {
    return static_cast<int32_t>(call("XfmSetup", reinterpret_cast<const void*>(loadedModule().xfmSetup),
                                     address(ownerWindow), unused, address(context)));
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmDo(XfmContext* context) {
    return static_cast<int32_t>(call("XfmDo", reinterpret_cast<const void*>(loadedModule().xfmDo), address(context)));
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmDestroy(uint32_t unused) {
    return static_cast<int32_t>(call("XfmDestroy", reinterpret_cast<const void*>(loadedModule().xfmDestroy), unused));
}
