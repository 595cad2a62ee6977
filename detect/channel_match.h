// Music is strongly correlated between the channels of a recording: a drum
// hit, a loop's glitch, a consonant shows in each of them, with the relation
// the channels hold around it. A click comes from one wall of the groove (one
// channel alone) or hits both with an amplitude ratio and sign of its own.
// So before damage found in one channel is reported, the same stretch of
// another channel is looked at: where that channel times a gain (fitted by
// least squares, the damage left out) predicts the sound on both sides of
// the damage closely, and predicts the damage's departure through that same
// gain, the damage is the music's own. Where the other channel is quiet,
// departs otherwise, or predicts the sound around poorly, it is judged as
// before. A click in both channels whose ratio happens to be the music's is
// refused too: nothing in the two channels tells it from the music.
#ifndef TESMORA_DETECT_CHANNEL_MATCH_H
#define TESMORA_DETECT_CHANNEL_MATCH_H

#include <cstddef>
#include <cstdint>

namespace tesmora::detect {

class ChannelMatch {
public:
    explicit ChannelMatch(int sampleRate);

    // Samples to read on either side of damage for predicts() to judge it.
    std::size_t reach() const;

    // Whether samples[first, last], damage found in samples[0, count), is
    // what other[0, count), the same stretch of another channel, predicts.
    bool predicts(const std::int16_t* samples, const std::int16_t* other, std::size_t count, std::size_t first,
                  std::size_t last) const;

private:
    struct Relation {
        double gain = 0;      // the other channel's samples times gain predict these
        double residual = 0;  // the energy of their difference from the prediction around the damage
    };

    // The least-squares gain from other to samples over the context
    // around [first, last]; false where the other channel does not predict
    // the context closely on both sides of the damage.
    bool fit(const std::int16_t* samples, const std::int16_t* other, std::size_t first, std::size_t last,
             Relation& relation) const;

    std::size_t context_;
};

}  // namespace tesmora::detect

#endif
