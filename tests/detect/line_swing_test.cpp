// Whether a range's samples swing across the repair's line as a sound's tone
// does, on shapes whose answer is plain: a click departs to one side, or
// rings fast, or dies away from its first lobes; a tone swings slower and
// builds up or swells again.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "line_swing.h"

namespace tesmora::detect {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kFirst = 10;  // the range [kFirst, kLast], 0 around it: the line is 0
constexpr std::size_t kLast = 69;

std::vector<double> shaped(const std::function<double(double)>& at) {
    std::vector<double> x(kLast + 11, 0.0);
    for (std::size_t i = kFirst; i <= kLast; ++i) x[i] = at(static_cast<double>(i - kFirst));
    return x;
}

double wave(double i, double period) {
    return std::sin(2 * kPi * i / period);
}

TEST(LineSwing, TellsASoundsToneFromAClicksDamage) {
    const SwingRule rule{0.25, 4, 7, 1.2};  // as at 44.1 kHz
    struct Row {
        std::string name;
        std::function<double(double)> at;
        bool swings;
    };
    const std::vector<Row> rows = {
        {"a spike falling to one side", [](double i) { return 9000 * std::exp(-i / 8); }, false},
        {"a ring faster than the tones, however its lobes go", [](double i) { return 150 * i * wave(i, 4); }, false},
        {"a tone building up", [](double i) { return 150 * i * wave(i, 10); }, true},
        {"a tone largest in its third lobe, then dying away",
         [](double i) { return 9000 * (i < 15 ? i / 15 : std::exp(-(i - 15) / 25)) * wave(i, 10); }, true},
        {"a ring dying away from its first lobe", [](double i) { return 9000 * std::exp(-i / 25) * wave(i, 10); },
         false},
        // Its lobes alternate large and small about the pulse; each side's
        // die away, though a large one stands above the small one before it.
        {"a ring riding on a pulse", [](double i) { return 9000 * std::exp(-i / 60) * (wave(i, 10) + 0.2); }, false},
        {"a ring that swells again", [](double i) { return 9000 * (i < 40 ? std::exp(-i / 25) : 0.5) * wave(i, 10); },
         true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(swingsAcrossLine(shaped(row.at), kFirst, kLast, rule), row.swings) << row.name;
    }
    // Where no period is set (below 32 kHz), and where the range has no
    // sample on one side, nothing swings.
    const std::vector<double> building = shaped(rows[2].at);
    EXPECT_FALSE(swingsAcrossLine(building, kFirst, kLast, SwingRule{0.25, 4, 0, 1.2}));
    EXPECT_FALSE(swingsAcrossLine(building, 0, kLast, rule));
    EXPECT_FALSE(swingsAcrossLine(building, kFirst, building.size() - 1, rule));
}

}  // namespace
}  // namespace tesmora::detect
