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
    ForeignCall call = foreignCallOf(address(function), arguments, stackOffset, x87Control, mxcsr, ++calls);
    tesmoraForeignCall(&call);
    return call;
}

}  // namespace tesmora::testhost
