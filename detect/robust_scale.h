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
    // are counted from 0, so that each index keeps its stretch). again: the
    // values are the last measure's, changed a little (the same window
    // after a refit): the medians are found faster, and are the same.
    void measure(const double* values, std::size_t first, std::size_t end, std::size_t stretch, bool again = false);

    // The scale at index n: the largest of the medians of its own stretch and
    // its two neighbours, as a standard deviation of Gaussian noise; at least
    // floor, so that digital silence has a scale too.
    double at(std::size_t n) const;
    // The scale of n's own stretch alone: no larger than at(n), and without
    // its lean upwards where the sound keeps its level.
    double ownAt(std::size_t n) const;
    std::size_t stretch() const { return stretch_; }
    // at(n) for every n below the end measured, as an array: loops over
    // every sample read it without a call.
    const double* bySample() const { return scales_.data(); }

private:
    // Brackets [low, high] around guesses of a value, tried at once; one
    // with no guess (low above high) holds nothing.
    static constexpr std::size_t kBrackets = 4;
    struct Brackets {
        double low[kBrackets];
        double high[kBrackets];
    };

    // The middle value (of index size / 2 in order) of scratch_, which it
    // may reorder; middleNear finds it only where it lies near a guess (the
    // last measure's, the stretch before's; 0: none), and answers whether
    // it did.
    bool middleNear(double last, double before, double& value);
    double middle();
    // The value of the given rank (in order) among values[0, count), where
    // one of the brackets holds it: only the values in the narrowest that
    // does are gathered and ordered (where they are many, a narrower bracket
    // is looked for first, unless narrowed already). Answers whether a
    // bracket held it; the value is exact either way.
    bool rankWithin(const double* values, std::size_t count, std::size_t rank, const Brackets& brackets, double& value,
                    bool narrowed = false);

    std::size_t stretch_ = 1;
    std::vector<double> medians_;
    std::vector<double> last_;    // the medians of the measure before
    std::vector<double> scales_;  // what at() answers, sample by sample
    std::vector<double> scratch_;
    std::vector<double> bracket_;  // the values of scratch_ near a guess
};

}  // namespace tesmora::detect

#endif
