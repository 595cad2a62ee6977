// The recording platform: the module's platform services, as the unit tests
// see them. Each call lands in the current FakeWorld's log.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake_world.h"
#include "platform.h"

namespace tesmora::platform {

using testing::currentWorld;

void showError(const char* text) {
    currentWorld().log.push_back("error(" + std::string(text) + ")");
}

Answer askYesNo(void* ownerWindow, const char* text) {
    testing::FakeWorld& w = currentWorld();
    w.log.push_back("ask(" + std::to_string(reinterpret_cast<std::uintptr_t>(ownerWindow)) + ", " + text + ")");
    if (w.answers.empty()) {
        return Answer::yes;
    }
    const Answer answer = w.answers.front();
    w.answers.pop_front();
    return answer;
}

// Exactly the bytes asked for, so that AddressSanitizer sees any overrun.
void* allocateBlock(std::uint32_t byteCount) {
    testing::FakeWorld& w = currentWorld();
    w.log.push_back("allocate(" + std::to_string(byteCount) + ")");
    if (w.failAllocation || byteCount > w.allocationLimit) {
        return nullptr;
    }
    void* block = std::malloc(byteCount);
    ++w.allocations;
    w.liveBlocks[block] = byteCount;
    return block;
}

void releaseBlock(void* block) {
    testing::FakeWorld& w = currentWorld();
    w.log.push_back("release");
    if (w.liveBlocks.erase(block) != 1) {
        w.faults.push_back("release of a block that is not held");
        return;
    }
    ++w.releases;
    std::free(block);
}

void copyText(char* destination, const char* source) {
    currentWorld().log.push_back("copyText(" + std::string(source) + ")");
    std::strcpy(destination, source);
}

}  // namespace tesmora::platform
