#include "guarded_block.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>

namespace tesmora::testhost {

namespace {

constexpr std::size_t kPage = 4096;

// The reservations of the blocks now held.
std::set<void*> reservations;

std::size_t pagesFor(std::size_t byteCount) {
    return (byteCount + kPage - 1) / kPage;
}

LONG WINAPI onAccessViolation(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    MEMORY_BASIC_INFORMATION info{};
    const auto* address = reinterpret_cast<const void*>(record.ExceptionInformation[1]);
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && VirtualQuery(address, &info, sizeof info) != 0 &&
        reservations.count(info.AllocationBase) != 0) {
        std::fprintf(stderr, "overrun: %s of guard page at %p (instruction %p)\n",
                     record.ExceptionInformation[0] == 0 ? "read" : "write", address, record.ExceptionAddress);
        std::fflush(stderr);
        std::_Exit(3);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void* allocateGuarded(std::size_t byteCount, Guard guard) {
    // At least one usable page, so that even an empty block lies inside the reservation.
    const std::size_t pages = byteCount == 0 ? 1 : pagesFor(byteCount);
    auto* base =
        static_cast<char*>(VirtualAlloc(nullptr, (pages + 1) * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (base == nullptr) {
        return nullptr;
    }
    reservations.insert(base);
    DWORD previous = 0;
    if (guard == Guard::afterEnd) {
        VirtualProtect(base + pages * kPage, kPage, PAGE_NOACCESS, &previous);
        return base + pages * kPage - byteCount;
    }
    VirtualProtect(base, kPage, PAGE_NOACCESS, &previous);
    return base + kPage;
}

void releaseGuarded(void* block) {
    // The reservation begins at or before the block, in the same allocation.
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(block, &info, sizeof info);
    reservations.erase(info.AllocationBase);
    VirtualFree(info.AllocationBase, 0, MEM_RELEASE);
}

void reportGuardFaults() {
    AddVectoredExceptionHandler(1, onAccessViolation);
}

}  // namespace tesmora::testhost
