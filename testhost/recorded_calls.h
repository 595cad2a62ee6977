// What the module asks of the system (message boxes, fixed memory blocks, text
// copies), recorded into the current FakeWorld in the words of the unit tests'
// fake platform and answered as the world scripts it. The import hooks of the
// test host under wine and the import stubs of the emulated caller both record
// through here, so that the same tests hold against either.
#ifndef TESMORA_TESTHOST_RECORDED_CALLS_H
#define TESMORA_TESTHOST_RECORDED_CALLS_H

#include <cstdint>
#include <deque>

namespace tesmora::testhost {

// MessageBoxA's answers and the styles the module uses, as USER32 numbers them.
enum MessageBoxAnswer : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdAbort = 3,
    kIdRetry = 4,
    kIdIgnore = 5,
    kIdYes = 6,
    kIdNo = 7
};
constexpr std::uint32_t kErrorStyle = 0x10;     // MB_OK | MB_ICONERROR
constexpr std::uint32_t kQuestionStyle = 0x24;  // MB_YESNO | MB_ICONQUESTION
constexpr std::uint32_t kFixedMemory = 0;       // GMEM_FIXED

// Raw MessageBoxA results to answer with before the world's scripted answers
// (kIdCancel, kIdOk, ...).
extern std::deque<int> rawAnswers;

// A message box (texts may be null): recorded as "error(...)" or
// "ask(owner, ...)" when it has the module's caption and exact style,
// verbatim otherwise. Answers what MessageBoxA would.
int recordMessageBox(std::uint32_t owner, const char* body, const char* caption, std::uint32_t style);

// A GlobalAlloc request: recorded; true when the world lets it be served.
bool recordAllocation(std::uint32_t flags, std::uint32_t byteCount);

// The block that served it (any address that names it).
void recordServed(const void* block, std::uint32_t byteCount);

// A GlobalFree: recorded; true when the block was held (it is then to be
// released), false after recording the fault.
bool recordRelease(const void* block);

// An lstrcpyA of source (may be null).
void recordCopy(const char* source);

}  // namespace tesmora::testhost

#endif
