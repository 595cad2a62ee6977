// Candidates of wide pops in a signal of two channels: damage that stands
// many times above the sound's level for a good share of the longest click.
// A pulse through a phono stage's de-emphasis, whose raw defect is itself
// wide, is smooth: the model predicts it well from both sides and from its
// own front, and none of the errors stands out. Its samples do: they depart
// from silence by several times the RMS of the sound around, and by many
// times that of what is left once the sound both channels share is
// cancelled.
#include <algorithm>
#include <cmath>

#include "four_doubles.h"
#include "window_scanner.h"

namespace tesmora::detect {

namespace {

// The first i in [from, end) whose sample's square stands above bound times
// the larger energy around it, over [i - before - span, i - before) and
// [i + after, i + after + span) (energy: the running sums), or end; four i
// at a time (AVX2 where the processor has it), each worked out as one alone.
__attribute__((target_clones("avx2", "default"))) std::size_t firstStandingOut(const double* energy,
                                                                               const double* signal, std::size_t from,
                                                                               std::size_t end, std::size_t before,
                                                                               std::size_t after, std::size_t span,
                                                                               double bound) {
    const FourDoubles bounds = {bound, bound, bound, bound};
    const FourDoubles zeros = {0, 0, 0, 0};
    std::size_t i = from;
    for (; i + 4 <= end; i += 4) {
        FourDoubles beforeEnd;
        FourDoubles beforeStart;
        FourDoubles afterEnd;
        FourDoubles afterStart;
        FourDoubles sample;
        loadFour(beforeEnd, energy + i - before);
        loadFour(beforeStart, energy + i - before - span);
        loadFour(afterEnd, energy + i + after + span);
        loadFour(afterStart, energy + i + after);
        loadFour(sample, signal + i);
        const FourDoubles earlier = beforeEnd - beforeStart;
        const FourDoubles later = afterEnd - afterStart;
        const FourDoubles level = earlier < later ? later : earlier;
        const FourMasks out = (level > zeros) & (sample * sample > bounds * level);
        if (anyLane(out)) break;
    }
    for (; i < end; ++i) {
        const double level =
            std::max(energy[i - before] - energy[i - before - span], energy[i + after + span] - energy[i + after]);
        if (level > 0 && signal[i] * signal[i] > bound * level) return i;
    }
    return end;
}

}  // namespace

void WindowScanner::findLoudRuns(const LoudSearch& search, std::vector<Candidate>& found,
                                 const std::vector<Candidate>& before, const std::vector<Candidate>& againstPartner,
                                 std::vector<Candidate>& standIns) {
    const std::vector<double>& sound = search.sound;
    const double ratio = search.ratio;
    // Measured over 40 ms on each side: over a shorter stretch a low tone
    // near its crossing seems quiet, and its next swing loud.
    const std::size_t span = 4 * settings_.scaleStretch;
    const std::size_t half = settings_.maxWidth / 2;
    // Half the period of a ringing at 2 kHz.
    const std::size_t ringGap = settings_.maxWidth / 8;
    // The sound's level on each side, clear of the damage: its front may lie
    // half the longest click before, its slow tail as long as the widest core after.
    const std::size_t skipBefore = half;
    const std::size_t skipAfter = settings_.longestStereoCore;
    // The samples a window decides begin closer to its ends than a whole
    // stretch and its gap: there a side is measured over what the window
    // holds of it, half the stretch at least.
    const std::size_t least = span / 2;
    if (count_ < least + skipBefore + skipAfter + least + 1) return;
    std::vector<double>& energy = loudEnergy_;
    energy.resize(count_ + 1);
    energy[0] = 0;
    for (std::size_t i = 0; i < count_; ++i) energy[i + 1] = energy[i] + search.quiet[i] * search.quiet[i];
    const std::size_t known = search.known;
    const std::size_t begin = least + skipBefore;
    const std::size_t end = count_ - skipAfter - least;
    // Where both stretches lie whole in the window, compared in energy, the
    // bound squared over the stretch's length: no root nor division a sample.
    const std::size_t wholeBegin = std::min(end, span + skipBefore);
    const std::size_t wholeEnd = std::max(wholeBegin, end - std::min(end, span - least));
    const double bound = ratio * ratio / static_cast<double>(span);
    // The louder side's mean energy a sample.
    const auto level = [&](std::size_t i) {
        const std::size_t earlierFrom = i >= skipBefore + span ? i - skipBefore - span : 0;
        const std::size_t earlierTo = i - skipBefore;
        const std::size_t laterFrom = i + skipAfter;
        const std::size_t laterTo = std::min(count_, laterFrom + span);
        return std::max((energy[earlierTo] - energy[earlierFrom]) / static_cast<double>(earlierTo - earlierFrom),
                        (energy[laterTo] - energy[laterFrom]) / static_cast<double>(laterTo - laterFrom));
    };
    const auto standsOut = [&](std::size_t i) {
        const double mean = level(i);
        return mean > 0 && sound[i] * sound[i] > ratio * ratio * mean;
    };
    // A sample that falls, in the sign given, well under the bound.
    const double dip = settings_.loudRingDip;
    const auto deepIn = [&](std::size_t i, double sign) {
        const double inSign = sign > 0 ? sound[i] : -sound[i];
        return inSign <= 0 || inSign * inSign < dip * dip * ratio * ratio * level(i);
    };
    // A sample of the other sign standing out just before i.
    const auto swungOutBefore = [&](std::size_t i) {
        for (std::size_t j = i - std::min(i, ringGap); j < i; ++j) {
            if (sound[j] * sound[i] < 0 && standsOut(j)) return true;
        }
        return false;
    };
    const auto nextStandingOut = [&](std::size_t i) {
        for (; i < wholeBegin; ++i) {
            if (standsOut(i)) return i;
        }
        if (i < wholeEnd) {
            i = firstStandingOut(energy.data(), sound.data(), i, wholeEnd, skipBefore, skipAfter, span, bound);
            if (i < wholeEnd) return i;
        }
        for (; i < end; ++i) {
            if (standsOut(i)) return i;
        }
        return end;
    };
    // A run of a quarter of the longest click, or of an eighth whose peak
    // stands well above the bound: a narrow pop is a spike, its ringing
    // dipping under the bound soon after.
    const double shortPeak = settings_.loudShortRunPeak * ratio;
    const auto longEnough = [&](std::size_t start, std::size_t stop, std::size_t peak) {
        if (stop - start >= settings_.maxWidth / 4) return true;
        return stop - start >= settings_.maxWidth / 8 &&
               sound[peak] * sound[peak] > shortPeak * shortPeak * level(peak);
    };
    std::size_t i = begin;
    while (i < end) {
        i = nextStandingOut(i);
        if (i == end) break;
        // The run above, and its loudest sample.
        const std::size_t start = i;
        std::size_t stop = i;
        std::size_t peak = i;
        const auto runOn = [&] {
            while (stop < end && sound[stop] * sound[start] > 0 && standsOut(stop)) {
                if (std::fabs(sound[stop]) > std::fabs(sound[peak])) peak = stop;
                ++stop;
            }
        };
        runOn();
        // A pop's stylus rings on its pulse: the run dips out of the bound
        // every half period, deep but hardly into the other sign, and goes
        // on across such dips. A sound's own loud swings stand out in both
        // signs, there or just before the run; a swell hovering about the
        // bound dips shallowly.
        bool dipped = false;
        for (std::size_t next = stop; next < end && next < stop + ringGap;) {
            if (!standsOut(next)) {
                dipped = dipped || deepIn(next, sound[start]);
                ++next;
                continue;
            }
            if (sound[next] * sound[start] < 0 || !dipped || swungOutBefore(start)) break;
            stop = next;
            runOn();
            next = stop;
            dipped = false;
        }
        i = stop + 1;
        if (!longEnough(start, stop, peak)) continue;
        // The core starts where the damage first stands a quarter of its peak.
        std::size_t first = start;
        while (first > start - std::min(start, half) &&
               sound[first - 1] * sound[peak] >= settings_.coreOfPeak * sound[peak] * sound[peak]) {
            --first;
        }
        if (peak - first + 1 >= settings_.maxWidth) continue;
        const std::size_t reach = settings_.maxWidth;
        const auto near = [&](const Candidate& c) { return c.first <= peak + reach && c.last + reach >= first; };
        const Candidate candidate{first, peak, peak, std::fabs(sound[peak]) / (ratio * std::sqrt(level(peak))), false};
        i = std::max(i, settings_.maxWidth + peak);
        // A loud candidate of the earlier search stands for the same damage.
        const auto nearAmong = [&](const std::vector<Candidate>& candidates, std::size_t from, std::size_t to) {
            return std::any_of(candidates.begin() + static_cast<std::ptrdiff_t>(from),
                               candidates.begin() + static_cast<std::ptrdiff_t>(to), near);
        };
        if (nearAmong(found, search.foundFrom, search.foundTo) ||
            nearAmong(standIns, search.standInsFrom, search.standInsTo)) {
            continue;
        }
        // Damage found already, in this channel or against the partner, is
        // judged as found: a loud candidate there would stand in for it with
        // the damage's loud middle alone. Where that damage is refused, the
        // loud candidate is judged in its place (confirmStandIns).
        if (std::any_of(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(known), near) ||
            std::any_of(before.begin(), before.end(), near) ||
            std::any_of(againstPartner.begin(), againstPartner.end(), near)) {
            standIns.push_back(candidate);
            continue;
        }
        found.push_back(candidate);
    }
}

void WindowScanner::findLoudCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before,
                                       const std::vector<Candidate>& againstPartner, std::vector<Candidate>& standIns) {
    if (partner_.empty() || settings_.loudCoreRatio <= 0 || settings_.longestStereoCore == 0) return;
    const std::size_t known = found.size();
    const std::size_t standInsBefore = standIns.size();
    findLoudRuns({signal_, cleaned_, settings_.loudCoreRatio, known}, found, before, againstPartner, standIns);
    if (settings_.loudCancelledRatio <= 0) return;
    // Music is strongly correlated between the channels: what this channel
    // less the partner at the gain that fits the window best leaves is far
    // quieter than the music, and a pop of one channel, or of both at a
    // ratio of its own, stands out of it. A sound's own event at the
    // music's ratio is cancelled with it. Where the partner leaves much of
    // the sound, that is about the sound itself: searched once is enough.
    // The gain that fits the window best, measured on every fourth sample:
    // the music's ratio holds over many.
    GainFit sums;
    for (std::size_t i = 0; i < count_; i += 4) sums.add(cleaned_[i], partner_[i]);
    const SideRelation fit = sums.relation();
    if (fit.left > settings_.loudCancelledLeaves) return;
    std::vector<double>& cancelled = loudCancelled_;
    std::vector<double>& cancelledQuiet = loudCancelledQuiet_;
    cancelled.resize(count_);
    cancelledQuiet.resize(count_);
    for (std::size_t i = 0; i < count_; ++i) {
        cancelled[i] = signal_[i] - fit.gain * partner_[i];
        cancelledQuiet[i] = cleaned_[i] - fit.gain * partner_[i];
    }
    LoudSearch search{cancelled, cancelledQuiet, settings_.loudCancelledRatio, known};
    search.foundFrom = known;
    search.foundTo = found.size();
    search.standInsFrom = standInsBefore;
    search.standInsTo = standIns.size();
    findLoudRuns(search, found, before, againstPartner, standIns);
}

void WindowScanner::confirmStandIns(const std::vector<Candidate>& standIns, const std::vector<Candidate>& refused,
                                    const WindowPlace& place, std::size_t foundBefore, std::vector<Damage>& found) {
    const std::size_t reach = settings_.maxWidth;
    const std::size_t decided = found.size();
    for (Candidate c : standIns) {
        const std::uint64_t first = place.start + c.first;
        const std::uint64_t last = place.start + c.last;
        const std::uint64_t peak = place.start + c.peak;
        if (peak < place.decideFirst || peak >= place.decideEnd) continue;
        const auto near = [&](const Damage& d) { return d.span.first <= last + reach && d.span.last + reach >= first; };
        const auto from = found.begin() + static_cast<std::ptrdiff_t>(foundBefore);
        if (std::any_of(from, found.begin() + static_cast<std::ptrdiff_t>(decided), near)) continue;
        // The candidates near it, refused, were interpolated away for the
        // last fit: the sound there is its own damage again, its tail's.
        for (const Candidate& r : refused) {
            if (r.first > c.last + reach || r.last + reach < c.first) continue;
            std::copy(signal_.begin() + static_cast<std::ptrdiff_t>(r.first),
                      signal_.begin() + static_cast<std::ptrdiff_t>(r.last + 1),
                      cleaned_.begin() + static_cast<std::ptrdiff_t>(r.first));
        }
        if (confirm(c, departure(c))) found.push_back(reported(c, place));
    }
}

}  // namespace tesmora::detect
