// The AR model on signals it describes exactly: a sum of two sines is
// predicted to within rounding, and a gap in it is interpolated back.
#include "ar_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tesmora::detect {
namespace {

std::vector<double> twoSines(std::size_t length) {
    std::vector<double> x(length);
    for (std::size_t n = 0; n < length; ++n) x[n] = 9000 * std::sin(0.05 * n) + 3000 * std::sin(0.31 * n + 1);
    return x;
}

TEST(ArModel, PredictsAndInterpolatesWhatItDescribes) {
    const std::vector<double> x = twoSines(4096);
    const std::vector<double> a = fitPredictor(x.data(), x.size(), 12);
    ASSERT_EQ(a.size(), 13u);
    EXPECT_EQ(a[0], 1.0);
    std::vector<double> e(x.size());
    forwardError(x.data(), x.size(), a, e.data());
    for (std::size_t n = 0; n < 12; ++n) EXPECT_EQ(e[n], 0.0);
    for (std::size_t n = 12; n < x.size(); ++n)
        ASSERT_LT(std::fabs(e[n]), 30.0) << n;  // a few thousandths of the signal
    EXPECT_NEAR(backwardErrorAt(x.data(), x.size(), a, 100), 0.0, 30.0);
    EXPECT_EQ(backwardErrorAt(x.data(), x.size(), a, x.size() - 12), 0.0);  // no samples after it to use

    // Gaps of one sample, of a few, and far wider than the order, with the
    // samples inside spoilt: what is there must not matter.
    for (const auto& [first, last] : {std::pair<std::size_t, std::size_t>{700, 700}, {1000, 1006}, {2000, 2040}}) {
        std::vector<double> spoilt = x;
        for (std::size_t n = first; n <= last; ++n) spoilt[n] = 30000;
        const std::vector<double> gap = interpolateGap(spoilt.data(), spoilt.size(), a, first, last);
        ASSERT_EQ(gap.size(), last - first + 1);
        for (std::size_t i = 0; i < gap.size(); ++i)
            EXPECT_NEAR(gap[i], x[first + i], 120.0) << first + i;  // 1 % of the peak
    }
}

}  // namespace
}  // namespace tesmora::detect
