// How the tests call the five entry points. Natively the module's logic is
// linked into the tests and called directly, the one way there is. The test
// host calls the real DLL as foreign 32-bit Windows programs do: from each
// stack alignment the convention allows, and with the floating-point state
// such a program may have set, checking after every call that the module kept
// the calling convention.
#ifndef TESMORA_TESTS_CALLER_H
#define TESMORA_TESTS_CALLER_H

#include <cstdint>
#include <string>
#include <vector>

namespace tesmora::testing {

struct Caller {
    std::string name;           // for test names: letters, digits and underscores
    std::uint32_t stackOffset;  // esp modulo 16 at the call
    std::uint16_t x87Control;   // the caller's x87 control word
    std::uint32_t mxcsr;        // the caller's SSE control and status
};

// Every way this build calls the entry points.
const std::vector<Caller>& callers();

// The entry points are called as caller from now on.
void callAs(const Caller& caller);

// What the calls since the last look broke of the calling convention, one
// line each ("XfmDo: ebx changed", ...); empty natively.
std::vector<std::string> takeConventionFaults();

}  // namespace tesmora::testing

#endif
