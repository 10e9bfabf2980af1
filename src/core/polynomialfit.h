#pragma once

// Least squares of a polynomial, c0 + c1 x + ... + cd x^d, by GSL's SVD solver
// (gsl_multifit_linear, or gsl_multifit_wlinear with weights), so that badly spread points
// give the best coefficients the data allow rather than a failure. The size calibration's
// ladder curves and the standard curves' quadratics share it.

#include <vector>

namespace kesto {

// The coefficients c0 ... cd for the points (x[i], y[i]); weights empty: unweighted, else
// one w_i per point minimising sum w_i (y_i - p(x_i))^2. *rss (when given) gets that sum.
// Empty when GSL cannot allocate or reports a failure (GSL's abort handler must be off,
// as it is in the core's callers).
std::vector<double> polynomialLeastSquares(const std::vector<double>& x,
                                           const std::vector<double>& y,
                                           const std::vector<double>& weights, int degree,
                                           double* rss = nullptr);

} // namespace kesto
