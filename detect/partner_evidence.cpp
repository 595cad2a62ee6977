// The search of a window against another channel of the signal. Music is
// strongly correlated between the channels; a click of one channel is not.
// In loud music a small click's error hides in the music's own error, but
// this channel's error less the share of it the other channel's error
// explains (both through this channel's model) leaves the click standing out.
#include <algorithm>
#include <cmath>

#include "ar_model.h"
#include "line_swing.h"
#include "window_scanner.h"

namespace tesmora::detect {

namespace {

// How far two gains lie apart, in parts of the larger.
double apart(double a, double b) {
    return std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

}  // namespace

bool WindowScanner::measurePartner() {
    const std::size_t n = count_;
    const auto p = static_cast<std::size_t>(settings_.order);
    const std::size_t end = n > p ? n - p : 0;
    partnerGain_ = 0;
    if (end <= p) return false;
    // The partner's forward error through this channel's model: the test
    // below reads it, and most windows pass it.
    partnerForward_.resize(n);
    forwardError(partner_.data(), n, model_, partnerForward_.data());
    if (!partnerExplainsError()) return false;
    aloneScore_.assign(n, 0.0);
    partnerMatched_.resize(n);
    reversedFilter(partnerForward_.data(), n, model_, partnerMatched_.data());
    // The least-squares gain from the partner's error to this channel's,
    // over the samples where this channel's error stands out little.
    const double quiet = settings_.threshold / 2;
    double cross = 0;
    double energy = 0;
    for (std::size_t i = p; i < end; ++i) {
        // Weighted 0 or 1 rather than skipped: the loop then needs no branch.
        const double counted = score_[i] < quiet ? partnerMatched_[i] : 0.0;
        cross += matched_[i] * counted;
        energy += partnerMatched_[i] * counted;
    }
    partnerGain_ = energy > 0 ? cross / energy : 0;
    // The error the partner leaves, measured in place before it is scored.
    for (std::size_t i = p; i < end; ++i) aloneScore_[i] = matched_[i] - partnerGain_ * partnerMatched_[i];
    cancelledScale_.measure(aloneScore_.data(), p, end, settings_.scaleStretch);
    const double* scale = cancelledScale_.bySample();
    const double threshold = settings_.threshold;
    for (std::size_t i = p; i < end; ++i) {
        // The partner's own damage shows in what it leaves too, but is then
        // larger in the partner's share than in this channel's error.
        // Divided out only where it may start a candidate: the rest are 0.
        // Few stand out: the rest are set without a division.
        const double left = std::fabs(aloneScore_[i]);
        aloneScore_[i] = 0.0;
        if (left <= threshold * scale[i]) continue;
        if (std::fabs(matched_[i]) > std::fabs(partnerGain_ * partnerMatched_[i])) aloneScore_[i] = left / scale[i];
    }
    return true;
}

bool WindowScanner::partnerExplainsError() const {
    // Where the partner's error explains little of this channel's, what it
    // leaves is about this channel's own error: nothing stands out there
    // that this channel's own search misses, and the rest of the work is
    // spared. Judged on the forward errors (the two-sided ones' source) of
    // every few samples: a share of the window's.
    constexpr std::size_t kStride = 8;
    const auto p = static_cast<std::size_t>(settings_.order);
    double cross = 0;
    double own = 0;
    double partner = 0;
    for (std::size_t i = p; i < count_; i += kStride) {
        const double error = partnerForward_[i];
        cross += forward_[i] * error;
        own += forward_[i] * forward_[i];
        partner += error * error;
    }
    return partner > 0 && cross * cross >= settings_.partnerShare * own * partner;
}

void WindowScanner::findPartnerCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& own) const {
    const auto p = static_cast<std::size_t>(settings_.order);
    const double threshold = settings_.threshold;
    const std::size_t end = count_ > 2 * p ? count_ - 2 * p : 0;
    std::size_t i = 2 * p;
    while (i < end) {
        if (aloneScore_[i] <= threshold) {
            ++i;
            continue;
        }
        const Cluster cluster = clusterFrom(aloneScore_.data(), i, end, p, threshold);
        const std::size_t peak = cluster.strongest;
        // Where this channel's own error stands out too, its own search
        // judges the damage.
        bool ownFires = false;
        for (std::size_t j = i; j < cluster.stop && !ownFires; ++j) {
            ownFires = aloneScore_[j] > threshold && score_[j] > threshold;
        }
        i = cluster.stop;
        if (ownFires || nearAny(own, {peak, peak})) continue;
        Candidate candidate = edgesAround(peak, aloneScore_[peak], true);
        candidate.byPartner = true;
        found.push_back(candidate);
        i = std::max(i, candidate.last + 1);
    }
}

const WindowScanner::Candidate* WindowScanner::nearOne(const std::vector<Candidate>& candidates,
                                                       const SampleSpan& span) const {
    // So close that the two would be joined into one: the same damage.
    const std::size_t gap = settings_.mergeGap + static_cast<std::size_t>(settings_.order);
    const auto near = std::find_if(candidates.begin(), candidates.end(), [&](const Candidate& c) {
        return c.first <= span.last + gap && c.last + gap >= span.first;
    });
    return near == candidates.end() ? nullptr : &*near;
}

bool WindowScanner::nearAny(const std::vector<Candidate>& candidates, const SampleSpan& span) const {
    return nearOne(candidates, span) != nullptr;
}

void WindowScanner::confirmAgainstPartner(const std::vector<Candidate>& foundAgainstPartner,
                                          const std::vector<Candidate>& own, const WindowPlace& place,
                                          std::vector<Damage>& found) {
    // The sound both channels share cancelled, this channel's own
    // candidates interpolated in it.
    cancelledSignal_.resize(count_);
    cancelledSound_.resize(count_);
    for (std::size_t i = 0; i < count_; ++i) {
        cancelledSignal_[i] = signal_[i] - partnerGain_ * partner_[i];
        cancelledSound_[i] = cleaned_[i] - partnerGain_ * partner_[i];
    }
    for (Candidate c : foundAgainstPartner) {
        const std::uint64_t peak = place.start + c.peak;
        if (peak < place.decideFirst || peak >= place.decideEnd || nearAny(own, {c.first, c.last})) continue;
        if (c.last - c.first + 1 >= settings_.maxWidth && !cutToCore(c)) continue;
        if (!confirmAgainstPartner(c)) continue;
        found.push_back(reported(c, place));
    }
    cancelledSignal_.clear();
    cancelledSound_.clear();
}

bool WindowScanner::cutToCore(Candidate& candidate) const {
    // A click in both channels, each with its own amplitude, leaves the low
    // tail of its de-emphasis in the errors less the partner's share, and
    // its edges there run on to the longest click. What the line replaces is
    // its core: from its start to where its samples fall below a quarter of
    // its largest departure, which must end within half the longest click
    // (or, in a signal of two channels, run on where this one does not
    // explain it: coreWithin).
    Candidate core = candidate;
    core.last = std::max(core.first, core.peak);
    const double peak = departure(core);
    if (!(peak > 0) || !coreWithin(core, peak)) return false;
    candidate = core;
    return true;
}

double WindowScanner::partnerLeavesAround(const Candidate& core) const {
    const std::size_t span = settings_.scaleStretch;
    const auto p = static_cast<std::size_t>(settings_.order);
    // The sound after the core is measured past the widest core from its
    // start: the pop's slow tail, which holds the pop's own ratio between
    // the channels, lies just after it.
    const std::size_t after = std::max(core.last + 1, core.first + settings_.longestStereoCore);
    if (core.first < span + p || after + span + p >= count_) return 1;
    const SideRelation before = relationOver(core.first - span, core.first);
    const SideRelation afterSide = relationOver(after, after + span);
    const double leaves = std::max(before.left, afterSide.left);
    // Each channel's departure from its own interpolation across the core,
    // and the gain from the partner's to this channel's that explains most
    // of it.
    const auto [cross, otherEnergy, ownEnergy, ownLargest] = departuresAcross(core);
    if (!(ownEnergy > 0)) return 1;
    const double gain = otherEnergy > 0 ? cross / otherEnergy : 0;
    // The same shape in both is the sound's own where its ratio is that of
    // the sound on one side (a drum's before its hit, or its body after).
    // Closely the same shape at a ratio of its own, held on neither side, is
    // damage in both channels, each with its own amplitude and sign: the
    // music holds the ratio of the sound around it, the damage does not. The
    // partner then witnesses it however much of the sound around it the
    // partner leaves, and whether or not the two sides agree.
    const double unexplained = otherEnergy > 0 ? ownEnergy - cross * gain : ownEnergy;
    const bool soundsRatio = apart(gain, before.gain) <= settings_.partnerGainAgreement ||
                             apart(gain, afterSide.gain) <= settings_.partnerGainAgreement;
    if (unexplained <= settings_.partnerCoreShare * ownEnergy && soundsRatio) {
        // At the sound's ratio itself a pop's fall tells nothing: a hit panned
        // with the music may be as sharp.
        const bool ownRatio = apart(gain, before.gain) >= settings_.offRatioBreak ||
                              apart(gain, afterSide.gain) >= settings_.offRatioBreak;
        return loudPopCore(core, ownLargest) ||
                       popBreaksSoundsRatio(core, ownLargest, gain, before.gain, afterSide.gain) ||
                       (ownRatio && fallsAsAPop(core, ownLargest))
                   ? std::min(leaves, settings_.partnerWitnessLeaves)
                   : 1;
    }
    if (unexplained <= settings_.partnerOwnRatioShare * ownEnergy) {
        return std::min(leaves, settings_.partnerWitnessLeaves);
    }
    // Where the two channels hold no steady ratio across the core (sounds
    // of their own in each, panned apart), or the partner leaves nearly all
    // of the sound around it, what the partner lacks there tells little of
    // the core: it is refused, unless the partner hardly departs across the
    // core at all. Then the partner carries none of it, and it needs the
    // evidence of a core the partner witnesses.
    const double unwitnessed =
        otherEnergy <= settings_.partnerSilentShare * ownEnergy ? settings_.partnerWitnessLeaves : 1;
    if (!(apart(before.gain, afterSide.gain) <= settings_.partnerSideAgreement)) return unwitnessed;
    return leaves < settings_.partnerContextLeaves ? leaves : unwitnessed;
}

bool WindowScanner::loudPopCore(const Candidate& core, double largest) const {
    // A pop in both channels whose ratio happens to lie near the sound's is
    // told from the sound's own event by its size and its fall: a quarter of
    // its departure stands well above the sound before it, its damage falls
    // as the de-emphasis' two decays do, and the high-frequency level after
    // it holds, where a loud hit's body rings on.
    const std::size_t span = settings_.scaleStretch;
    if (core.first < span) return false;
    double before = 0;
    for (std::size_t n = core.first - span; n < core.first; ++n) before += cleaned_[n] * cleaned_[n];
    const double level = std::sqrt(before / static_cast<double>(span));
    return settings_.coreOfPeak * largest >= settings_.loudPopFloor * level &&
           fallsAsAPulse(core, settings_.pulseFitLeaves) && steadyAcross(core.first, core.last + 1);
}

bool WindowScanner::popBreaksSoundsRatio(const Candidate& core, double largest, double gain, double before,
                                         double after) const {
    // Damage in both channels strikes each with its own amplitude: near the
    // sound's ratio it still breaks the gain the sound holds steadily on
    // both sides of it. A sound's own event there is heard at that gain, or
    // mixes the sound after it anew (a hit's body), and its sides disagree.
    if (!(apart(before, after) <= settings_.offRatioSidesHold) || !(apart(gain, before) >= settings_.offRatioBreak) ||
        !(apart(gain, after) >= settings_.offRatioBreak) || core.first < settings_.scaleStretch) {
        return false;
    }
    return settings_.coreOfPeak * largest >= settings_.offRatioPopFloor * levelBefore(core.first) &&
           fallsAsAPulse(core, settings_.decayFitLeaves) && steadyAcross(core.first, core.last + 1);
}

bool WindowScanner::departsAgainstSound(const Candidate& whole) const {
    // The music holds a ratio between the channels, its events in both
    // heard at about that ratio; a defect of the groove strikes each channel
    // with its own amplitude and sign. Where the two channels depart across
    // the range in closely the same shape but at a sign against the ratio
    // the sound before holds, the damage is no event of the music's.
    const std::size_t span = settings_.scaleStretch;
    const auto p = static_cast<std::size_t>(settings_.order);
    if (partner_.empty() || whole.first < span + p || whole.last + p >= count_) return false;
    const double soundGain = relationOver(whole.first - span, whole.first).gain;
    if (!(std::fabs(soundGain) >= settings_.soundRatioFloor)) return false;
    const PairedDepartures across = departuresAcross(whole);
    const double match = settings_.againstSoundShape;
    return across.cross * soundGain < 0 &&
           across.cross * across.cross >= match * match * across.otherEnergy * across.ownEnergy;
}

WindowScanner::PairedDepartures WindowScanner::departuresAcross(const Candidate& range) const {
    const std::vector<double> own = gaps_.interpolate(cleaned_.data(), count_, range.first, range.last);
    const std::vector<double> other = gaps_.interpolate(partner_.data(), count_, range.first, range.last);
    PairedDepartures pair;
    for (std::size_t i = 0; i < own.size(); ++i) {
        const double mine = signal_[range.first + i] - own[i];
        const double theirs = partner_[range.first + i] - other[i];
        pair.ownLargest = std::max(pair.ownLargest, std::fabs(mine));
        pair.cross += mine * theirs;
        pair.otherEnergy += theirs * theirs;
        pair.ownEnergy += mine * mine;
    }
    return pair;
}

WindowScanner::SideRelation WindowScanner::GainFit::relation() const {
    if (!(partnerEnergy > 0) || !(ownEnergy > 0)) return {0, 1};
    const double gain = cross / partnerEnergy;
    return {gain, (ownEnergy - cross * gain) / ownEnergy};
}

WindowScanner::SideRelation WindowScanner::relationOver(std::size_t from, std::size_t to) const {
    GainFit fit;
    for (std::size_t n = from; n < to; ++n) fit.add(signal_[n], partner_[n]);
    return fit.relation();
}

std::vector<double> WindowScanner::guessFromPartner(std::size_t first, std::size_t last) const {
    std::vector<double> guess = gaps_.interpolate(cancelledSound_.data(), count_, first, last);
    for (std::size_t i = 0; i < guess.size(); ++i) guess[i] += partnerGain_ * partner_[first + i];
    return guess;
}

bool WindowScanner::confirmAgainstPartner(Candidate& candidate) const {
    // Judged as any click, but in the sound the two channels share
    // cancelled: there a click of this channel alone departs from its
    // interpolation by more than that sound's level, as a click stands out
    // of the music in a channel of its own. At an end of the signal there is
    // too little on one side to judge by: refused.
    const auto p = static_cast<std::size_t>(settings_.order);
    if (cancelledSound_.empty() || candidate.first < p || candidate.last + p >= count_) return false;
    Candidate cancelled = candidate;
    if (confirmInSound(cancelled, cancelledSignal_, cancelledSound_)) {
        candidate = cancelled;
        return true;
    }
    // Where the partner departs across the range too (damage of its own
    // there, as a click in both channels at about the sound's ratio), the
    // cancelled sound holds the partner's damage, and the partner's share
    // of the line's guess carries it: the line seems to gain little. The
    // channel's own sound, where the partner plays no part, judges it then
    // as any click of its own.
    if (!partnerDepartsAcross(candidate)) return false;
    Candidate own = candidate;
    own.byPartner = false;
    if (!confirmInSound(own, signal_, cleaned_)) return false;
    candidate = own;
    return true;
}

bool WindowScanner::partnerDepartsAcross(const Candidate& candidate) const {
    const PairedDepartures across = departuresAcross(candidate);
    return partnerGain_ * partnerGain_ * across.otherEnergy >= settings_.partnerDepartureShare * across.ownEnergy;
}

bool WindowScanner::confirmInSound(Candidate& candidate, const std::vector<double>& raw,
                                   const std::vector<double>& sound) const {
    const Departure across = largestDeparture(candidate, raw, sound);
    const double deviation = across.size;
    // The damage is followed on in this channel as any click's, where its
    // tail stays within the longest click.
    Candidate whole = candidate;
    const double own = departure(candidate);
    if (!extendTail(whole, own, settings_.tailOfPeak)) whole = candidate;
    // A wide range must stand out more, and not swing across its line as a
    // sound's tone does, as any click's; a wide core as any wide core's.
    const bool wideCore = candidate.partnerLeaves < 1;
    const bool wide = wideCore || wideUnlikeAPulse(candidate, whole);
    if (wide && swingsAcrossLine(signal_, whole.first, whole.last, settings_.wideSwing)) return false;
    if (wideCore && !steadyAcross(candidate.first, whole.last + 1)) return false;
    const double evidence = wideCore ? wideCoreEvidence(whole) : wide ? settings_.wideEvidence : 1.0;
    const double needed = neededDeparture(candidate, whole, evidence, sound);
    whole.score = std::min(whole.score, deviation / needed);
    if (deviation < needed || isAttack(whole, across.at) ||
        repeatsAPeriodAway(candidate, true) != PeriodicRepeat::none) {
        return false;
    }
    // The line repairs this channel: it must bring it closer to what its own
    // sound predicts, as for any click (against the partner's share with
    // the cancelled sound interpolated across, where judged in that sound).
    if (!lineAcrossReachedCore(candidate, whole, own, overLevel(candidate, whole, deviation, sound))) {
        return false;
    }
    // Where the partner's share misleads (a drum hit whose two channels
    // differ), the line judged against it alone may draw the channel away
    // from its sound: the range must not leave the channel further from its
    // own interpolation either (asked as plainly of a range judged in the
    // channel's own sound, whose end the line may have run on).
    Candidate plain = candidate;
    plain.byPartner = false;
    return lineBringsCloser(plain, {settings_.lineLeaves, settings_.lineGainOverMiss}, false);
}

}  // namespace tesmora::detect
