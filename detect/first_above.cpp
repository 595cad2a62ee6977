#include "first_above.h"

#include "four_doubles.h"

namespace tesmora::detect {

// The first index in [from, end) whose value is not at most threshold, or
// end. Most values are below it: sixteen are tested at once, four vectors
// of four (AVX2 where the processor has it) whose tests are joined before
// the one answer is taken out of them; then the four, and the one.
__attribute__((target_clones("avx2", "default"))) std::size_t firstAbove(const double* values, std::size_t from,
                                                                         std::size_t end, double threshold) {
    const FourDoubles bounds = {threshold, threshold, threshold, threshold};
    std::size_t n = from;
    for (; n + 16 <= end; n += 16) {
        FourDoubles first;
        FourDoubles second;
        FourDoubles third;
        FourDoubles fourth;
        loadFour(first, values + n);
        loadFour(second, values + n + 4);
        loadFour(third, values + n + 8);
        loadFour(fourth, values + n + 12);
        const FourMasks below = (first <= bounds) & (second <= bounds) & (third <= bounds) & (fourth <= bounds);
        if (!everyLane(below)) break;
    }
    for (; n + 4 <= end; n += 4) {
        FourDoubles four;
        loadFour(four, values + n);
        const FourMasks below = four <= bounds;
        if (!everyLane(below)) break;
    }
    for (; n < end; ++n) {
        if (!(values[n] <= threshold)) return n;
    }
    return end;
}

}  // namespace tesmora::detect
