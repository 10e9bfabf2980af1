#include "core/peakfit.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

namespace kesto {

namespace {

constexpr double kSqrt2 = 1.41421356237309504880;
constexpr double kSqrtPi = 1.77245385090551602730;
constexpr double kSqrt2Pi = 2.50662827463100050242;
// Half the width at half height of a Gaussian, in sigmas: sqrt(2 ln 2).
constexpr double kHalfWidthInSigmas = 1.17741002251547469101;

// GSL's own handler aborts the program on an error; with it off, every call returns its
// status and the fit reports it as a reason instead.
const bool gslHandlerOff = [] {
    gsl_set_error_handler_off();
    return true;
}();

int baselineParameters(FitBaseline baseline)
{
    switch (baseline) {
    case FitBaseline::None:
        return 0;
    case FitBaseline::Constant:
        return 1;
    case FitBaseline::Linear:
    case FitBaseline::Exponential:
        break;
    }
    return 2;
}

int peakParameters(PeakShape shape)
{
    return shape == PeakShape::Gaussian ? 3 : 4;
}

// exp(u^2) erfc(u) for u >= 0, which stays near 1 / (u sqrt(pi)) where exp(u^2) alone
// would overflow. Below 25 the product is exact to a few units in 1e-13; above, the
// asymptotic series has converged to better than that after six terms.
double scaledErfc(double u)
{
    if (u < 25)
        return std::exp(u * u) * std::erfc(u);
    const double w = 1 / (2 * u * u);
    double term = 1, sum = 1;
    for (int n = 1; n <= 6; ++n) {
        term *= -(2 * n - 1) * w;
        sum += term;
    }
    return sum / (u * kSqrtPi);
}

// A peak of unit area at x and its derivatives by centre, sigma and tau.
struct Shape
{
    double value = 0;
    double byCentre = 0;
    double bySigma = 0;
    double byTau = 0;
};

Shape gaussian(double x, double centre, double sigma)
{
    const double z = (x - centre) / sigma;
    Shape s;
    s.value = std::exp(-0.5 * z * z) / (sigma * kSqrt2Pi);
    s.byCentre = s.value * z / sigma;
    s.bySigma = s.value * (z * z - 1) / sigma;
    return s;
}

// The Gaussian convolved with exp(-t / tau) / tau:
//   g = 1 / (2 tau) exp(sigma^2 / (2 tau^2) - (x - c) / tau) erfc(u),
//   u = (sigma / tau - (x - c) / sigma) / sqrt(2).
// Written as 1 / (2 tau) exp(-z^2 / 2) exp(u^2) erfc(u) where u >= 0 (the exponential
// alone overflows on the rising side of a narrow tail) and as above where u < 0 (there
// its exponent is below -sigma^2 / (2 tau^2), so nothing overflows).
// With L the log of the exponential's factor and Q = exp(-z^2 / 2) / (2 tau), the
// derivatives are dg = g dL - 2 / sqrt(pi) Q du.
Shape exponentiallyModified(double x, double centre, double sigma, double tau)
{
    const double d = x - centre;
    const double z = d / sigma;
    const double r = sigma / tau;
    const double u = (r - z) / kSqrt2;
    const double q = std::exp(-0.5 * z * z) / (2 * tau);
    Shape s;
    if (u >= 0)
        s.value = q * scaledErfc(u);
    else
        s.value = std::exp(0.5 * r * r - d / tau) * std::erfc(u) / (2 * tau);
    const double c = 2 / kSqrtPi * q;
    s.byCentre = s.value / tau - c / (sigma * kSqrt2);
    s.bySigma = s.value * sigma / (tau * tau) - c * (1 / tau + z / sigma) / kSqrt2;
    s.byTau = s.value * (-1 / tau - r * r / tau + d / (tau * tau)) + c * r / (tau * kSqrt2);
    return s;
}

Shape peakShape(PeakShape shape, double x, double centre, double sigma, double tau)
{
    return shape == PeakShape::Gaussian ? gaussian(x, centre, sigma)
                                        : exponentiallyModified(x, centre, sigma, tau);
}

double baselineAt(FitBaseline baseline, const double* b, double x)
{
    switch (baseline) {
    case FitBaseline::None:
        return 0;
    case FitBaseline::Constant:
        return b[0];
    case FitBaseline::Linear:
        return b[0] + b[1] * x;
    case FitBaseline::Exponential:
        break;
    }
    return b[0] * std::exp(-b[1] * x);
}

// The fit's own parameters: the baseline's coefficients, then per peak the area, the
// centre, log sigma and log tau, so that the widths stay positive whatever step the
// solver tries. The minimum is the same as in sigma and tau themselves; the covariance
// is carried over to them at the end.
struct Problem
{
    const std::vector<double>* x = nullptr;
    const std::vector<double>* y = nullptr;
    PeakShape shape = PeakShape::Gaussian;
    FitBaseline baseline = FitBaseline::None;
    int baselineCount = 0;
    int peakCount = 0;
    int perPeak = 3;
};

int residuals(const gsl_vector* p, void* data, gsl_vector* f)
{
    const auto& problem = *static_cast<const Problem*>(data);
    const std::vector<double>& x = *problem.x;
    const double* params = gsl_vector_const_ptr(p, 0);
    for (size_t i = 0; i < x.size(); ++i) {
        double model = baselineAt(problem.baseline, params, x[i]);
        for (int k = 0; k < problem.peakCount; ++k) {
            const double* peak = params + problem.baselineCount + k * problem.perPeak;
            const double tau = problem.perPeak > 3 ? std::exp(peak[3]) : 0;
            model +=
                peak[0] * peakShape(problem.shape, x[i], peak[1], std::exp(peak[2]), tau).value;
        }
        gsl_vector_set(f, i, model - (*problem.y)[i]);
    }
    return GSL_SUCCESS;
}

int jacobian(const gsl_vector* p, void* data, gsl_matrix* J)
{
    const auto& problem = *static_cast<const Problem*>(data);
    const std::vector<double>& x = *problem.x;
    const double* params = gsl_vector_const_ptr(p, 0);
    for (size_t i = 0; i < x.size(); ++i) {
        double* row = gsl_matrix_ptr(J, i, 0);
        switch (problem.baseline) {
        case FitBaseline::None:
            break;
        case FitBaseline::Constant:
            row[0] = 1;
            break;
        case FitBaseline::Linear:
            row[0] = 1;
            row[1] = x[i];
            break;
        case FitBaseline::Exponential: {
            const double e = std::exp(-params[1] * x[i]);
            row[0] = e;
            row[1] = -params[0] * x[i] * e;
            break;
        }
        }
        for (int k = 0; k < problem.peakCount; ++k) {
            const int at = problem.baselineCount + k * problem.perPeak;
            const double* peak = params + at;
            const double area = peak[0];
            const double sigma = std::exp(peak[2]);
            const double tau = problem.perPeak > 3 ? std::exp(peak[3]) : 0;
            const Shape s = peakShape(problem.shape, x[i], peak[1], sigma, tau);
            row[at] = s.value;
            row[at + 1] = area * s.byCentre;
            // By log sigma and log tau: d/d(ln s) = s d/ds.
            row[at + 2] = area * s.bySigma * sigma;
            if (problem.perPeak > 3)
                row[at + 3] = area * s.byTau * tau;
        }
    }
    return GSL_SUCCESS;
}

struct WorkspaceFree
{
    void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
};
struct MatrixFree
{
    void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
};

bool allFinite(const std::vector<double>& values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

PeakFit refused(const QString& reason)
{
    PeakFit fit;
    fit.reason = reason;
    return fit;
}

// The points in order of x, for walking out from a peak's centre.
struct SortedProfile
{
    std::vector<double> x, y;
};

SortedProfile sortedProfile(const std::vector<double>& x, const std::vector<double>& y)
{
    std::vector<size_t> order(x.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return x[a] < x[b]; });
    SortedProfile sorted;
    sorted.x.reserve(x.size());
    sorted.y.reserve(x.size());
    for (size_t i : order) {
        sorted.x.push_back(x[i]);
        sorted.y.push_back(y[i]);
    }
    return sorted;
}

// Fills in a guess's missing width, tail and area from the profile around its centre: the
// height above the profile's lowest point, and where the profile falls to half that height
// on either side (the nearer side, as the other often runs into a neighbouring band).
// Returns a reason when there is nothing to measure.
QString completeGuess(PeakGuess& guess, PeakShape shape, const SortedProfile& profile,
                      int peakNumber)
{
    const bool needSigma = guess.sigma == 0;
    const bool needTau = shape == PeakShape::ExponentiallyModified && guess.tau == 0;
    if (!needSigma && !needTau && guess.area != 0)
        return {};
    const std::vector<double>& x = profile.x;
    const std::vector<double>& y = profile.y;
    const size_t n = x.size();
    size_t top = size_t(std::lower_bound(x.begin(), x.end(), guess.centre) - x.begin());
    if (top == n || (top > 0 && guess.centre - x[top - 1] < x[top] - guess.centre))
        top = top == 0 ? 0 : top - 1;
    const double floor = *std::min_element(y.begin(), y.end());
    const double height = y[top] - floor;
    if (!(height > 0))
        return QStringLiteral("Peak %1 has no height above the profile at %2 to guess its width "
                              "from; give its width or move its centre onto the band.")
            .arg(peakNumber)
            .arg(number(guess.centre));
    const double half = floor + height / 2;
    double left = -1, right = -1;
    for (size_t i = top; i > 0; --i)
        if (y[i - 1] <= half) {
            const double cross =
                x[i - 1] + (half - y[i - 1]) / (y[i] - y[i - 1]) * (x[i] - x[i - 1]);
            left = x[top] - cross;
            break;
        }
    for (size_t i = top; i + 1 < n; ++i)
        if (y[i + 1] <= half) {
            const double cross = x[i] + (y[i] - half) / (y[i] - y[i + 1]) * (x[i + 1] - x[i]);
            right = cross - x[top];
            break;
        }
    double halfWidth = 0;
    if (left > 0 && right > 0)
        halfWidth = std::min(left, right);
    else
        halfWidth = std::max(left, right);
    if (!(halfWidth > 0))
        halfWidth = (x.back() - x.front()) / 4;
    // A tailing band's rising side is the narrower one, near the Gaussian's; its tail
    // shows as the excess of the falling side, which may also run into a neighbour.
    if (needSigma)
        guess.sigma = halfWidth / kHalfWidthInSigmas;
    if (needTau) {
        const double tail = left > 0 && right > left ? std::min(right - left, 2 * halfWidth) : 0;
        guess.tau = std::max(tail, guess.sigma / 2);
    }
    if (guess.area == 0)
        guess.area = height * guess.sigma * kSqrt2Pi;
    return {};
}

} // namespace

double peakValueAt(const FittedPeak& peak, PeakShape shape, double x)
{
    if (!(peak.sigma > 0) || (shape == PeakShape::ExponentiallyModified && !(peak.tau > 0)))
        return 0;
    return peak.area * peakShape(shape, x, peak.centre, peak.sigma, peak.tau).value;
}

double peakModelAt(const PeakFit& fit, const PeakFitOptions& options, double x)
{
    double b[2] = {0, 0};
    for (size_t i = 0; i < fit.baseline.size() && i < 2; ++i)
        b[i] = fit.baseline[i];
    double value = baselineAt(options.baseline, b, x);
    for (const FittedPeak& peak : fit.peaks)
        value += peakValueAt(peak, options.shape, x);
    return value;
}

PeakFit fitPeaks(const std::vector<double>& x, const std::vector<double>& y,
                 const std::vector<PeakGuess>& guesses, const PeakFitOptions& options)
{
    (void)gslHandlerOff;
    if (x.size() != y.size())
        return refused(QStringLiteral("The profile has %1 positions but %2 values.")
                           .arg(x.size())
                           .arg(y.size()));
    if (guesses.empty())
        return refused(QStringLiteral("There are no peaks to fit."));
    if (!allFinite(x) || !allFinite(y))
        return refused(QStringLiteral("The profile holds a value that is not a number; "
                                      "a fit needs every point."));
    const int baselineCount = baselineParameters(options.baseline);
    const int perPeak = peakParameters(options.shape);
    const int peakCount = int(guesses.size());
    const size_t p = size_t(baselineCount + peakCount * perPeak);
    const size_t n = x.size();
    if (n <= p)
        return refused(QStringLiteral("%1 points are too few to fit %2 parameters (%3 peaks and "
                                      "the baseline): a fit needs more points than parameters.")
                           .arg(n)
                           .arg(p)
                           .arg(peakCount));
    if (options.maxIterations < 1)
        return refused(QStringLiteral("The fit was allowed no iterations."));

    const SortedProfile profile = sortedProfile(x, y);
    const double xMin = profile.x.front(), xMax = profile.x.back();
    std::vector<double> start(p, 0.0);
    for (int i = 0; i < baselineCount && size_t(i) < options.baselineGuess.size(); ++i)
        start[size_t(i)] = options.baselineGuess[size_t(i)];
    if (!allFinite(start))
        return refused(QStringLiteral("The baseline's start is not a number."));
    for (int k = 0; k < peakCount; ++k) {
        PeakGuess guess = guesses[size_t(k)];
        const int which = k + 1;
        if (!std::isfinite(guess.centre) || !std::isfinite(guess.area) ||
            !std::isfinite(guess.sigma) || !std::isfinite(guess.tau))
            return refused(QStringLiteral("Peak %1's start is not a number.").arg(which));
        if (guess.centre < xMin || guess.centre > xMax)
            return refused(
                QStringLiteral("Peak %1's centre %2 lies outside the profile (%3 to %4).")
                    .arg(which)
                    .arg(number(guess.centre), number(xMin), number(xMax)));
        if (guess.sigma < 0 || guess.tau < 0)
            return refused(QStringLiteral("Peak %1's start has a negative width.").arg(which));
        const QString missing = completeGuess(guess, options.shape, profile, which);
        if (!missing.isEmpty())
            return refused(missing);
        const size_t at = size_t(baselineCount + k * perPeak);
        start[at] = guess.area;
        start[at + 1] = guess.centre;
        start[at + 2] = std::log(guess.sigma);
        if (perPeak > 3)
            start[at + 3] = std::log(guess.tau);
    }

    Problem problem;
    problem.x = &x;
    problem.y = &y;
    problem.shape = options.shape;
    problem.baseline = options.baseline;
    problem.baselineCount = baselineCount;
    problem.peakCount = peakCount;
    problem.perPeak = perPeak;

    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = residuals;
    fdf.df = jacobian;
    fdf.fvv = nullptr;
    fdf.n = n;
    fdf.p = p;
    fdf.params = &problem;

    gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
    parameters.trs = gsl_multifit_nlinear_trs_lm;
    std::unique_ptr<gsl_multifit_nlinear_workspace, WorkspaceFree> work(
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, n, p));
    if (!work)
        return refused(QStringLiteral("There was not enough memory for the fit."));
    gsl_vector_view startView = gsl_vector_view_array(start.data(), p);
    if (gsl_multifit_nlinear_init(&startView.vector, &fdf, work.get()) != GSL_SUCCESS)
        return refused(QStringLiteral("The fit could not start: the model cannot be worked "
                                      "out at the start."));

    // Stop when no parameter moves by more than 1e-10 of itself, or the gradient vanishes;
    // the parameters then hold more than the eight digits anyone reads of them.
    int info = 0;
    const int status = gsl_multifit_nlinear_driver(size_t(options.maxIterations), 1e-10, 1e-12, 0.0,
                                                   nullptr, nullptr, &info, work.get());
    PeakFit fit;
    fit.iterations = int(gsl_multifit_nlinear_niter(work.get()));
    if (status == GSL_EMAXITER)
        return refused(QStringLiteral("The fit did not settle in %1 iterations; start the peaks "
                                      "nearer the bands or fit fewer of them.")
                           .arg(options.maxIterations));
    if (status != GSL_SUCCESS)
        return refused(QStringLiteral("The fit could not go on (%1); start the peaks nearer the "
                                      "bands or fit fewer of them.")
                           .arg(QString::fromUtf8(gsl_strerror(status))));

    const gsl_vector* solution = gsl_multifit_nlinear_position(work.get());
    const gsl_vector* f = gsl_multifit_nlinear_residual(work.get());
    double rss = 0;
    gsl_blas_ddot(f, f, &rss);
    const double dof = double(n - p);

    std::unique_ptr<gsl_matrix, MatrixFree> covar(gsl_matrix_alloc(p, p));
    if (!covar)
        return refused(QStringLiteral("There was not enough memory for the fit."));
    // Columns of the Jacobian that are (nearly) combinations of others come out as zero
    // rows of the covariance: those parameters are not fixed by the data.
    gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(work.get()), 1e-13, covar.get());

    // Back from log sigma and log tau: the covariance scales by d(sigma)/d(ln sigma) = sigma.
    std::vector<double> value(p), scale(p, 1.0);
    for (size_t i = 0; i < p; ++i)
        value[i] = gsl_vector_get(solution, i);
    for (int k = 0; k < peakCount; ++k) {
        const size_t at = size_t(baselineCount + k * perPeak);
        for (size_t j = at + 2; j < at + size_t(perPeak); ++j) {
            value[j] = std::exp(value[j]);
            scale[j] = value[j];
        }
    }
    const double variance = rss / dof;
    fit.covariance.resize(p * p);
    for (size_t i = 0; i < p; ++i)
        for (size_t j = 0; j < p; ++j)
            fit.covariance[i * p + j] =
                gsl_matrix_get(covar.get(), i, j) * variance * scale[i] * scale[j];
    std::vector<double> error(p);
    for (size_t i = 0; i < p; ++i)
        error[i] = std::sqrt(fit.covariance[i * p + i]);

    if (!allFinite(value) || !std::isfinite(rss) || !allFinite(fit.covariance))
        return refused(QStringLiteral("The fit ran out of range (a value became too large); start "
                                      "the peaks nearer the bands."));
    for (int k = 0; k < peakCount; ++k) {
        const size_t at = size_t(baselineCount + k * perPeak);
        const int which = k + 1;
        if (value[at + 1] < xMin || value[at + 1] > xMax)
            return refused(QStringLiteral("Peak %1 moved out of the profile (its centre came to "
                                          "%2); there is no band there to fit.")
                               .arg(which)
                               .arg(number(value[at + 1])));
        if (!(value[at] > 0))
            return refused(QStringLiteral("Peak %1 came out with no area (%2): there is no band "
                                          "there; remove it or move its centre.")
                               .arg(which)
                               .arg(number(value[at])));
    }
    for (size_t i = 0; i < p; ++i)
        if (!(error[i] > 0))
            return refused(QStringLiteral("The data do not fix every parameter: some peaks cannot "
                                          "be told apart, or the baseline is not seen; fit fewer "
                                          "peaks or a simpler baseline."));

    fit.ok = true;
    fit.parameterCount = int(p);
    fit.baseline.assign(value.begin(), value.begin() + baselineCount);
    fit.baselineErrors.assign(error.begin(), error.begin() + baselineCount);
    for (int k = 0; k < peakCount; ++k) {
        const size_t at = size_t(baselineCount + k * perPeak);
        FittedPeak peak;
        peak.area = value[at];
        peak.centre = value[at + 1];
        peak.sigma = value[at + 2];
        peak.areaError = error[at];
        peak.centreError = error[at + 1];
        peak.sigmaError = error[at + 2];
        if (perPeak > 3) {
            peak.tau = value[at + 3];
            peak.tauError = error[at + 3];
        }
        fit.peaks.push_back(peak);
    }
    fit.residualSumOfSquares = rss;
    fit.residualDeviation = std::sqrt(variance);
    return fit;
}

} // namespace kesto
