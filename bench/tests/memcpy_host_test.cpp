// The benchmarks' memcpy host, driven by the module's XfmDo: a call must leave
// in the host exactly what the plain formula gives, so that the benchmark times
// the whole repair and not a shortcut; and the host must keep its waveform
// whole whatever range it is asked for.
#include <gtest/gtest.h>

#include <vector>

#include "line_repair_reference.h"
#include "memcpy_host.h"

namespace tesmora::bench {
namespace {

struct Selection {
    std::uint32_t samples;
    LineEnds ends;
};

// The multiples of 64 from 2 to samples - 3, where a block of 6 samples or more reports.
std::uint32_t reportsExpected(std::uint32_t samples) {
    return samples < 6 ? 0 : (samples - 3) / 64;
}

TEST(MemcpyHostTest, XfmDoLeavesTheReferenceRepairInTheHost) {
    const Selection selections[] = {
        {3, kModerateEnds},
        {6, kFullScaleEnds},
        {200, kModerateEnds},
        {4097, kFullScaleEnds},
        {(1u << 16) + 1, kFullScaleEnds},
        {1u << 16, kModerateEnds},
    };
    for (const Selection& selection : selections) {
        SCOPED_TRACE(selection.samples);
        MemcpyHost host(selection.samples, selection.ends);
        std::vector<std::int16_t> expected = host.waveform();
        LineRepairReference(expected.data(), selection.samples, idleHooks());

        EXPECT_EQ(XfmDo(host.context()), 1);
        EXPECT_EQ(host.waveform(), expected);
        EXPECT_EQ(host.progressReports(), reportsExpected(selection.samples));
    }
}

TEST(MemcpyHostTest, RangesOutsideTheWaveformAreRefusedAndChangeNothing) {
    MemcpyHost host(100, kModerateEnds);
    const std::vector<std::int16_t> before = host.waveform();
    std::vector<std::int16_t> buffer(200, 7);
    struct Range {
        std::uint32_t offset;
        std::uint32_t count;
    };
    const Range outside[] = {{0, 202}, {200, 2}, {199, 2}, {0xFFFFFFFFu, 2}, {2, 0xFFFFFFFFu}};
    for (const Range& range : outside) {
        SCOPED_TRACE(std::to_string(range.offset) + "+" + std::to_string(range.count));
        EXPECT_NE(host.context()->readData(buffer.data(), range.offset, range.count), 0u);
        host.context()->writeData(buffer.data(), range.offset, range.count);
        EXPECT_EQ(host.waveform(), before);
    }
    EXPECT_EQ(host.context()->readData(buffer.data(), 198, 2), 0u);
    EXPECT_EQ(buffer[0], kModerateEnds.last);
}

}  // namespace
}  // namespace tesmora::bench
