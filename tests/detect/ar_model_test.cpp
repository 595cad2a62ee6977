// The AR model on signals it describes exactly: a sum of two sines is
// predicted to within rounding, and a gap in it is interpolated back. Its
// filters give the plain sums to the last bit, whatever the length; the
// robust scale gives the exact medians however it finds them. A slow decay
// after a gap is fitted with its interpolation.
#include "ar_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "decay_tail.h"
#include "noise_evidence.h"
#include "robust_scale.h"

namespace tesmora::detect {
namespace {

std::vector<double> twoSines(std::size_t length) {
    std::vector<double> x(length);
    for (std::size_t n = 0; n < length; ++n) x[n] = 9000 * std::sin(0.05 * n) + 3000 * std::sin(0.31 * n + 1);
    return x;
}

TEST(ArModel, PredictsAndInterpolatesWhatItDescribes) {
    const std::vector<double> x = twoSines(4096);
    const std::vector<double> a = fitPredictor(x.data(), x.size(), 12);
    ASSERT_EQ(a.size(), 13u);
    EXPECT_EQ(a[0], 1.0);
    std::vector<double> e(x.size());
    forwardError(x.data(), x.size(), a, e.data());
    for (std::size_t n = 0; n < 12; ++n) EXPECT_EQ(e[n], 0.0);
    for (std::size_t n = 12; n < x.size(); ++n)
        ASSERT_LT(std::fabs(e[n]), 30.0) << n;  // a few thousandths of the signal
    EXPECT_NEAR(backwardErrorAt(x.data(), x.size(), a, 100), 0.0, 30.0);
    EXPECT_EQ(backwardErrorAt(x.data(), x.size(), a, x.size() - 12), 0.0);  // no samples after it to use

    // Gaps of one sample, of a few, and far wider than the order, with the
    // samples inside spoilt: what is there must not matter.
    for (const auto& [first, last] : {std::pair<std::size_t, std::size_t>{700, 700}, {1000, 1006}, {2000, 2040}}) {
        std::vector<double> spoilt = x;
        for (std::size_t n = first; n <= last; ++n) spoilt[n] = 30000;
        const std::vector<double> gap = interpolateGap(spoilt.data(), spoilt.size(), a, first, last);
        ASSERT_EQ(gap.size(), last - first + 1);
        for (std::size_t i = 0; i < gap.size(); ++i)
            EXPECT_NEAR(gap[i], x[first + i], 120.0) << first + i;  // 1 % of the peak
    }

    // A gap whose damage runs on after it as a slow decay (or none): the
    // decay's amplitude is found, and the gap is filled as the sound was.
    GapInterpolator gaps(a);
    for (const double amplitude : {2500.0, -4000.0, 0.0}) {
        std::vector<double> damaged = x;
        for (std::size_t n = 3000; n <= 3030; ++n) damaged[n] = -20000;
        for (std::size_t n = 3031; n < x.size(); ++n) damaged[n] += amplitude * std::exp(-(n - 3031.0) / 140);
        const DecayTail tail = fitDecayTail(damaged.data(), damaged.size(), gaps, 3000, 3030, 280, 140);
        EXPECT_NEAR(tail.amplitude, amplitude, 100.0) << amplitude;
        if (amplitude != 0) {
            EXPECT_GT(tail.significance, 100.0);
        }
        ASSERT_EQ(tail.gap.size(), 31u);
        for (std::size_t i = 0; i < tail.gap.size(); ++i) EXPECT_NEAR(tail.gap[i], x[3000 + i], 120.0) << i;
    }
    EXPECT_TRUE(fitDecayTail(x.data(), x.size(), gaps, 4000, 4030, 280, 140).gap.empty());  // no room after it
}

TEST(ArModel, FiltersGiveThePlainSumsAtEveryLength) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 1000);
    // Lengths around the filters' blocks of outputs and the order's edges.
    for (const std::size_t order : {1u, 3u, 28u}) {
        for (const std::size_t length : {0u, 1u, 5u, 28u, 29u, 56u, 57u, 63u, 64u, 65u, 97u, 1001u}) {
            std::vector<double> x(length);
            for (double& v : x) v = noise(random);
            std::vector<double> a(order + 1);
            for (double& v : a) v = noise(random) / 1000;
            a[0] = 1;
            std::vector<double> forward(length, -1.0);
            std::vector<double> reversed(length, -1.0);
            forwardError(x.data(), length, a, forward.data());
            reversedFilter(x.data(), length, a, reversed.data());
            for (std::size_t n = 0; n < length; ++n) {
                double plainForward = 0;
                double plainReversed = 0;
                for (std::size_t k = 0; k <= order; ++k) {
                    if (n >= order) plainForward += a[k] * x[n - k];
                    if (n >= order && n + order < length) plainReversed += a[k] * x[n + k];
                }
                ASSERT_EQ(forward[n], plainForward) << "order " << order << ", length " << length << ", n " << n;
                ASSERT_EQ(reversed[n], plainReversed) << "order " << order << ", length " << length << ", n " << n;
            }
        }
    }
}

TEST(ArModel, OneInterpolatorFillsEveryGapAsAFreshOneWould) {
    // Gaps asked of one interpolator in an order that widens its factor,
    // narrows and widens it again, under models of several orders and back
    // again: each is filled to the last bit as by an interpolator made for
    // it alone, and makes the error across it smallest (its gradient in the
    // gap's samples vanishes).
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0, 300);
    std::vector<double> x = twoSines(3000);
    for (double& v : x) v += noise(random);
    const std::pair<std::size_t, std::size_t> gaps[] = {{500, 500}, {600, 640}, {700, 703}, {800, 1150}, {1300, 1301}};
    GapInterpolator reused;
    for (const int order : {2, 12, 28, 12}) {
        const std::vector<double> a = fitPredictor(x.data(), x.size(), order);
        reused.setModel(a);
        for (const auto& [first, last] : gaps) {
            SCOPED_TRACE(testing::Message() << "order " << order << ", gap " << first << "-" << last);
            const std::vector<double> gap = reused.interpolate(x.data(), x.size(), first, last);
            EXPECT_EQ(gap, GapInterpolator(a).interpolate(x.data(), x.size(), first, last));
            std::vector<double> filled = x;
            std::copy(gap.begin(), gap.end(), filled.begin() + static_cast<std::ptrdiff_t>(first));
            std::vector<double> error(x.size());
            forwardError(filled.data(), filled.size(), a, error.data());
            for (std::size_t i = first; i <= last; ++i) {
                double gradient = 0;
                for (std::size_t k = 0; k < a.size(); ++k) gradient += a[k] * error[i + k];
                ASSERT_NEAR(gradient, 0.0, 1e-6) << i;
            }
        }
    }
    // A gap asked again once one sample has changed, at the farthest the
    // order reaches on either side, just beyond, or inside the gap: filled as
    // a fresh interpolator fills it, whatever it filled before.
    const std::vector<double> a = reused.model();
    const std::size_t p = a.size() - 1;
    const std::size_t changes[] = {600 - p - 1, 600 - p, 599, 620, 641, 640 + p, 640 + p + 1};
    for (const std::size_t changed : changes) {
        reused.interpolate(x.data(), x.size(), 600, 640);
        std::vector<double> moved = x;
        moved[changed] += 1000;
        EXPECT_EQ(reused.interpolate(moved.data(), moved.size(), 600, 640),
                  GapInterpolator(a).interpolate(moved.data(), moved.size(), 600, 640))
            << changed;
    }
}

TEST(NoiseEvidence, ShapedSumIsInDeviationsOfItselfWhateverTheModel) {
    // White error through the reversed filter of models from none to a
    // strong resonance: the shaped sum, in squared deviations of itself,
    // averages 1 (the two-sided error is correlated as the model says),
    // and a pulse of the shape k deviations strong reads k squared.
    const std::vector<std::vector<double>> models{{1}, {1, -0.9}, {1, -1.6, 0.8}, {1, 0.5, 0.3}};
    for (const std::vector<double>& model : models) {
        SCOPED_TRACE(model.size());
        std::mt19937 random(5);
        std::normal_distribution<double> noise(0, 1);
        const std::size_t count = 200000;
        const std::size_t order = model.size() - 1;
        std::vector<double> error(count);
        for (double& e : error) e = noise(random);
        std::vector<double> matched(count);
        reversedFilter(error.data(), count, model, matched.data());
        RobustScale scale;
        scale.measure(matched.data(), order, count - order, 441);
        NoiseEvidence evidence;
        evidence.measureShaped(matched.data(), scale, order, count - order, model, 4);
        double sum = 0;
        const std::size_t end = count - order - 4;
        for (std::size_t n = order; n < end; ++n) sum += evidence.shapedSums()[n];
        EXPECT_NEAR(sum / static_cast<double>(end - order), 1.0, 0.06);
        // A pulse in the signal is the pulse through the model in the forward error.
        const std::size_t at = count / 2;
        std::vector<double> pulse(count, 0.0);
        const double shape[] = {1, 0.75, 0.5, 0.25};
        for (std::size_t k = 0; k < 4; ++k) pulse[at + k] = shape[k];
        std::vector<double> forward(count);
        forwardError(pulse.data(), count, model, forward.data());
        reversedFilter(forward.data(), count, model, matched.data());
        NoiseEvidence clean;
        clean.measureShaped(matched.data(), scale, order, count - order, model, 4);
        // Its energy through the model's own whitening is its squared
        // strength, against the scale the two-sided error is measured by
        // (in white error of deviation 1 it is the model's own norm).
        double strength = 0;
        for (std::size_t n = at; n < at + 4 + order; ++n) strength += forward[n] * forward[n];
        double norm = 0;
        for (const double a : model) norm += a * a;
        const double expected = strength * norm / std::pow(scale.ownAt(at), 2);
        EXPECT_NEAR(clean.shapedSums()[at], expected, 0.01 * expected);
    }
}

TEST(NoiseEvidence, WhitenessIsDecidedAsByTheSumsInOrder) {
    // Error white and coloured, stretches with a part left out or not, and
    // bounds at the answer's very edge (where the order of the sums could
    // tip it) and about it: the answer is that of the sums taken in order.
    std::mt19937 random(13);
    std::normal_distribution<double> noise(0, 1);
    const std::size_t count = 6000;
    const std::vector<double> unit(count, 1.0);
    for (const double colour : {0.0, 0.3, -0.6}) {
        std::vector<double> error(count);
        double before = 0;
        for (double& e : error) before = e = noise(random) + colour * before;
        NoiseEvidence evidence;
        evidence.measure(error.data(), unit.data(), 0, count, 4, 34);
        for (const auto& [from, to, skipFrom, skipTo] : std::vector<std::array<std::size_t, 4>>{
                 {100, 3600, 1800, 1850}, {2000, 5990, 0, 0}, {0, 6000, 3, 40}, {5000, 6000, 5990, 6000}}) {
            double power = 0, one = 0, two = 0;
            std::size_t counted = 0;
            for (std::size_t n = from; n + 2 < to; ++n) {
                if (n + 2 >= skipFrom && n < skipTo) continue;
                power += error[n] * error[n];
                one += error[n] * error[n + 1];
                two += error[n] * error[n + 2];
                ++counted;
            }
            const double root = std::sqrt(static_cast<double>(counted));
            const double edge = std::max(std::fabs(one), std::fabs(two)) * root / power;
            for (const double factor : {1 - 1e-6, 1 - 1e-15, 1.0, 1 + 1e-15, 1 + 1e-6}) {
                const double limit = edge * factor * power / root;
                EXPECT_EQ(evidence.white(from, to, skipFrom, skipTo, edge * factor),
                          std::fabs(one) <= limit && std::fabs(two) <= limit)
                    << "colour " << colour << ", from " << from << ", factor " << factor;
            }
        }
    }
}

TEST(RobustScale, GivesTheExactMedians) {
    // Values of several kinds: Gaussian, heavy-tailed (as music's error is),
    // whole numbers (many equal to one another and to a bracket's ends),
    // and silence between loud stretches; levels that jump between
    // stretches; and a measure again after a small change, a middling one and
    // a large one (each guess near or far from the answer).
    const std::size_t stretch = 100;
    for (const char* kind : {"gaussian", "heavy tails", "whole numbers", "silence"}) {
        SCOPED_TRACE(kind);
        std::mt19937 random(3);
        std::normal_distribution<double> noise(0, 1);
        std::vector<double> values(2050);
        for (std::size_t n = 0; n < values.size(); ++n) {
            double v = noise(random) * (1 + 20.0 * ((n / stretch) % 3 == 1));
            if (kind[0] == 'h') v = v * v * v;
            if (kind[0] == 'w') v = std::round(3 * v);
            if (kind[0] == 's' && (n / stretch) % 3 != 1) v = 0;
            values[n] = v;
        }
        RobustScale scale;
        for (const double change : {0.0, 0.01, 0.3, 3.0}) {
            for (std::size_t n = 0; n < values.size(); n += 7) values[n] *= 1 + change;
            scale.measure(values.data(), 10, values.size(), stretch, change > 0);
            std::vector<double> medians;
            for (std::size_t block = 0; block * stretch < values.size(); ++block) {
                std::vector<double> every;
                for (std::size_t n = std::max<std::size_t>(10, block * stretch);
                     n < std::min(values.size(), (block + 1) * stretch); n += 2) {
                    every.push_back(std::fabs(values[n]));
                }
                std::sort(every.begin(), every.end());
                medians.push_back(every[every.size() / 2] * (1 / 0.6745));  // as the scale rounds it
            }
            for (std::size_t n = 0; n < values.size(); ++n) {
                const std::size_t block = n / stretch;
                double expected = medians[block];
                if (block > 0) expected = std::max(expected, medians[block - 1]);
                if (block + 1 < medians.size()) expected = std::max(expected, medians[block + 1]);
                ASSERT_EQ(scale.at(n), std::max(expected, 0.5)) << "change " << change << ", n " << n;
            }
            EXPECT_EQ(scale.at(values.size() + 500), scale.at(values.size() - 1));  // past the end: the last stretch's
        }
    }
}

}  // namespace
}  // namespace tesmora::detect
