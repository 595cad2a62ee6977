// Every way a foreign 32-bit Windows program may call the module: from each
// stack alignment the convention allows (any multiple of 4), with the
// floating-point state Windows starts a program with, and with the one a host
// may have set for itself.
#include <string>

#include "caller.h"
#include "foreign_call.h"

namespace tesmora::testing {

namespace {

// A host that asked for single-precision x87 arithmetic (as Direct3D does)
// and unmasked every SSE exception: any floating-point fault of the module
// would trap.
constexpr std::uint16_t kSingleX87 = 0x007F;
constexpr std::uint32_t kTrappingMxcsr = 0x0000;

std::vector<Caller> everyCaller() {
    std::vector<Caller> all;
    for (std::uint32_t offset : {0u, 4u, 8u, 12u}) {
        const std::string stack = "StackAt" + std::to_string(offset) + "Mod16";
        all.push_back({stack, offset, testhost::kWindowsX87Control, testhost::kWindowsMxcsr});
        all.push_back({stack + "_SinglePrecisionTrappingSse", offset, kSingleX87, kTrappingMxcsr});
    }
    return all;
}

}  // namespace

const std::vector<Caller>& callers() {
    static const std::vector<Caller> all = everyCaller();
    return all;
}

}  // namespace tesmora::testing
