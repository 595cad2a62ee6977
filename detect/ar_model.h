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

}  // namespace tesmora::detect

#endif
