// Finds the clicks in one channel of 16-bit samples, read block by block
// from wherever they lie, so that a signal of hours needs no more memory
// than a block and its context.
//
// The method. Music and speech are predictable from their recent past; a
// click is not. Each block (16384 samples, read with context on both sides,
// so that a click straddling a block edge is seen whole) gets an
// autoregressive model of its own, fitted by the autocorrelation method
// (Levinson-Durbin; order 10 plus one per kHz of bandwidth, 14 at 8 kHz,
// at most 28, as at 44.1 kHz).
//
// Finding. The forward prediction error filtered by the time-reversed model
// is the error of predicting each sample from both sides (a matched filter
// for an impulse through the model): a click shows as one sharp peak. Where
// it stands above a local robust scale (the median of its magnitude over
// 10 ms, the largest of three neighbouring stretches, so that the click does
// not raise its own scale, a loud click does not hide a weak one a few
// samples away, and the sharp start of a loud sound, measured against the
// loud stretch after it, seldom fires), a candidate starts. Its first sample
// is where the forward error first rises (it sees only the samples before),
// its last where the backward error last falls. In a loud sound whose band
// ends short of the rate's (a recording cut off there) the two-sided error
// rings for some samples about a click whose front rises over a few, and may
// peak off it, where neither error stands out: the candidate is then that
// one sample, whose line removes nothing of the click. Where no candidate
// with edges of its own lies among the samples where the two-sided error
// stood above the threshold (run on as the edges are), those samples are
// judged in its place once the fits are done, if they depart 5 times the
// sound's RMS before them; in another's crowd it weighs as found. A click
// drags the fit of the model towards itself and hides weaker ones near it:
// so the model is fitted again, up to three times, with every candidate
// found so far interpolated away (the least-squares AR interpolation across
// it), and the search repeated.
// Below 16 kHz a block spans two seconds and more: a voice's loud syllables
// shape its model, and in a quiet or unvoiced stretch beside them (its RMS
// under a quarter of the window's) that model leaves an error several times
// what a model of the stretch would, so that a click of 15 times the
// stretch's level stands a few deviations out, not ten. So each stretch of
// 16 ms so quiet, where the window's forward error stands at least 0.3 of
// its samples' level and 1.5 times what a model of its own leaves (medians;
// that model fitted over it and 24 ms on either side, the samples clipped at
// 3 robust deviations, for over so few samples a click would shape it),
// takes that model's errors, forward and two-sided, and the scales are
// measured again (quiet_stretch.cpp). A candidate found there alone (no
// sample of it above the threshold in the window's model's errors, in any
// fit) is a sound's start where the sound's RMS over 30 ms after it stands
// 1.5 times that over 30 ms ending a longest click before it: a consonant's
// burst in a pause starts a louder sound, a click leaves the sound as it
// was. At 16 kHz and up a block spans a third of a second or less.
// In noise-like sound (surface noise, hiss, cymbals, rain) the error of a
// click's samples is about as large as the error around it, and no one
// sample stands out: there the energy of the forward error over a tenth of
// a millisecond (4 samples at 44.1 kHz; a sample, and so nothing more, at
// 8 kHz) is summed against its robust scale, and where it exceeds 34
// squared deviations a candidate starts too; so does, where the energy finds
// none, the two-sided error over those samples weighted as a pulse falling
// over them (the matched filter for such a click) above 27 squared
// deviations of that sum. It is a fair test only where
// the error around is white Gaussian noise: so only where, 40 ms on either
// side, the error is white (its correlation a sample or two later within
// the chance of the estimate) and its windows seldom reach even half that
// energy.
// There, too, a faint pulse through a phono stage's de-emphasis (3 to 5
// times the sound's RMS) leaves no few samples above those bounds: its
// energy lies in its rise over its raw width and in its decays. The error
// correlated with its whole shape as the model filters it (the
// de-emphasised pulse of a raw defect 1 to 45 samples wide, about two widths
// an octave; the best of them) has a known deviation in white Gaussian
// error, and above 30 squared deviations of it, looked for once the fits
// are done where no candidate lies within the longest click, a candidate
// starts a sample before that shape's start and ends where its core would,
// down to a quarter of its peak (noise_pulse.cpp). It is judged as any
// click (its decays, in noise as loud as its tail, are not asked to fit),
// but its line must gain 1.5 times what the interpolation misses the sound
// by: in noise a line leaves the noise's own energy across it.
// A wide, smooth pulse is predicted well from both sides (the pulse itself
// lies after its front): its two-sided error stays low, while its sudden
// front, unpredictable from the sound before, stands out in the forward
// error. So where the forward error stands above 25 deviations of its scale
// and no candidate lies within the model's order, a candidate starts too,
// looked for once the fits are done, as below; it must depart 1.25 times
// more than a click found otherwise must, for a sound's onset is as
// unpredictable from before.
// A pulse through a phono stage's de-emphasis (a spike falling fast, 75 us,
// then slowly, 3180 us), wide and weak, spreads its two-sided error over its
// edges, and no one sample of it stands out: at 32 kHz and up (below, its
// fast fall lasts under a sample, and the two-sided error already matches
// it) the forward error correlated with that shape as the model filters it
// (the two-sided error summed over the two decays) starts a candidate too,
// above 10 deviations of that sum, looked for once the fits are done (in the
// errors of the last; it draws no fit of its own, for most are refused and
// a fit costs a whole pass), where no candidate lies within the longest
// click (the slow decay reaches back from a click found, and its tail after
// it matches the shape). Such a candidate is kept only where the damage
// after its largest departure, against what the sound before it predicts,
// falls as those two decays do (fitted over 0.7 ms, they leave at most 15 %
// of its energy): an instrument's or a drum's attack, which the shape
// matches as well, falls otherwise.
//
// In a signal of two channels, a pop whose raw defect is itself wide comes
// out of the de-emphasis so smooth that the model predicts it well from
// both sides and from its own front: none of the errors stands out. Its
// samples do: where they stand above 4 times the sound's RMS (the louder of
// that over 40 ms ending half the longest click before and over 40 ms from
// 8 ms after, clear of the pop's slow tail; over a shorter stretch a low
// tone near its crossing seems quiet; near a window's ends, over what the
// window holds of those stretches, half of each at least), in one sign, for a
// quarter of the longest click or more (an eighth, where its peak stands 1.5
// times that bound: a narrower pop's spike, whose slower ringing falls under
// the bound after it), and no candidate lies within the
// longest click, a candidate starts (the run goes on across the dips of a
// pop's ringing: within an eighth of the longest click, under 0.7 of that
// bound, where no sample there or just before the run stands out in the
// other sign, as a sound's own loud swings do), from where the samples first stand a
// quarter of its peak to its peak, looked for once the fits are done. It
// is judged as any wide core, the other channel its witness (below). Where
// a candidate lies near it, it stands aside; where none of those near it
// is confirmed, it is judged in their place, their samples, interpolated
// for the last fit, put back as the sound around it. Such runs are then
// looked for again in what is left of the channel once the sound both
// channels share is cancelled (the channel less the partner at the
// least-squares gain over the window, measured on every fourth sample,
// where it leaves at most half the window's energy), above 5 times the RMS
// of what is left, and where no loud candidate of the channel's own sound
// lies within the longest click: music is strongly correlated between the
// channels, a pop of one channel, or of both at a ratio of its own, is not,
// and one under the music's bound stands out far above what the partner
// leaves. A sound's own event at the music's ratio is cancelled with it;
// one at a ratio of its own (an instrument panned apart) stands out as a
// pop does: there the bound, a quarter above the channel's own (at 4 times,
// a loud orchestral hit panned apart passed the judge), and the judge
// itself, the other channel its witness, must tell it.
//
// In a signal of two channels or more, the same window of the channel this
// one is paired with (the partner) is read alongside. Music is strongly
// correlated between the channels; in loud music a small click's error
// hides in the music's own error, but not in what is left of it once the
// share the partner's error explains is taken out (the partner's two-sided
// error through this channel's model, times the least-squares gain over the
// samples where this channel's error stands out little). Where what is left
// stands above the threshold against its own robust scale, this channel's
// error exceeds the partner's share (else the partner's own click shows
// there), this channel's error alone does not (its own search judges that
// damage) and no candidate lies within the merge gap, a candidate starts,
// its edges found in the errors less the partner's share. They are looked
// for in the first fit only (a second channel's errors cost nearly as much
// as this one's) and draw no fit: this channel's own search goes as it would
// alone. Such a candidate is judged in the cancelled sound (this channel less
// the gain times the partner, its own candidates interpolated): its departure
// from the interpolation there against that sound's level, as (1) judges a
// click against the channel's own; the pitch check (2) as any click's; the
// repair's line against the partner's share with the cancelled sound
// interpolated across, a far closer guess of what the channel held than its
// own interpolation, and against the channel's own interpolation leaving
// no more of the departure than any click's line may; a wide one, or a sound's attack, as any click's; and it is
// followed on as any click. Where the cancelled sound refuses it and the
// partner, at the gain, departs across it by a tenth or more of this
// channel's departure energy (damage of the partner's own there, as a click
// in both channels near the sound's ratio), the partner's damage rides in
// the cancelled sound and in its share of the line's guess, and the line
// seems to gain little: it is then judged in this channel's own sound, as
// any click of its own. Where its edges there run on to the longest
// click (a click in both channels, each with its own amplitude, leaves the
// low tail of its de-emphasis in the errors less the partner's share), it is
// cut to its core, down to a quarter of its largest departure, which must
// end within half the longest click. The search is spared in windows where the
// partner's forward error explains less than half the energy of this
// channel's: what it leaves there is about this channel's own error.
//
// Judging. A percussive onset, a plosive, the pulse of a voiced or bowed
// sound surprise the model too. So a candidate is kept only when (1) its
// samples depart from their AR interpolation by more than 2.5 times the signal's
// RMS on the louder side (the loud signal an onset starts is part of that
// level; a click stands out of it; where the sound holds its level, 1.6
// times, or 0.9 of its loudest sample if that is less: a click as loud as a
// tone's peak is plain; one found by its energy alone, 3 times; where the
// sound starts at it, the level after three times that before, 3.5 times
// the level after, for a drum hit's attack departs as a click does; at
// 32 kHz and up, four fifths of that where the damage after its peak falls
// as the de-emphasis' two decays do, leaving at most 5 % of its energy, and
// the high-frequency level after it holds, as below; in a signal of two
// channels, half of it where the other channel departs from its own
// interpolation across the range in closely the same shape, the two
// correlated at 0.9 or more, but at a sign against the gain the sound
// before holds between them, at least 0.3 of either sign: the music's own
// events are heard in both channels at about that ratio, a defect of the
// groove strikes each with its own amplitude and sign; not for a wide core
// run on past half the longest click (below), whose evidence holds the
// partner's witness already); (2) no
// pulse of like energy lies one period (2 to 20 ms) away that a pitch
// predictor would cancel it with (a period shorter than the longest click,
// as at a low rate, only where the pulses go on: one more a period beyond,
// or one on the other side; the two edges of a wide click, or two clicks
// close together, are no pitch; a single pulse a longer period away only
// where the candidate departs less than twice what it needs, at the bar of
// sensitivity 5 (a loop's own sharp event often lies that near a click),
// and not at all, at 32 kHz and up, for a click whose damage falls as a
// de-emphasised pulse's two decays do, the sound holding across it: dense
// crackle strikes such pulses one after another at random, and only a
// train that goes on is a pitch); (3)
// where candidates crowd (three within 20 ms: a rough, glitchy or crushed
// sound), it departs 1.5 times more than the largest of the others, or, a
// click of that kind, than the largest of those that are not: the clicks of
// dense crackle are a crowd of one kind, a rough sound's grains each depart
// their own way; (4) the
// sound around it (15 ms each side) does not come back 0.25 to 4 s away,
// louder or softer but within a hundredth of its energy, with the
// candidate's own samples in it: an electronic loop plays its own sharp
// events again a beat or a bar later, a click happens once
// (loop_echo.h; that stretch is read for each candidate confirmed, but for
// what the read for the one before holds of it);
// (5) in a signal of two channels or more, another channel (read afresh
// over the candidate and 15 ms each side) does not predict it: where that
// channel times a gain leaves at most a hundredth of the sound's energy on
// each side (the gains fitted on the two sides alone within a fifth of each
// other, for a click in both channels runs on in a tail of its own ratio),
// and leaves of the candidate's departure from the line across it at most
// a twentieth, no sample of it above 3 times the difference around, the
// candidate is the music's own event, heard in both channels as they hold
// around it; a click of one channel, or of both with its own amplitude
// ratio or sign, departs from that prediction (channel_match.h).
// A range wider than half the longest click needs 1.2 times a click's
// departure, unless its damage falls as the de-emphasis' two decays do: the
// wider the range, the more of a sound's own shape its line removes; at
// 32 kHz and up such a range is refused outright where its samples swing
// across the line at least twice a period, slower than a click rings (a
// period of 1/6000 s or more), building up or swelling again where a
// click's ring dies away from its first lobes: a drum's body under its
// attack, a loop's tone (line_swing.h). And a range whose largest
// departure comes a quarter of a millisecond or more after its start, the
// sound's high-frequency level after it 4 times that before, is a sound's
// attack (a consonant's burst): a click jumps to its largest at once, and
// the sound after it is the sound before. In a signal of one channel at
// 32 kHz and up, a range that jumps to its largest at once is an attack too
// where its damage rings to both sides of the guess and the sound's
// high-frequency level after it does not hold (twice that before): a drum
// hit's or a pluck's body rings on after its attack. That level is then
// measured by the slope, for under a faint hiss the curvature sees the
// hiss alone. Below 32 kHz a voice's burst
// grows to its peak within a few samples, too little above the rough sound
// before to start a range there: where the samples in the millisecond
// before the range already depart from what the sound predicts by a
// quarter of its largest departure, the range starts at the peak of a
// sound that grew into it, and the same rise of the high-frequency level
// makes it an attack.
//
// Edges. A click decays into the signal, below what the errors can tell:
// the range is followed on while the samples after it depart from the
// interpolation across them (by 3 deviations of the error and a tenth of
// the click's peak), then runs on by a sample and 40 % of the width found;
// damage that runs on beyond the longest click (2 ms, and at least 64
// samples, for the recording's filters smear a click over some samples
// whatever the rate) is a sound, not a click, unless its core (down to a
// quarter of its peak) is at most half the longest click and departs 3.5
// times more than a click must: a pulse through a phono stage's
// de-emphasis, whose low tail is left as it is. Where the damage after its
// peak falls as the de-emphasis' two decays do (fitted as for a pulse found
// by its shape) and the high-frequency level after the core holds (as
// below), it needs only a click's departure: a drum's or a pluck's body
// does neither. In a signal of two channels, where the user left the
// longest click to the detector, such a core may run on to 8 ms (a pop's
// lasts up to 10 ms), followed by the interpolation or, where that leans on
// the pop's slow tail and runs on, against the extrapolation of the sound
// before it (its mean over 0.36 ms down to a quarter of its peak, which must
// stand above the sound's level, or at least 0.78 of it where the damage
// falls from its peak as the de-emphasis' two decays alone over 8 ms, as
// below): a drum hit's attack runs on as long, but
// the other channel carries it too. So such a core is kept only where the
// partner does not explain it: the two channels hold a steady ratio across
// it (the gains fitted over 10 ms on either side within 70 % of each other;
// the side after from 8 ms past the core's start, clear of the pop's own
// tail, which holds the pop's ratio between the channels)
// and the partner, times a gain, explains at least 5 % of the sound on each
// side, while its own
// departure across the core either has another shape (the best gain leaves
// over half of this channel's) or holds another ratio than the sound's on
// both sides (off by more than 30 %), or, at the sound's ratio, is a loud
// pop's (a quarter of its departure 2.5 times the sound's RMS before it,
// its damage falling as the de-emphasis' two decays do, the high-frequency
// level after it held, where a loud hit's body rings on; the partner is
// then taken to leave at most 0.7 of the sound), or a fainter pop's whose
// ratio breaks the gain the sound holds steadily on both sides (the two
// within 8 % of each other, the core's off both by a tenth or more; a
// hit's body mixes the sound after it anew), a quarter of its departure
// at least 0.7 of that RMS, its damage falling closely as those decays do
// (leaving at most 5 % of its energy), or a fainter pop's off the sound's
// ratio by a tenth or more on one side at least, whose damage, against what
// the sound before it predicts, falls from its peak (within the longest
// click: the raw defect's end) as those two decays alone over the whole
// 8 ms, leaving at most a fifth of its energy, a quarter of it again at
// least 0.7 of that RMS and the high-frequency level held: over 8 ms a
// sound's own event near the channels' ratio (a swell, a hit's body)
// strays from what the sound before predicts as no such fall does. Its departure must then
// exceed 0.09
// of a click's for each half longest click of its width, divided by the
// share of the sound the partner explains on its worse side; the high-frequency
// level after it must hold (as below), its samples not swing across the
// line as a sound's tone does, and the line must leave at most a quarter of
// its departure's energy and gain twice what the interpolation misses by.
// Damage found against the partner (above) whose core so runs on past half
// the longest click is judged the same way. A mono signal keeps its cores
// within half the longest click. Such a tail drifts back
// slowly under a sound that goes on unchanged, and the interpolation across
// the spike leans on it: so the core is also followed against the
// extrapolation of the sound before it, down to 0.23 of its peak (where the
// de-emphasis' two decays, fitted to the damage just after the spike, say it
// ends sooner, there: far ahead the extrapolation strays by the sound's own
// level and would hold the core on), and where
// the high-frequency level after it (the second difference, blind to the
// drift) is at most twice that before, where a drum hit or a consonant
// raises it, the range covers that core, which needs then only 1.5 times a
// click's departure and may span 1.75 ms, at most seven eighths of the
// longest click (a defect of 8 samples at 44.1 kHz draws its core out over
// 1.5 ms), but only a millisecond where those two decays do not explain it
// (a low drum's attack may fall as slowly). A confirmed range's end is
// then followed on the same way, where the mean of the damage over 0.36 ms
// (a single sample strays with the sound) keeps its sign and stays above
// 0.23 of its peak, within the longest click: the interpolation leans on the
// slow fall after the spike and would end the range inside the core. Far
// ahead the prediction strays by the sound's own level, so the end runs on
// at least to where the de-emphasis' slow decay (3180 us), fitted with its
// fast one (75 us) to the damage over 0.7 ms after the peak, falls to 0.23
// of the peak, where the two leave at most 5 % of that damage's energy and
// 0.23 of the peak stands above the sound's RMS before it. Where the
// pulse's front is wider than that fast decay, neither holds far enough:
// after the range the slow decay is all that is left of the damage, so its
// amplitude there is fitted with the AR interpolation across the range
// (starting 0.2 ms early, where a soft front begins) over 6.4 ms, and the
// end runs on to where it falls to 0.23 of the peak, where the fit stands
// 2 deviations clear, 0.23 of the peak stands at least 0.7 of the sound's
// RMS before it (fitted over 6.4 ms, a decay a little below the sound's
// level is still told from it; a higher floor ends the range of a click
// at 3 to 4 times the RMS inside its core), the end lies at most a quarter of the
// longest click past it (cut to it) and the high-frequency level after
// stays as above; the line across that range is judged against the
// interpolation with the decay taken out of the samples after it. In a
// signal of two channels, where the user left the longest click to the
// detector, a loud pop's end (that bound at least 1.5 times the sound's RMS
// before it) may so run on to 8 ms, as a wide core may: lined short, its
// last loud stretch is left in; the other channel judges the sound's own
// events. A range that runs past seven eighths of the longest click there
// is judged as a wide core's line is (at most a quarter of its departure's
// energy left, twice the interpolation's miss gained; half, for an end
// offered past the range found where the samples that end the line still
// depart from the interpolation, on the mean over 0.36 ms, by a quarter of
// the largest departure across it and a quarter of the peak stands over the
// sound's RMS before it: the line ends inside the core, whose fall after it
// the departure counts), and starts a sample
// earlier where that line still helps: a pop's soft front rises over some
// samples into its core. The
// interpolation across a range leans on the samples after it, which still
// carry the core's low end and that decay, and bends towards them: so the end
// is also followed against the interpolation with the decay (fitted jointly,
// at least 3 deviations clear) taken out of them, while the samples after it
// depart by a quarter of the range's largest departure in its sign, at most a
// quarter of the longest click further, the high-frequency level after
// holding; that end is tried first where it reaches further. Where it still
// departs so at seven eighths of the longest click (a drifting core's
// bound), in a signal of two channels where the user left the longest click
// to the detector, and a quarter of the peak stands at least 0.7 of the
// sound's RMS before it, the core goes on there (a pop's slow decay holds
// that quarter longer): it is followed on the same way, up to half the
// longest click past the range, and that end, judged as a wide core's, is
// tried before the shorter one. Where the
// damage's mean holds on as far as the longest click, the two decays fitted
// just after the spike still end the core. In a signal of two channels,
// where the user left the longest click to the detector, a loud core's end
// (a quarter of its peak at least twice the sound's RMS before it) that so
// runs to the longest click is looked for again up to a pop's longest core
// (8 ms), the same way: the ends that reach further are judged as any, and
// the range that comes of them is kept only where it runs on further than
// the shorter look's (in loud noise the line's judgement turns on a sample
// or two of its end). The end found lies where the
// damage sinks into the sound's level, give or take a sample or two: a range
// then runs on by 0.05 ms where its line still helps and it stays within
// seven eighths of the longest click (at a low rate, where a sample is long,
// not at all). In a signal of two channels, where the user left the longest
// click to the detector, a range a quarter of whose departure stands twice
// the sound's RMS before it runs on instead as far as the slow decay takes a
// quarter of the peak down to a fifth (0.7 ms), where its line still helps:
// that quarter is passed slowly, its end is found some samples early, and
// what the short line leaves stands well above the sound. So does a fainter
// range within seven eighths of the longest click, a quarter of whose
// departure stands at least three quarters of the sound's RMS, where its
// damage falls as the de-emphasis' two decays do (the fit leaving at most a
// quarter of its energy) and its longer line meets a wide core's demand: a
// quarter of a faint click's peak lies near the sound's level, where its end
// is found as early. For the same reason, in a signal of two channels, the
// end is followed on in this channel less the partner at the least-squares
// gain fitted over the 3 ms just before the range, where that leaves at
// most three quarters of the sound's energy there (the sound after a click
// may be mixed anew, a note panned elsewhere, and a gain fitted there too
// cancels little of the sound before it): the music both channels share
// cancels there, a click of one channel, or of both at a ratio of its
// own, does not, and against what that quieter
// sound before the range predicts, the damage's mean over 0.36 ms keeps its
// sign and a quarter of its peak well past where the quarter sinks into the
// music in the channel itself. The range runs on so, within seven eighths
// of the longest click, where that quarter stands above the RMS of what the
// partner leaves before the range and the longer line still helps (judged
// against the larger miss, before or after it). Past seven eighths of the
// longest click, where the user left it to the detector, the damage's mean
// there is followed on up to a pop's longest core (8 ms) where that quarter
// stands twice that RMS and the sound's high-frequency level after the end
// holds (a drum's or a pluck's body raises it): a scratch's or a pulse's
// slow decay, faint against the music, holds a quarter of its peak that long,
// and the longer line must then meet a wide core's demand. A click in both
// channels strikes both with one core, and where this channel's share of it
// sinks into its sound its end is found early: where the partner departs
// across the range found in its shape (correlated at 0.9 or more, against
// what its sound before predicts through this channel's model), a quarter
// of the partner's peak stands 1.25 times the partner's RMS before it, and
// the de-emphasis' two decays fitted just after the partner's peak leave at
// most 5 % of its damage there, the range runs on to where that slow decay
// falls to the core's bound, within a pop's longest core and two and a half
// times the range's length as found (the fitted level is noisy, and its
// reach with it), where the longer line still helps (a wide core's past the
// longest drifting core). A loud
// range (its loudness told by its departure from what the sound a quarter
// of the longest click before it predicts, where that is larger: across a
// soft front's first samples the interpolation leans on the pop's rest)
// whose first sample already departs by a quarter of its peak from that
// prediction starts back over the samples before it that still depart by
// more than that sound's RMS, where its line still helps: its soft front
// rose into the core before the error stood out. A
// confirmed range starts a sample earlier where the forward error there
// already departs by half the edge's threshold (the foot of the click's
// rise, which the line would otherwise keep as its end) and the line then
// still helps. And the repair's line, drawn between the samples it keeps,
// is judged against the AR interpolation across the samples it changes: a range is reported only where the line
// leaves them no further from it than they were (at 32 kHz and up at most
// half as far in energy, but for a click as loud as the sound's loudest: a
// line across a sound's own shape leaves much of it, one across damage
// little); a range followed on whose line fails is tried as it was found.
// At 32 kHz and up the line must also gain at least 0.9 of the energy by
// which the same interpolation misses the sound itself across as many
// samples just before the selection: across a loud noise-like stretch (a
// glitch in an electronic loop, a wash) the guess misses by about the
// sound's energy, and a line there removes as much sound as damage. The
// wider a range, the more the guess misses, the more the line must gain.
// Damage that departs less than 2.5 times the sound's RMS about it, or less
// than the loudest sample about it, must gain 3 times that miss: it may be
// the sound's own roughness, or a faint click's tail followed on into the
// music, and its line removes about as much sound as damage. A range found
// wider than a quarter of the longest click whose damage departs less than
// 2.7 times the RMS of the sound before it must gain 5 times the larger of
// the misses just before and just after it, wherever its end lies: a faint
// click's long line in loud, bright music removes as much of the sound as
// of the damage, and the sound after it may be the rougher. A range whose
// end was followed past where it was found is judged against the larger of
// the misses just before and just after it: it reaches into the sound
// after it, which may be louder or rougher than the sound before.
// A drum hit or a pluck is a sharp attack, then the body of the sound it
// starts, ringing to both sides of the guess; a wide range runs on from the
// attack into that body, and the sound after the range is the body, which
// the same interpolation misses by more than the sound before. So a range
// over half the longest click whose damage departs to both sides of the
// guess by a quarter of its largest departure, where the guess misses the
// sound just after it by more than that just before, must gain 10 times
// that miss after (at 32 kHz and up): across damage the line gains an order
// of magnitude more than the guess misses the sound by, across an attack it
// removes the start of the body with it. Damage departs to one side of the
// guess, or rings out within a few samples; and a pop whose damage falls as
// the de-emphasis' two decays do is spared. In a signal of two channels or
// more this is not asked: there the other channel judges the music's own
// events (5), and a click in both channels rings before the music's body as
// well. Below 32 kHz, where the line is
// not judged against that miss, the sound's own energy over the range stands
// in for it: a range whose samples depart from the guess, on the mean, no
// more than the sound's RMS about it is not reported (a voice's buzz, a
// word's rough end, a rough burst no louder than the voice: the line would
// remove as much sound as damage).
// At 32 kHz and up, the line is also judged against the sound around it: a
// straight line across as many samples just before and just after the
// selection misses the sound there by some energy (the smaller of the two),
// about what the repair's line removes of the sound under it; a line whose
// damage removed (its departure from the guess less the guess's own miss)
// is under 1/0.7 of that is refused and the next shorter end tried, but for
// a click as loud as the sound's loudest, a pulse told in noise, or where
// the error around is noise-like (there the line misses noise any repair
// misses). A confirmed range's ends then settle up to 2 samples out where
// the line's gain against the guess grows by more than 2 % of the best
// placement so far (never inwards): the damage's last low samples are
// better lined from a sample beyond.
// At the very start and end of the signal only a one-sided error is there
// to judge by, and the range runs to that end; it is kept where its samples
// depart from what the sound on its one side predicts (the model run across
// it from there) by 2.5 times that sound's RMS: a recording cut into a sound
// starts or ends on the sound's own shape.
//
// A scratch strikes once a revolution (1.8 s at 33 1/3 rpm, 1.33 s at 45,
// 0.77 s at 78) with closely the same shape. So the departure from the
// interpolation of each click confirmed (48 at most, the weakest dropped,
// none wider than the longest click) is looked for again one
// and two revolutions later at each speed, within 0.1 % of that span each
// way (a turntable's speed wanders so much): in the window that holds the
// place, the shape is correlated with the two-sided error of the last fit,
// in deviations of the forward error through the model (a matched filter),
// and where it stands above 22 squared deviations (far under the full
// search's bar, for it tries so few places), not at the look's edge, at a
// gain of a fifth to five times the shape, and no candidate lies there, its
// core (a quarter of the shape's peak) is a candidate, judged as any click,
// the crowd aside; a range judged past one and a half longest clicks is
// refused (revolution_echo.h, revolution_search.cpp). A match three times
// over that bar proves a strike whatever its gain (the shape kept holds the
// line's error across the first strike too): its core needs half the
// departure of a lone click, and no bound of a wide core's; so does a
// candidate the search found itself where a look matches at twice the bar,
// judged again so where nothing else was found; the checks that spare a
// sound's attack and shape hold as for any click.
//
// Selections. Damage found close together is joined first (runs fewer than
// the merge gap apart are one), and only then is each run turned into the
// selection handed out, with good samples where the repair keeps and
// averages (selection.h): so no two selections overlap, and none puts
// damage where the repair keeps or averages.
#ifndef TESMORA_DETECT_CLICK_FINDER_H
#define TESMORA_DETECT_CLICK_FINDER_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "channel_match.h"
#include "click.h"
#include "detector_settings.h"
#include "loop_echo.h"
#include "revolution_echo.h"
#include "window_scanner.h"

namespace tesmora::detect {

// Adds damage in signal order, joining any run that touches or lies closer
// than the merge gap to the last one.
void addDamage(std::vector<Damage>& runs, const Damage& damage, std::size_t mergeGap);

// The selections for runs of damage that addDamage has joined, in a signal
// of length samples.
std::vector<Click> selectionsFor(const std::vector<Damage>& runs, std::uint64_t length);

// The sound around damage, read for the loop check (loop_echo.h) and kept
// from one damage to the next: damage found close together shares most of
// it, and only what the next needs beyond it is read. The buffer holds
// twice the stretch asked: the stretch moves on through it, and what is kept
// is moved back to its start only when the next stretch would run past its
// end, not for every damage.
struct SoundAround {
    explicit SoundAround(std::size_t capacity) : samples(2 * capacity), capacity(capacity) {}
    std::vector<std::int16_t> samples;
    std::size_t capacity;    // the longest stretch held
    std::size_t start = 0;   // where the stretch held begins in samples
    std::uint64_t from = 0;  // the signal index of samples[start]
    std::size_t held = 0;    // samples read from there on
};

// Whether damage comes back with the sound around it a loop period away
// (loop_echo.h). What around holds of the sound there is kept, the rest read
// into it in pieces no longer than piece: the search holds only its window,
// and a reader is asked for no more at a time than the search itself asks.
template <typename Read>
bool comesBackInLoop(LoopEcho& echo, const SampleSpan& span, std::uint64_t length, Read& read, SoundAround& around,
                     std::size_t piece) {
    const std::uint64_t from = span.first > echo.reach() ? span.first - echo.reach() : 0;
    const std::uint64_t to = std::min<std::uint64_t>({length, span.last + 1 + echo.reach(), from + around.capacity});
    const auto wanted = static_cast<std::size_t>(to - from);
    std::size_t got = 0;
    if (from >= around.from && from < around.from + around.held) {
        const auto kept = static_cast<std::size_t>(from - around.from);
        got = std::min(around.held - kept, wanted);
        around.start += kept;
    } else {
        around.start = 0;
    }
    if (around.start + wanted > around.samples.size()) {
        const auto start = static_cast<std::ptrdiff_t>(around.start);
        std::copy_n(around.samples.begin() + start, got, around.samples.begin());
        around.start = 0;
    }
    around.from = from;
    std::int16_t* const held = around.samples.data() + around.start;
    while (got < wanted) {
        const std::size_t asked = std::min<std::size_t>(piece, wanted - got);
        const std::size_t gotNow = read(from + got, held + got, asked);
        got += gotNow;
        if (gotNow < asked) break;
    }
    around.held = got;
    return echo.repeats(held, got, static_cast<std::size_t>(span.first - from),
                        static_cast<std::size_t>(span.last - from));
}

// Whether another channel predicts damage (channel_match.h). The stretch
// around it is read afresh from both channels into samples and other; false
// where it does not fit them, or the other channel gives fewer samples (a
// signal of one channel gives none).
template <typename Read, typename ReadOther>
bool otherChannelPredicts(const ChannelMatch& match, const SampleSpan& span, std::uint64_t length, Read& read,
                          ReadOther& readOther, std::vector<std::int16_t>& samples, std::vector<std::int16_t>& other) {
    if (span.first < match.reach() || span.last + match.reach() >= length) return false;
    const std::uint64_t from = span.first - match.reach();
    const std::uint64_t count = span.last + 1 + match.reach() - from;
    if (count > samples.size()) return false;
    const auto wanted = static_cast<std::size_t>(count);
    if (readOther(from, other.data(), wanted) < wanted || read(from, samples.data(), wanted) < wanted) return false;
    return match.predicts(samples.data(), other.data(), wanted, static_cast<std::size_t>(span.first - from),
                          static_cast<std::size_t>(span.last - from));
}

// read(first, out, count) copies up to count samples from sample first on
// into out and answers how many; readOther does the same for another channel
// of the signal, the evidence damage is judged against (for one channel
// alone, it answers 0); proceed(done, total) is called after each block and
// answers false to stop the search (the clicks found so far are then
// returned). Clicks come in signal order and never overlap.
template <typename Read, typename ReadOther, typename Proceed>
std::vector<Click> findClicks(std::uint64_t length, int sampleRate, const DetectOptions& options, Read&& read,
                              ReadOther&& readOther, Proceed&& proceed) {
    const DetectorSettings settings = settingsFor(sampleRate, options);
    WindowScanner scanner(settings);
    std::vector<std::int16_t> window(settings.blockSize + 2 * settings.margin);
    std::vector<std::int16_t> partnerWindow(window.size());
    std::vector<Damage> runs;
    std::vector<Damage> found;
    LoopEcho echo(sampleRate);
    RevolutionEcho revolutions(sampleRate);
    SoundAround around(2 * echo.reach() + settings.maxWidth + settings.margin);
    const ChannelMatch match(sampleRate);
    std::vector<std::int16_t> samples(2 * match.reach() + settings.maxWidth + settings.margin);
    std::vector<std::int16_t> other(samples.size());
    for (std::uint64_t block = 0; block < length; block += settings.blockSize) {
        const std::uint64_t start = block > settings.margin ? block - settings.margin : 0;
        const std::uint64_t end = std::min<std::uint64_t>(length, block + settings.blockSize + settings.margin);
        const std::size_t got = read(start, window.data(), static_cast<std::size_t>(end - start));
        // The same window of the partner channel, where there is one: damage
        // of this channel alone is looked for against it too.
        const bool paired = got > 0 && readOther(start, partnerWindow.data(), got) == got;
        const WindowPlace place{start, block, std::min<std::uint64_t>(length, block + settings.blockSize), length};
        found.clear();
        scanner.lookForRepeats(&revolutions.looksFor(start, place.decideFirst, place.decideEnd, got,
                                                     static_cast<std::size_t>(settings.order)));
        scanner.scan(window.data(), got, place, found, paired ? partnerWindow.data() : nullptr);
        for (const Damage& damage : found) {
            if (!otherChannelPredicts(match, damage.span, length, read, readOther, samples, other) &&
                !comesBackInLoop(echo, damage.span, length, read, around, window.size())) {
                addDamage(runs, damage, settings.mergeGap);
                revolutions.confirmed(damage.span.first, scanner.departureOver(damage.span, place));
            }
        }
        if (!proceed(place.decideEnd, length)) break;
    }
    return selectionsFor(runs, length);
}

// As above, for a signal of one channel.
template <typename Read, typename Proceed>
std::vector<Click> findClicks(std::uint64_t length, int sampleRate, const DetectOptions& options, Read&& read,
                              Proceed&& proceed) {
    return findClicks(
        length, sampleRate, options, read, [](std::uint64_t, std::int16_t*, std::size_t) { return std::size_t{0}; },
        proceed);
}

}  // namespace tesmora::detect

#endif
