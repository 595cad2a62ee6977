#include "ar_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "four_doubles.h"

namespace tesmora::detect {

namespace {

// r[lag] = sum x[n] x[n - lag] for lag in [0, order], each in four running
// sums (over n = lag + j + 4m for j = 0..3). Eight lags are summed side by
// side: thirty-two independent chains the processor overlaps, eight vectors
// of AVX2 where the processor has it (written out: the compiler shuffled the
// sums of the lags when left to find them), and each sample loaded once for
// all eight. Each sum is added up in the same order as lag by lag, so that a lag
// comes out the same in any group: the last group overlaps the one before
// it rather than run with fewer lags.
constexpr std::size_t kLagsTogether = 8;

__attribute__((target_clones("avx2", "default"))) void autocorrelate(const double* x, std::size_t count,
                                                                     std::size_t order, double* r) {
    const std::size_t lagsWithTerms = std::min(order + 1, count);
    for (std::size_t done = 0; done < lagsWithTerms; done += kLagsTogether) {
        const std::size_t first = lagsWithTerms >= kLagsTogether ? std::min(done, lagsWithTerms - kLagsTogether) : done;
        const std::size_t lags = std::min(kLagsTogether, lagsWithTerms - first);
        FourDoubles sums[kLagsTogether] = {};
        // The steps every lag of the group takes: the largest lag's.
        std::size_t together = 0;
        if (lags == kLagsTogether) {
            together = (count - (first + lags - 1)) / 4;
            for (std::size_t m = 0; m < together; ++m) {
                FourDoubles back;
                loadFour(back, x + 4 * m);
                for (std::size_t g = 0; g < kLagsTogether; ++g) {
                    FourDoubles ahead;
                    loadFour(ahead, x + 4 * m + first + g);
                    sums[g] += ahead * back;
                }
            }
        }
        for (std::size_t g = 0; g < lags; ++g) {
            const std::size_t lag = first + g;
            std::size_t n = lag + 4 * together;
            for (; n + 4 <= count; n += 4) {
                FourDoubles ahead;
                FourDoubles back;
                loadFour(ahead, x + n);
                loadFour(back, x + n - lag);
                sums[g] += ahead * back;
            }
            for (; n < count; ++n) sums[g][0] += x[n] * x[n - lag];
            r[lag] = (sums[g][0] + sums[g][1]) + (sums[g][2] + sums[g][3]);
        }
    }
}

// Thirty-two outputs at a time, each summed over the coefficients in their order
// (the same sums, rounded the same, as one coefficient at a time over every
// sample), held in registers rather than stored and loaded again for every
// coefficient. Built for AVX2 too where the processor has it.
constexpr std::size_t kLanes = 32;

__attribute__((target_clones("avx2", "default"))) void filterBlocks(const double* x, std::size_t outputs,
                                                                    const double* a, std::size_t taps,
                                                                    std::ptrdiff_t step, double* out) {
    std::size_t n = 0;
    for (; n + kLanes <= outputs; n += kLanes) {
        double sums[kLanes] = {};
        for (std::size_t k = 0; k < taps; ++k) {
            const double coefficient = a[k];
            const double* from = x + static_cast<std::ptrdiff_t>(n) + step * static_cast<std::ptrdiff_t>(k);
            for (std::size_t j = 0; j < kLanes; ++j) sums[j] += coefficient * from[j];
        }
        for (std::size_t j = 0; j < kLanes; ++j) out[n + j] = sums[j];
    }
    for (; n < outputs; ++n) {
        double sum = 0;
        for (std::size_t k = 0; k < taps; ++k) {
            sum += a[k] * x[static_cast<std::ptrdiff_t>(n) + step * static_cast<std::ptrdiff_t>(k)];
        }
        out[n] = sum;
    }
}

}  // namespace

std::vector<double> fitPredictor(const double* x, std::size_t count, int order) {
    const auto p = static_cast<std::size_t>(order);
    std::vector<double> r(p + 1, 0.0);
    autocorrelate(x, count, p, r.data());
    // A little white noise: keeps the recursion stable on silence and on
    // pure tones, whose autocorrelation matrix is singular.
    r[0] = r[0] * (1 + 1e-9) + 1e-3 * static_cast<double>(count);

    std::vector<double> a(p + 1, 0.0);
    std::vector<double> previous;
    a[0] = 1;
    double error = r[0];
    for (std::size_t i = 1; i <= p; ++i) {
        double acc = r[i];
        for (std::size_t j = 1; j < i; ++j) acc += a[j] * r[i - j];
        const double reflection = -acc / error;
        previous = a;
        for (std::size_t j = 1; j < i; ++j) a[j] = previous[j] + reflection * previous[i - j];
        a[i] = reflection;
        error *= 1 - reflection * reflection;
        if (error <= 0) break;
    }
    return a;
}

void forwardError(const double* x, std::size_t count, const std::vector<double>& a, double* e) {
    const std::size_t p = a.size() - 1;
    std::fill(e, e + std::min(count, p), 0.0);
    if (count <= p) return;
    filterBlocks(x + p, count - p, a.data(), p + 1, -1, e + p);
}

void reversedFilter(const double* e, std::size_t count, const std::vector<double>& a, double* out) {
    const std::size_t p = a.size() - 1;
    if (count <= 2 * p) {
        std::fill(out, out + count, 0.0);
        return;
    }
    std::fill(out, out + p, 0.0);
    filterBlocks(e + p, count - 2 * p, a.data(), p + 1, 1, out + p);
    std::fill(out + count - p, out + count, 0.0);
}

double backwardErrorAt(const double* x, std::size_t count, const std::vector<double>& a, std::size_t n) {
    const std::size_t p = a.size() - 1;
    if (n + p >= count) return 0;
    double sum = 0;
    for (std::size_t k = 0; k <= p; ++k) sum += a[k] * x[n + k];
    return sum;
}

std::vector<double> interpolateGap(const double* x, std::size_t count, const std::vector<double>& a, std::size_t first,
                                   std::size_t last) {
    GapInterpolator gaps(a);
    return gaps.interpolate(x, count, first, last);
}

void GapInterpolator::setModel(const std::vector<double>& a) {
    if (a == a_ && !a_.empty()) return;
    a_ = a;
    const std::size_t p = a_.size() - 1;
    band_.assign(p + 1, 0.0);
    for (std::size_t d = 0; d <= p; ++d) {
        for (std::size_t k = 0; k + d <= p; ++k) band_[d] += a_[k] * a_[k + d];
    }
    factor_.clear();
    factored_ = 0;
    remembered_.clear();
    oldest_ = 0;
}

namespace {

// Whether x[from, to) holds, bit for bit, the values of kept.
bool sameSamples(const double* x, std::size_t from, std::size_t to, const double* kept) {
    return to <= from || std::memcmp(x + from, kept, (to - from) * sizeof(double)) == 0;
}

}  // namespace

const GapInterpolator::Interpolated* GapInterpolator::recalled(const double* x, std::size_t count, std::size_t first,
                                                               std::size_t last, std::size_t from,
                                                               std::size_t to) const {
    for (const Interpolated& gap : remembered_) {
        if (gap.count != count || gap.first != first || gap.last != last || gap.from != from || gap.to != to) continue;
        const std::size_t before = first - from;
        if (sameSamples(x, from, first, gap.context.data()) &&
            sameSamples(x, last + 1, to, gap.context.data() + before)) {
            return &gap;
        }
    }
    return nullptr;
}

void GapInterpolator::remember(const double* x, std::size_t count, std::size_t first, std::size_t last,
                               std::size_t from, std::size_t to, const std::vector<double>& values) {
    if (remembered_.size() < kRemembered) {
        remembered_.emplace_back();
        oldest_ = remembered_.size() - 1;
    }
    Interpolated& gap = remembered_[oldest_];
    oldest_ = (oldest_ + 1) % kRemembered;
    gap.count = count;
    gap.first = first;
    gap.last = last;
    gap.from = from;
    gap.to = to;
    gap.context.assign(x + from, x + first);
    if (last + 1 < to) gap.context.insert(gap.context.end(), x + last + 1, x + to);
    gap.values = values;
}

void GapInterpolator::factorRows(std::size_t width) {
    if (width <= factored_) return;
    // The matrix is banded (half-width order) and positive definite
    // (a[0] = 1), and so is its Cholesky factor: only the band is kept.
    const std::size_t p = a_.size() - 1;
    const std::size_t stride = p + 1;
    factor_.resize(width * stride, 0.0);
    const auto at = [this, stride](std::size_t row, std::size_t column) -> double& {
        return factor_[row * stride + (row - column)];
    };
    for (std::size_t i = factored_; i < width; ++i) {
        const std::size_t start = i > p ? i - p : 0;
        for (std::size_t j = start; j < i; ++j) {
            double sum = band_[i - j];
            for (std::size_t k = start; k < j; ++k) sum -= at(i, k) * at(j, k);
            at(i, j) = sum / at(j, j);
        }
        double diagonal = band_[0];
        for (std::size_t k = start; k < i; ++k) diagonal -= at(i, k) * at(i, k);
        at(i, i) = std::sqrt(std::max(diagonal, 1e-12));
    }
    factored_ = width;
}

void GapInterpolator::errorWithoutGap(const double* x, std::size_t count, std::size_t first, std::size_t last) {
    // Row r is the error at first + r: the terms before the gap are those of
    // k > r, the terms after it those of k <= r - width, summed in k's order.
    const std::size_t p = a_.size() - 1;
    const std::size_t width = last - first + 1;
    e0_.assign(width + p, 0.0);
    for (std::size_t row = 0; row < width + p; ++row) {
        const std::size_t n = first + row;
        if (n >= count) break;
        const std::size_t highest = std::min(p, n);
        double sum = 0;
        if (row >= width) {
            for (std::size_t k = 0; k <= std::min(row - width, highest); ++k) sum += a_[k] * x[n - k];
        }
        for (std::size_t k = row + 1; k <= highest; ++k) sum += a_[k] * x[n - k];
        e0_[row] = sum;
    }
}

std::vector<double> GapInterpolator::interpolate(const double* x, std::size_t count, std::size_t first,
                                                 std::size_t last) {
    const std::size_t p = a_.size() - 1;
    const std::size_t width = last - first + 1;
    // The values depend on the order samples each side of the gap alone.
    const std::size_t from = first > p ? first - p : 0;
    const std::size_t to = std::max(last + 1, std::min(count, last + p + 1));
    if (const Interpolated* known = recalled(x, count, first, last, from, to)) return known->values;
    // The error across the gap is e = A u + e0, where u are the unknown
    // samples and e0 the error with them set to zero; the normal equations
    // A'A u = -A'e0 have the Toeplitz matrix of a's autocorrelation.
    errorWithoutGap(x, count, first, last);
    factorRows(width);
    const std::size_t stride = p + 1;
    const auto at = [this, stride](std::size_t row, std::size_t column) {
        return factor_[row * stride + (row - column)];
    };
    // The right-hand side, A'e0 (each sum over k in its order, as filterBlocks
    // adds it), negated.
    std::vector<double> u(width);
    filterBlocks(e0_.data(), width, a_.data(), p + 1, 1, u.data());
    std::transform(u.begin(), u.end(), u.begin(), [](double value) { return -value; });
    for (std::size_t i = 0; i < width; ++i) {
        double sum = u[i];
        for (std::size_t k = i > p ? i - p : 0; k < i; ++k) sum -= at(i, k) * u[k];
        u[i] = sum / at(i, i);
    }
    for (std::size_t i = width; i-- > 0;) {
        double sum = u[i];
        const std::size_t stop = std::min(width, i + p + 1);
        for (std::size_t k = i + 1; k < stop; ++k) sum -= at(k, i) * u[k];
        u[i] = sum / at(i, i);
    }
    remember(x, count, first, last, from, to, u);
    return u;
}

}  // namespace tesmora::detect
