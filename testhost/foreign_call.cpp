#include "foreign_call.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

extern "C" {
// In foreign_call.S.
extern std::uint32_t tesmoraForeignCallSlot;
void tesmoraForeignCall(tesmora::testhost::ForeignCall* call);
}

namespace tesmora::testhost {

namespace {

constexpr std::uint32_t kDirectionFlag = 1u << 10;
constexpr std::uint32_t kEmptyX87Stack = 0xFFFF;

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The TEB holds the first 64 TLS slots inline, where the trampoline reads its
// slot without calling anything.
constexpr DWORD kInlineTlsSlots = 64;

bool reserveSlot() {
    const DWORD slot = TlsAlloc();
    if (slot == TLS_OUT_OF_INDEXES || slot >= kInlineTlsSlots) {
        std::fprintf(stderr, "foreign call: no TLS slot below %lu\n", kInlineTlsSlots);
        std::exit(1);
    }
    tesmoraForeignCallSlot = slot;
    return true;
}

}  // namespace

std::uint32_t address(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

ForeignCall callForeign(const void* function, std::initializer_list<std::uint32_t> arguments, std::uint32_t stackOffset,
                        std::uint16_t x87Control, std::uint32_t mxcsr) {
    static const bool reserved = reserveSlot();
    (void)reserved;
    static std::atomic<std::uint32_t> calls{0};
    ForeignCall call{};
    call.function = address(function);
    for (const std::uint32_t argument : arguments) call.arguments[call.argumentCount++] = argument;
    call.stackOffset = stackOffset;
    call.x87Control = x87Control;
    call.mxcsr = mxcsr;
    const std::uint32_t count = ++calls & 0xFFFFFF;
    const std::uint32_t sentinels[] = {0xB0000000u, 0x51000000u, 0xD1000000u, 0xEB000000u};
    for (int i = 0; i < 4; ++i) call.preserved[i] = sentinels[i] + count;
    tesmoraForeignCall(&call);
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
