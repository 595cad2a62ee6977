// A call into the module made as a foreign 32-bit Windows program makes it:
// from a stack pointer at any multiple of 4 (the only alignment the 32-bit
// convention promises), with the callee-saved registers holding values of the
// caller's, and with the caller's own x87 control word and MXCSR in force.
// The call reports what the callee left behind, so that the test host can
// check the stdcall contract and not just the result.
#ifndef TESMORA_TESTHOST_FOREIGN_CALL_H
#define TESMORA_TESTHOST_FOREIGN_CALL_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tesmora::testhost {

// Read and written by foreign_call.S at the offsets asserted below.
struct ForeignCall {
    // What the caller sets up.
    std::uint32_t function;       // address of the stdcall function to call
    std::uint32_t arguments[4];   // first argument first: pushed right to left
    std::uint32_t argumentCount;  // how many of them, 0 to 4
    std::uint32_t stackOffset;    // esp modulo 16 at the call instruction: 0, 4, 8 or 12
    std::uint32_t x87Control;     // x87 control word loaded before the call (low 16 bits)
    std::uint32_t mxcsr;          // SSE control and status loaded before the call
    std::uint32_t preserved[4];   // ebx, esi, edi and ebp at the call

    // What the callee left, seen right after it returned.
    std::uint32_t result;             // eax
    std::uint32_t stackAtCall;        // esp at the call instruction
    std::uint32_t stackAfter;         // esp after the return
    std::uint32_t preservedAfter[4];  // ebx, esi, edi and ebp
    std::uint32_t x87ControlAfter;
    std::uint32_t x87TagAfter;  // 0xFFFF: the x87 register stack is empty
    std::uint32_t mxcsrAfter;
    std::uint32_t flagsAfter;  // eflags; bit 10 is the direction flag
};

static_assert(offsetof(ForeignCall, function) == 0);
static_assert(offsetof(ForeignCall, arguments) == 4);
static_assert(offsetof(ForeignCall, argumentCount) == 20);
static_assert(offsetof(ForeignCall, stackOffset) == 24);
static_assert(offsetof(ForeignCall, x87Control) == 28);
static_assert(offsetof(ForeignCall, mxcsr) == 32);
static_assert(offsetof(ForeignCall, preserved) == 36);
static_assert(offsetof(ForeignCall, result) == 52);
static_assert(offsetof(ForeignCall, stackAtCall) == 56);
static_assert(offsetof(ForeignCall, stackAfter) == 60);
static_assert(offsetof(ForeignCall, preservedAfter) == 64);
static_assert(offsetof(ForeignCall, x87ControlAfter) == 80);
static_assert(offsetof(ForeignCall, x87TagAfter) == 84);
static_assert(offsetof(ForeignCall, mxcsrAfter) == 88);
static_assert(offsetof(ForeignCall, flagsAfter) == 92);
static_assert(sizeof(ForeignCall) == 96);

// The floating-point state a Windows program starts with: 53-bit x87
// precision, every exception masked.
constexpr std::uint16_t kWindowsX87Control = 0x027F;
constexpr std::uint32_t kWindowsMxcsr = 0x1F80;

// The record of a call about to be made, with sentinels in the callee-saved
// registers that differ with callNumber, so that a stale value shows.
ForeignCall foreignCallOf(std::uint32_t function, std::initializer_list<std::uint32_t> arguments,
                          std::uint32_t stackOffset, std::uint16_t x87Control, std::uint32_t mxcsr,
                          std::uint32_t callNumber);

// A pointer as the 32-bit value pushed for it.
std::uint32_t address(const void* pointer);

// Calls the stdcall function with the arguments (at most 4), on the calling
// thread, from esp at stackOffset modulo 16 and under the given
// floating-point state, with sentinels in the callee-saved registers that
// change from call to call (so that a stale value shows). Restores the
// caller's own registers and floating-point state afterwards, whatever the
// callee did to them, and answers the whole record. Safe to use from several
// threads at once.
ForeignCall callForeign(const void* function, std::initializer_list<std::uint32_t> arguments, std::uint32_t stackOffset,
                        std::uint16_t x87Control = kWindowsX87Control, std::uint32_t mxcsr = kWindowsMxcsr);

// What the callee broke of the stdcall contract, one line each: esp not moved
// past the arguments, a callee-saved register changed, the x87 control word
// or MXCSR changed, a value left on the x87 stack, the direction flag set.
// Empty when it kept the contract.
std::vector<std::string> conventionBreaches(const ForeignCall& call);

}  // namespace tesmora::testhost

#endif
