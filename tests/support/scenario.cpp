#include "scenario.h"

#include <cstring>

#include "line_repair_reference.h"
#include "tesmora_version.h"
#include "xfm.h"

namespace tesmora::testing {

namespace {

using Calls = std::vector<std::string>;

struct Expectation {
    std::string outcome;
    std::int64_t result = 0;
    Calls calls;
    std::vector<std::int16_t> waveform;
};

// What XfmDo must do: the checks in their order, the host calls, the repaired
// samples written back only when the repair completed.
Expectation expectXfmDo(const FakeWorld& world, const Scenario& s) {
    Expectation e{"", 0, {}, world.waveform};
    auto refuse = [&](const char* outcome, const char* message) {
        e.outcome = outcome;
        e.calls.push_back(std::string("error(") + message + ")");
        return e;
    };
    if (s.nullContext) {
        e.outcome = "null context";
        return e;
    }
    if (s.bitsPerSample != 16) return refuse("not 16-bit", "Can only handle 16-bit data.");
    const std::uint32_t count = s.selectionEnd - s.selectionStart + 1u;
    if (count <= 2) {
        e.outcome = "too short";
        e.result = 1;
        return e;
    }
    if (!s.withReadData || !s.withWriteData || !s.withCancelFlag) {
        return refuse("invalid context", "Invalid processing context.");
    }
    const std::uint64_t offset = std::uint64_t{s.frameSize} * s.selectionStart;
    const std::uint64_t bytes = std::uint64_t{s.frameSize} * count;
    if (bytes > 0xFFFFFFFFu || offset + bytes > (std::uint64_t{1} << 32)) {
        return refuse("too long", "Selection is too long.");
    }
    const std::string range = std::to_string(offset) + ", " + std::to_string(bytes) + ")";
    e.calls.push_back("allocate(" + std::to_string(bytes) + ")");
    if (s.failAllocation || bytes > world.allocationLimit) return refuse("no memory", "No memory.");
    if (s.withShowStatus) e.calls.emplace_back("showStatus(Making Line from Selection, 0)");
    e.calls.push_back("readData(" + range);

    auto finish = [&](const char* outcome, const char* message) {
        e.outcome = outcome;
        if (message != nullptr) e.calls.push_back(std::string("error(") + message + ")");
        if (s.withEndProcessing) e.calls.emplace_back("endProcessing(context, held 1)");
        e.calls.emplace_back("release");
        return e;
    };
    const bool delivered = (s.readResult & 0xFFFFu) == 0 && offset + bytes <= world.waveform.size() * 2;
    if (!delivered) return finish("read failed", "Can't read data.");
    if (s.channels != 1) return finish("stereo", "Select only one channel of stereo data.");
    if (s.frameSize != 2) return finish("frame size", "Unsupported sample frame size.");

    struct Hooks {
        const Scenario& s;
        Calls& calls;
        bool stop;
    } hooks{s, e.calls, s.stopOnEntry};
    const RepairHooks repairHooks{
        [](void* user, std::uint32_t position, std::uint32_t total) {
            auto& h = *static_cast<Hooks*>(user);
            if (!h.s.withReportProgress) return;
            h.calls.push_back("reportProgress(" + std::to_string(position) + ", " + std::to_string(total) + ")");
            if (h.s.stopAtPosition == position) h.stop = true;
        },
        [](void* user) { return static_cast<Hooks*>(user)->stop; }, &hooks};
    std::vector<std::int16_t> block(e.waveform.begin() + s.selectionStart,
                                    e.waveform.begin() + s.selectionStart + count);
    e.result = 1;
    if (LineRepairReference(block.data(), count, repairHooks) == RepairOutcome::stopped) {
        return finish("stopped", nullptr);
    }
    e.calls.push_back("writeData(" + range);
    std::copy(block.begin(), block.end(), e.waveform.begin() + s.selectionStart);
    return finish("repaired", nullptr);
}

Expectation expectXfmSetup(const FakeWorld& world, const Scenario& s) {
    Expectation e{"", 1, {}, world.waveform};
    if (s.nullContext) {
        e.outcome = "setup: null context";
        e.result = 0;
        return e;
    }
    if (s.selectionEnd - s.selectionStart + 1u <= 500) {
        e.outcome = "setup: not asked";
        return e;
    }
    e.calls.push_back("ask(" + std::to_string(s.ownerWindow) + ", You selected very long area.\nContinue?)");
    e.outcome = s.answer == platform::Answer::no ? "setup: declined" : "setup: go on";
    e.result = s.answer == platform::Answer::no ? 0 : 1;
    return e;
}

XfmContext contextFor(FakeWorld& world, const Scenario& s) {
    XfmContext c = world.context(s.selectionStart, s.selectionEnd);
    // The host's own fields hold something: the module must neither read nor change them.
    std::memset(c.hostFieldsA, 0xA5, sizeof c.hostFieldsA);
    std::memset(c.hostFieldsB, 0x5A, sizeof c.hostFieldsB);
    c.channels = s.channels;
    c.bitsPerSample = s.bitsPerSample;
    c.frameSize = s.frameSize;
    if (!s.withReadData) c.readData = nullptr;
    if (!s.withWriteData) c.writeData = nullptr;
    if (!s.withCancelFlag) c.cancelFlag = nullptr;
    if (!s.withReportProgress) c.reportProgress = nullptr;
    if (!s.withShowStatus) c.showStatus = nullptr;
    if (!s.withEndProcessing) c.endProcessing = nullptr;
    return c;
}

// The description record, pre-filled with a pattern that must survive
// wherever the module writes nothing.
void checkQuery(Verdict& verdict) {
    unsigned char bytes[sizeof(XfmQuery)];
    std::memset(bytes, 0xC3, sizeof bytes);
    const std::uint16_t result = QueryXfm(reinterpret_cast<XfmQuery*>(bytes));
    unsigned char expected[sizeof(XfmQuery)];
    std::memset(expected, 0xC3, sizeof expected);
    auto put = [&](std::size_t offset, const char* text) {
        std::memcpy(expected + offset, text, std::strlen(text) + 1);
    };
    put(0, "Tesmora");
    put(40, TESMORA_COPYRIGHT);
    put(120, "Make line from possible clilck");
    put(200, "");
    put(248, "");
    const unsigned char numbers[] = {12, 0, 17, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(expected + 190, numbers, sizeof numbers);
    if (result != 0x0480) verdict.mismatches.push_back("QueryXfm returned " + std::to_string(result));
    if (std::memcmp(bytes, expected, sizeof bytes) != 0) verdict.mismatches.emplace_back("QueryXfm wrote other bytes");
}

void compare(Verdict& verdict, const Expectation& expected, std::int64_t result, const FakeWorld& world) {
    verdict.outcome = expected.outcome;
    if (result != expected.result) {
        verdict.mismatches.push_back("result " + std::to_string(result) + ", expected " +
                                     std::to_string(expected.result));
    }
    if (world.log != expected.calls) {
        std::string seen;
        for (const auto& call : world.log) seen += "\n    " + call;
        std::string wanted;
        for (const auto& call : expected.calls) wanted += "\n    " + call;
        verdict.mismatches.push_back("calls:" + seen + "\n  expected:" + wanted);
    }
    if (world.waveform != expected.waveform) verdict.mismatches.emplace_back("the waveform differs");
}

}  // namespace

Verdict runScenario(FakeWorld& world, const Scenario& s) {
    world.log.clear();
    world.readResult = s.readResult;
    world.stopFlag = s.stopOnEntry ? 1 : 0;
    world.stopAtPosition = s.stopAtPosition;
    world.failAllocation = s.failAllocation;
    world.answers.assign(1, s.answer);
    const int heldBefore = world.allocations - world.releases;

    Verdict verdict;
    XfmContext context = contextFor(world, s);
    XfmContext before;
    std::memcpy(&before, &context, sizeof before);
    XfmContext* argument = s.nullContext ? nullptr : &context;
    switch (s.entry) {
        case EntryPoint::queryXfm:
            verdict.outcome = "query";
            checkQuery(verdict);
            break;
        case EntryPoint::xfmInit:
        case EntryPoint::xfmDestroy: {
            verdict.outcome = s.entry == EntryPoint::xfmInit ? "init" : "destroy";
            const std::int32_t result =
                s.entry == EntryPoint::xfmInit ? XfmInit(s.readResult) : XfmDestroy(s.readResult);
            compare(verdict, {verdict.outcome, 1, {}, world.waveform}, result, world);
            break;
        }
        case EntryPoint::xfmSetup: {
            const Expectation expected = expectXfmSetup(world, s);
            compare(verdict, expected, XfmSetup(reinterpret_cast<void*>(s.ownerWindow), s.readResult, argument), world);
            break;
        }
        case EntryPoint::xfmDo: {
            const Expectation expected = expectXfmDo(world, s);
            compare(verdict, expected, XfmDo(argument), world);
            break;
        }
    }
    if (std::memcmp(&before, &context, sizeof before) != 0) verdict.mismatches.emplace_back("the context changed");
    if (world.allocations - world.releases != heldBefore || !world.liveBlocks.empty()) {
        verdict.mismatches.emplace_back("a block was not released");
    }
    for (const auto& fault : world.faults) verdict.mismatches.push_back(fault);
    world.faults.clear();
    return verdict;
}

Scenario randomScenario(std::mt19937& random, std::uint32_t waveformSize) {
    auto chance = [&](unsigned percent) { return random() % 100 < percent; };
    auto any32 = [&] { return static_cast<std::uint32_t>(random()); };
    Scenario s;
    s.entry = static_cast<EntryPoint>(chance(70) ? 3 : random() % 5);
    s.nullContext = chance(1);
    s.channels = chance(90) ? 1 : static_cast<std::uint16_t>(random() % 4);
    s.bitsPerSample = chance(92) ? 16 : static_cast<std::uint16_t>(chance(50) ? 8 : random() % 40);
    s.frameSize = chance(90) ? 2 : static_cast<std::uint16_t>(chance(80) ? random() % 6 : random());

    // Mostly short selections, some long ones, now and then anything at all.
    std::uint32_t length = 3 + random() % 700;
    if (chance(4)) length = random() % 70000;
    if (chance(5)) length = random() % 4;
    s.selectionStart = random() % waveformSize;
    s.selectionEnd = s.selectionStart + length - 1;
    if (chance(3)) s.selectionStart = any32();
    if (chance(3)) s.selectionEnd = any32();

    s.withReadData = !chance(2);
    s.withWriteData = !chance(2);
    s.withCancelFlag = !chance(2);
    s.withReportProgress = !chance(10);
    s.withShowStatus = !chance(10);
    s.withEndProcessing = !chance(10);
    s.readResult = chance(90) ? (chance(50) ? 0 : 0x10000u * (1 + random() % 0xFFFF)) : any32();
    s.stopOnEntry = chance(5);
    if (chance(15)) s.stopAtPosition = 64 * (1 + random() % (length / 64 + 1));
    s.failAllocation = chance(3);
    s.answer = static_cast<platform::Answer>(random() % 3);
    s.ownerWindow = chance(50) ? 0 : any32();
    return s;
}

}  // namespace tesmora::testing
