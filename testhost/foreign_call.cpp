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

}  // namespace tesmora::testhost
