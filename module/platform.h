// What the module needs of the platform it runs on. One implementation is
// linked into each build: Win32 for the DLL, POSIX for the native library, and
// a recording fake for the tests.
#ifndef TESMORA_MODULE_PLATFORM_H
#define TESMORA_MODULE_PLATFORM_H

#include <cstdint>

namespace tesmora::platform {

// Shows text in a modal error message (caption "Tesmora", error icon, one OK
// button, no owner window) and returns when the user has closed it.
void showError(const char* text);

enum class Answer { yes, no, failed };

// Asks text as a modal yes/no question (caption "Tesmora", question icon) owned
// by ownerWindow. failed: the question could not be asked.
Answer askYesNo(void* ownerWindow, const char* text);

// A fixed block of exactly byteCount bytes, or null when there is no memory.
void* allocateBlock(std::uint32_t byteCount);

// Releases a block from allocateBlock.
void releaseBlock(void* block);

// Copies the NUL-terminated text source, terminator included, to destination.
void copyText(char* destination, const char* source);

}  // namespace tesmora::platform

#endif
