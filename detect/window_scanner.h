// The search of one window of the signal: a block with context on both
// sides. Knows nothing of where the samples come from.
#ifndef TESMORA_DETECT_WINDOW_SCANNER_H
#define TESMORA_DETECT_WINDOW_SCANNER_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "ar_model.h"
#include "click.h"
#include "detector_settings.h"
#include "noise_evidence.h"
#include "revolution_echo.h"
#include "robust_scale.h"
#include "selection.h"

namespace tesmora::detect {

// Where a window lies in the signal, and which of its clicks it decides.
struct WindowPlace {
    std::uint64_t start = 0;        // the window's first sample in the signal
    std::uint64_t decideFirst = 0;  // clicks peaking in [decideFirst, decideEnd) are this window's
    std::uint64_t decideEnd = 0;
    std::uint64_t signalLength = 0;
};

// A run of damaged samples (signal indices), and how far it stood above the
// thresholds that found it.
struct Damage {
    SampleSpan span;
    double score = 0;
};

// A cluster of values above a threshold, joined across fewer than gap
// values below it: its strongest index, and the index after its last.
struct Cluster {
    std::size_t strongest;
    std::size_t stop;
};

// The cluster of values[first, end) that starts at first (above threshold).
Cluster clusterFrom(const double* values, std::size_t first, std::size_t end, std::size_t gap, double threshold);

class WindowScanner {
public:
    explicit WindowScanner(const DetectorSettings& settings) : settings_(settings) {}

    // Appends the damage of samples[0, count) that this window decides, in
    // order, to found. partner, where given, is the same window of another
    // channel of the signal (count samples): damage of this channel alone
    // is then also looked for against what that channel predicts.
    void scan(const std::int16_t* samples, std::size_t count, const WindowPlace& place, std::vector<Damage>& found,
              const std::int16_t* partner = nullptr);
    // Where the next scan looks for a confirmed click's shape again
    // (revolution_echo.h); null or empty: nowhere. Held until changed.
    void lookForRepeats(const std::vector<RepeatLook>* looks) { repeatLooks_ = looks; }
    // After a scan: the departure of damage it found from the interpolation
    // across it, its shape for the looks of the windows to come.
    std::vector<double> departureOver(const SampleSpan& span, const WindowPlace& place);

private:
    struct Candidate {
        std::size_t first;  // the damaged samples, window indices
        std::size_t last;
        std::size_t peak;
        double score;            // peak score against the threshold
        bool byEnergy;           // found by the energy of its samples only
        bool byPulse = false;    // found by the error matched to a de-emphasised pulse only
        bool byPartner = false;  // found only against what the partner channel predicts
        bool byFront = false;    // found by its forward error only
        bool inNoise = false;    // found by its shape alone in white Gaussian error (noise_pulse.cpp)
        // Where a confirmed click's shape matched a revolution on so far over
        // the look's bar that the match proves a strike: the match, in
        // times that bar (revolution_search.cpp); 0 for any other.
        double repeatProof = 0;
        // Of a core wider than half the longest click, in a signal of two
        // channels: the share of the sound around it the partner leaves
        // (partnerLeavesAround); 1 for any other.
        double partnerLeaves = 1;
        // Of a candidate found by its two-sided error whose edges marked
        // nothing but its peak: where that error stood above the threshold
        // (its cluster, run on as the edges are); 0 for any other.
        std::size_t ringFirst = 0;
        std::size_t ringLast = 0;
    };

    // The model and its errors for the window as cleaned so far; refit: the
    // window's errors were measured before, with fewer clicks filled.
    void computeErrors(bool refit);
    // The errors' scales, and the two-sided error's score against its own.
    void measureScores(bool refit);
    // The errors of quiet stretches the window's model misses, from a model
    // of each such stretch (quiet_stretch.cpp); false where none was.
    bool modelQuietStretches();
    // Whether a candidate found by such a stretch's model alone starts a
    // louder sound (a consonant's burst in a pause), not a click.
    bool startsInQuietStretch(const Candidate& candidate) const;
    void findCandidates(std::vector<Candidate>& found) const;
    // Whether either one-sided error at a sample stands above the edges' bar.
    bool edgeAt(std::size_t at) const;
    // Candidates whose edges marked nothing but the peak, judged over their
    // cluster where it departs far above the sound before it; answers each
    // candidate's departure as judged (departures: as found).
    std::vector<double> judgeRingsWhole(std::vector<Candidate>& candidates,
                                        const std::vector<double>& departures) const;
    void findEnergyCandidates(std::vector<Candidate>& found) const;
    // Candidates where a confirmed click's shape, matched against the
    // two-sided error where a look expects it again, stands out
    // (revolution_search.cpp).
    void findRepeatCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before) const;
    // Those judged as any click, where no damage found from foundBefore on
    // lies near them.
    void confirmRepeats(const std::vector<Candidate>& repeats, const WindowPlace& place, std::size_t foundBefore,
                        std::vector<Damage>& found) const;
    // Candidates where the forward error alone stands out: a smooth pulse's front.
    void findFrontCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before) const;
    // The forward error correlated with a pulse through the de-emphasis as
    // the model filters it, in deviations of that sum where the error is
    // white; and the candidates it finds where no other was found.
    void matchPulse();
    // Wide damage standing many times above the sound's level, in a signal
    // of two channels (loud_core.cpp): in this channel's sound, then in what
    // is left of it once the sound both channels share is cancelled;
    // standIns: such damage where other candidates lie near it.
    void findLoudCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before,
                            const std::vector<Candidate>& againstPartner, std::vector<Candidate>& standIns);
    // A sound the loud candidates are looked for in.
    struct LoudSearch {
        const std::vector<double>& sound;  // its samples
        const std::vector<double>& quiet;  // ... with the candidates interpolated away: its level's source
        double ratio;                      // the bound, against that level
        std::size_t known;                 // found[0, known): the candidates of the other searches
        // The loud candidates of an earlier search, found[foundFrom,
        // foundTo) and standIns[standInsFrom, standInsTo): none is looked for
        // again near them.
        std::size_t foundFrom = 0;
        std::size_t foundTo = 0;
        std::size_t standInsFrom = 0;
        std::size_t standInsTo = 0;
    };
    void findLoudRuns(const LoudSearch& search, std::vector<Candidate>& found, const std::vector<Candidate>& before,
                      const std::vector<Candidate>& againstPartner, std::vector<Candidate>& standIns);
    // The loud candidates that stood aside for others, judged where none of
    // those near them was confirmed (found from foundBefore on).
    void confirmStandIns(const std::vector<Candidate>& standIns, const std::vector<Candidate>& refused,
                         const WindowPlace& place, std::size_t foundBefore, std::vector<Damage>& found);
    // before: the candidates of the fits before.
    void findPulseCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before) const;
    // In noise-like sound: the error matched to pulses of several raw widths
    // through the de-emphasis, and the candidates it finds where the error
    // around is white (noise_pulse.cpp).
    void findNoisePulseCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& before);
    // Whether the damage from the candidate's largest departure on falls as
    // the de-emphasis' two decays do.
    bool fallsAsAPulse(const Candidate& candidate, double leaves) const;
    // One kind of evidence of a few samples together: their energy, or
    // their sum weighted by a click's shape.
    void findWindowCandidates(std::vector<Candidate>& found, bool shaped) const;
    // Whether the error around at is like white Gaussian noise, where the
    // energy of a few samples is a fair test.
    bool noiseLikeAround(std::size_t at, bool withinChance = false) const;
    bool aloneWithinChance(std::size_t at, const double* evidence, std::size_t end, double threshold) const;
    // againstPartner: the edges of damage found against the partner channel,
    // in this channel's errors less the partner's share.
    Candidate edgesAround(std::size_t peak, double score, bool againstPartner = false) const;
    // The two-sided error of the partner channel through this channel's
    // model, and this channel's error less the share of it the partner's
    // explains (partner_evidence.cpp).
    // false where the partner explains too little of this channel's error
    // for a search against it.
    bool measurePartner();
    // Whether the partner's forward error (partnerForward_, measured first)
    // explains enough of this channel's.
    bool partnerExplainsError() const;
    // Damage of this channel alone, where its error stands out of what the
    // partner's explains but not by itself, and no candidate of own lies.
    void findPartnerCandidates(std::vector<Candidate>& found, const std::vector<Candidate>& own) const;
    // The first candidate within the merge gap of span, or null; and
    // whether there is one.
    const Candidate* nearOne(const std::vector<Candidate>& candidates, const SampleSpan& span) const;
    bool nearAny(const std::vector<Candidate>& candidates, const SampleSpan& span) const;
    // Appends to found the damage found against the partner that this
    // window decides, lies clear of this channel's own candidates and is
    // confirmed.
    void confirmAgainstPartner(const std::vector<Candidate>& foundAgainstPartner, const std::vector<Candidate>& own,
                               const WindowPlace& place, std::vector<Damage>& found);
    // Whether a candidate found against the partner departs from its
    // interpolation in the cancelled sound as a click departs in its own,
    // or, where the partner departs across it too, is confirmed in this
    // channel's own sound as any click.
    bool confirmAgainstPartner(Candidate& candidate) const;
    // Whether the partner, at the gain of its share, departs across the
    // candidate by partnerDepartureShare of this channel's departure energy.
    bool partnerDepartsAcross(const Candidate& candidate) const;
    // The confirmation of a candidate found against the partner, judged in
    // raw against sound (the cancelled pair, or signal_ and cleaned_ with
    // byPartner cleared).
    bool confirmInSound(Candidate& candidate, const std::vector<double>& raw, const std::vector<double>& sound) const;
    // A candidate found against the partner that reached the longest click,
    // cut to its core; false where that core is itself too wide.
    bool cutToCore(Candidate& candidate) const;
    void fillCandidates(const std::vector<Candidate>& candidates);
    // How a candidate's error comes back a period away: not at all, once
    // (a single pulse a period longer than a click away), or as a train.
    // Where onceWillDo, the search stops at the first repeat of either kind
    // (the caller refuses the candidate for both).
    enum class PeriodicRepeat { none, once, train };
    PeriodicRepeat repeatsAPeriodAway(const Candidate& candidate, bool onceWillDo = false) const;
    // Whether the candidate's error coming back a period away explains it,
    // given how far it departs beyond what it needs (standing: 1 just enough).
    bool explainedByPeriod(const Candidate& candidate, double standing) const;
    // Running sums of the raw error's squares over [origin, origin + size):
    // the energy of any window within, to within slack of its sum in order.
    struct RunningEnergy {
        std::size_t origin = 0;
        std::vector<double> before;  // at i: of [origin, origin + i)
        double slack = 0;
    };
    RunningEnergy runningEnergy(std::size_t from, std::size_t to) const;
    // Whether the raw error offset samples away from [from, to) cancels
    // most of energy, the energy of [from, to). A window whose energy the
    // running sums place surely outside the test's bounds is not summed.
    bool cancelledFrom(std::size_t from, std::size_t to, double energy, std::ptrdiff_t offset,
                       const RunningEnergy& running) const;
    // Whether offset lies within the window and the running sums leave the
    // test open; and the test itself on the sums of the window's error
    // times the one offset away (cross) and of the latter's squares.
    bool mayCancelFrom(std::size_t from, std::size_t to, double energy, std::ptrdiff_t offset,
                       const RunningEnergy& running) const;
    bool cancels(double energy, double cross, double shiftedEnergy) const;
    // cancelledFrom at the offsets side * (lag + j) into cancelled[j], the
    // four summed side by side.
    void cancelledAtFourLags(std::size_t from, std::size_t to, double energy, std::ptrdiff_t side, std::size_t lag,
                             const RunningEnergy& running, std::array<bool, 4>& cancelled) const;
    // Follows the damage on while it departs by shareOfPeak of its peak;
    // false when it runs on to longest samples (0: the longest click).
    bool extendTail(Candidate& candidate, double peakDeviation, double shareOfPeak, std::size_t longest = 0) const;
    // The core of damage whose low tail outlasts the longest click: from
    // the candidate's start to where it falls below a share of its peak
    // (deviation), within half the longest click; in a signal of two
    // channels, wider where the partner does not explain it (its
    // partnerLeaves then below 1).
    bool coreWithin(Candidate& core, double deviation) const;
    // The evidence a wide core needs: it grows with its width, and as the
    // partner tells less of the sound around it.
    double wideCoreEvidence(const Candidate& whole) const;
    // Of a core wider than half the longest click: the larger share of this
    // channel's sound the partner leaves unexplained on either side of it
    // (the less, the surer its witness); 1 where the partner explains the
    // core (its own departure across the core has the same shape, in the
    // ratio the two channels hold on one side of it or the other), or the
    // two hold no steady ratio across it (partner_evidence.cpp); at most
    // partnerWitnessLeaves where the partner departs across the core in
    // closely its shape at a ratio of its own, or hardly departs at all.
    double partnerLeavesAround(const Candidate& core) const;
    // Whether a core the partner departs across in its shape, at the sound's
    // ratio, is a loud pop's nonetheless (largest: its departure from the
    // interpolation across it).
    bool loudPopCore(const Candidate& core, double largest) const;
    // Whether such a core is a fainter pop at a ratio of its own near the
    // sound's: gain, the ratio of the two departures across it, breaks the
    // one the sound holds on both sides (before, after).
    bool popBreaksSoundsRatio(const Candidate& core, double largest, double gain, double before, double after) const;
    // Whether such a core, against what the sound before it predicts, falls
    // from its peak as the de-emphasis' two decays over the widest core: a
    // pop whose ratio only happens to lie near the sound's.
    bool fallsAsAPop(const Candidate& core, double largest) const;
    // A wide core's end, where the damage falls below a quarter of its peak
    // against what the sound before it predicts; false where it runs on to
    // the widest core, or that quarter lies below the sound's level.
    bool coreFromBefore(Candidate& core) const;
    // Whether the partner departs across whole in closely this channel's
    // shape, at a sign against the ratio the sound before it holds between
    // the two (partner_evidence.cpp): a defect in both channels.
    bool departsAgainstSound(const Candidate& whole) const;
    // Each channel's departure from its own interpolation across range:
    // their product summed, the energy of each, and this channel's largest.
    struct PairedDepartures {
        double cross = 0;
        double otherEnergy = 0;
        double ownEnergy = 0;
        double ownLargest = 0;
    };
    PairedDepartures departuresAcross(const Candidate& range) const;
    // The least-squares gain from the partner to this channel over
    // [from, to), and the share of this channel's energy it leaves.
    struct SideRelation {
        double gain;
        double left;
    };
    // The sums that gain is fitted from, sample by sample.
    struct GainFit {
        double cross = 0;
        double partnerEnergy = 0;
        double ownEnergy = 0;
        void add(double own, double partner) {
            cross += own * partner;
            partnerEnergy += partner * partner;
            ownEnergy += own * own;
        }
        // No gain, all of the sound left, where either channel is silent.
        SideRelation relation() const;
    };
    SideRelation relationOver(std::size_t from, std::size_t to) const;
    // ... fitted over the cancelled end's stretch just before whole (the
    // window must hold it).
    SideRelation relationJustBefore(const Candidate& whole) const;
    void mergeInto(std::vector<Candidate>& candidates, const std::vector<Candidate>& fresh) const;
    // The departure from the AR interpolation that tells a click from the
    // sound around it: candidate as found, whole with its tail; evidence
    // multiplies it (the core of damage whose tail outlasts the longest
    // click must stand out more).
    // sound: the samples whose level the departure is measured against;
    // decayOut as for levelsAround.
    double neededDeparture(const Candidate& candidate, const Candidate& whole, double evidence,
                           const std::vector<double>& sound, bool decayOut = false) const;
    // How far the samples from first on depart from what the model predicts
    // from the samples before first alone.
    std::vector<double> departureFromBefore(std::size_t first, std::size_t length) const;
    // ... and the length samples up to last from what it predicts, run
    // backwards, from the samples after last alone.
    std::vector<double> departureFromAfter(std::size_t last, std::size_t length) const;
    // Whether the candidate is the core of a pulse whose low tail drifts
    // back slowly under an unchanged sound; if so, core ends with it.
    bool driftingCore(Candidate& core, bool tailOutlasts) const;
    // The sound's high-frequency level (the RMS of its second difference)
    // before first and after last, past the model's order on each side;
    // not measured where the window holds too little around.
    struct HighFrequencyLevels {
        double before = 0;
        double after = 0;
        bool measured = false;
    };
    // bySlope: measured by the first difference rather than the second.
    HighFrequencyLevels highFrequencyAround(std::size_t first, std::size_t last, bool bySlope = false) const;
    // Whether the sound's high-frequency level after last stays within
    // driftRise of that before first.
    bool steadyAcross(std::size_t first, std::size_t last) const;
    // Whether the range whole, its largest departure at largestAt, is a
    // sound's attack rather than a click.
    bool isAttack(const Candidate& whole, std::size_t largestAt) const;
    // Whether the range whole, jumping to its largest at once as a click
    // does, is the attack of a ringing sound (a drum hit, a pluck) in a
    // signal of one channel (range_weight.cpp).
    bool startsRingingSound(const Candidate& whole) const;
    // How a range's samples depart from their AR interpolation across it:
    // the energy of the departure, and its largest on each side.
    struct Spread {
        double energy = 0;
        double highest = 0;
        double lowest = 0;
        // Whether it departs to both sides by share of its largest.
        bool bothSides(double share) const { return std::min(highest, -lowest) >= share * std::max(highest, -lowest); }
    };
    Spread spreadAcross(const Candidate& range) const;
    // Whether the samples just before whole already depart from the sound
    // by a good share of its largest departure (a build-up it starts after).
    bool buildsUpBefore(const Candidate& whole) const;
    // A confirmed range's last sample, followed on to where the damage,
    // against what the sound before it predicts, falls below a quarter of
    // its peak (byMean); byDecay at least as far as the de-emphasis' decay
    // fitted to it says. Neither is before the range's own last sample.
    // It looks as far as the longest click, or with loudLook up to a pop's
    // longest core where a quarter of the peak stands well above the sound
    // before the range (as found otherwise); lookFurther tells where a loud
    // core's end ran to the end of the shorter look.
    struct CoreEnds {
        std::size_t byTail;
        std::size_t byDecay;
        std::size_t byMean;
        bool lookFurther;
    };
    CoreEnds reachCoreEnd(const Candidate& whole, bool loudLook) const;
    // The range's last sample followed on while the samples after it depart
    // from the interpolation across it, with the de-emphasis' slow decay
    // taken out of the samples it leans on, by a quarter of the range's
    // largest departure, within longest samples of its start and reachPast
    // after its end; the range's own last sample where that decay is not
    // told from the sound, or the sound after does not hold.
    std::size_t interpolatedCoreEnd(const Candidate& whole, std::size_t longest, std::size_t reachPast) const;
    // That end followed on past the longest drifting core, up to a pop's
    // longest core, where the core still goes on at the drifting core's
    // bound and a quarter of the peak stands over the sound (two channels);
    // kNoEnd otherwise.
    std::size_t coreFollowedOut(const Candidate& whole, std::size_t interpolated, double deviation) const;
    // In a signal of two channels: where the partner departs across the
    // range in this channel's shape and a quarter of its peak stands over
    // the partner's sound, where the partner's core ends (the de-emphasis'
    // slow decay, fitted just after its peak, falling to the core's bound),
    // within a pop's longest core and a few times the range's length;
    // kNoEnd where that tells nothing past the range's end.
    std::size_t partnersCoreEnd(const Candidate& whole, const Candidate& range) const;
    // In a signal of two channels: the range's last sample followed on while
    // the damage, in this channel less the partner at the gain the sound
    // just before it holds, keeps a quarter of its peak against what that sound
    // before it predicts; the range's own last sample where the partner
    // leaves too much of the sound, or the damage holds as far as it looks.
    // It looks within the longest click, and on up to a pop's longest core
    // where a quarter of the peak stands far clear of what the partner
    // leaves and the sound's high-frequency level holds across it: an end
    // past the longest drifting core is sure only so.
    struct CancelledEnd {
        std::size_t last;
        bool sure;
    };
    CancelledEnd cancelledCoreEnd(const Candidate& whole) const;
    // Where the de-emphasis' slow decay, fitted after the range jointly with
    // the interpolation across it, falls below the core's bound; the range's
    // own last sample where it does not fit.
    std::size_t decayTailEnd(const Candidate& whole) const;
    // The longest a core followed by the de-emphasis' slow decay may run:
    // in a signal of two channels, where the user left the longest click to
    // the detector, a pop's (longestStereoCore); else the longest click.
    std::size_t longestDecayCore() const;
    // Whether range runs on past the longest drifting core, where a core
    // may run on further (longestDecayCore).
    bool outlastsDriftingCore(const Candidate& range) const;
    // Where the slow decay fitted to the damage just after its peak falls
    // below the core's bound (an index into away), or 0 where it does not fit.
    std::size_t fittedDecayEnd(const std::vector<double>& away, std::size_t peak, std::size_t first) const;
    // How many samples the de-emphasis' slow decay, of level slowLevel where
    // the damage's peak is peak, stays above the core's bound; -1 where it
    // never does, or where that bound lies below floor times the sound's
    // level before first.
    double slowDecayReach(double peak, double slowLevel, std::size_t first, double floor = 1) const;
    // What the repair's line across a range must achieve: leave no more than
    // leaves of the energy by which its samples depart from their AR
    // interpolation, and gain overMiss times what that interpolation misses
    // the sound by just before it (interpolationMiss).
    struct LineDemand {
        double leaves;
        double overMiss;
        bool eitherSide = false;    // judged against the larger miss, before or after the range
        bool soundAround = true;    // judged against what a line misses the sound around by (line_ends.cpp)
        double whereCoreHolds = 0;  // ... or this, where the core still holds at the line's end (coreHoldsAtEnd)
    };
    // Whether the line across the range meets demand. With decayAfter, the
    // interpolation takes the de-emphasis' slow decay out of the samples
    // after the range first (decay_tail.h).
    bool lineBringsCloser(const Candidate& whole, const LineDemand& demand, bool decayAfter) const;
    // demand made as strict as a wide core's line must meet: it removes the
    // sound under it with the damage.
    LineDemand asAWideCore(LineDemand demand) const;
    // The sound's RMS over the scale's stretch before sample at (at least
    // that stretch from the signal's start), what a range's loudness is
    // told against.
    double levelBefore(std::size_t at) const;
    // Whether a range found wider than a quarter of the longest click
    // departs less than faintBeforeLevel times the sound's RMS before it.
    bool faintAgainstBefore(const Candidate& whole, double deviation) const;
    // Whether a quarter of the range's departure stands floor times above
    // the sound's RMS before it, in a signal of two channels where the user
    // left the longest click to the detector.
    bool standsLoudOverSound(const Candidate& whole, double deviation, double floor) const;
    // ... and whether quarter, so taken, stands so.
    bool quarterStandsOverSound(const Candidate& whole, double quarter, double floor) const;
    // Whether the range's end runs on as far as the slow decay takes a
    // quarter of its peak down to a fifth (loudEndPad), and what its line
    // must then achieve (demand, made stricter for a fainter range);
    // pastDrift: the range runs past the longest drifting core.
    bool carriesOn(const Candidate& whole, double deviation, bool pastDrift, LineDemand& demand) const;
    // The confirmed range started a sample earlier where the forward error
    // there already carries the click's rise and the line still helps.
    Candidate startedEarlier(const Candidate& range, const LineDemand& demand, bool decayAfter) const;
    // A loud range started back over its front's samples that still depart
    // from the sound before them by more than its level, where the line helps.
    Candidate loudStartedEarlier(const Candidate& range, const Candidate& whole, double deviation,
                                 const LineDemand& demand, bool decayAfter) const;
    // How far the AR interpolation misses the sound itself (energy) across
    // as many samples as the selection (from, to) changes, just before it,
    // in sound (the clicks found so far interpolated).
    double interpolationMiss(std::size_t from, std::size_t to, const std::vector<double>& sound) const;
    // ... and across as many samples just after it.
    double interpolationMissAfter(std::size_t from, std::size_t to, const std::vector<double>& sound) const;
    // ... across width samples from first.
    double interpolationMissAt(std::size_t first, std::size_t width, const std::vector<double>& sound) const;
    // How far the samples the repair changes across selection lie from
    // guess (the sound's best guess there, one value a changed sample),
    // before the repair and after it: what the line gains.
    struct LineEffect {
        double before = 0;
        double after = 0;
        double gain() const { return before - after; }
    };
    LineEffect lineEffect(const SampleSpan& selection, const std::vector<double>& guess) const;
    // Whether the samples that end the selection still depart from guess,
    // on the mean over a core's mean run, by a quarter of the largest
    // departure across it in its sign: the line ends inside the core
    // (line_ends.cpp).
    bool coreHoldsAtEnd(const SampleSpan& selection, const std::vector<double>& guess) const;
    // What a straight line across the selection's width misses the sound
    // around it by, and whether that outweighs the damage the line removes
    // (line_ends.cpp).
    double lineMissOfSound(std::size_t from, std::size_t to) const;
    bool lineRemovesMoreSound(const LineEffect& effect, std::size_t from, std::size_t to) const;
    // A confirmed range's ends moved out a sample or two where its line fits
    // the sound better.
    void settleEnds(Candidate& range) const;
    // The damage reported for a confirmed range: its ends settled, its
    // samples placed in the whole signal.
    Damage reported(Candidate range, const WindowPlace& place) const;
    // Whether the damage of a confirmed range outweighs what its line would
    // remove of the sound's own shape (range_weight.cpp).
    bool outweighsSound(const Candidate& range) const;
    // This channel's samples [first, last] as the partner predicts them: its
    // share of the partner and the cancelled sound interpolated across.
    std::vector<double> guessFromPartner(std::size_t first, std::size_t last) const;
    // How far the samples depart from their AR interpolation across the
    // candidate, and where the most; -1 where one side lacks the context.
    // raw: the samples as they are; sound: the same with the candidates
    // found so far interpolated, whose interpolation is the guess.
    struct Departure {
        double size;
        std::size_t at;
    };
    Departure largestDeparture(const Candidate& candidate, const std::vector<double>& raw,
                               const std::vector<double>& sound) const;
    double departure(const Candidate& candidate) const;
    // What a candidate in a crowd is, judged where it matters.
    enum class CrowdKind : unsigned char { unjudged, crackle, other };
    // Whether a candidate stands out of the others crowding around it: more
    // than the largest of them, kinds given, the largest that is no crackle.
    bool standsOutOfTexture(std::size_t index, const std::vector<Candidate>& candidates,
                            const std::vector<double>& departures, const std::vector<CrowdKind>& kinds) const;
    // Whether a click of dense crackle stands out of the crowd around it
    // (kinds: what is known of each candidate, judged where unjudged).
    bool standsOutOfCrackle(std::size_t index, const std::vector<Candidate>& candidates,
                            const std::vector<double>& departures, std::vector<CrowdKind>& kinds) const;
    // Whether the candidate's damage falls as a de-emphasised pulse's two
    // decays do and the sound holds across it (at rates where the shape tells).
    bool fallsAsCrackle(const Candidate& candidate) const;
    // At an end of the signal, where the candidate has a side only: whether
    // it departs from what that side predicts as a click does.
    bool standsOutAtSignalEnd(Candidate& candidate) const;
    bool confirm(Candidate& candidate, double deviation) const;
    // Whether whole (candidate with its tail) spans over half the longest
    // click, its damage not falling as a de-emphasised pulse's: a range
    // whose line may remove a sound's own shape.
    bool wideUnlikeAPulse(const Candidate& candidate, const Candidate& whole) const;
    // The range a confirmed candidate (whole, with its tail; deviation, its
    // departure) ends with: its core's end followed on where the repair's
    // line then still helps; false where no end's line does.
    // aboveLevel: the departure against the sound's level about it (overLevel).
    bool lineAcrossReachedCore(Candidate& candidate, const Candidate& whole, double deviation, double aboveLevel) const;
    // What the line across an end must do.
    struct EndJudging {
        LineDemand demand;
        double deviation;
        bool faintWide;
    };
    // The confirmed range run on to the partner's core's end where its line
    // still helps (judged as a wide core's past the longest drifting core).
    void followPartnersCore(Candidate& candidate, const Candidate& whole, const EndJudging& judging) const;
    // The first of the ends in order (those marked kNoEnd skipped, each
    // judged once) whose line helps, run on and started earlier as
    // lineAcrossReachedCore tells; byDecay is the end the fitted decay tells
    // (the line across a range past it leans on that decay).
    bool firstLinedEnd(Candidate& candidate, const Candidate& whole, std::initializer_list<std::size_t> ends,
                       std::size_t byDecay, const EndJudging& judging) const;
    // The range ending at last, run on past it where the line still helps;
    // false where the line across it does not.
    bool lineAcrossEnd(Candidate& candidate, const Candidate& whole, std::size_t last, std::size_t byDecay,
                       const EndJudging& judging) const;
    // The sound's RMS just before the candidate and just after whole.
    struct SoundLevels {
        double before;
        double after;
    };
    // decayOut: the level after measured with the de-emphasis' slow decay,
    // fitted after whole, taken out, where that is lower.
    SoundLevels levelsAround(const Candidate& candidate, const Candidate& whole, const std::vector<double>& sound,
                             bool decayOut = false) const;
    // The sound's RMS over [whole.last + 1, to) less the de-emphasis' slow
    // decay fitted after whole; infinite where no decay stands out.
    double levelWithoutDecay(const Candidate& whole, const std::vector<double>& sound, std::size_t to) const;
    // The departure against the larger of the two (infinite in silence).
    double overLevel(const Candidate& candidate, const Candidate& whole, double deviation,
                     const std::vector<double>& sound) const;

    DetectorSettings settings_;
    std::size_t count_ = 0;
    bool atStart_ = false;           // the window holds the signal's first sample
    bool atEnd_ = false;             // ... its last
    std::vector<double> signal_;     // the samples
    std::vector<double> cleaned_;    // the samples with the clicks found so far interpolated
    std::vector<Candidate> filled_;  // where cleaned_ departs from signal_
    std::vector<double> model_;      // the prediction-error filter
    // The interpolation of gaps under model_; its factor grows with the gaps
    // asked, from const judges too.
    mutable GapInterpolator gaps_;
    std::vector<double> forward_;
    // The largest score of each sample in the window's model's errors over
    // the fits, where quiet stretches get models of their own (else empty).
    std::vector<double> blockScore_;
    std::vector<double> quietScratch_;  // a quiet stretch's fit: its magnitudes, ordered in part
    std::vector<double> quietFitted_;   // ... its samples, clipped
    std::vector<double> quietForward_;  // ... and its errors
    std::vector<double> quietMatched_;
    std::vector<double> rawError_;  // the forward error of the samples as they are, with the final model
    std::vector<double> matched_;   // the two-sided error: forward error filtered by the reversed model
    std::vector<double> score_;
    std::vector<double> pulseScore_;       // the error matched to a de-emphasised pulse starting at each sample
    std::vector<double> pulseSuffix_;      // ... that sum, signed and undivided, summed from each sample on
    std::vector<double> noiseScore_;       // the best of the widths matched in noise (noise_pulse.cpp), in deviations
    std::vector<double> noiseWidth_;       // ... and which one it is
    std::vector<double> pulseShape_;       // the de-emphasised impulse it is matched to
    std::vector<double> pulseShapeError_;  // ... its forward error, the model's order of silence before it
    std::vector<std::size_t> noiseCoreEnds_;  // the cores' ends of the widths matched in noise (noise_pulse.cpp)
    NoiseEvidence noise_;                     // of the forward error
    const std::vector<RepeatLook>* repeatLooks_ = nullptr;
    RobustScale forwardScale_;
    RobustScale matchedScale_;
    // Another channel's window, where searched against it (else empty).
    std::vector<double> partner_;
    std::vector<double> partnerForward_;
    std::vector<double> partnerMatched_;
    double partnerGain_ = 0;               // of the partner's error in this channel's
    std::vector<double> aloneScore_;       // the error the partner leaves, against its scale
    std::vector<double> cancelledSignal_;  // signal_ less partnerGain_ times the partner, while confirming against it
    std::vector<double> cancelledSound_;   // cleaned_ less partnerGain_ times the partner
    RobustScale cancelledScale_;
    // The loud search's buffers, a window long, kept from window to window:
    // made anew each time, buffers this large are mapped afresh and every
    // page of them faulted in again.
    std::vector<double> loudEnergy_;          // running sums of the level's source
    std::vector<double> loudCancelled_;       // signal_ less the partner at the window's gain
    std::vector<double> loudCancelledQuiet_;  // cleaned_ less the same
};

}  // namespace tesmora::detect

#endif
