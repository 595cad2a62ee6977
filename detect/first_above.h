// The first of a run of values above a threshold, looked for four at a time.
#ifndef TESMORA_DETECT_FIRST_ABOVE_H
#define TESMORA_DETECT_FIRST_ABOVE_H

#include <cstddef>

namespace tesmora::detect {

// The first index in [from, end) whose value is not at most threshold, or
// end.
std::size_t firstAbove(const double* values, std::size_t from, std::size_t end, double threshold);

}  // namespace tesmora::detect

#endif
