// Electronic loops and patterns play the same sharp event again a beat or a
// bar later, sample for sample or nearly, where the detector would take it
// for a click. A click happens once. So before damage is reported, the sound
// around it is looked for 0.25 to 4 s earlier and later; where it comes back
// closely (at a gain: a loop may swell or fade) and the damaged samples come
// back with it, they are the music's own event. Where they do not (the
// sound around matches, the damage does not), it is a click; where nothing
// matches (music that does not repeat, or a scratch over music that moves
// on), it is judged as before.
#ifndef TESMORA_DETECT_LOOP_ECHO_H
#define TESMORA_DETECT_LOOP_ECHO_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesmora::detect {

class LoopEcho {
public:
    explicit LoopEcho(int sampleRate);

    // Samples to read on either side of damage for repeats() to judge it.
    std::size_t reach() const { return longestLag_ + context_ + decimation_; }

    // Whether samples[first, last], damage found in samples[0, count), come
    // back with the sound around them a loop period away.
    bool repeats(const std::int16_t* samples, std::size_t count, std::size_t first, std::size_t last);

private:
    struct Lag {
        std::ptrdiff_t offset;  // the matching stretch lies this many samples later
        double residual;        // energy of the context's difference from it (times gain)
        double gain = 1;        // the matching stretch times this matches best
    };
    // Sums over a stretch of the samples' squares, of those offset away,
    // and of their products.
    struct Products {
        double here = 0, there = 0, cross = 0;
        // The gain on the samples offset away that matches the stretch best,
        // and the energy of the difference left.
        double gain() const;
        double leastDifference() const;
    };
    struct Stretch {
        std::size_t from, to;  // samples [from, to)
    };

    // The context: [first - context, first - guard) and (last + guard,
    // last + context].
    void chooseContext(std::size_t first, std::size_t last);
    std::size_t contextSize() const;
    // The closest coarse lags, found on sums of decimation samples.
    void coarseSearch(const std::int16_t* samples, std::size_t count, double bound);
    // Keeps the coarse lag (in groups) among the closest if its residual is
    // within bound.
    void tryCoarseLag(std::ptrdiff_t lag, double bound);
    // As tryCoarseLag for the four lags side * (step to step + 3), in that
    // order.
    void tryFourCoarseLags(std::ptrdiff_t side, std::ptrdiff_t step, double bound);
    // Keeps the lag with its residual among the closest, where it is among
    // them and within bound.
    void keepCoarseLag(std::ptrdiff_t lag, double residual, double bound);
    // The energy of the context's difference from the samples offset away,
    // or more than bound (the sum stops there).
    double residualAt(const std::int16_t* samples, std::ptrdiff_t offset, double bound) const;
    // sum plus the energy of the difference of samples[stretch] from the
    // samples offset away, or more than bound (the sum stops there).
    static double differenceAt(const std::int16_t* samples, Stretch stretch, std::ptrdiff_t offset, double bound,
                               double sum = 0);
    // sum plus those sums over samples[stretch] and the samples offset away.
    static Products productsAt(const std::int16_t* samples, Stretch stretch, std::ptrdiff_t offset, Products sum);
    // Whether samples[first, last] differ from those lag away, times its
    // gain, by at most bound in all and no sample much more than the sound
    // around does.
    bool damageComesBack(const std::int16_t* samples, std::size_t first, std::size_t last, const Lag& lag,
                         double bound) const;

    std::size_t context_;
    std::size_t shortestLag_;
    std::size_t longestLag_;
    std::size_t decimation_;
    std::array<Stretch, 2> sides_{};  // the context before the damage and after it
    std::vector<double> coarse_;      // the samples summed in groups of decimation
    std::vector<std::size_t> coarseContext_;
    std::vector<Lag> closest_;
};

}  // namespace tesmora::detect

#endif
