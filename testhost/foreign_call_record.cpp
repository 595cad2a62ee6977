// A foreign call's record as it is set up, and what the callee left behind
// judged against the stdcall contract: shared by the trampoline under wine and
// the emulated caller.
#include <cstdio>

#include "foreign_call.h"

namespace tesmora::testhost {

namespace {

constexpr std::uint32_t kDirectionFlag = 1u << 10;
constexpr std::uint32_t kEmptyX87Stack = 0xFFFF;

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

ForeignCall foreignCallOf(std::uint32_t function, std::initializer_list<std::uint32_t> arguments,
                          std::uint32_t stackOffset, std::uint16_t x87Control, std::uint32_t mxcsr,
                          std::uint32_t callNumber) {
    ForeignCall call{};
    call.function = function;
    for (const std::uint32_t argument : arguments) call.arguments[call.argumentCount++] = argument;
    call.stackOffset = stackOffset;
    call.x87Control = x87Control;
    call.mxcsr = mxcsr;
    const std::uint32_t sentinels[] = {0xB0000000u, 0x51000000u, 0xD1000000u, 0xEB000000u};
    for (int i = 0; i < 4; ++i) call.preserved[i] = sentinels[i] + (callNumber & 0xFFFFFF);
    return call;
}

std::vector<std::string> conventionBreaches(const ForeignCall& call) {
    std::vector<std::string> breaches;
    const std::uint32_t expectedStack = call.stackAtCall + 4 * call.argumentCount;
    if (call.stackAfter != expectedStack) {
        breaches.push_back("esp after the return is " + hex(call.stackAfter) + ", not " + hex(expectedStack) +
                           " (the callee pops its arguments)");
    }
    const char* const registers[] = {"ebx", "esi", "edi", "ebp"};
    for (int i = 0; i < 4; ++i) {
        if (call.preservedAfter[i] != call.preserved[i]) {
            breaches.push_back(std::string(registers[i]) + " changed from " + hex(call.preserved[i]) + " to " +
                               hex(call.preservedAfter[i]));
        }
    }
    if ((call.x87ControlAfter & 0xFFFF) != (call.x87Control & 0xFFFF)) {
        breaches.push_back("x87 control word changed to " + hex(call.x87ControlAfter));
    }
    if (call.x87TagAfter != kEmptyX87Stack) breaches.emplace_back("x87 register stack not empty");
    if (call.mxcsrAfter != call.mxcsr) breaches.push_back("MXCSR changed to " + hex(call.mxcsrAfter));
    if ((call.flagsAfter & kDirectionFlag) != 0) breaches.emplace_back("direction flag set");
    return breaches;
}

}  // namespace tesmora::testhost
