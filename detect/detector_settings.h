// The detector's working settings, derived from the sample rate and the
// user's two options.
#ifndef TESMORA_DETECT_DETECTOR_SETTINGS_H
#define TESMORA_DETECT_DETECTOR_SETTINGS_H

#include <cstddef>

#include "click.h"
#include "line_swing.h"

namespace tesmora::detect {

// Lengths are in samples; thresholds are at sensitivity 5 (settingsFor
// scales them), chosen at the knee of the benchmark's curve of recall
// against false alarms (scripts/detect-bench.sh): below it recall falls
// fast, above it false alarms grow and recall hardly does.
struct DetectorSettings {
    // The fields marked "by rate" are set from the sample rate by settingsFor.
    int order = 0;                  // of the AR model; by rate
    std::size_t maxWidth = 0;       // the longest click; by rate, or the user's
    std::size_t blockSize = 16384;  // samples decided per block
    std::size_t margin = 1024;      // context read on each side of a block
    int fits = 3;                   // the model is refitted with the candidates found left out
    std::size_t scaleStretch = 0;   // a median of the error is taken over this many samples, and the
                                    // local level is the RMS this far on either side; by rate

    // Finding candidates.
    double threshold = 10;            // peak of the two-sided error, in robust deviations
    double pulseThreshold = 10;       // the error matched to a de-emphasised pulse, in deviations (0: not looked for)
    double noisePulseThreshold = 30;  // ... to one of some raw widths, where the error around is white, squared
    double repeatThreshold = 22;  // a confirmed click's shape matched a revolution on, squared (revolution_search.cpp)

    // A strike matched a revolution on so far over that bar (in times its
    // root) that the match proves it; where the search found a candidate
    // itself, this far; and the share of a lone click's departure such a
    // strike needs (revolution_search.cpp).
    double repeatProves = 3;
    double repeatFoundProves = 2;
    double repeatEvidenceShare = 0.5;

    double frontThreshold = 25;   // the forward error that starts a candidate alone, in robust deviations
    double frontEvidence = 1.25;  // ... and which must then depart this many times more than a click
    double edgeThreshold = 5;     // the one-sided errors that mark a click's edges
    std::size_t edgeGap = 2;      // quiet samples an edge is followed across
    std::size_t tailShare = 25;   // percent of the width seen that the edge runs on by
    // Where no one-sided error marks an edge but at the two-sided error's
    // peak, its cluster is judged in the candidate's place where it departs
    // this many times the sound's RMS before it.
    double ringDeparture = 5;
    // Candidates closer than this are one. At least 4: a selection reaches
    // two samples beyond its damage on each side, and two must not overlap.
    std::size_t mergeGap = 4;
    // In noise-like sound the error of a click's few samples is about as
    // large as the error around it: their energy together is the evidence
    // (noise_evidence.h), where the error around is white Gaussian noise.
    std::size_t energySpan = 0;       // samples whose forward error is summed; by rate
    double energyThreshold = 34;      // their energy, in squared robust deviations
    double shapedThreshold = 27;      // the shaped sum of their two-sided error, in squared deviations
    std::size_t noiseSpan = 0;        // the error looked at on either side; by rate
    double noiseProbe = 16;           // windows of white Gaussian error exceed this energy
    double noiseProbeShare = 0.003;   // ... this share of the time,
    double noiseProbeCluster = 2.5;   // ... about this many overlapping at once (one loud sample lifts several);
    double noiseRoughShare = 0.0045;  // around a click at most this share of them may (twice that on a side);
    double noiseRoughDeviations = 3;  // for a lone window that ends within itself, the chance share plus this
    double noiseSideDeviations = 3;   // ... many deviations of it over the windows counted (a side: this many)
    double whiteBound = 3.5;          // the error's correlation at lags 1 and 2, in deviations of its estimate

    // Telling clicks from the signal.
    double deviationRatio = 2.5;        // departure from the interpolation, against the local level
    double minDeviation = 24;           // ... and at least this, in sample units
    double steadyShare = 0.9;           // the quieter side's level at least this share of the louder: steady
    double steadyDeviationRatio = 1.6;  // the departure needed there, against the level
    double energyDeviationRatio = 3;    // ... and of a click found by the energy of its samples alone
    double plainShare = 0.9;            // ... or this share of the loudest sample around, if smaller
    double onsetRise = 3;               // the level after at least this many times the level before: an onset
    double onsetDeviationRatio = 3.5;   // ... where the departure needed is this, against the level after
    double pulseDeviationShare = 0.8;   // ... this share of it where the damage falls as a de-emphasised pulse's
    double againstSoundShare = 0.5;     // ... or where the partner departs in its shape at a sign against the sound's
    double againstSoundShape = 0.9;     // ... the correlation of the two departures across the range, at least
    double soundRatioFloor = 0.3;       // ... and the gain the sound holds between the channels before it, at least
    std::size_t shortestPeriod = 0;     // of the pitch predictor; by rate
    std::size_t longestPeriod = 0;      // by rate
    double periodicShare = 0.5;         // a pulse a period away, of like energy, that explains this much of it
    double lonePeriodEvidence = 2;      // ... once only, a period longer than a click away: the departure asked, times
    std::size_t attackFront = 0;        // from a range's start to its largest departure (0.25 ms): an attack; by rate
    double attackRise = 4;              // ... where the high-frequency level after is this many times that before
    std::size_t attackLead = 0;         // samples before a range where an attack's build-up may already lie; by rate
    std::size_t textureSpan = 0;        // candidates crowding this far on either side make a texture; by rate
    double textureRatio = 1.5;          // how far a click in a texture stands out of the largest other
    double partnerShare = 0.5;          // searched against the partner channel where its forward error
                                        // explains this share of the energy of this channel's

    // Quiet stretches beside loud ones, where the window's model misses the
    // stretch's own sound (quiet_stretch.cpp).
    std::size_t quietStretch = 0;    // samples given a model of their own (0: none); by rate
    std::size_t quietContext = 0;    // ... read on either side for its fit; by rate
    std::size_t quietLevelSpan = 0;  // a sound's level there is its RMS over this many samples; by rate
    double quietLevel = 0.25;        // a stretch whose RMS is under this times the window's is quiet
    double quietPoorFit = 0.3;       // where the window's error is at least this share of its samples' (medians)
    double quietMisfit = 1.5;        // ... and this many times the stretch's own model's: that model's errors
    double quietClip = 3;            // the samples fitted clipped at this many robust deviations
    double quietRise = 1.5;          // found there alone, the sound after it this many times louder than
                                     // before it: a sound's start

    // Following the tail.
    double tailThreshold = 3;      // departure from the interpolation, in deviations of the error
    double tailOfPeak = 0.1;       // ... and as a share of the click's largest departure
    double coreOfPeak = 0.25;      // ... where the tail outlasts the longest click: its core only
    double coreEvidence = 3.5;     // ... which must then depart this many times more
    double wideEvidence = 1.2;     // a range over half the longest click, unless it falls as a pulse's
    double pulseCoreEvidence = 1;  // ... or this, where it falls as a de-emphasised pulse's and the sound holds
    // In a signal of two channels, a core may run on past half the longest
    // click, up to this many samples (0: not), where the other channel does
    // not explain it; it needs this many times a click's departure for each
    // half longest click of its width.
    std::size_t longestStereoCore = 0;  // by rate, where the user left the longest click to the detector
    double wideCoreEvidence = 0.09;
    // Samples of one sign standing this many times above the sound's RMS for
    // a quarter of the longest click start a candidate of such a core.
    double loudCoreRatio = 4;
    // ... and go on across dips of a pop's ringing, under this share of that
    // bound, where no sample between stands out in the other sign.
    double loudRingDip = 0.7;
    // A run of an eighth of the longest click starts one too where its peak
    // stands this many times that bound: a narrow pop's spike, its ringing
    // under the bound.
    double loudShortRunPeak = 1.5;
    // Samples standing this many times above the RMS of what is left once
    // the sound both channels share is cancelled (this channel less the
    // partner at the gain that fits the window best, where it leaves at
    // most loudCancelledLeaves of the window's energy) start one too.
    double loudCancelledRatio = 5;
    double loudCancelledLeaves = 0.5;
    double partnerCoreShare = 0.5;       // the partner explains a wide core where it leaves at most this share of it
    double partnerGainAgreement = 0.3;   // ... in a gain within this share of that of a side of it
    double partnerSideAgreement = 0.7;   // ... and tells nothing where the gains of the two sides lie further apart,
    double partnerContextLeaves = 0.95;  // ... or where it leaves this share of the sound on a side
    double wideCoreLineLeaves = 0.25;    // the share of its departure's energy the line across such a core may leave
    double wideCoreGainOverMiss = 2;     // ... and the energy it must gain, against what the interpolation misses by
    double heldCoreLineLeaves = 0.5;     // ... or this, offered past the range found, where the line ends in the core
    double heldCoreFloor = 1;            // ... and a quarter of the peak stands this times over the sound's RMS before
    SwingRule wideSwing;                 // ... and none whose samples swing across its line as a sound's do
    // A wide core whose shape the partner shares closely (leaving at most
    // partnerOwnRatioShare of it) at a ratio held on neither side of it is
    // damage in both channels: the partner's witness is then taken as if it
    // left at most partnerWitnessLeaves of the sound around the core. So is
    // one across which the partner departs by at most partnerSilentShare of
    // this channel's energy, where the sound around it says nothing more.
    double partnerOwnRatioShare = 0.25;
    double partnerSilentShare = 0.1;
    // Damage found against the partner that the cancelled sound refuses is
    // judged in this channel's own sound where the partner, at its gain,
    // departs across it by at least this share of this channel's energy.
    double partnerDepartureShare = 0.1;
    double partnerWitnessLeaves = 0.7;
    double loudPopFloor = 2.5;  // a quarter of a pop's departure, against the sound's RMS before: a pop at its ratio
    // A fainter pop near the sound's ratio is told from the sound's own
    // event where the two sides hold one gain (within offRatioSidesHold of
    // each other, as a hit's body does not) and the core's lies at least
    // offRatioBreak from both; its damage must fall closely as the
    // de-emphasis' two decays do (decayFitLeaves) and a quarter of it stand
    // at least offRatioPopFloor of the sound's RMS before it.
    double offRatioSidesHold = 0.08;
    double offRatioBreak = 0.1;
    double offRatioPopFloor = 0.7;
    // ... or where its damage falls from its peak as those two decays over
    // the widest core (8 ms), leaving at most this share of it (0: not asked).
    double popDecayLeaves = 0.2;
    // A wide core whose quarter stands under the sound's RMS before it, but
    // at least this share of it, is followed against what the sound before
    // predicts where it falls so (coreFromBefore).
    double quietPopCoreFloor = 0.78;
    // A pulse through a phono stage's de-emphasis, its tail drifting back
    // slowly under the sound (window_scanner.cpp, driftingCore).
    double driftCoreOfPeak = 0.23;        // its core: down to this share of its peak (a margin on a quarter)
    double driftRise = 2;                 // high-frequency level after the core, at most this times before
    double driftTailShare = 0.8;          // a long tail's mean, at least this share of the core's end
    double driftCoreEvidence = 1.5;       // the departure such a core needs, against a click's
    std::size_t longestDriftingCore = 0;  // ... its longest core: 1.75 ms, 7/8 the longest click at most; by rate
    std::size_t longestUnfittedCore = 0;  // ... where the de-emphasis' decays do not fit it: 1 ms; by rate
    // A confirmed range's core followed on to its end (window_scanner.cpp,
    // reachCoreEnd), and the repair's line judged (lineBringsCloser).
    std::size_t frontLead = 0;     // the decay's fit starts its gap this far before the range (0.2 ms); by rate
    double loudCoreEndFloor = 2;   // a quarter of the peak, against the sound's RMS before: followed to a pop's core
    std::size_t coreMeanRun = 0;   // the damage judged by its mean over this many samples (0.36 ms); by rate
    double slowDecay = 0;          // the de-emphasis' slow time constant (3180 us), in samples; by rate
    double fastDecay = 0;          // ... and its fast one (75 us); by rate
    std::size_t decayFitSpan = 0;  // samples after the peak the two decays are fitted over (0.7 ms); by rate
    double decayFitLeaves = 0.05;  // the share of the damage's energy there the fit may leave
    double pulseFitLeaves = 0.15;  // ... and for damage found by the pulse's shape alone
    // ... and for a click of dense crackle (the crowd and the pitch checks)
    double crackleFitLeaves = 0.25;
    std::size_t tailFitSpan = 0;   // samples after a range its slow decay is fitted over (6.4 ms); by rate
    double tailSignificance = 4;   // the fitted decay's amplitude, in squared deviations of its estimate
    double tailBoundFloor = 0.7;   // ... the core's bound then at least this share of the sound's RMS before
    double loudDecayFloor = 1.5;   // ... and this share, where it may run past the longest click (two channels)
    double followFit = 3;          // the slow decay fitted as an end is followed: its amplitude's significance
    std::size_t endPad = 0;        // a range's end runs on this far where its line still helps (0.05 ms); by rate
    std::size_t stereoEndPad = 0;  // ... in a signal of two channels (0.1 ms); by rate
    // A loud range in a signal of two channels runs on as far as the slow
    // decay takes a quarter of its peak down to a fifth (about 0.7 ms) where
    // its line still helps, where a quarter of its departure stands this
    // many times above the sound's RMS before it; by rate.
    std::size_t loudEndPad = 0;
    double loudEndFloor = 2;
    // ... and a fainter one within the longest drifting core, a quarter of
    // whose departure stands this many times above that RMS, where its
    // damage falls as the de-emphasis' two decays do (the fit leaving at
    // most this share of its energy), its line judged as a wide core's.
    double faintEndFloor = 0.75;
    double faintEndFitLeaves = 0.25;
    // ... and in a signal of two channels followed on in this channel less
    // the partner, where the partner, at the gain fitted over this many
    // samples just before the range, leaves at most this share of the
    // sound's energy there, and a quarter of the peak there stands this many
    // times above the RMS of what it leaves before it.
    std::size_t cancelledEndFitSpan = 0;  // by rate
    double cancelledEndLeaves = 0.75;
    double cancelledEndFloor = 1;
    // ... and past the longest drifting core, up to a pop's longest core,
    // where that quarter stands this many times above it and the sound's
    // high-frequency level after it holds: its line is then a wide core's.
    double wideCancelledFloor = 2;
    // ... and on to where the partner's core ends (the de-emphasis' slow
    // decay fitted after the partner's peak), where the partner departs
    // across the range in its shape (correlated at least so), that core's
    // bound stands this many times above the partner's RMS before it, and
    // the range runs on to at most this many times its length as found.
    double partnerCoreShape = 0.9;
    double partnerCoreFloor = 1.25;
    double partnerCoreReach = 2.5;
    std::size_t wideStartPad = 1;  // ... and a range past the longest drifting core starts this much earlier
    double startLeadShare = 0.5;   // a range starts a sample early where the error there exceeds this of the edge's
    double lineLeaves = 0;         // the share of the departure's energy the line may leave; by rate
    double lineGainOverMiss = 0;   // the energy the line must gain, against what the interpolation misses by
    double faintLevel = 2.5;       // damage departing less than this many times the sound's RMS about it ...
    double faintGainOverMiss = 0;  // ... must gain this much instead; by rate
    // A range found wider than a quarter of the longest click whose damage
    // departs less than this many times the sound's RMS before it ...
    double faintBeforeLevel = 2.7;
    double faintBeforeGainOverMiss = 5;  // ... must gain this much over the larger miss, before or after it
    double noiseGainOverMiss = 1.5;      // ... and a pulse told by its shape alone in noise (noise_pulse.cpp)
    // A line must not miss the sound around it (a straight line across as
    // many samples) by more than this share of the damage it removes, where
    // the error around is not noise-like; by rate.
    double lineMissShare = 0;
    std::size_t endSettle = 0;    // a range's ends move out this far where its line fits the sound better; by rate
    double endSettleGain = 0.02;  // ... where the line's gain grows by this share of the best so far
    std::size_t tailGap = 4;      // quiet samples a tail is followed across
    std::size_t ringGap = 0;      // ... and a core's dip where the stylus rings on it (0.25 ms); by rate
    double ringGapFloor = 1;      // ... where a quarter of its peak stands this times over the sound's RMS before
    std::size_t tailPad = 40;     // percent of the width found that the range runs on by
    // A confirmed range's damage against what its line removes of the sound (range_weight.cpp).
    double soundEnergyShare = 0;     // its energy per sample at least this times the sound's; by rate
    double attackGainOverMiss = 10;  // a wide one ringing to both sides before a sound the guess misses
                                     // more than the sound before: the line gains this times that miss
};

DetectorSettings settingsFor(int sampleRate, const DetectOptions& options);

}  // namespace tesmora::detect

#endif
