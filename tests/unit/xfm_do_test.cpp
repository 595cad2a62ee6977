// XfmDo against a recording host and platform: every way through it, with the
// messages, the host calls in their order, the result, and the one block.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "caller_test.h"
#include "fake_world.h"
#include "xfm.h"

namespace tesmora::testing {
namespace {

using Calls = std::vector<std::string>;

const std::string kStatus = "showStatus(Making Line from Selection, 0)";
const std::string kEnd = "endProcessing(context, held 1)";

class XfmDoTest : public CallerTest {
protected:
    FakeWorld world;

    // Runs XfmDo and checks what must hold after every call: the record is
    // unchanged, every block is released once, nothing strayed out of bounds.
    std::int32_t run(XfmContext& context) {
        XfmContext before;
        std::memcpy(&before, &context, sizeof before);
        const std::int32_t result = XfmDo(&context);
        EXPECT_EQ(std::memcmp(&before, &context, sizeof before), 0) << "the context record changed";
        EXPECT_TRUE(world.liveBlocks.empty()) << "a block was not released";
        EXPECT_EQ(world.allocations, world.releases);
        EXPECT_EQ(world.faults, Calls{});
        return result;
    }

    // A click in a ramp: samples i * 10, with a spike in the middle of [start, end].
    void fillWaveform(std::size_t size, std::uint32_t start, std::uint32_t end) {
        world.waveform.resize(size);
        for (std::size_t i = 0; i < size; ++i) world.waveform[i] = static_cast<std::int16_t>(i * 10);
        world.waveform[(start + end) / 2] = 30000;
    }
};

TEST_P(XfmDoTest, RepairsTheSelectionAndHandsItBack) {
    fillWaveform(100, 20, 59);
    XfmContext context = world.context(20, 59);
    EXPECT_EQ(run(context), 1);
    EXPECT_EQ(world.calls(),
              (Calls{"allocate(80)", kStatus, "readData(40, 80)", "writeData(40, 80)", kEnd, "release"}));
    for (std::uint32_t i = 0; i < 100; ++i) {
        // On the ramp's own line inside, untouched outside.
        EXPECT_EQ(world.waveform[i], static_cast<std::int16_t>(i * 10)) << i;
    }
}

TEST_P(XfmDoTest, ReportsProgressOnLongSelections) {
    fillWaveform(300, 50, 249);
    XfmContext context = world.context(50, 249);
    EXPECT_EQ(run(context), 1);
    EXPECT_EQ(world.calls(),
              (Calls{"allocate(400)", kStatus, "readData(100, 400)", "reportProgress(192, 200)",
                     "reportProgress(128, 200)", "reportProgress(64, 200)", "writeData(100, 400)", kEnd, "release"}));
}

TEST_P(XfmDoTest, ByteOffsetAndCountFollowTheFrameSize) {
    fillWaveform(20, 10, 16);
    XfmContext context = world.context(10, 16);
    EXPECT_EQ(run(context), 1);
    EXPECT_EQ(world.calls(),
              (Calls{"allocate(14)", kStatus, "readData(20, 14)", "writeData(20, 14)", kEnd, "release"}));
}

TEST_P(XfmDoTest, LeavesOutTheOptionalHostFunctionsWhenNull) {
    fillWaveform(300, 50, 249);
    XfmContext context = world.context(50, 249);
    context.reportProgress = nullptr;
    context.showStatus = nullptr;
    context.endProcessing = nullptr;
    EXPECT_EQ(run(context), 1);
    EXPECT_EQ(world.calls(), (Calls{"allocate(400)", "readData(100, 400)", "writeData(100, 400)", "release"}));
}

TEST_P(XfmDoTest, WidthOtherThan16BitsIsRefusedBeforeEverything) {
    for (std::uint16_t bits : {8, 24, 32, 0}) {
        world.log.clear();
        XfmContext context = world.context(5, 5);  // one sample: the width check still comes first
        context.bitsPerSample = bits;
        context.readData = nullptr;
        EXPECT_EQ(run(context), 0) << bits;
        EXPECT_EQ(world.calls(), Calls{"error(Can only handle 16-bit data.)"}) << bits;
    }
}

TEST_P(XfmDoTest, TwoSamplesOrFewerNeedNoRepair) {
    for (std::uint32_t end : {9u, 10u, 11u}) {  // 0, 1 and 2 samples
        XfmContext context = world.context(10, end);
        context.channels = 2;  // never looked at
        context.frameSize = 4;
        EXPECT_EQ(run(context), 1) << end;
        EXPECT_EQ(world.calls(), Calls{}) << end;
    }
}

TEST_P(XfmDoTest, NoMemoryIsShownWithoutCallingTheHost) {
    world.failAllocation = true;
    XfmContext context = world.context(0, 99);
    EXPECT_EQ(run(context), 0);
    EXPECT_EQ(world.calls(), (Calls{"allocate(200)", "error(No memory.)"}));
}

TEST_P(XfmDoTest, FailedReadEndsWithoutWriting) {
    fillWaveform(100, 0, 99);
    world.readResult = 1;
    XfmContext context = world.context(0, 99);
    EXPECT_EQ(run(context), 0);
    EXPECT_EQ(world.calls(),
              (Calls{"allocate(200)", kStatus, "readData(0, 200)", "error(Can't read data.)", kEnd, "release"}));
}

TEST_P(XfmDoTest, ReadStatusCountsOnlyItsLow16Bits) {
    fillWaveform(10, 0, 9);
    world.readResult = 0x10000;
    XfmContext context = world.context(0, 9);
    EXPECT_EQ(run(context), 1);
    EXPECT_EQ(world.calls(), (Calls{"allocate(20)", kStatus, "readData(0, 20)", "writeData(0, 20)", kEnd, "release"}));
}

TEST_P(XfmDoTest, StereoDataIsReadThenRefused) {
    fillWaveform(400, 0, 99);
    XfmContext context = world.context(0, 99);
    context.channels = 2;
    context.frameSize = 4;
    EXPECT_EQ(run(context), 0);
    EXPECT_EQ(world.calls(), (Calls{"allocate(400)", kStatus, "readData(0, 400)",
                                    "error(Select only one channel of stereo data.)", kEnd, "release"}));
}

TEST_P(XfmDoTest, StopBeforeTheStartWritesNothingBackFromSixSamplesOn) {
    fillWaveform(300, 0, 199);
    const std::vector<std::int16_t> original = world.waveform;
    world.stopFlag = 1;
    XfmContext context = world.context(0, 199);
    EXPECT_EQ(run(context), 1);
    EXPECT_EQ(world.calls(),
              (Calls{"allocate(400)", kStatus, "readData(0, 400)", "reportProgress(192, 200)", kEnd, "release"}));
    EXPECT_EQ(world.waveform, original);

    world.log.clear();
    context = world.context(0, 5);
    EXPECT_EQ(run(context), 1);
    EXPECT_EQ(world.calls(), (Calls{"allocate(12)", kStatus, "readData(0, 12)", kEnd, "release"}));
}

TEST_P(XfmDoTest, StopBeforeTheStartStillRepairsThreeToFiveSamples) {
    for (std::uint32_t end : {2u, 3u, 4u}) {
        world.log.clear();
        fillWaveform(10, 0, end);
        world.stopFlag = 1;
        XfmContext context = world.context(0, end);
        EXPECT_EQ(run(context), 1);
        const std::string bytes = std::to_string(2 * (end + 1));
        EXPECT_EQ(world.calls(), (Calls{"allocate(" + bytes + ")", kStatus, "readData(0, " + bytes + ")",
                                        "writeData(0, " + bytes + ")", kEnd, "release"}))
            << end;
    }
}

TEST_P(XfmDoTest, StopDuringTheRunIsSeenAtTheNextQuery) {
    fillWaveform(1100, 0, 999);
    world.stopAtPosition = 832;
    XfmContext context = world.context(0, 999);
    EXPECT_EQ(run(context), 1);
    EXPECT_EQ(world.calls(), (Calls{"allocate(2000)", kStatus, "readData(0, 2000)", "reportProgress(960, 1000)",
                                    "reportProgress(896, 1000)", "reportProgress(832, 1000)", kEnd, "release"}));
}

// Selections whose bytes cannot be named in the host's 32-bit offsets and counts.
TEST_P(XfmDoTest, SelectionsBeyond32BitBytesAreRefusedBeforeAllocating) {
    struct Case {
        std::uint16_t frameSize;
        std::uint32_t start;
        std::uint32_t end;
    };
    for (const Case& c : {Case{2, 0, 0x7FFFFFFF},           // 2^31 samples: 2^32 bytes
                          Case{2, 0x7FFFFFF0, 0x80000010},  // offset plus count past 2^32
                          Case{4, 0x40000000, 0x40000010},  // offset alone reaches 2^32
                          Case{2, 100, 50},                 // reversed: a wrapped, huge count
                          Case{1, 0xFFFFFFFF, 0x00000002}}) {
        world.log.clear();
        XfmContext context = world.context(c.start, c.end);
        context.frameSize = c.frameSize;
        EXPECT_EQ(run(context), 0) << c.start << ".." << c.end;
        EXPECT_EQ(world.calls(), Calls{"error(Selection is too long.)"}) << c.start << ".." << c.end;
    }
}

TEST_P(XfmDoTest, FrameSizeOtherThanTwoIsRefusedAfterTheRead) {
    fillWaveform(100, 0, 9);
    const std::vector<std::int16_t> original = world.waveform;
    for (std::uint16_t frameSize : {0, 1, 3, 4}) {
        world.log.clear();
        XfmContext context = world.context(0, 9);
        context.frameSize = frameSize;
        const std::string bytes = std::to_string(10 * frameSize);
        EXPECT_EQ(run(context), 0) << frameSize;
        EXPECT_EQ(world.calls(), (Calls{"allocate(" + bytes + ")", kStatus, "readData(0, " + bytes + ")",
                                        "error(Unsupported sample frame size.)", kEnd, "release"}))
            << frameSize;
    }
    EXPECT_EQ(world.waveform, original);
}

TEST_P(XfmDoTest, NullContextOrHostFunctionsAreRefused) {
    EXPECT_EQ(XfmDo(nullptr), 0);
    EXPECT_EQ(world.calls(), Calls{});

    for (int missing = 0; missing < 3; ++missing) {
        world.log.clear();
        XfmContext context = world.context(0, 99);
        if (missing == 0) context.readData = nullptr;
        if (missing == 1) context.writeData = nullptr;
        if (missing == 2) context.cancelFlag = nullptr;
        EXPECT_EQ(run(context), 0) << missing;
        EXPECT_EQ(world.calls(), Calls{"error(Invalid processing context.)"}) << missing;

        // The width and length checks still come first.
        world.log.clear();
        context.selectionEnd = 1;
        EXPECT_EQ(run(context), 1) << missing;
        context.bitsPerSample = 8;
        EXPECT_EQ(run(context), 0) << missing;
        EXPECT_EQ(world.calls(), Calls{"error(Can only handle 16-bit data.)"}) << missing;
    }
}

TESMORA_FOR_EVERY_CALLER(XfmDoTest);

}  // namespace
}  // namespace tesmora::testing
