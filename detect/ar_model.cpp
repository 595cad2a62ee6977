#include "ar_model.h"

#include <algorithm>
#include <cmath>

namespace tesmora::detect {

std::vector<double> fitPredictor(const double* x, std::size_t count, int order) {
    const auto p = static_cast<std::size_t>(order);
    std::vector<double> r(p + 1, 0.0);
    for (std::size_t lag = 0; lag <= p && lag < count; ++lag) {
        // Four running sums: independent chains the processor overlaps.
        double sums[4] = {0, 0, 0, 0};
        std::size_t n = lag;
        for (; n + 4 <= count; n += 4) {
            for (std::size_t j = 0; j < 4; ++j) sums[j] += x[n + j] * x[n + j - lag];
        }
        for (; n < count; ++n) sums[0] += x[n] * x[n - lag];
        r[lag] = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    }
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
    std::fill(e, e + count, 0.0);
    if (count <= p) return;
    // One coefficient at a time over every sample: a loop the compiler
    // turns into vector instructions.
    for (std::size_t k = 0; k <= p; ++k) {
        const double coefficient = a[k];
        const double* from = x + p - k;
        double* to = e + p;
        for (std::size_t n = 0; n < count - p; ++n) to[n] += coefficient * from[n];
    }
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
    const std::size_t p = a.size() - 1;
    const std::size_t width = last - first + 1;
    // The error across the gap is e = A u + e0, where u are the unknown
    // samples and e0 the error with them set to zero; the normal equations
    // A'A u = -A'e0 have the Toeplitz matrix of a's autocorrelation.
    std::vector<double> c(p + 1, 0.0);
    for (std::size_t d = 0; d <= p; ++d) {
        for (std::size_t k = 0; k + d <= p; ++k) c[d] += a[k] * a[k + d];
    }
    std::vector<double> e0(width + p, 0.0);
    for (std::size_t row = 0; row < width + p; ++row) {
        const std::size_t n = first + row;
        if (n >= count) break;
        double sum = 0;
        for (std::size_t k = 0; k <= p && k <= n; ++k) {
            const std::size_t at = n - k;
            if (at < first || at > last) sum += a[k] * x[at];
        }
        e0[row] = sum;
    }
    std::vector<double> matrix(width * width, 0.0);
    std::vector<double> u(width, 0.0);
    for (std::size_t i = 0; i < width; ++i) {
        for (std::size_t j = 0; j < width; ++j) {
            const std::size_t d = i > j ? i - j : j - i;
            matrix[i * width + j] = d <= p ? c[d] : 0.0;
        }
        double sum = 0;
        for (std::size_t k = 0; k <= p; ++k) sum += a[k] * e0[i + k];
        u[i] = -sum;
    }
    // Cholesky: the matrix is positive definite (a[0] = 1) and banded, and
    // so is its factor: only the band is worked on.
    for (std::size_t j = 0; j < width; ++j) {
        double diagonal = matrix[j * width + j];
        for (std::size_t k = j > p ? j - p : 0; k < j; ++k) diagonal -= matrix[j * width + k] * matrix[j * width + k];
        diagonal = std::sqrt(std::max(diagonal, 1e-12));
        matrix[j * width + j] = diagonal;
        for (std::size_t i = j + 1; i < width && i <= j + p; ++i) {
            double sum = matrix[i * width + j];
            for (std::size_t k = i > p ? i - p : 0; k < j; ++k) sum -= matrix[i * width + k] * matrix[j * width + k];
            matrix[i * width + j] = sum / diagonal;
        }
    }
    for (std::size_t i = 0; i < width; ++i) {
        double sum = u[i];
        for (std::size_t k = i > p ? i - p : 0; k < i; ++k) sum -= matrix[i * width + k] * u[k];
        u[i] = sum / matrix[i * width + i];
    }
    for (std::size_t i = width; i-- > 0;) {
        double sum = u[i];
        for (std::size_t k = i + 1; k < width && k <= i + p; ++k) sum -= matrix[k * width + i] * u[k];
        u[i] = sum / matrix[i * width + i];
    }
    return u;
}

}  // namespace tesmora::detect
