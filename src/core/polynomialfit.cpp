#include "core/polynomialfit.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_vector.h>

#include <cstddef>

namespace kesto {

std::vector<double> polynomialLeastSquares(const std::vector<double>& x,
                                           const std::vector<double>& y,
                                           const std::vector<double>& weights, int degree,
                                           double* rss)
{
    const std::size_t n = x.size();
    const std::size_t p = std::size_t(degree) + 1;
    if (degree < 0 || n == 0 || y.size() != n || (!weights.empty() && weights.size() != n))
        return {};
    gsl_matrix* design = gsl_matrix_alloc(n, p);
    gsl_vector* values = gsl_vector_alloc(n);
    gsl_vector* w = gsl_vector_alloc(n);
    gsl_vector* c = gsl_vector_alloc(p);
    gsl_matrix* covariance = gsl_matrix_alloc(p, p);
    gsl_multifit_linear_workspace* work = gsl_multifit_linear_alloc(n, p);
    std::vector<double> coefficients;
    if (design && values && w && c && covariance && work) {
        for (std::size_t i = 0; i < n; ++i) {
            double power = 1;
            for (std::size_t j = 0; j < p; ++j) {
                gsl_matrix_set(design, i, j, power);
                power *= x[i];
            }
            gsl_vector_set(values, i, y[i]);
            gsl_vector_set(w, i, weights.empty() ? 1.0 : weights[i]);
        }
        double sum = 0;
        const int status = weights.empty()
                               ? gsl_multifit_linear(design, values, c, covariance, &sum, work)
                               : gsl_multifit_wlinear(design, w, values, c, covariance, &sum, work);
        if (status == GSL_SUCCESS) {
            for (std::size_t j = 0; j < p; ++j)
                coefficients.push_back(gsl_vector_get(c, j));
            if (rss)
                *rss = sum;
        }
    }
    if (work)
        gsl_multifit_linear_free(work);
    if (covariance)
        gsl_matrix_free(covariance);
    if (c)
        gsl_vector_free(c);
    if (w)
        gsl_vector_free(w);
    if (values)
        gsl_vector_free(values);
    if (design)
        gsl_matrix_free(design);
    return coefficients;
}

} // namespace kesto
