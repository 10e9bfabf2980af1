#include "core/standardcurve.h"

#include "core/polynomialfit.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_cdf.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_fit.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_poly.h>
#include <gsl/gsl_statistics_double.h>
#include <gsl/gsl_vector.h>

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace kesto {

namespace {

// GSL's own handler aborts the program on an error; with it off, every call returns its
// status and the curve reports it as a reason instead.
const bool gslHandlerOff = [] {
    gsl_set_error_handler_off();
    return true;
}();

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
// The fewest levels of amount a linear range spans: two points always lie on a line.
constexpr int MinRangeLevels = 3;

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

bool allFinite(const std::vector<double>& values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

int distinctAmounts(std::vector<double> amounts, bool aboveZeroOnly)
{
    if (aboveZeroOnly)
        amounts.erase(
            std::remove_if(amounts.begin(), amounts.end(), [](double a) { return !(a > 0); }),
            amounts.end());
    std::sort(amounts.begin(), amounts.end());
    return int(std::unique(amounts.begin(), amounts.end()) - amounts.begin());
}

int amountsNeeded(CurveModel model)
{
    switch (model) {
    case CurveModel::LinearOrigin:
        return 1;
    case CurveModel::Linear:
        return 2;
    case CurveModel::Quadratic:
        return 3;
    case CurveModel::FourParameterLogistic:
        break;
    }
    return 4;
}

CurveFit refusedFit(CurveModel model, CurveWeighting weighting, const QString& reason)
{
    CurveFit fit;
    fit.model = model;
    fit.weighting = weighting;
    fit.reason = reason;
    return fit;
}

// The share of the logistic still to rise at an amount: 1 / (1 + (amount / c)^b), with
// amount 0 giving 1. An overflowing power gives 0, as it should.
double logisticShare(double amount, double c, double b)
{
    if (amount == 0)
        return 1;
    return 1 / (1 + std::exp(b * (std::log(amount) - std::log(c))));
}

// The 4PL in the fit's own parameters a, d, ln c, ln b, so that c and b stay above 0
// whatever step the solver tries.
struct LogisticProblem
{
    const std::vector<double>* x = nullptr;
    const std::vector<double>* y = nullptr;
    std::vector<double> rootWeight; // sqrt(w_i)
};

int logisticResiduals(const gsl_vector* p, void* data, gsl_vector* f)
{
    const auto& problem = *static_cast<const LogisticProblem*>(data);
    const double a = gsl_vector_get(p, 0), d = gsl_vector_get(p, 1);
    const double c = std::exp(gsl_vector_get(p, 2)), b = std::exp(gsl_vector_get(p, 3));
    for (std::size_t i = 0; i < problem.x->size(); ++i) {
        const double s = logisticShare((*problem.x)[i], c, b);
        gsl_vector_set(f, i, problem.rootWeight[i] * (d + (a - d) * s - (*problem.y)[i]));
    }
    return GSL_SUCCESS;
}

int logisticJacobian(const gsl_vector* p, void* data, gsl_matrix* J)
{
    const auto& problem = *static_cast<const LogisticProblem*>(data);
    const double a = gsl_vector_get(p, 0), d = gsl_vector_get(p, 1);
    const double lnc = gsl_vector_get(p, 2);
    const double c = std::exp(lnc), b = std::exp(gsl_vector_get(p, 3));
    for (std::size_t i = 0; i < problem.x->size(); ++i) {
        const double x = (*problem.x)[i];
        const double s = logisticShare(x, c, b);
        const double w = problem.rootWeight[i];
        // With u = (x / c)^b and s = 1 / (1 + u): du/d(ln c) = -b u, du/d(ln b) = b u ln(x / c),
        // ds/du = -s (1 - s) / u.
        const double bend = s * (1 - s);
        gsl_matrix_set(J, i, 0, w * s);
        gsl_matrix_set(J, i, 1, w * (1 - s));
        gsl_matrix_set(J, i, 2, x > 0 ? w * (a - d) * b * bend : 0.0);
        gsl_matrix_set(J, i, 3, x > 0 ? -w * (a - d) * b * bend * (std::log(x) - lnc) : 0.0);
    }
    return GSL_SUCCESS;
}

struct NlinearFree
{
    void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
};

// One Levenberg-Marquardt run from a start; empty when it does not settle on finite values.
std::vector<double> logisticRun(LogisticProblem& problem, std::vector<double> start, double* rss)
{
    const std::size_t n = problem.x->size();
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = logisticResiduals;
    fdf.df = logisticJacobian;
    fdf.fvv = nullptr;
    fdf.n = n;
    fdf.p = 4;
    fdf.params = &problem;
    gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
    parameters.trs = gsl_multifit_nlinear_trs_lm;
    std::unique_ptr<gsl_multifit_nlinear_workspace, NlinearFree> work(
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, n, 4));
    if (!work)
        return {};
    gsl_vector_view startView = gsl_vector_view_array(start.data(), 4);
    if (gsl_multifit_nlinear_init(&startView.vector, &fdf, work.get()) != GSL_SUCCESS)
        return {};
    int info = 0;
    if (gsl_multifit_nlinear_driver(500, 1e-12, 1e-14, 0.0, nullptr, nullptr, &info, work.get()) !=
        GSL_SUCCESS)
        return {};
    const gsl_vector* solution = gsl_multifit_nlinear_position(work.get());
    const gsl_vector* f = gsl_multifit_nlinear_residual(work.get());
    gsl_blas_ddot(f, f, rss);
    std::vector<double> value{gsl_vector_get(solution, 0), gsl_vector_get(solution, 1),
                              std::exp(gsl_vector_get(solution, 2)),
                              std::exp(gsl_vector_get(solution, 3))};
    if (!allFinite(value) || !std::isfinite(*rss) || !(value[2] > 0) || !(value[3] > 0))
        return {};
    return value;
}

// The 4PL from a few starts (the steepness is the part a start most often gets wrong),
// keeping the closest fit.
std::vector<double> logisticFit(const std::vector<double>& x, const std::vector<double>& y,
                                const std::vector<double>& w, double* rss)
{
    LogisticProblem problem;
    problem.x = &x;
    problem.y = &y;
    for (std::size_t i = 0; i < x.size(); ++i)
        problem.rootWeight.push_back(w.empty() ? 1.0 : std::sqrt(w[i]));
    const auto lowest = std::min_element(x.begin(), x.end()) - x.begin();
    const auto highest = std::max_element(x.begin(), x.end()) - x.begin();
    double smallestPositive = x[std::size_t(highest)];
    for (double amount : x)
        if (amount > 0)
            smallestPositive = std::min(smallestPositive, amount);
    const double middle = std::sqrt(smallestPositive * x[std::size_t(highest)]);
    std::vector<double> best;
    double bestRss = std::numeric_limits<double>::infinity();
    for (double steepness : {1.0, 0.5, 2.0, 4.0}) {
        double runRss = 0;
        const std::vector<double> run =
            logisticRun(problem,
                        {y[std::size_t(lowest)], y[std::size_t(highest)], std::log(middle),
                         std::log(steepness)},
                        &runRss);
        if (!run.empty() && runRss < bestRss) {
            best = run;
            bestRss = runRss;
        }
    }
    *rss = bestRss;
    return best;
}

// Sum of w_i (y_i - weighted mean)^2.
double totalSumOfSquares(const std::vector<double>& y, const std::vector<double>& w)
{
    if (y.size() < 2)
        return NaN;
    return w.empty() ? gsl_stats_tss(y.data(), 1, y.size())
                     : gsl_stats_wtss(w.data(), 1, y.data(), 1, y.size());
}

std::optional<double> residualPercent(double signal, double fitted)
{
    if (!std::isfinite(fitted) || fitted == 0)
        return std::nullopt;
    return (signal - fitted) / std::abs(fitted) * 100.0;
}

QString standardName(const CurveStandard& s, std::size_t index)
{
    return s.label.isEmpty() ? QStringLiteral("standard %1").arg(index + 1) : s.label;
}

} // namespace

std::optional<CurveModel> parseCurveModel(const QString& text, QString* error)
{
    for (CurveModel model : {CurveModel::LinearOrigin, CurveModel::Linear, CurveModel::Quadratic,
                             CurveModel::FourParameterLogistic})
        if (text.trimmed().compare(curveModelText(model), Qt::CaseInsensitive) == 0)
            return model;
    if (error)
        *error = QStringLiteral("\"%1\": expected linear, linear-origin, quadratic or 4pl")
                     .arg(text.left(40));
    return std::nullopt;
}

QString curveModelText(CurveModel model)
{
    switch (model) {
    case CurveModel::LinearOrigin:
        return QStringLiteral("linear-origin");
    case CurveModel::Linear:
        return QStringLiteral("linear");
    case CurveModel::Quadratic:
        return QStringLiteral("quadratic");
    case CurveModel::FourParameterLogistic:
        break;
    }
    return QStringLiteral("4pl");
}

std::optional<CurveWeighting> parseCurveWeighting(const QString& text, QString* error)
{
    for (CurveWeighting weighting : {CurveWeighting::None, CurveWeighting::InverseAmount})
        if (text.trimmed().compare(curveWeightingText(weighting), Qt::CaseInsensitive) == 0)
            return weighting;
    if (error)
        *error = QStringLiteral("\"%1\": expected none or 1/amount").arg(text.left(40));
    return std::nullopt;
}

QString curveWeightingText(CurveWeighting weighting)
{
    return weighting == CurveWeighting::None ? QStringLiteral("none") : QStringLiteral("1/amount");
}

double CurveFit::signalAt(double amount) const
{
    if (!ok || !std::isfinite(amount))
        return NaN;
    const std::vector<double>& c = coefficients;
    switch (model) {
    case CurveModel::LinearOrigin:
    case CurveModel::Linear:
        return c[0] + c[1] * amount;
    case CurveModel::Quadratic:
        return c[0] + (c[1] + c[2] * amount) * amount;
    case CurveModel::FourParameterLogistic:
        break;
    }
    if (amount < 0)
        return NaN;
    return c[1] + (c[0] - c[1]) * logisticShare(amount, c[2], c[3]);
}

std::vector<double> CurveFit::amountsAt(double signal) const
{
    if (!ok || !std::isfinite(signal))
        return {};
    const std::vector<double>& c = coefficients;
    std::vector<double> amounts;
    switch (model) {
    case CurveModel::LinearOrigin:
    case CurveModel::Linear:
        if (c[1] != 0)
            amounts.push_back((signal - c[0]) / c[1]);
        break;
    case CurveModel::Quadratic: {
        // GSL solves the linear case too when c2 is 0; the roots come rising.
        double r0 = NaN, r1 = NaN;
        const int roots = gsl_poly_solve_quadratic(c[2], c[1], c[0] - signal, &r0, &r1);
        if (roots >= 1)
            amounts.push_back(r0);
        if (roots == 2 && r1 != r0)
            amounts.push_back(r1);
        break;
    }
    case CurveModel::FourParameterLogistic: {
        // amount = c ((a - d) / (signal - d) - 1)^(1 / b), for signals from a towards d.
        const double a = c[0], d = c[1];
        if (a == d || signal == d)
            break;
        const double q = (a - d) / (signal - d);
        if (q >= 1)
            amounts.push_back(c[2] * std::pow(q - 1, 1 / c[3]));
        break;
    }
    }
    amounts.erase(
        std::remove_if(amounts.begin(), amounts.end(), [](double a) { return !std::isfinite(a); }),
        amounts.end());
    return amounts;
}

CurveFit fitCurve(const std::vector<double>& amounts, const std::vector<double>& measured,
                  CurveModel model, CurveWeighting weighting)
{
    (void)gslHandlerOff;
    const QString name = curveModelText(model);
    if (amounts.size() != measured.size())
        return refusedFit(
            model, weighting,
            QStringLiteral("%1 amounts but %2 signals").arg(amounts.size()).arg(measured.size()));
    if (!allFinite(amounts) || !allFinite(measured))
        return refusedFit(model, weighting,
                          QStringLiteral("an amount or a signal is not a number"));
    for (double amount : amounts) {
        if (amount < 0)
            return refusedFit(model, weighting,
                              QStringLiteral("an amount is below 0 (%1)").arg(number(amount)));
        if (weighting == CurveWeighting::InverseAmount && amount == 0)
            return refusedFit(model, weighting,
                              QStringLiteral("a weighting of 1/amount needs every amount above 0"));
    }
    const int needed = amountsNeeded(model);
    const int distinct = distinctAmounts(amounts, model == CurveModel::LinearOrigin);
    if (distinct < needed)
        return refusedFit(
            model, weighting,
            QStringLiteral("a %1 fit needs %2 different amounts%3, there %4 %5")
                .arg(name)
                .arg(needed)
                .arg(model == CurveModel::LinearOrigin ? QStringLiteral(" above 0") : QString())
                .arg(distinct == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                .arg(distinct));

    const std::size_t n = amounts.size();
    std::vector<double> w;
    if (weighting == CurveWeighting::InverseAmount)
        for (double amount : amounts)
            w.push_back(1 / amount);

    CurveFit fit;
    fit.model = model;
    fit.weighting = weighting;
    fit.points = int(n);
    int status = GSL_SUCCESS;
    switch (model) {
    case CurveModel::LinearOrigin: {
        double c1 = 0, cov = 0;
        status = w.empty()
                     ? gsl_fit_mul(amounts.data(), 1, measured.data(), 1, n, &c1, &cov, &fit.rss)
                     : gsl_fit_wmul(amounts.data(), 1, w.data(), 1, measured.data(), 1, n, &c1,
                                    &cov, &fit.rss);
        fit.coefficients = {0.0, c1};
        break;
    }
    case CurveModel::Linear: {
        double c0 = 0, c1 = 0, cov00 = 0, cov01 = 0, cov11 = 0;
        status = w.empty() ? gsl_fit_linear(amounts.data(), 1, measured.data(), 1, n, &c0, &c1,
                                            &cov00, &cov01, &cov11, &fit.rss)
                           : gsl_fit_wlinear(amounts.data(), 1, w.data(), 1, measured.data(), 1, n,
                                             &c0, &c1, &cov00, &cov01, &cov11, &fit.rss);
        fit.coefficients = {c0, c1};
        break;
    }
    case CurveModel::Quadratic:
        fit.coefficients = polynomialLeastSquares(amounts, measured, w, 2, &fit.rss);
        break;
    case CurveModel::FourParameterLogistic:
        fit.coefficients = logisticFit(amounts, measured, w, &fit.rss);
        break;
    }
    if (status != GSL_SUCCESS || fit.coefficients.empty() || !allFinite(fit.coefficients) ||
        !std::isfinite(fit.rss))
        return refusedFit(model, weighting,
                          model == CurveModel::FourParameterLogistic
                              ? QStringLiteral("the 4pl fit did not settle on a curve; the "
                                               "standards may not rise to a plateau")
                              : QStringLiteral("the %1 fit did not give a curve").arg(name));
    fit.ok = true;
    const double tss = totalSumOfSquares(measured, w);
    fit.rSquared = tss > 0 ? 1 - fit.rss / tss : NaN;
    return fit;
}

LackOfFit mandelTest(const std::vector<double>& amounts, const std::vector<double>& measured,
                     CurveWeighting weighting)
{
    LackOfFit test;
    const int n = int(amounts.size());
    if (n < 4) {
        test.reason = QStringLiteral("the lack-of-fit test needs 4 standards, there %1 %2")
                          .arg(n == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                          .arg(n);
        return test;
    }
    const CurveFit line = fitCurve(amounts, measured, CurveModel::Linear, weighting);
    const CurveFit curve = fitCurve(amounts, measured, CurveModel::Quadratic, weighting);
    if (!line.ok || !curve.ok) {
        test.reason =
            QStringLiteral("no lack-of-fit test: %1").arg(!curve.ok ? curve.reason : line.reason);
        return test;
    }
    test.degreesOfFreedom = n - 3;
    test.rssLinear = line.rss;
    test.rssQuadratic = std::min(curve.rss, line.rss); // the quadratic holds the line
    std::vector<double> w;
    if (weighting == CurveWeighting::InverseAmount)
        for (double amount : amounts)
            w.push_back(1 / amount);
    // A line through every standard to the last few digits leaves nothing to test.
    const double tss = totalSumOfSquares(measured, w);
    if (!(tss > 0) || test.rssLinear <= 1e-20 * tss) {
        test.reason = QStringLiteral("the standards lie on a straight line: nothing to test");
        return test;
    }
    test.ok = true;
    if (test.rssQuadratic <= 1e-20 * tss) {
        test.f = std::numeric_limits<double>::infinity();
        test.p = 0;
        return test;
    }
    test.f = (test.rssLinear - test.rssQuadratic) / (test.rssQuadratic / test.degreesOfFreedom);
    test.p = gsl_cdf_fdist_Q(test.f, 1, test.degreesOfFreedom);
    return test;
}

LinearRange findLinearRange(const std::vector<CurveStandard>& sorted, CurveModel linearModel,
                            CurveWeighting weighting, double limitPercent)
{
    LinearRange best;
    const CurveModel model =
        linearModel == CurveModel::LinearOrigin ? CurveModel::LinearOrigin : CurveModel::Linear;
    // Levels: the standards of one amount, as [first, last] indices.
    std::vector<std::pair<int, int>> levels;
    std::vector<bool> levelSaturated;
    for (int i = 0; i < int(sorted.size()); ++i) {
        if (levels.empty() ||
            sorted[std::size_t(i)].amount != sorted[std::size_t(levels.back().first)].amount) {
            levels.push_back({i, i});
            levelSaturated.push_back(false);
        }
        levels.back().second = i;
        if (sorted[std::size_t(i)].saturated)
            levelSaturated.back() = true;
    }
    if (!(limitPercent > 0) || !std::isfinite(limitPercent)) {
        best.reason = QStringLiteral("the residual limit must be a number above 0");
        return best;
    }
    if (int(levels.size()) < MinRangeLevels) {
        best.reason =
            QStringLiteral("a linear range needs standards of %1 different amounts, there "
                           "%2 %3")
                .arg(MinRangeLevels)
                .arg(levels.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                .arg(levels.size());
        return best;
    }
    int bestLevels = 0;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        for (std::size_t j = i; j < levels.size(); ++j) {
            // A saturated standard ends every run that would reach it.
            if (levelSaturated[j])
                break;
            const int span = int(j - i + 1);
            if (span < MinRangeLevels || span < bestLevels)
                continue;
            std::vector<double> x, y;
            for (int k = levels[i].first; k <= levels[j].second; ++k) {
                x.push_back(sorted[std::size_t(k)].amount);
                y.push_back(sorted[std::size_t(k)].signal);
            }
            const CurveFit line = fitCurve(x, y, model, weighting);
            if (!line.ok)
                continue;
            double worst = 0;
            bool within = true;
            for (std::size_t k = 0; k < x.size() && within; ++k) {
                const std::optional<double> r = residualPercent(y[k], line.signalAt(x[k]));
                within = r && std::abs(*r) <= limitPercent;
                if (within)
                    worst = std::max(worst, std::abs(*r));
            }
            if (!within || (span == bestLevels && !(worst < best.worstResidualPercent)))
                continue;
            bestLevels = span;
            best.found = true;
            best.first = levels[i].first;
            best.last = levels[j].second;
            best.low = sorted[std::size_t(best.first)].amount;
            best.high = sorted[std::size_t(best.last)].amount;
            best.worstResidualPercent = worst;
        }
    }
    if (!best.found)
        best.reason = QStringLiteral("no %1 consecutive amounts without a saturated band lie on a "
                                     "straight line within %2 %")
                          .arg(MinRangeLevels)
                          .arg(number(limitPercent));
    return best;
}

QString CurveAmount::flagsText() const
{
    QStringList flags;
    if (outsideLinearRange)
        flags << QStringLiteral("outside the linear range");
    if (extrapolated)
        flags << QStringLiteral("beyond the standards (extrapolated)");
    else if (outsideStandards)
        flags << QStringLiteral("beyond the standards");
    if (ambiguous)
        flags << QStringLiteral("two amounts on the curve");
    if (saturated)
        flags << QStringLiteral("saturated");
    return flags.join(QStringLiteral(", "));
}

StandardCurve StandardCurve::fit(std::vector<CurveStandard> standards, const CurveOptions& options)
{
    StandardCurve c;
    c.m_options = options;
    if (!std::isfinite(options.residualLimitPercent) || !(options.residualLimitPercent > 0)) {
        c.m_reason = QStringLiteral("the residual limit must be a number above 0, not %1 %")
                         .arg(number(options.residualLimitPercent));
        return c;
    }
    if (standards.empty())
        return c;
    for (std::size_t i = 0; i < standards.size(); ++i) {
        const CurveStandard& s = standards[i];
        const QString name = standardName(s, i);
        if (!std::isfinite(s.amount) || s.amount < 0) {
            c.m_reason =
                QStringLiteral("%1 has no usable amount (%2): amounts are numbers from 0 up")
                    .arg(name, number(s.amount));
            return c;
        }
        if (!std::isfinite(s.signal)) {
            c.m_reason = QStringLiteral("%1 has no signal that is a number").arg(name);
            return c;
        }
        if (options.weighting == CurveWeighting::InverseAmount && s.amount == 0) {
            c.m_reason = QStringLiteral("%1 has an amount of 0, which a weighting of 1/amount "
                                        "cannot weigh; leave it out or fit unweighted")
                             .arg(name);
            return c;
        }
        if (s.label.isEmpty())
            standards[i].label = name;
    }
    std::stable_sort(
        standards.begin(), standards.end(),
        [](const CurveStandard& a, const CurveStandard& b) { return a.amount < b.amount; });

    const bool linear =
        options.model == CurveModel::LinearOrigin || options.model == CurveModel::Linear;
    c.m_range =
        findLinearRange(standards, options.model, options.weighting, options.residualLimitPercent);
    std::vector<bool> inFit(standards.size(), false);
    int unsaturated = 0;
    for (std::size_t i = 0; i < standards.size(); ++i) {
        if (standards[i].saturated)
            continue;
        ++unsaturated;
        inFit[i] =
            !linear || !c.m_range.found || (int(i) >= c.m_range.first && int(i) <= c.m_range.last);
    }
    if (unsaturated == 0) {
        c.m_reason = QStringLiteral("every standard is saturated: none says how the signal follows "
                                    "the amount");
        return c;
    }
    std::vector<double> x, y;
    for (std::size_t i = 0; i < standards.size(); ++i) {
        if (inFit[i]) {
            x.push_back(standards[i].amount);
            y.push_back(standards[i].signal);
        }
    }
    c.m_fit = fitCurve(x, y, options.model, options.weighting);
    if (!c.m_fit.ok) {
        c.m_reason = unsaturated < int(standards.size())
                         ? QStringLiteral("%1 (saturated standards are left out, %2 remain)")
                               .arg(c.m_fit.reason)
                               .arg(unsaturated)
                         : c.m_fit.reason;
        return c;
    }
    const std::vector<double>& k = c.m_fit.coefficients;
    const bool flat = options.model == CurveModel::FourParameterLogistic
                          ? k[0] == k[1]
                          : (k[1] == 0 && (options.model != CurveModel::Quadratic || k[2] == 0));
    if (flat) {
        c.m_reason = QStringLiteral("the fitted signal does not change with the amount");
        return c;
    }
    c.m_low = *std::min_element(x.begin(), x.end());
    c.m_high = *std::max_element(x.begin(), x.end());
    if (options.model == CurveModel::Quadratic && k[2] != 0) {
        const double vertex = -k[1] / (2 * k[2]);
        c.m_monotone = !(vertex > c.m_low && vertex < c.m_high);
    }
    c.m_lackOfFit = mandelTest(x, y, options.weighting);
    for (std::size_t i = 0; i < standards.size(); ++i) {
        CurveStandardResult r;
        r.standard = standards[i];
        const double fitted = c.m_fit.signalAt(standards[i].amount);
        if (std::isfinite(fitted))
            r.fitted = fitted;
        r.residualPercent = residualPercent(standards[i].signal, fitted);
        r.inLinearRange = c.m_range.found && int(i) >= c.m_range.first && int(i) <= c.m_range.last;
        r.inFit = inFit[i];
        c.m_standards.push_back(r);
    }
    c.m_ok = true;
    c.m_reason.clear();
    return c;
}

CurveAmount StandardCurve::amountFor(double signal, bool saturated, bool extrapolate) const
{
    CurveAmount result;
    result.saturated = saturated;
    result.outsideLinearRange = true;
    if (!m_ok) {
        result.reason = QStringLiteral("no standard curve: %1").arg(m_reason);
        return result;
    }
    if (!std::isfinite(signal)) {
        result.reason = QStringLiteral("the signal is not a number");
        return result;
    }
    // Reading a standard's own fitted signal back must land on its amount, rounding aside.
    const double tolerance = 1e-9 * std::max(m_high - m_low, std::abs(m_high));
    const std::vector<double> amounts = m_fit.amountsAt(signal);
    std::vector<double> inside;
    for (double a : amounts)
        if (a >= m_low - tolerance && a <= m_high + tolerance)
            inside.push_back(a);
    if (inside.size() > 1) {
        result.ambiguous = true;
        result.reason = QStringLiteral("the curve turns back: the signal stands for %1 and %2")
                            .arg(number(inside.front()), number(inside.back()));
        return result;
    }
    if (inside.size() == 1) {
        result.amount = inside.front();
    } else {
        result.outsideStandards = true;
        if (amounts.empty()) {
            result.reason = QStringLiteral("the curve never reaches this signal");
            return result;
        }
        // The amount nearest the standards.
        const auto distance = [this](double a) { return a < m_low ? m_low - a : a - m_high; };
        const double nearest =
            *std::min_element(amounts.begin(), amounts.end(), [&distance](double a, double b) {
                return distance(a) < distance(b);
            });
        const bool below = nearest < m_low;
        if (nearest < 0) {
            result.reason = QStringLiteral("the signal lies below the curve's signal at no amount");
            return result;
        }
        if (!extrapolate) {
            result.reason =
                below ? QStringLiteral("the signal lies beyond the standards, below the lowest "
                                       "amount (%1)")
                            .arg(number(m_low))
                      : QStringLiteral("the signal lies beyond the standards, above the highest "
                                       "amount (%1)")
                            .arg(number(m_high));
            return result;
        }
        result.amount = nearest;
        result.extrapolated = true;
    }
    const double a = *result.amount;
    result.outsideLinearRange =
        !m_range.found || a < m_range.low - tolerance || a > m_range.high + tolerance;
    return result;
}

} // namespace kesto
