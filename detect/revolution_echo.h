// A scratch on a record strikes the stylus once a revolution: 1.8 s at
// 33 1/3 rpm, 1.33 s at 45, 0.77 s at 78, each time with closely the same
// shape. Where a click is confirmed, its next strikes lie one or two
// revolutions later at one of those periods; this keeps the shapes of the
// clicks confirmed lately and tells each window where to look for them.
#ifndef TESMORA_DETECT_REVOLUTION_ECHO_H
#define TESMORA_DETECT_REVOLUTION_ECHO_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesmora::detect {

// Where a window looks for a click's shape: the shape's first sample at
// window indices [from, to].
struct RepeatLook {
    std::size_t from;
    std::size_t to;
    const std::vector<double>* shape;  // the confirmed click's departure from its interpolation
};

class RevolutionEcho {
public:
    explicit RevolutionEcho(int sampleRate);

    // A confirmed click at signal index first, departing from its
    // interpolation by shape.
    void confirmed(std::uint64_t first, std::vector<double> shape);

    // The looks of a window starting at signal index start, for strikes
    // expected in [decideFirst, decideEnd); count: samples in the window,
    // order: the model's (a look needs that many samples beyond it).
    const std::vector<RepeatLook>& looksFor(std::uint64_t start, std::uint64_t decideFirst, std::uint64_t decideEnd,
                                            std::size_t count, std::size_t order);

private:
    struct Strike {
        std::uint64_t first;        // the click's first sample in the signal
        std::vector<double> shape;  // its departure from its interpolation
        double peak;                // the largest magnitude of that departure
    };
    std::array<std::uint64_t, 3> periods_{};  // a revolution, in samples, at each speed
    std::vector<Strike> strikes_;             // the clicks confirmed lately, 48 at most
    std::vector<RepeatLook> looks_;           // the last window's looks, which point into strikes_
};

}  // namespace tesmora::detect

#endif
