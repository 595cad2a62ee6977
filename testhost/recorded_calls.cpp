#include "recorded_calls.h"

#include <cstring>
#include <string>

#include "fake_world.h"

namespace tesmora::testhost {

std::deque<int> rawAnswers;

namespace {

using testing::currentWorld;
using testing::FakeWorld;

std::string text(const char* s) {
    return s == nullptr ? std::string("null") : std::string(s);
}

int answerFor(FakeWorld& world) {
    if (!rawAnswers.empty()) {
        const int answer = rawAnswers.front();
        rawAnswers.pop_front();
        return answer;
    }
    if (world.answers.empty()) {
        return kIdYes;
    }
    const platform::Answer answer = world.answers.front();
    world.answers.pop_front();
    switch (answer) {
        case platform::Answer::no: return kIdNo;
        case platform::Answer::failed: return 0;
        default: return kIdYes;
    }
}

}  // namespace

// Boxes with the module's caption and the exact styles of its error and its
// question are recorded as such; anything else is recorded verbatim, so that a
// wrong caption, style or owner shows in the log.
int recordMessageBox(std::uint32_t owner, const char* body, const char* caption, std::uint32_t style) {
    FakeWorld& world = currentWorld();
    const bool titled = caption != nullptr && std::strcmp(caption, "Tesmora") == 0;
    if (titled && owner == 0 && style == kErrorStyle) {
        world.log.push_back("error(" + text(body) + ")");
        return kIdOk;
    }
    if (titled && style == kQuestionStyle) {
        world.log.push_back("ask(" + std::to_string(owner) + ", " + text(body) + ")");
        return answerFor(world);
    }
    world.log.push_back("MessageBoxA(" + std::to_string(owner) + ", " + text(body) + ", " + text(caption) + ", " +
                        std::to_string(style) + ")");
    return kIdOk;
}

bool recordAllocation(std::uint32_t flags, std::uint32_t byteCount) {
    FakeWorld& world = currentWorld();
    world.log.push_back(flags == kFixedMemory
                            ? "allocate(" + std::to_string(byteCount) + ")"
                            : "GlobalAlloc(" + std::to_string(flags) + ", " + std::to_string(byteCount) + ")");
    return !world.failAllocation && byteCount <= world.allocationLimit;
}

void recordServed(const void* block, std::uint32_t byteCount) {
    FakeWorld& world = currentWorld();
    ++world.allocations;
    world.liveBlocks[block] = byteCount;
}

bool recordRelease(const void* block) {
    FakeWorld& world = currentWorld();
    world.log.emplace_back("release");
    if (world.liveBlocks.erase(block) != 1) {
        world.faults.emplace_back("release of a block that is not held");
        return false;
    }
    ++world.releases;
    return true;
}

void recordCopy(const char* source) {
    currentWorld().log.push_back("copyText(" + text(source) + ")");
}

}  // namespace tesmora::testhost
