// A local, robust scale of a prediction error: the median of its magnitude
// in short stretches, so that a click, however loud, does not raise the
// scale it is measured against, and a loud passage does not lower the scale
// of a quiet one beside it.
#ifndef TESMORA_DETECT_ROBUST_SCALE_H
#define TESMORA_DETECT_ROBUST_SCALE_H

#include <cstddef>
#include <vector>

namespace tesmora::detect {

class RobustScale {
public:
    // Measures values[first, end) in stretches of stretch samples (stretches
    // are counted from 0, so that each index keeps its stretch).
    void measure(const double* values, std::size_t first, std::size_t end, std::size_t stretch);

    // The scale at index n: the largest of the medians of its own stretch and
    // its two neighbours, as a standard deviation of Gaussian noise; at least
    // floor, so that digital silence has a scale too.
    double at(std::size_t n) const;

private:
    std::size_t stretch_ = 1;
    std::vector<double> medians_;
    std::vector<double> scratch_;
};

}  // namespace tesmora::detect

#endif
