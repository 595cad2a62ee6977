// Memory blocks that touch a no-access page, so that the first byte read or
// written past their end (or before their start) faults at once.
#ifndef TESMORA_TESTHOST_GUARDED_BLOCK_H
#define TESMORA_TESTHOST_GUARDED_BLOCK_H

#include <cstddef>

namespace tesmora::testhost {

enum class Guard { afterEnd, beforeStart };

// Exactly byteCount usable bytes; null when there is no memory.
void* allocateGuarded(std::size_t byteCount, Guard guard);

// Releases a block from allocateGuarded.
void releaseGuarded(void* block);

// Turns an access to a guard page into a message naming it and a failed exit,
// instead of a bare crash.
void reportGuardFaults();

}  // namespace tesmora::testhost

#endif
