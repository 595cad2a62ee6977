// The sound the loop check reads around damage, kept from one damage to the
// next: whatever the order and distance of the damage, what it holds is the
// signal's own samples, and damage close by reads only what is new.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "click_finder.h"

namespace tesmora::detect {
namespace {

TEST(SoundAround, HoldsTheSignalAroundEachDamageAndReadsOnlyWhatIsNew) {
    constexpr int kRate = 8000;
    std::vector<std::int16_t> signal(300000);
    for (std::size_t i = 0; i < signal.size(); ++i) signal[i] = static_cast<std::int16_t>((i * 7919) % 20011 - 10005);
    std::size_t readCount = 0;
    auto read = [&](std::uint64_t from, std::int16_t* out, std::size_t count) {
        const std::size_t got = std::min<std::size_t>(count, signal.size() - static_cast<std::size_t>(from));
        std::copy_n(signal.begin() + static_cast<std::ptrdiff_t>(from), got, out);
        readCount += got;
        return got;
    };
    LoopEcho echo(kRate);
    SoundAround around(2 * echo.reach() + 100);
    // Damage at the start, moving on by little and by much, back again, and
    // at the signal's end; the last field is what may be read at most.
    struct Step {
        std::uint64_t first, last;
        std::size_t mostRead;
    };
    std::vector<Step> steps = {
        {10, 12, around.capacity}, {20, 25, 20},        {40000, 40003, around.capacity}, {40010, 40011, 20},
        {40900, 40950, 1000},      {41000, 41002, 100}, {30000, 30001, around.capacity}};
    // A walk on by 5,000 at a time, far past the buffer's length in all.
    for (std::uint64_t at = 35000; at < 296000; at += 5000) steps.push_back({at, at + 3, 5003});
    steps.push_back({299990, 299995, around.capacity});
    for (const Step& step : steps) {
        readCount = 0;
        comesBackInLoop(echo, SampleSpan{step.first, step.last}, signal.size(), read, around, 1000);
        const std::uint64_t from = step.first > echo.reach() ? step.first - echo.reach() : 0;
        const std::size_t to = std::min<std::size_t>(
            {signal.size(), static_cast<std::size_t>(step.last + 1 + echo.reach()), from + around.capacity});
        EXPECT_EQ(around.from, from) << step.first;
        ASSERT_EQ(around.held, to - from) << step.first;
        EXPECT_TRUE(std::equal(signal.begin() + static_cast<std::ptrdiff_t>(from),
                               signal.begin() + static_cast<std::ptrdiff_t>(to),
                               around.samples.begin() + static_cast<std::ptrdiff_t>(around.start)))
            << step.first;
        EXPECT_LE(readCount, step.mostRead) << step.first;
    }
}

}  // namespace
}  // namespace tesmora::detect
