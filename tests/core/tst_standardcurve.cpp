#include "core/integration.h"
#include "core/lanequant.h"
#include "core/standardcurve.h"

#include "support/syntheticgel.h"

#include <QTest>

#include <cmath>

using namespace kesto;

using Doubles = std::vector<double>;
using Standards = std::vector<CurveStandard>;
Q_DECLARE_METATYPE(Doubles)
Q_DECLARE_METATYPE(Standards)
Q_DECLARE_METATYPE(kesto::CurveModel)
Q_DECLARE_METATYPE(kesto::CurveWeighting)
Q_DECLARE_METATYPE(kesto::test::SyntheticGelLayout::Depth)

namespace {

constexpr double Pi = 3.14159265358979323846;

Doubles weightsOf(const Doubles& x, CurveWeighting weighting)
{
    Doubles w;
    for (double amount : x)
        w.push_back(weighting == CurveWeighting::None ? 1.0 : 1 / amount);
    return w;
}

double weightedSum(const Doubles& w, const Doubles& a, const Doubles& b)
{
    double s = 0;
    for (std::size_t i = 0; i < w.size(); ++i)
        s += w[i] * a[i] * b[i];
    return s;
}

// The usual straight-line formulas about the (weighted) means: {intercept, slope}.
Doubles lineOf(const Doubles& x, const Doubles& y, const Doubles& w)
{
    const Doubles one(x.size(), 1.0);
    const double sw = weightedSum(w, one, one);
    const double mx = weightedSum(w, x, one) / sw, my = weightedSum(w, y, one) / sw;
    const double sxx = weightedSum(w, x, x) - sw * mx * mx;
    const double sxy = weightedSum(w, x, y) - sw * mx * my;
    return {my - sxy / sxx * mx, sxy / sxx};
}

// Through the origin: sum w x y / sum w x^2 (with w = 1/x, sum y / sum x).
Doubles originOf(const Doubles& x, const Doubles& y, const Doubles& w)
{
    return {0.0, weightedSum(w, x, y) / weightedSum(w, x, x)};
}

double rssOf(const Doubles& x, const Doubles& y, const Doubles& w, const Doubles& line)
{
    double rss = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
        rss += w[i] * std::pow(y[i] - line[0] - line[1] * x[i], 2);
    return rss;
}

double rSquaredOf(const Doubles& x, const Doubles& y, const Doubles& w, const Doubles& line)
{
    const Doubles one(x.size(), 1.0);
    const double my = weightedSum(w, y, one) / weightedSum(w, one, one);
    double tss = 0;
    for (std::size_t i = 0; i < y.size(); ++i)
        tss += w[i] * (y[i] - my) * (y[i] - my);
    return 1 - rssOf(x, y, w, line) / tss;
}

double logistic(const Doubles& p, double x)
{
    return p[1] + (p[0] - p[1]) / (1 + std::pow(x / p[2], p[3]));
}

Standards standardsOf(const Doubles& x, const Doubles& y, const QList<int>& saturated = {})
{
    Standards s;
    for (std::size_t i = 0; i < x.size(); ++i)
        s.push_back({x[i], y[i], saturated.contains(int(i)), QString()});
    return s;
}

} // namespace

class TestStandardCurve : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void texts_data();
    void texts();
    void fits_data();
    void fits();
    void mandel_data();
    void mandel();
    void linearRange_data();
    void linearRange();
    void amounts_data();
    void amounts();
    void refusals_data();
    void refusals();
    void dilutionSeries_data();
    void dilutionSeries();
};

void TestStandardCurve::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("model");     // -1: not a model
    QTest::addColumn<int>("weighting"); // -1: not a weighting
    QTest::newRow("linear") << "linear" << int(CurveModel::Linear) << -1;
    QTest::newRow("Linear-Origin") << "Linear-Origin" << int(CurveModel::LinearOrigin) << -1;
    QTest::newRow("QUADRATIC") << "QUADRATIC" << int(CurveModel::Quadratic) << -1;
    QTest::newRow("4PL") << "4PL" << int(CurveModel::FourParameterLogistic) << -1;
    QTest::newRow("none") << "None" << -1 << int(CurveWeighting::None);
    QTest::newRow("1/amount") << "1/AMOUNT" << -1 << int(CurveWeighting::InverseAmount);
    QTest::newRow("empty") << "" << -1 << -1;
    QTest::newRow("cubic") << "cubic" << -1 << -1;
}

void TestStandardCurve::texts()
{
    QFETCH(QString, text);
    QFETCH(int, model);
    QFETCH(int, weighting);
    QString error;
    const std::optional<CurveModel> m = parseCurveModel(text, &error);
    QCOMPARE(m.has_value(), model >= 0);
    if (m)
        QCOMPARE(curveModelText(*m), text.toLower());
    else
        QVERIFY2(error.contains(QStringLiteral("expected linear")), qPrintable(error));
    const std::optional<CurveWeighting> w = parseCurveWeighting(text, &error);
    QCOMPARE(w.has_value(), weighting >= 0);
    if (w)
        QCOMPARE(curveWeightingText(*w), text.toLower());
    else
        QVERIFY2(error.contains(QStringLiteral("expected none or 1/amount")), qPrintable(error));
}

void TestStandardCurve::fits_data()
{
    QTest::addColumn<CurveModel>("model");
    QTest::addColumn<CurveWeighting>("weighting");
    QTest::addColumn<Doubles>("x");
    QTest::addColumn<Doubles>("y");
    QTest::addColumn<Doubles>("expected");
    QTest::addColumn<double>("rSquared");
    const auto none = CurveWeighting::None;
    const auto inverse = CurveWeighting::InverseAmount;
    const Doubles x{1, 2, 4, 8, 16};
    const Doubles y{11, 19, 42, 79, 163};
    for (CurveWeighting w : {none, inverse}) {
        const Doubles weights = weightsOf(x, w);
        const Doubles origin = originOf(x, y, weights);
        const Doubles line = lineOf(x, y, weights);
        const QByteArray suffix = w == none ? ", unweighted" : ", 1/amount";
        QTest::newRow("origin" + suffix) << CurveModel::LinearOrigin << w << x << y << origin
                                         << rSquaredOf(x, y, weights, origin);
        QTest::newRow("linear" + suffix)
            << CurveModel::Linear << w << x << y << line << rSquaredOf(x, y, weights, line);
    }
    const Doubles q{2, 3, 0.5};
    const auto quadratic = [&q](const Doubles& xs) {
        Doubles ys;
        for (double v : xs)
            ys.push_back(q[0] + q[1] * v + q[2] * v * v);
        return ys;
    };
    QTest::newRow("quadratic through 3")
        << CurveModel::Quadratic << none << Doubles{1, 3, 7} << quadratic({1, 3, 7}) << q << 1.0;
    const Doubles six{0.5, 1, 2, 5, 9, 14};
    QTest::newRow("quadratic through 6, 1/amount")
        << CurveModel::Quadratic << inverse << six << quadratic(six) << q << 1.0;
    const Doubles wide{1, 3, 10, 30, 100, 300, 1000, 3000};
    for (const Doubles& p : {Doubles{200, 9000, 40, 1.3}, Doubles{5000, 100, 20, 2}}) {
        Doubles ys;
        for (double v : wide)
            ys.push_back(logistic(p, v));
        for (CurveWeighting w : {none, inverse})
            QTest::addRow("4pl %s%s", p[0] < p[1] ? "rising" : "falling",
                          w == none ? "" : ", 1/amount")
                << CurveModel::FourParameterLogistic << w << wide << ys << p << 1.0;
    }
}

void TestStandardCurve::fits()
{
    QFETCH(CurveModel, model);
    QFETCH(CurveWeighting, weighting);
    QFETCH(Doubles, x);
    QFETCH(Doubles, y);
    QFETCH(Doubles, expected);
    QFETCH(double, rSquared);
    const CurveFit fit = fitCurve(x, y, model, weighting);
    QVERIFY2(fit.ok, qPrintable(fit.reason));
    QCOMPARE(fit.coefficients.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        QVERIFY2(std::abs(fit.coefficients[i] - expected[i]) <=
                     1e-6 * std::max(1.0, std::abs(expected[i])),
                 qPrintable(QStringLiteral("c%1: %2, expected %3")
                                .arg(i)
                                .arg(fit.coefficients[i], 0, 'g', 12)
                                .arg(expected[i], 0, 'g', 12)));
    QVERIFY2(std::abs(fit.rSquared - rSquared) < 1e-9,
             qPrintable(QStringLiteral("R2 %1, expected %2")
                            .arg(fit.rSquared, 0, 'g', 12)
                            .arg(rSquared, 0, 'g', 12)));
    // Every amount read back from its own fitted signal.
    for (double amount : x) {
        const Doubles back = fit.amountsAt(fit.signalAt(amount));
        QVERIFY(std::any_of(back.begin(), back.end(),
                            [amount](double a) { return std::abs(a - amount) <= 1e-6 * amount; }));
    }
}

// On 4 equally spaced amounts the residuals of a quadratic lie along v = (-1, 3, -3, 1), so
// RSS_quad = (v.y)^2 / sum v_i^2 / w_i; with 1 and 1 degrees of freedom the F distribution has
// P(F' > F) = 1 - 2 / pi atan(sqrt F).
void TestStandardCurve::mandel_data()
{
    QTest::addColumn<CurveWeighting>("weighting");
    QTest::addColumn<Doubles>("y");
    QTest::addColumn<bool>("ok");
    const Doubles quadraticExact{3, 9, 19, 33}; // 1 + x + x^2
    QTest::newRow("bent") << CurveWeighting::None << Doubles{10, 19.5, 27, 32.2} << true;
    QTest::newRow("nearly straight")
        << CurveWeighting::None << Doubles{10.1, 19.8, 30.3, 39.9} << true;
    QTest::newRow("bent, 1/amount")
        << CurveWeighting::InverseAmount << Doubles{10, 19.5, 27, 32.2} << true;
    QTest::newRow("exact quadratic") << CurveWeighting::None << quadraticExact << true;
    QTest::newRow("exact line") << CurveWeighting::None << Doubles{5, 7, 9, 11} << false;
}

void TestStandardCurve::mandel()
{
    QFETCH(CurveWeighting, weighting);
    QFETCH(Doubles, y);
    QFETCH(bool, ok);
    const Doubles x{1, 2, 3, 4};
    const LackOfFit test = mandelTest(x, y, weighting);
    QCOMPARE(test.ok, ok);
    if (!ok) {
        QVERIFY(test.reason.contains(QStringLiteral("straight line")));
        return;
    }
    const Doubles w = weightsOf(x, weighting);
    const double rssLinear = rssOf(x, y, w, lineOf(x, y, w));
    const Doubles v{-1, 3, -3, 1};
    double vy = 0, vv = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        vy += v[i] * y[i];
        vv += v[i] * v[i] / w[i];
    }
    const double rssQuadratic = vy * vy / vv;
    QCOMPARE(test.degreesOfFreedom, 1);
    QVERIFY(std::abs(test.rssLinear - rssLinear) <= 1e-9 * rssLinear);
    if (rssQuadratic < 1e-12) {
        QVERIFY(std::isinf(test.f));
        QCOMPARE(test.p, 0.0);
        return;
    }
    const double f = (rssLinear - rssQuadratic) / rssQuadratic;
    QVERIFY2(std::abs(test.f - f) <= 1e-6 * f,
             qPrintable(QStringLiteral("F %1, expected %2").arg(test.f).arg(f)));
    QVERIFY(std::abs(test.p - (1 - 2 / Pi * std::atan(std::sqrt(f)))) < 1e-9);
}

void TestStandardCurve::linearRange_data()
{
    QTest::addColumn<Standards>("standards");
    QTest::addColumn<CurveModel>("model");
    QTest::addColumn<double>("limit");
    QTest::addColumn<int>("first"); // -1: none found
    QTest::addColumn<int>("last");
    const Doubles x5{1, 2, 4, 8, 16};
    const auto linear = CurveModel::Linear;
    QTest::newRow("all on a line")
        << standardsOf(x5, {10, 20, 40, 80, 160}) << linear << 15.0 << 0 << 4;
    QTest::newRow("top saturated")
        << standardsOf(x5, {10, 20, 40, 80, 160}, {4}) << linear << 15.0 << 0 << 3;
    QTest::newRow("top bends over")
        << standardsOf(x5, {10, 20, 40, 80, 110}) << linear << 15.0 << 0 << 3;
    QTest::newRow("bottom in the floor")
        << standardsOf(x5, {30, 32, 40, 80, 160}) << linear << 15.0 << 2 << 4;
    QTest::newRow("saturated in the middle")
        << standardsOf({1, 2, 4, 8, 16, 32}, {1, 2, 4, 8, 16, 32}, {3}) << linear << 15.0 << 0 << 2;
    QTest::newRow("replicates together")
        << standardsOf({1, 1, 2, 2, 4, 4}, {10, 11, 20, 21, 40, 41}) << linear << 15.0 << 0 << 5;
    QTest::newRow("tighter limit")
        << standardsOf(x5, {10, 20, 40, 80, 150}) << linear << 3.0 << 0 << 3;
    QTest::newRow("looser limit") << standardsOf(x5, {10, 20, 40, 80, 150}) << linear << 15.0 << 0
                                  << 4;
    QTest::newRow("intercept, line")
        << standardsOf({1, 2, 3}, {15, 25, 35}) << linear << 15.0 << 0 << 2;
    QTest::newRow("intercept, origin")
        << standardsOf({1, 2, 3}, {15, 25, 35}) << CurveModel::LinearOrigin << 15.0 << -1 << -1;
    QTest::newRow("two amounts") << standardsOf({1, 2}, {10, 20}) << linear << 15.0 << -1 << -1;
}

void TestStandardCurve::linearRange()
{
    QFETCH(Standards, standards);
    QFETCH(CurveModel, model);
    QFETCH(double, limit);
    QFETCH(int, first);
    QFETCH(int, last);
    const LinearRange range = findLinearRange(standards, model, CurveWeighting::None, limit);
    QCOMPARE(range.found, first >= 0);
    if (!range.found) {
        QVERIFY(!range.reason.isEmpty());
        return;
    }
    QCOMPARE(range.first, first);
    QCOMPARE(range.last, last);
    QCOMPARE(range.low, standards[std::size_t(first)].amount);
    QCOMPARE(range.high, standards[std::size_t(last)].amount);
    QVERIFY(range.worstResidualPercent <= limit);
}

// Standards on signal = 5 + 10 amount from 1 to 16, and a saturated one at 32 that fell short.
void TestStandardCurve::amounts_data()
{
    QTest::addColumn<CurveModel>("model");
    QTest::addColumn<double>("signal");
    QTest::addColumn<bool>("saturated");
    QTest::addColumn<bool>("extrapolate");
    QTest::addColumn<double>("amount"); // NaN: none
    QTest::addColumn<QString>("flags");
    const double none = std::nan("");
    const auto linear = CurveModel::Linear;
    QTest::newRow("inside") << linear << 105.0 << false << false << 10.0 << QString();
    QTest::newRow("inside, saturated") << linear << 105.0 << true << false << 10.0 << "saturated";
    QTest::newRow("at the lowest standard") << linear << 15.0 << false << false << 1.0 << QString();
    QTest::newRow("above") << linear << 305.0 << false << false << none
                           << "outside the linear range, beyond the standards";
    QTest::newRow("above, extrapolated")
        << linear << 305.0 << false << true << 30.0
        << "outside the linear range, beyond the standards (extrapolated)";
    QTest::newRow("below, extrapolated")
        << linear << 10.0 << false << true << 0.5
        << "outside the linear range, beyond the standards (extrapolated)";
    QTest::newRow("below no amount") << linear << 0.0 << false << true << none
                                     << "outside the linear range, beyond the standards";
    QTest::newRow("not a number") << linear << none << false << false << none
                                  << "outside the linear range";
    // 40 x - x^2 turns at 20: 300 is both 10 and 30.
    QTest::newRow("quadratic turning") << CurveModel::Quadratic << 300.0 << false << false << none
                                       << "outside the linear range, two amounts on the curve";
}

void TestStandardCurve::amounts()
{
    QFETCH(CurveModel, model);
    QFETCH(double, signal);
    QFETCH(bool, saturated);
    QFETCH(bool, extrapolate);
    QFETCH(double, amount);
    QFETCH(QString, flags);
    Standards standards = standardsOf({16, 1, 2, 4, 8, 32}, {165, 15, 25, 45, 85, 250}, {5});
    if (model == CurveModel::Quadratic)
        standards = standardsOf({5, 10, 15, 25, 35}, {175, 300, 375, 375, 175});
    const StandardCurve curve = StandardCurve::fit(standards, {model, CurveWeighting::None, 15});
    QVERIFY2(curve.ok(), qPrintable(curve.reason()));
    if (model == CurveModel::Linear) {
        QCOMPARE(curve.standards().front().standard.amount, 1.0);
        QCOMPARE(curve.linearRange().high, 16.0);
        const CurveStandardResult& top = curve.standards().back();
        QVERIFY(!top.inFit && !top.inLinearRange && top.standard.saturated);
        QVERIFY(std::abs(*top.residualPercent - (250.0 - 325) / 325 * 100) < 1e-9);
    } else {
        QVERIFY(!curve.monotone());
    }
    const CurveAmount read = curve.amountFor(signal, saturated, extrapolate);
    QCOMPARE(read.amount.has_value(), !std::isnan(amount));
    if (read.amount)
        QVERIFY2(std::abs(*read.amount - amount) < 1e-9, qPrintable(QString::number(*read.amount)));
    else
        QVERIFY(!read.reason.isEmpty());
    QCOMPARE(read.flagsText(), flags);
    QCOMPARE(read.inLinearRange(), flags.isEmpty());
}

void TestStandardCurve::refusals_data()
{
    QTest::addColumn<Standards>("standards");
    QTest::addColumn<CurveModel>("model");
    QTest::addColumn<CurveWeighting>("weighting");
    QTest::addColumn<double>("limit");
    QTest::addColumn<QString>("reason");
    const auto linear = CurveModel::Linear;
    const auto none = CurveWeighting::None;
    const Doubles x{1, 2, 4, 8};
    const Doubles y{1, 2, 4, 8};
    QTest::newRow("none") << Standards{} << linear << none << 15.0 << "no standards";
    QTest::newRow("negative amount") << standardsOf({1, -2, 4}, y) << linear << none << 15.0
                                     << "standard 2 has no usable amount (-2)";
    QTest::newRow("amount not a number") << standardsOf({1, std::nan(""), 4}, y) << linear << none
                                         << 15.0 << "standard 2 has no usable amount";
    QTest::newRow("signal infinite") << standardsOf(x, {1, 2, HUGE_VAL, 4}) << linear << none
                                     << 15.0 << "standard 3 has no signal";
    QTest::newRow("blank weighted") << standardsOf({0, 1, 2, 4}, y) << linear
                                    << CurveWeighting::InverseAmount << 15.0 << "amount of 0";
    QTest::newRow("one amount") << standardsOf({2, 2, 2}, {1, 2, 3}) << linear << none << 15.0
                                << "needs 2 different amounts, there is 1";
    QTest::newRow("quadratic, 2 amounts") << standardsOf({1, 1, 2, 2}, y) << CurveModel::Quadratic
                                          << none << 15.0 << "needs 3 different amounts";
    QTest::newRow("4pl, 3 amounts")
        << standardsOf({1, 2, 4}, {1, 2, 3}) << CurveModel::FourParameterLogistic << none << 15.0
        << "needs 4 different amounts";
    QTest::newRow("all saturated") << standardsOf(x, y, {0, 1, 2, 3}) << linear << none << 15.0
                                   << "every standard is saturated";
    QTest::newRow("saturated leave too few")
        << standardsOf(x, y, {1, 2, 3}) << linear << none << 15.0
        << "(saturated standards are left out, 1 remain)";
    QTest::newRow("flat") << standardsOf(x, {5, 5, 5, 5}) << linear << none << 15.0
                          << "does not change";
    QTest::newRow("limit 0") << standardsOf(x, y) << linear << none << 0.0 << "residual limit";
}

void TestStandardCurve::refusals()
{
    QFETCH(Standards, standards);
    QFETCH(CurveModel, model);
    QFETCH(CurveWeighting, weighting);
    QFETCH(double, limit);
    QFETCH(QString, reason);
    const StandardCurve curve = StandardCurve::fit(standards, {model, weighting, limit});
    QVERIFY(!curve.ok());
    QVERIFY2(curve.reason().contains(reason), qPrintable(curve.reason()));
    const CurveAmount read = curve.amountFor(10);
    QVERIFY(!read.amount && read.outsideLinearRange);
}

// A dilution series of 8 two-fold steps, one band per lane, whose top three bands are cut
// off at the end of the picture's scale, and unknowns beside it; every band measured as the
// lanes are (profile, baseline through minima, volume between its boundaries), its
// saturation from the scan's counts.
void TestStandardCurve::dilutionSeries_data()
{
    using Depth = test::SyntheticGelLayout::Depth;
    QTest::addColumn<Depth>("depth");
    QTest::addColumn<bool>("darkOnLight");
    QTest::newRow("8-bit, dark on light") << Depth::Rgb8 << true;
    QTest::newRow("8-bit, light on dark") << Depth::Rgb8 << false;
    QTest::newRow("16-bit, dark on light") << Depth::Gray16 << true;
    QTest::newRow("16-bit, light on dark") << Depth::Rgb16 << false;
}

void TestStandardCurve::dilutionSeries()
{
    QFETCH(test::SyntheticGelLayout::Depth, depth);
    QFETCH(bool, darkOnLight);
    const QList<double> standards{1, 2, 4, 8, 16, 32, 64, 128};
    const QList<double> unknowns{1.5, 3, 5, 10, 14, 60};
    test::DilutionLayout layout;
    layout.amounts = standards + unknowns;
    // 16 reaches 0.75 of the scale, 32 would reach 1.5 and is cut at 0.9.
    layout.heightPerAmount = 0.75 / 16;
    layout.depth = depth;
    layout.darkOnLight = darkOnLight;
    const test::SyntheticGel gel = test::makeDilutionGel(layout);

    std::vector<double> signal;
    std::vector<bool> saturated;
    for (int lane = 0; lane < gel.lanes.size(); ++lane) {
        const QRect l = gel.lanes.at(lane);
        const LaneStrip strip =
            LaneStrip::straight(FoundFrame{l.left(), l.top(), l.width() - 1, l.height() - 1},
                                LaneOrientation::Vertical);
        const LaneMeasure measure =
            measureLane(gel.picture, strip, Channel::Green, LaneBackground(), darkOnLight);
        const QRect b = gel.bands.at(lane).front();
        const FoundFrame frame{b.left(), b.top(), b.width() - 1, b.height() - 1};
        const std::vector<BandBounds> bounds =
            bandBoundaries(measure, bandPeaks(measure, {frame}, LaneOrientation::Vertical));
        signal.push_back(bandVolume(measure, bounds.front()));
        const ScanResult scan =
            integrateFrameCounted(gel.picture, frame.geometry(), Channel::Green, {});
        saturated.push_back((darkOnLight ? scan.atZero : scan.atFullScale) > 0);
    }

    Standards series;
    for (int i = 0; i < standards.size(); ++i)
        series.push_back({standards.at(i), signal[std::size_t(i)], saturated[std::size_t(i)],
                          QStringLiteral("lane %1").arg(i + 1)});
    const StandardCurve curve = StandardCurve::fit(series, CurveOptions());
    QVERIFY2(curve.ok(), qPrintable(curve.reason()));
    const LinearRange& range = curve.linearRange();
    QVERIFY2(range.found, qPrintable(range.reason));
    QCOMPARE(range.low, 1.0);
    QCOMPARE(range.high, 16.0);
    for (std::size_t i = 0; i < curve.standards().size(); ++i) {
        const CurveStandardResult& s = curve.standards()[i];
        QCOMPARE(s.standard.saturated, i >= 5);
        QCOMPARE(s.inLinearRange, i < 5);
        // Cut off, they fall well short of the line.
        if (i >= 5)
            QVERIFY2(*s.residualPercent < -15, qPrintable(QString::number(*s.residualPercent)));
    }
    QVERIFY(curve.curve().rSquared > 0.999);

    double worst = 0;
    for (int u = 0; u < unknowns.size(); ++u) {
        const std::size_t lane = std::size_t(standards.size() + u);
        const CurveAmount read = curve.amountFor(signal[lane], saturated[lane]);
        if (unknowns.at(u) > 16) {
            QVERIFY(!read.amount && read.outsideLinearRange && read.outsideStandards &&
                    read.saturated);
            QVERIFY(!read.inLinearRange());
            continue;
        }
        QVERIFY2(read.inLinearRange(), qPrintable(read.flagsText() + read.reason));
        const double error = std::abs(*read.amount / unknowns.at(u) - 1);
        worst = std::max(worst, error);
        QVERIFY2(error < 0.05,
                 qPrintable(QStringLiteral("%1 read as %2").arg(unknowns.at(u)).arg(*read.amount)));
    }
    qInfo("range %g to %g, worst residual %.2f %%, worst unknown %.2f %%", range.low, range.high,
          range.worstResidualPercent, 100 * worst);
}

QTEST_GUILESS_MAIN(TestStandardCurve)
#include "tst_standardcurve.moc"
