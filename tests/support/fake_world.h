// A recording stand-in for everything around the module: a host with a
// waveform in memory, and the platform services (message boxes, memory, text
// copy). Every call lands in one log, in order, so that tests can check the
// exact sequence of host calls and messages.
//
// The platform side has two recorders that write the same entries: the fake
// platform linked into the unit tests, and the import hooks of the test host
// that loads the real DLL. The same tests thus run against both.
#ifndef TESMORA_TESTS_FAKE_WORLD_H
#define TESMORA_TESTS_FAKE_WORLD_H

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "memory_host.h"
#include "platform.h"
#include "xfm.h"

namespace tesmora::testing {

struct FakeWorld {
    // Every call, rendered as text: "error(No memory.)", "readData(20, 14)",
    // "allocate(80)", "release", "ask(owner, text)", "copyText(text)", ...
    std::vector<std::string> log;

    // What the module did that a real host or platform would not survive:
    // writing outside the waveform, releasing a block it does not hold.
    std::vector<std::string> faults;

    // Platform scripting.
    bool failAllocation = false;
    std::uint32_t allocationLimit = 0xFFFFFFFF;       // larger blocks fail as if memory were short
    std::deque<platform::Answer> answers;             // next answers to questions; yes when empty
    std::map<const void*, std::uint32_t> liveBlocks;  // allocated and not yet released
    int allocations = 0;
    int releases = 0;

    // The host: 16-bit samples from sample 0, and how it behaves.
    std::vector<std::int16_t> waveform;
    std::uint32_t readResult = 0;                 // what readData answers (1 outside the waveform)
    std::optional<std::uint32_t> stopAtPosition;  // reportProgress sets the stop flag here
    volatile std::int32_t stopFlag = 0;

    FakeWorld();
    ~FakeWorld();
    FakeWorld(const FakeWorld&) = delete;
    FakeWorld& operator=(const FakeWorld&) = delete;

    // A one-channel 16-bit context selecting [start, end] with every host function.
    XfmContext context(std::uint32_t start, std::uint32_t end);

    // The log entries from `from` on.
    std::vector<std::string> calls(std::size_t from = 0) const;

private:
    FakeWorld* previous_;
    MemoryHost host_;  // serves the waveform; made and destroyed with the world, so it nests as worlds do
};

// The world the fakes record into: the one most recently constructed.
FakeWorld& currentWorld();

}  // namespace tesmora::testing

#endif
