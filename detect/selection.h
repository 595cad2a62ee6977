// The selection handed to the line repair for one run of damaged samples.
//
// The repair keeps the first and last selected samples, draws the line
// between them, and from 6 selected samples up also averages the sample
// next to each end with the line. So every sample it keeps or averages must
// be good signal: a selection of 6 or more samples has two good samples at
// each end, one of 3 to 5 samples one. Only at an end of the signal, for want
// of samples beyond the damage, does the selection stop short of that.
#ifndef TESMORA_DETECT_SELECTION_H
#define TESMORA_DETECT_SELECTION_H

#include <cstdint>

namespace tesmora::detect {

// Samples, 0-based and inclusive.
struct SampleSpan {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

// The selection for the damaged samples damage.first..damage.last of a
// signal of length samples (damage.last < length).
SampleSpan selectionAround(SampleSpan damage, std::uint64_t length);

// The samples of a selection that the repair replaces by the line alone
// (neither kept nor averaged): the damage it can repair in full.
SampleSpan replacedBy(SampleSpan selection);

}  // namespace tesmora::detect

#endif
