// Finds the clicks in one channel of 16-bit samples, read block by block
// from wherever they lie, so that a signal of hours needs no more memory
// than a block and its context.
//
// The method. Music and speech are predictable from their recent past; a
// click is not. Each block (16384 samples, with context on both sides) gets
// an autoregressive model of its own, fitted by the autocorrelation method
// (Levinson-Durbin, order about one per 2 kHz of bandwidth plus 6). The
// forward prediction error filtered by the time-reversed model is the error
// of predicting each sample from both sides; where it stands far above a
// local robust scale (the median of its magnitude over about 10 ms, the
// largest of three neighbouring stretches, so that the click itself does not
// raise the scale and a loud passage next door does not lower it), a
// candidate starts. Its edges are where the forward error first rises (it
// sees only the samples before) and where the backward error last falls;
// candidates closer than a few samples are one, and none is wider than the
// longest click. A click drags the fit of the model towards itself, and a
// loud click hides weaker ones near it: so the model is fitted again, up to
// three times, with every candidate found so far interpolated away (the
// least-squares AR interpolation across it), and the search repeated.
// Finally each candidate must depart from its interpolation by more than a
// multiple of the signal level around it (the louder side's RMS): a
// percussive onset or a plosive surprises the model too, but the loud signal
// it starts is part of that level, so it is kept out. At the very start and
// end of the signal only the one-sided error is there to judge by.
#ifndef TESMORA_DETECT_CLICK_FINDER_H
#define TESMORA_DETECT_CLICK_FINDER_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "click.h"
#include "detector_settings.h"
#include "window_scanner.h"

namespace tesmora::detect {

// Adds clicks in signal order, joining any that touch or lie closer than the
// merge gap (so that no two selections overlap).
void addClick(std::vector<Click>& clicks, const Click& click, std::size_t mergeGap);

// read(first, out, count) copies up to count samples from sample first on
// into out and answers how many; proceed(done, total) is called after each
// block and answers false to stop the search (the clicks found so far are
// then returned). Clicks come in signal order and never overlap.
template <typename Read, typename Proceed>
std::vector<Click> findClicks(std::uint64_t length, int sampleRate, const DetectOptions& options, Read&& read,
                              Proceed&& proceed) {
    const DetectorSettings settings = settingsFor(sampleRate, options);
    WindowScanner scanner(settings);
    std::vector<std::int16_t> window(settings.blockSize + 2 * settings.margin);
    std::vector<Click> clicks;
    std::vector<Click> found;
    for (std::uint64_t block = 0; block < length; block += settings.blockSize) {
        const std::uint64_t start = block > settings.margin ? block - settings.margin : 0;
        const std::uint64_t end = std::min<std::uint64_t>(length, block + settings.blockSize + settings.margin);
        const std::size_t got = read(start, window.data(), static_cast<std::size_t>(end - start));
        const WindowPlace place{start, block, std::min<std::uint64_t>(length, block + settings.blockSize), length};
        found.clear();
        scanner.scan(window.data(), got, place, found);
        for (const Click& click : found) addClick(clicks, click, settings.mergeGap);
        if (!proceed(place.decideEnd, length)) break;
    }
    return clicks;
}

}  // namespace tesmora::detect

#endif
