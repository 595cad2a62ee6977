// The autoregressive model of a stretch of signal: fitted by the
// autocorrelation method (Levinson-Durbin), then used for prediction errors
// and for interpolating a gap from both sides.
#ifndef TESMORA_DETECT_AR_MODEL_H
#define TESMORA_DETECT_AR_MODEL_H

#include <cstddef>
#include <vector>

namespace tesmora::detect {

// The prediction-error filter a[0..order], a[0] = 1: the forward error is
// e[n] = sum a[k] x[n - k], the backward error sum a[k] x[n + k].
std::vector<double> fitPredictor(const double* x, std::size_t count, int order);

// e[n] = sum a[k] x[n - k] for n in [order, count); the first order entries are 0.
void forwardError(const double* x, std::size_t count, const std::vector<double>& a, double* e);
// out[n] = sum a[k] e[n + k] for n in [order, count - order), 0 elsewhere:
// the forward error filtered by the time-reversed model.
void reversedFilter(const double* e, std::size_t count, const std::vector<double>& a, double* out);
// The backward error sum a[k] x[n + k] at one n; 0 where n + order is past the end.
double backwardErrorAt(const double* x, std::size_t count, const std::vector<double>& a, std::size_t n);

// The least-squares AR interpolation of x[first..last] from the samples
// around it (at least order of them on each side must exist): the values
// that make the prediction error across the gap smallest. Returns them.
std::vector<double> interpolateGap(const double* x, std::size_t count, const std::vector<double>& a, std::size_t first,
                                   std::size_t last);

// The same interpolation for the many gaps a window asks of one model. The
// normal equations of a gap of width w are the leading w x w block of one
// banded Toeplitz matrix (a's autocorrelation), so their Cholesky factor is
// the leading block of that matrix's factor, whatever the gap's place: it is
// computed once, row by row as far as the widest gap asked, and each gap
// then costs its right-hand side and two triangular solves. The sums are
// those of interpolateGap, in the same order: the results are the same.
class GapInterpolator {
public:
    GapInterpolator() = default;
    explicit GapInterpolator(const std::vector<double>& a) { setModel(a); }

    // Starts over with another model (keeps the factor where a is the same).
    void setModel(const std::vector<double>& a);
    const std::vector<double>& model() const { return a_; }

    std::vector<double> interpolate(const double* x, std::size_t count, std::size_t first, std::size_t last);

private:
    // A gap interpolated lately, with the samples around it that its values
    // depend on (order of them each side, within the signal). A candidate's
    // tests interpolate the same gap across the same samples again and
    // again; the sums are the same, so the values are looked up instead.
    struct Interpolated {
        std::size_t count = 0;
        std::size_t first = 0;
        std::size_t last = 0;
        std::size_t from = 0;  // context x[from, first) and x[last + 1, to)
        std::size_t to = 0;
        std::vector<double> context;
        std::vector<double> values;
    };
    static constexpr std::size_t kRemembered = 16;

    const Interpolated* recalled(const double* x, std::size_t count, std::size_t first, std::size_t last,
                                 std::size_t from, std::size_t to) const;
    void remember(const double* x, std::size_t count, std::size_t first, std::size_t last, std::size_t from,
                  std::size_t to, const std::vector<double>& values);

    // Extends the factor to the first width rows.
    void factorRows(std::size_t width);
    // The prediction error across the gap with its samples set to zero.
    void errorWithoutGap(const double* x, std::size_t count, std::size_t first, std::size_t last);

    std::vector<double> a_;
    std::vector<double> band_;    // a's autocorrelation at lags 0..order: the matrix's band
    std::vector<double> factor_;  // row i, column i - d at [i * (order + 1) + d]
    std::size_t factored_ = 0;    // rows of factor_ done
    std::vector<double> e0_;
    std::vector<Interpolated> remembered_;  // at most kRemembered, the oldest replaced
    std::size_t oldest_ = 0;
};

}  // namespace tesmora::detect

#endif
