// Four doubles side by side: one vector of AVX2, two of SSE2. Written out
// where the compiler does not find the vectors itself (or shuffles them);
// the arithmetic is lane by lane, each lane rounded as the plain loop
// rounds it.
#ifndef TESMORA_DETECT_FOUR_DOUBLES_H
#define TESMORA_DETECT_FOUR_DOUBLES_H

#include <cstdint>
#include <cstring>

namespace tesmora::detect {

using FourDoubles = double __attribute__((vector_size(4 * sizeof(double))));
// What a comparison of two FourDoubles gives: all bits set where it holds.
using FourMasks = std::int64_t __attribute__((vector_size(4 * sizeof(std::int64_t))));

// By reference: a vector passed by value changes the ABI between the
// builds for each processor.
inline void loadFour(FourDoubles& four, const double* from) {
    std::memcpy(&four, from, sizeof four);
}

inline void storeFour(double* to, const FourDoubles& four) {
    std::memcpy(to, &four, sizeof four);
}

// Whether a comparison held in any of the four lanes, or in every one.
inline bool anyLane(const FourMasks& held) {
    return (held[0] | held[1] | held[2] | held[3]) != 0;
}

inline bool everyLane(const FourMasks& held) {
    return (held[0] & held[1] & held[2] & held[3]) != 0;
}

}  // namespace tesmora::detect

#endif
