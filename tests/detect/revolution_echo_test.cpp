// Where a confirmed click's next strikes are looked for: one and two
// revolutions on at each of the three speeds, within the speed's wander,
// inside the window; and the clicks kept bounded, the weakest dropped.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "revolution_echo.h"

namespace tesmora::detect {
namespace {

constexpr std::size_t kOrder = 32;

std::set<std::pair<std::size_t, std::size_t>> spans(const std::vector<RepeatLook>& looks) {
    std::set<std::pair<std::size_t, std::size_t>> out;
    for (const RepeatLook& look : looks) out.insert({look.from, look.to});
    return out;
}

TEST(RevolutionEcho, LooksOneAndTwoRevolutionsOnWithinTheWindow) {
    RevolutionEcho echo(44100);
    echo.confirmed(10000, std::vector<double>(12, 1.0));
    // Revolutions at 44.1 kHz: 79380 (33 1/3 rpm), 58800 (45), 33923 (78);
    // 0.1 % of a revolution's span each way, rounded up.
    const std::set<std::pair<std::size_t, std::size_t>> all = {{89300, 89460},   {168601, 168919}, {68741, 68859},
                                                               {127482, 127718}, {43889, 43957},   {77778, 77914}};
    EXPECT_EQ(spans(echo.looksFor(0, 0, 1000000, 1000000, kOrder)), all);
    // Only the strikes expected in the samples the window decides; the look
    // kept clear of the window's ends by the model's order and the shape.
    EXPECT_EQ(spans(echo.looksFor(60000, 68800, 69000, 8850, kOrder)),
              (std::set<std::pair<std::size_t, std::size_t>>{{8741, 8850 - 12 - kOrder}}));
    EXPECT_EQ(spans(echo.looksFor(68760, 68760, 68900, 10000, kOrder)),
              (std::set<std::pair<std::size_t, std::size_t>>{{kOrder, 99}}));
    EXPECT_TRUE(echo.looksFor(0, 170000, 180000, 200000, kOrder).empty());
}

TEST(RevolutionEcho, KeepsTheLoudestFortyEightClicks) {
    RevolutionEcho echo(44100);
    for (int i = 0; i < 60; ++i) echo.confirmed(10000 + static_cast<std::uint64_t>(i), std::vector<double>(12, i + 1));
    echo.confirmed(10100, std::vector<double>(12, 0.5));  // weaker than all kept: not kept
    const std::vector<RepeatLook>& looks = echo.looksFor(0, 0, 1000000, 1000000, kOrder);
    ASSERT_EQ(looks.size(), 48u * 6);
    for (const RepeatLook& look : looks) EXPECT_GE(look.shape->front(), 13.0);
}

}  // namespace
}  // namespace tesmora::detect
