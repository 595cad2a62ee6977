// The four-at-a-time search against a plain scan: every start and length
// across the sixteen-, four- and one-at-a-time parts, with the value above
// placed anywhere, or a value that is not a number, which is never "at most".
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "first_above.h"

namespace tesmora::detect {
namespace {

TEST(FirstAbove, AgreesWithAPlainScanWhereverTheValueLies) {
    const double threshold = 2.0;
    for (const double odd : {2.5, std::numeric_limits<double>::quiet_NaN()}) {
        for (std::size_t at = 0; at <= 40; ++at) {
            std::vector<double> values(40, threshold);  // at the threshold: not above
            if (at < values.size()) values[at] = odd;
            for (std::size_t from = 0; from <= 5; ++from) {
                for (std::size_t end = from; end <= values.size(); ++end) {
                    const std::size_t expected = at >= from && at < end ? at : end;
                    EXPECT_EQ(firstAbove(values.data(), from, end, threshold), expected)
                        << "odd " << odd << " at " << at << " in [" << from << ", " << end << ")";
                }
            }
        }
    }
}

}  // namespace
}  // namespace tesmora::detect
