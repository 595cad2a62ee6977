// QueryXfm, XfmSetup, XfmInit and XfmDestroy, and the module's statelessness
// across all five entry points.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "caller_test.h"
#include "fake_world.h"
#include "xfm.h"

namespace tesmora::testing {
namespace {

using Calls = std::vector<std::string>;
using platform::Answer;

const std::string kQuestion = "You selected very long area.\nContinue?";

using QueryXfmTest = CallerTest;
using LifetimeTest = CallerTest;
using StatelessTest = CallerTest;

TEST_P(QueryXfmTest, WritesTheTextsAndNumbersAndNoOtherByte) {
    FakeWorld world;
    unsigned char bytes[sizeof(XfmQuery)];
    std::memset(bytes, 0xA5, sizeof bytes);
    auto* query = reinterpret_cast<XfmQuery*>(bytes);
    EXPECT_EQ(QueryXfm(query), 0x0480);

    std::vector<bool> written(sizeof bytes, false);
    auto expectText = [&](std::size_t offset, const std::string& text) {
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + offset)), text);
        for (std::size_t i = 0; i <= text.size(); ++i) written[offset + i] = true;
    };
    expectText(0, "Tesmora");
    expectText(120, "Make line from possible clilck");
    expectText(200, "");
    expectText(248, "");
    const std::string copyright(reinterpret_cast<const char*>(bytes + 40));
    EXPECT_FALSE(copyright.empty());
    EXPECT_LT(copyright.size(), 80u);
    expectText(40, copyright);

    const unsigned char numbers[] = {12, 0, 17, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes + 190, numbers, sizeof numbers), 0);
    for (std::size_t i = 190; i < 200; ++i) written[i] = true;
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        if (!written[i]) {
            EXPECT_EQ(bytes[i], 0xA5) << "byte " << i << " changed";
        }
    }
}

class XfmSetupTest : public CallerTest {
protected:
    FakeWorld world;
    void* const owner = reinterpret_cast<void*>(std::uintptr_t{0x1234});

    // Only the two selection fields may be read: everything else is noise.
    XfmContext selection(std::uint32_t start, std::uint32_t end) {
        XfmContext context;
        std::memset(&context, 0x5A, sizeof context);
        context.selectionStart = start;
        context.selectionEnd = end;
        return context;
    }
};

TEST_P(XfmSetupTest, AsksOnlyAboveFiveHundredSamples) {
    const XfmContext exactly500 = selection(1000, 1499);
    EXPECT_EQ(XfmSetup(owner, 0, &exactly500), 1);
    EXPECT_EQ(world.calls(), Calls{});

    const XfmContext over500 = selection(1000, 1500);
    EXPECT_EQ(XfmSetup(owner, 0, &over500), 1);
    EXPECT_EQ(world.calls(), Calls{"ask(4660, " + kQuestion + ")"});
}

TEST_P(XfmSetupTest, OnlyNoStops) {
    const XfmContext context = selection(0, 600);
    for (auto [answer, result] : {std::pair{Answer::no, 0}, {Answer::yes, 1}, {Answer::failed, 1}}) {
        world.answers.push_back(answer);
        EXPECT_EQ(XfmSetup(owner, 7, &context), result);
    }
    EXPECT_EQ(world.calls().size(), 3u);
}

TEST_P(XfmSetupTest, ReversedSelectionCountsAsHugeAndEmptyAsShort) {
    const XfmContext reversed = selection(100, 50);
    EXPECT_EQ(XfmSetup(owner, 0, &reversed), 1);
    EXPECT_EQ(world.calls().size(), 1u);

    const XfmContext empty = selection(100, 99);
    EXPECT_EQ(XfmSetup(owner, 0, &empty), 1);
    EXPECT_EQ(world.calls().size(), 1u);
}

TEST_P(XfmSetupTest, NullContextStopsWithoutAsking) {
    EXPECT_EQ(XfmSetup(owner, 0, nullptr), 0);
    EXPECT_EQ(world.calls(), Calls{});
}

TEST_P(LifetimeTest, InitAndDestroySucceed) {
    FakeWorld world;
    EXPECT_EQ(XfmInit(0), 1);
    EXPECT_EQ(XfmDestroy(0xFFFFFFFF), 1);
    EXPECT_EQ(world.calls(), Calls{});
}

// One call of a random entry point on a random context, with what it returned
// and what it did to the world.
struct Outcome {
    std::int64_t result;
    Calls calls;
    std::vector<std::int16_t> waveform;
    bool operator==(const Outcome& other) const {
        return result == other.result && calls == other.calls && waveform == other.waveform;
    }
};

struct RandomCall {
    int entry;
    XfmContext context;
    std::uint32_t readResult;
    bool stop;
    bool failAllocation;
    Answer answer;
};

RandomCall randomCall(std::mt19937& random, FakeWorld& world) {
    RandomCall call{};
    call.entry = static_cast<int>(random() % 5);
    const std::uint32_t start = random() % 900;
    const std::uint32_t length = random() % 4 == 0 ? random() % 4 : random() % 700;
    call.context = world.context(start, start + length - 1);
    if (random() % 6 == 0) call.context.channels = 2;
    if (random() % 6 == 0) call.context.bitsPerSample = 8;
    if (random() % 8 == 0) call.context.frameSize = 4;
    if (random() % 5 == 0) call.context.reportProgress = nullptr;
    call.readResult = random() % 6 == 0 ? 1 : 0;
    call.stop = random() % 6 == 0;
    call.failAllocation = random() % 10 == 0;
    call.answer = static_cast<Answer>(random() % 3);
    return call;
}

Outcome perform(FakeWorld& world, RandomCall call) {
    world.log.clear();
    world.readResult = call.readResult;
    world.stopFlag = call.stop ? 1 : 0;
    world.failAllocation = call.failAllocation;
    world.answers.assign(1, call.answer);
    std::int64_t result = 0;
    XfmQuery query{};
    switch (call.entry) {
        case 0: result = QueryXfm(&query); break;
        case 1: result = XfmInit(0); break;
        case 2: result = XfmSetup(nullptr, 0, &call.context); break;
        case 3: result = XfmDo(&call.context); break;
        default: result = XfmDestroy(0); break;
    }
    return {result, world.log, world.waveform};
}

TEST_P(StatelessTest, EveryCallAnswersAsIfItWereAlone) {
    std::mt19937 random(42);
    std::vector<std::int16_t> waveform(4000);
    for (auto& s : waveform) s = static_cast<std::int16_t>(random());
    FakeWorld sequence;
    sequence.waveform = waveform;
    for (int i = 0; i < 2000; ++i) {
        const RandomCall call = randomCall(random, sequence);
        const std::vector<std::int16_t> before = sequence.waveform;
        const Outcome inSequence = perform(sequence, call);
        {
            FakeWorld alone;  // a fresh world, holding the same waveform
            alone.waveform = before;
            RandomCall same = call;
            same.context.cancelFlag = &alone.stopFlag;
            ASSERT_EQ(perform(alone, same), inSequence) << "call " << i << ", entry " << call.entry;
        }
        ASSERT_TRUE(sequence.liveBlocks.empty());
        ASSERT_EQ(sequence.faults, Calls{});
    }
}

TESMORA_FOR_EVERY_CALLER(QueryXfmTest);
TESMORA_FOR_EVERY_CALLER(XfmSetupTest);
TESMORA_FOR_EVERY_CALLER(LifetimeTest);
TESMORA_FOR_EVERY_CALLER(StatelessTest);

}  // namespace
}  // namespace tesmora::testing
