#pragma once

// Standard curves: bands of known amount (a dilution series of standards on the same blot)
// give a curve of signal (a band's volume) against amount, and the curve gives the amount of
// any other band from its signal. A band's signal follows its amount only so far: over-loaded
// or saturated bands fall short, faint ones drown in the background. The linear range is the
// stretch of standards where the signal does follow the amount in a straight line, and every
// amount read off the curve is flagged when it lies outside it.
//
// The fits are GSL's least squares of signal on amount:
//   linear-origin  signal = c1 amount                        gsl_fit_mul / gsl_fit_wmul
//   linear         signal = c0 + c1 amount                   gsl_fit_linear / gsl_fit_wlinear
//   quadratic      signal = c0 + c1 amount + c2 amount^2     gsl_multifit_linear / _wlinear
//   4pl            signal = d + (a - d) / (1 + (amount / c)^b), b > 0, c > 0
//                  (a the signal at no amount, d the plateau at an unbounded amount, c the
//                  amount half-way between them, b the steepness), by nonlinear least squares
//                  with gsl_multifit_nlinear (Levenberg-Marquardt), as the peak fits are made.
// Weighting "1/amount" minimises sum_i w_i (signal_i - curve(amount_i))^2 with w_i =
// 1 / amount_i: the squared residual of each standard counts in inverse proportion to its
// amount, so the many faint standards of a dilution series are not swamped by the few
// strong ones (whose absolute scatter is larger). It needs every fitted amount above 0.
// Weighting "none" gives every standard w_i = 1.
//
// R^2 = 1 - RSS / TSS with RSS = sum_i w_i r_i^2 and TSS = sum_i w_i (signal_i - mean)^2 about
// the (weighted) mean signal, the same for every model, so curves through the origin are
// judged on the same scale as the others (and may fall below 0 when the origin does not fit).
//
// Mandel's lack-of-fit test asks whether a quadratic fits the standards significantly better
// than a straight line (with an intercept, same weighting): F = (RSS_lin - RSS_quad) /
// (RSS_quad / (n - 3)) on 1 and n - 3 degrees of freedom, p = gsl_cdf_fdist_Q(F, 1, n - 3).
// A small p (below 0.05, say) says the standards bend: a straight line does not describe them.
//
// A standard's residual is (signal - fitted) / |fitted| in per cent, fitted being the curve's
// signal at the standard's amount; it has none where the fitted signal is 0.
//
// The linear range: the standards in order of amount, replicates of one amount taken
// together as one level; the widest run of consecutive levels (at least 3) whose own straight
// line (linear-origin for that model, else linear with an intercept; same weighting) keeps
// every residual within the limit (15 % by default; a standard without a residual is not
// within it), and that holds no saturated standard (one with samples at the end of the
// picture's scale: its signal is cut off). Among runs of as many levels, the one whose worst
// residual is smallest, then the lower one, wins. The linear models are fitted to the linear
// range only (to every standard that is not saturated when there is none); the quadratic and
// the 4PL (meant for wide ranges) to every standard that is not saturated. Saturated
// standards are in no fit.

#include <QString>

#include <optional>
#include <vector>

namespace kesto {

enum class CurveModel { LinearOrigin, Linear, Quadratic, FourParameterLogistic };
enum class CurveWeighting { None, InverseAmount };

// "linear-origin", "linear", "quadratic", "4pl" in any letter case; nullopt with a reason in
// *error for anything else.
std::optional<CurveModel> parseCurveModel(const QString& text, QString* error = nullptr);
QString curveModelText(CurveModel model);
// "none", "1/amount" in any letter case; nullopt with a reason in *error for anything else.
std::optional<CurveWeighting> parseCurveWeighting(const QString& text, QString* error = nullptr);
QString curveWeightingText(CurveWeighting weighting);

// One standard: its known amount, its measured signal, and whether its band had samples at
// the end of the scale (the scan's counts).
struct CurveStandard
{
    double amount = 0;
    double signal = 0;
    bool saturated = false;
    QString label; // for messages and the chart: "lane 3", a sample name
};

// One least-squares fit of signals against amounts.
struct CurveFit
{
    bool ok = false;
    QString reason; // why not ok
    CurveModel model = CurveModel::Linear;
    CurveWeighting weighting = CurveWeighting::None;
    // linear-origin {c0 = 0, c1}, linear {c0, c1}, quadratic {c0, c1, c2}, 4pl {a, d, c, b}
    // as in the curves above.
    std::vector<double> coefficients;
    double rss = 0;      // sum of w_i r_i^2
    double rSquared = 0; // none for fewer than 2 points or signals all alike: NaN
    int points = 0;

    // The curve's signal at an amount; NaN when not ok or not finite.
    double signalAt(double amount) const;
    // Every amount whose signal is this one, rising; none where the curve never reaches it
    // (a 4PL beyond its plateaus, a quadratic with no real root) or is flat.
    std::vector<double> amountsAt(double signal) const;
};

// Fits the model to the points (amounts[i], measured[i]). Not ok with a reason for lengths
// that differ, values that are not finite, negative amounts, a weighting of 1/amount with an
// amount of 0, or too few distinct amounts for the model (linear-origin 1 above 0, linear 2,
// quadratic 3, 4pl 4), or a fit GSL could not make.
CurveFit fitCurve(const std::vector<double>& amounts, const std::vector<double>& measured,
                  CurveModel model, CurveWeighting weighting);

// Mandel's test (above) on the points.
struct LackOfFit
{
    bool ok = false;
    QString reason;           // why there is no test: fewer than 4 points or 3 amounts, ...
    double f = 0;             // infinite when the quadratic is exact and the line is not
    double p = 0;             // chance of an F this large from a straight line
    int degreesOfFreedom = 0; // n - 3
    double rssLinear = 0;
    double rssQuadratic = 0;
};
LackOfFit mandelTest(const std::vector<double>& amounts, const std::vector<double>& measured,
                     CurveWeighting weighting);

struct LinearRange
{
    bool found = false;
    QString reason; // why none was found
    int first = 0;  // indices of its first and last standards, standards in order of amount
    int last = -1;
    double low = 0; // its lowest and highest amounts
    double high = 0;
    double worstResidualPercent = 0; // the largest |residual| of its own line
};

// The linear range (above) of standards in order of amount (nondecreasing; not checked
// here: StandardCurve sorts them). linearModel is LinearOrigin or Linear (any other model
// searches with Linear); limitPercent above 0.
LinearRange findLinearRange(const std::vector<CurveStandard>& sortedStandards,
                            CurveModel linearModel, CurveWeighting weighting, double limitPercent);

// The largest residual limit a person may ask for, in per cent.
inline constexpr double MaxResidualLimitPercent = 1000;

struct CurveOptions
{
    CurveModel model = CurveModel::Linear;
    CurveWeighting weighting = CurveWeighting::None;
    double residualLimitPercent = 15;

    friend bool operator==(const CurveOptions& a, const CurveOptions& b)
    {
        return a.model == b.model && a.weighting == b.weighting &&
               a.residualLimitPercent == b.residualLimitPercent;
    }
    friend bool operator!=(const CurveOptions& a, const CurveOptions& b) { return !(a == b); }
};

// A standard as the curve sees it.
struct CurveStandardResult
{
    CurveStandard standard;
    std::optional<double> fitted;          // the curve's signal at its amount
    std::optional<double> residualPercent; // against the curve
    bool inLinearRange = false;
    bool inFit = false; // the curve was fitted to it
};

// An amount read off the curve for a signal.
struct CurveAmount
{
    std::optional<double> amount;    // none: outside the standards and not extrapolating, etc.
    bool outsideLinearRange = false; // also when there is no linear range or no amount
    bool outsideStandards = false;   // beyond the fitted standards' lowest or highest amount
    bool extrapolated = false;       // the amount lies beyond them and was asked for
    bool saturated = false;          // the band had samples at the end of the scale
    bool ambiguous = false;          // the curve gives two amounts inside the standards
    QString reason;                  // why there is no amount, when there is none

    // Inside the linear range, not saturated, with an amount: an amount to trust.
    bool inLinearRange() const { return amount && !outsideLinearRange && !saturated; }
    // The flags as words, "outside the linear range, saturated"; empty when none.
    QString flagsText() const;
};

class StandardCurve
{
public:
    StandardCurve() = default;
    // Sorts the standards by amount and fits them (above). Not ok, with a reason, for no
    // standards or bad values (which standard and why), a residual limit not above 0, too
    // few unsaturated standards for the model, or a curve that does not change with the
    // amount.
    static StandardCurve fit(std::vector<CurveStandard> standards, const CurveOptions& options);

    bool ok() const { return m_ok; }
    QString reason() const { return m_reason; }
    const CurveOptions& options() const { return m_options; }
    const CurveFit& curve() const { return m_fit; }
    // Every standard, in order of amount.
    const std::vector<CurveStandardResult>& standards() const { return m_standards; }
    const LinearRange& linearRange() const { return m_range; }
    // Mandel's test on the standards the curve was fitted to.
    const LackOfFit& lackOfFit() const { return m_lackOfFit; }
    // The lowest and highest amounts the curve was fitted to.
    double lowAmount() const { return m_low; }
    double highAmount() const { return m_high; }
    // Whether the curve rises or falls steadily from lowAmount to highAmount (a quadratic
    // may turn back): where it does not, a signal may stand for two amounts.
    bool monotone() const { return m_monotone; }

    double signalAt(double amount) const { return m_fit.signalAt(amount); }
    // The amount of a band of this signal, flagged (CurveAmount). Beyond the fitted
    // standards there is no amount unless extrapolate is true; then it is marked. There is
    // never an amount below 0, nor one where the curve does not reach the signal (a 4PL
    // beyond its plateaus), nor where it reaches it twice among the standards (ambiguous).
    CurveAmount amountFor(double signal, bool saturated = false, bool extrapolate = false) const;

private:
    bool m_ok = false;
    QString m_reason = QStringLiteral("no standards");
    CurveOptions m_options;
    CurveFit m_fit;
    std::vector<CurveStandardResult> m_standards;
    LinearRange m_range;
    LackOfFit m_lackOfFit;
    double m_low = 0;
    double m_high = 0;
    bool m_monotone = true;
};

} // namespace kesto
