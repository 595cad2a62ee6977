#include "recording_imports.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "fake_world.h"
#include "guarded_block.h"
#include "import_patch.h"

namespace tesmora::testhost {

std::deque<int> rawAnswers;

namespace {

using testing::currentWorld;
using testing::FakeWorld;

decltype(&lstrcpyA) systemCopy = nullptr;
int allocationsServed = 0;

std::string text(const char* s) {
    return s == nullptr ? std::string("null") : std::string(s);
}

std::string owner(HWND window) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(window));
}

int answerFor(FakeWorld& world) {
    if (!rawAnswers.empty()) {
        const int answer = rawAnswers.front();
        rawAnswers.pop_front();
        return answer;
    }
    if (world.answers.empty()) {
        return IDYES;
    }
    const platform::Answer answer = world.answers.front();
    world.answers.pop_front();
    switch (answer) {
        case platform::Answer::no: return IDNO;
        case platform::Answer::failed: return 0;
        default: return IDYES;
    }
}

// Boxes with the module's caption and the exact styles of its error and its
// question are recorded as such; anything else is recorded verbatim, so that a
// wrong caption, style or owner shows in the log.
int WINAPI recordMessageBox(HWND window, LPCSTR body, LPCSTR caption, UINT style) {
    FakeWorld& world = currentWorld();
    const bool titled = caption != nullptr && std::strcmp(caption, "Tesmora") == 0;
    if (titled && window == nullptr && style == (MB_OK | MB_ICONERROR)) {
        world.log.push_back("error(" + text(body) + ")");
        return IDOK;
    }
    if (titled && style == (MB_YESNO | MB_ICONQUESTION)) {
        world.log.push_back("ask(" + owner(window) + ", " + text(body) + ")");
        return answerFor(world);
    }
    world.log.push_back("MessageBoxA(" + owner(window) + ", " + text(body) + ", " + text(caption) + ", " +
                        std::to_string(style) + ")");
    return IDOK;
}

HGLOBAL WINAPI recordGlobalAlloc(UINT flags, SIZE_T byteCount) {
    FakeWorld& world = currentWorld();
    world.log.push_back(flags == GMEM_FIXED
                            ? "allocate(" + std::to_string(byteCount) + ")"
                            : "GlobalAlloc(" + std::to_string(flags) + ", " + std::to_string(byteCount) + ")");
    if (world.failAllocation || byteCount > world.allocationLimit) {
        return nullptr;
    }
    // Alternate the guard between the block's end and its start.
    const Guard guard = allocationsServed++ % 2 == 0 ? Guard::afterEnd : Guard::beforeStart;
    void* block = allocateGuarded(byteCount, guard);
    if (block != nullptr) {
        ++world.allocations;
        world.liveBlocks[block] = static_cast<std::uint32_t>(byteCount);
    }
    return block;
}

HGLOBAL WINAPI recordGlobalFree(HGLOBAL block) {
    FakeWorld& world = currentWorld();
    world.log.emplace_back("release");
    if (world.liveBlocks.erase(block) != 1) {
        world.faults.emplace_back("release of a block that is not held");
        return block;
    }
    ++world.releases;
    releaseGuarded(block);
    return nullptr;
}

LPSTR WINAPI recordCopy(LPSTR destination, LPCSTR source) {
    currentWorld().log.push_back("copyText(" + text(source) + ")");
    return systemCopy(destination, source);
}

}  // namespace

bool recordImportsOf(HMODULE module) {
    systemCopy = reinterpret_cast<decltype(systemCopy)>(
        patchImport(module, "KERNEL32.dll", "lstrcpyA", reinterpret_cast<void*>(recordCopy)));
    const bool patched =
        patchImport(module, "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(recordMessageBox)) != nullptr &&
        patchImport(module, "KERNEL32.dll", "GlobalAlloc", reinterpret_cast<void*>(recordGlobalAlloc)) != nullptr &&
        patchImport(module, "KERNEL32.dll", "GlobalFree", reinterpret_cast<void*>(recordGlobalFree)) != nullptr;
    return patched && systemCopy != nullptr;
}

}  // namespace tesmora::testhost
