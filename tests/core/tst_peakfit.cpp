#include "core/peakfit.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <limits>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::PeakShape)

namespace {

const double kPi = 3.14159265358979323846;

// A NIST nonlinear regression file: the starts, certified values and standard deviations
// of b1..b8 from its header, and the data.
struct NistData
{
    double start[2][8] = {};
    double certified[8] = {};
    double deviation[8] = {};
    double residualSumOfSquares = 0;
    double residualDeviation = 0;
    std::vector<double> x, y;
};

NistData readNist(const QString& name)
{
    NistData data;
    QFile file(qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/tests/data/nist/") +
               name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return data;
    const QRegularExpression parameter(
        QStringLiteral(R"(^\s*b(\d)\s*=\s*(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s*$)"));
    const QRegularExpression point(QStringLiteral(R"(^\s*(-?[\d.Ee+-]+)\s+(-?[\d.Ee+-]+)\s*$)"));
    bool inData = false;
    while (!file.atEnd()) {
        const QString line = QString::fromLatin1(file.readLine());
        if (line.startsWith(QLatin1String("Data:   y"))) {
            inData = true;
            continue;
        }
        if (inData) {
            const auto m = point.match(line);
            if (m.hasMatch()) {
                data.y.push_back(m.captured(1).toDouble());
                data.x.push_back(m.captured(2).toDouble());
            }
            continue;
        }
        if (const auto m = parameter.match(line); m.hasMatch()) {
            const int b = m.captured(1).toInt() - 1;
            data.start[0][b] = m.captured(2).toDouble();
            data.start[1][b] = m.captured(3).toDouble();
            data.certified[b] = m.captured(4).toDouble();
            data.deviation[b] = m.captured(5).toDouble();
        } else if (line.startsWith(QLatin1String("Residual Sum of Squares:"))) {
            data.residualSumOfSquares = line.section(QLatin1Char(':'), 1).trimmed().toDouble();
        } else if (line.startsWith(QLatin1String("Residual Standard Deviation:"))) {
            data.residualDeviation = line.section(QLatin1Char(':'), 1).trimmed().toDouble();
        }
    }
    return data;
}

double relative(double value, double expected)
{
    return std::abs(value - expected) / std::abs(expected);
}

// Gaussian noise of deviation 1, the same on every machine.
double normal(QRandomGenerator& random)
{
    const double u = 1 - random.generateDouble();
    return std::sqrt(-2 * std::log(u)) * std::cos(2 * kPi * random.generateDouble());
}

} // namespace

class TestPeakFit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nist_data();
    void nist();
    void overlappingBands_data();
    void overlappingBands();
    void tailingBand_data();
    void tailingBand();
    void tailShapeStaysFinite_data();
    void tailShapeStaysFinite();
    void refused_data();
    void refused();
};

void TestPeakFit::nist_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("start");
    for (const char* name : {"Gauss1", "Gauss2", "Gauss3"})
        for (int start = 1; start <= 2; ++start)
            QTest::addRow("%s start %d", name, start)
                << QString::fromLatin1(name) + QStringLiteral(".dat") << start;
}

// The certified values are given to 11 digits; the fit matches them (and their standard
// deviations, and the residual sum of squares) to 9 or more.
// y = b1 exp(-b2 x) + b3 exp(-(x - b4)^2 / b5^2) + b6 exp(-(x - b7)^2 / b8^2): an
// exponential baseline and two Gaussians with b5 = sigma sqrt(2), b3 = area / (sigma
// sqrt(2 pi)).
void TestPeakFit::nist()
{
    QFETCH(QString, file);
    QFETCH(int, start);
    const NistData data = readNist(file);
    QCOMPARE(data.x.size(), std::size_t(250));
    QVERIFY(data.certified[7] > 0);
    const double* b = data.start[start - 1];

    PeakFitOptions options;
    options.baseline = FitBaseline::Exponential;
    options.baselineGuess = {b[0], b[1]};
    const std::vector<PeakGuess> guesses = {
        {b[3], b[2] * b[4] * std::sqrt(kPi), b[4] / std::sqrt(2.0), 0},
        {b[6], b[5] * b[7] * std::sqrt(kPi), b[7] / std::sqrt(2.0), 0}};
    const PeakFit fit = fitPeaks(data.x, data.y, guesses, options);
    QVERIFY2(fit.ok, qPrintable(fit.reason));
    QCOMPARE(fit.peaks.size(), std::size_t(2));
    QCOMPARE(fit.parameterCount, 8);

    double value[8], deviation[8];
    value[0] = fit.baseline[0];
    value[1] = fit.baseline[1];
    deviation[0] = fit.baselineErrors[0];
    deviation[1] = fit.baselineErrors[1];
    for (int k = 0; k < 2; ++k) {
        const FittedPeak& peak = fit.peaks[std::size_t(k)];
        const int at = 2 + 3 * k;
        const double height = peak.area / (peak.sigma * std::sqrt(2 * kPi));
        value[at] = height;
        value[at + 1] = peak.centre;
        value[at + 2] = peak.sigma * std::sqrt(2.0);
        // The height's error from the area's, the sigma's and their covariance.
        const double byArea = height / peak.area, bySigma = -height / peak.sigma;
        auto c = [&](int i, int j) { return fit.covariance[std::size_t(i * 8 + j)]; };
        deviation[at] =
            std::sqrt(byArea * byArea * c(at, at) + bySigma * bySigma * c(at + 2, at + 2) +
                      2 * byArea * bySigma * c(at, at + 2));
        deviation[at + 1] = peak.centreError;
        deviation[at + 2] = peak.sigmaError * std::sqrt(2.0);
    }
    for (int i = 0; i < 8; ++i) {
        const QByteArray which = "b" + QByteArray::number(i + 1);
        QVERIFY2(relative(value[i], data.certified[i]) < 1e-9,
                 which + " " + QByteArray::number(value[i], 'g', 12));
        QVERIFY2(relative(deviation[i], data.deviation[i]) < 1e-9,
                 which + " deviation " + QByteArray::number(deviation[i], 'g', 12));
    }
    QVERIFY(relative(fit.residualSumOfSquares, data.residualSumOfSquares) < 1e-10);
    QVERIFY(relative(fit.residualDeviation, data.residualDeviation) < 1e-10);
}

void TestPeakFit::overlappingBands_data()
{
    QTest::addColumn<double>("secondArea");
    QTest::addColumn<double>("noise");
    QTest::addColumn<bool>("guessWidths");

    QTest::newRow("equal bands") << 1500.0 << 1.0 << false;
    QTest::newRow("second band half, widths from the data") << 750.0 << 0.5 << true;
    QTest::newRow("second band a third, widths from the data") << 500.0 << 0.25 << true;
}

// Two bands of sigma 6 2.5 sigma apart on a sloped baseline, 300 points, bands up to 100
// counts high with noise small enough for the area to be fixed to about 1 %.
void TestPeakFit::overlappingBands()
{
    QFETCH(double, secondArea);
    QFETCH(double, noise);
    QFETCH(bool, guessWidths);
    const double sigma = 6, firstArea = 1500, first = 140, second = first + 2.5 * sigma;
    QRandomGenerator random(20261208);
    std::vector<double> x, y;
    for (int i = 0; i < 300; ++i) {
        x.push_back(i);
        const double a = (i - first) / sigma, b = (i - second) / sigma;
        y.push_back(20 + 0.05 * i +
                    (firstArea * std::exp(-a * a / 2) + secondArea * std::exp(-b * b / 2)) /
                        (sigma * std::sqrt(2 * kPi)) +
                    noise * normal(random));
    }
    PeakFitOptions options;
    options.baseline = FitBaseline::Linear;
    options.baselineGuess = {y.front(), (y.back() - y.front()) / 300};
    const double width = guessWidths ? 0 : 8;
    const PeakFit fit =
        fitPeaks(x, y, {{first - 2, 1000, width, 0}, {second + 2, 1000, width, 0}}, options);
    QVERIFY2(fit.ok, qPrintable(fit.reason));
    QVERIFY2(relative(fit.peaks[0].area, firstArea) < 0.03,
             qPrintable(QString::number(fit.peaks[0].area)));
    QVERIFY2(relative(fit.peaks[1].area, secondArea) < 0.03,
             qPrintable(QString::number(fit.peaks[1].area)));
    QVERIFY(std::abs(fit.peaks[0].centre - first) < 0.5);
    QVERIFY(std::abs(fit.peaks[1].centre - second) < 0.5);
    // The residual is the noise, and the quoted errors cover the misses.
    QVERIFY(relative(fit.residualDeviation, noise) < 0.15);
    for (int k = 0; k < 2; ++k) {
        const double truth = k == 0 ? firstArea : secondArea;
        QVERIFY(std::abs(fit.peaks[std::size_t(k)].area - truth) <
                4 * fit.peaks[std::size_t(k)].areaError);
    }
    QVERIFY(std::abs(peakModelAt(fit, options, 150) - y[150]) < 5 * noise);
}

void TestPeakFit::tailingBand_data()
{
    QTest::addColumn<double>("sigma");
    QTest::addColumn<double>("tau");
    QTest::addColumn<double>("gap");

    QTest::newRow("tail twice the width") << 4.0 << 8.0 << 0.0;
    QTest::newRow("short tail") << 5.0 << 2.0 << 0.0;
    QTest::newRow("long tail") << 3.0 << 20.0 << 0.0;
    // The half-height walk from either centre runs into the other band.
    QTest::newRow("two tailing bands 3 sigma apart") << 5.0 << 4.0 << 15.0;
}

// Tailing bands (area 2000 at 80, and 1200 gap further on) on a flat background of 10,
// noise of 0.5 counts; the fit starts from the bands' centres alone.
void TestPeakFit::tailingBand()
{
    QFETCH(double, sigma);
    QFETCH(double, tau);
    QFETCH(double, gap);
    std::vector<FittedPeak> truth = {{2000, 80, sigma, tau, 0, 0, 0, 0}};
    std::vector<PeakGuess> guesses = {{82, 0, 0, 0}};
    if (gap > 0) {
        truth.push_back({1200, 80 + gap, sigma, tau, 0, 0, 0, 0});
        guesses.push_back({82 + gap, 0, 0, 0});
    }
    QRandomGenerator random(7);
    std::vector<double> x, y;
    for (int i = 0; i < 300; ++i) {
        x.push_back(i);
        y.push_back(10 + 0.5 * normal(random));
        for (const FittedPeak& band : truth)
            y.back() += peakValueAt(band, PeakShape::ExponentiallyModified, i);
    }
    PeakFitOptions options;
    options.shape = PeakShape::ExponentiallyModified;
    options.baseline = FitBaseline::Constant;
    options.baselineGuess = {y.front()};
    const PeakFit fit = fitPeaks(x, y, guesses, options);
    QVERIFY2(fit.ok, qPrintable(fit.reason));
    for (std::size_t k = 0; k < truth.size(); ++k) {
        const FittedPeak& peak = fit.peaks[k];
        QVERIFY2(relative(peak.area, truth[k].area) < 0.02, qPrintable(QString::number(peak.area)));
        QVERIFY(std::abs(peak.centre - truth[k].centre) < 0.5);
        QVERIFY(relative(peak.sigma, sigma) < 0.1);
        QVERIFY(relative(peak.tau, tau) < 0.1);
        // Overlapping tails trade off against each other: the quoted error says so.
        QVERIFY(peak.tauError > 0 && std::abs(peak.tau - tau) < 4 * peak.tauError);
    }
}

void TestPeakFit::tailShapeStaysFinite_data()
{
    QTest::addColumn<double>("sigma");
    QTest::addColumn<double>("tau");

    QTest::newRow("tail as wide as the band") << 5.0 << 5.0;
    QTest::newRow("tail a thousandth of the band") << 5.0 << 0.005;
    QTest::newRow("tail a thousand bands long") << 0.5 << 500.0;
}

// The tailing shape has unit area and no overflow anywhere: far before the band, where its
// textbook form multiplies a huge exponential by a vanishing erfc, and far into the tail.
void TestPeakFit::tailShapeStaysFinite()
{
    QFETCH(double, sigma);
    QFETCH(double, tau);
    const FittedPeak unit{1, 0, sigma, tau, 0, 0, 0, 0};
    const double step = std::min(sigma, tau) / 20;
    double sum = 0;
    for (double x = -12 * sigma; x < 12 * sigma + 40 * tau; x += step) {
        const double v = peakValueAt(unit, PeakShape::ExponentiallyModified, x);
        QVERIFY2(std::isfinite(v) && v >= 0, qPrintable(QString::number(x)));
        sum += v * step;
    }
    QVERIFY2(std::abs(sum - 1) < 1e-3, qPrintable(QString::number(sum, 'g', 10)));
    for (double x : {-1e6, -1e3, 1e3, 1e6})
        QVERIFY(std::isfinite(peakValueAt(unit, PeakShape::ExponentiallyModified, x)));
    // A vanishing tail leaves the Gaussian.
    if (tau < 0.01 * sigma)
        QVERIFY(std::abs(peakValueAt(unit, PeakShape::ExponentiallyModified, tau) -
                         peakValueAt(unit, PeakShape::Gaussian, 0)) < 1e-5);
}

void TestPeakFit::refused_data()
{
    QTest::addColumn<std::vector<double>>("x");
    QTest::addColumn<std::vector<double>>("y");
    QTest::addColumn<int>("peaks");
    QTest::addColumn<PeakShape>("shape");
    QTest::addColumn<QString>("reason");

    std::vector<double> x, y;
    for (int i = 0; i < 40; ++i) {
        x.push_back(i);
        y.push_back(5 + 100 * std::exp(-(i - 20.0) * (i - 20.0) / 18));
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto gaussian = PeakShape::Gaussian;
    const auto tailing = PeakShape::ExponentiallyModified;
    std::vector<double> withNan = y;
    withNan[12] = nan;
    std::vector<double> xWithNan = x;
    xWithNan[3] = nan;
    QTest::newRow("fewer points than parameters") << std::vector<double>(x.begin(), x.begin() + 5)
                                                  << std::vector<double>(y.begin(), y.begin() + 5)
                                                  << 2 << gaussian << QStringLiteral("too few");
    QTest::newRow("as many points as parameters") << std::vector<double>(x.begin(), x.begin() + 9)
                                                  << std::vector<double>(y.begin(), y.begin() + 9)
                                                  << 2 << tailing << QStringLiteral("too few");
    QTest::newRow("a value not a number")
        << x << withNan << 1 << gaussian << QStringLiteral("not a number");
    QTest::newRow("a position not a number")
        << xWithNan << y << 1 << gaussian << QStringLiteral("not a number");
    QTest::newRow("sizes differ") << x << std::vector<double>(y.begin(), y.end() - 1) << 1
                                  << gaussian << QStringLiteral("40 positions but 39 values");
    QTest::newRow("no peaks") << x << y << 0 << gaussian << QStringLiteral("no peaks");
    QTest::newRow("no profile") << std::vector<double>() << std::vector<double>() << 1 << gaussian
                                << QStringLiteral("too few");
    QTest::newRow("flat profile") << x << std::vector<double>(40, 7.0) << 1 << gaussian
                                  << QStringLiteral("no height");
}

void TestPeakFit::refused()
{
    QFETCH(std::vector<double>, x);
    QFETCH(std::vector<double>, y);
    QFETCH(int, peaks);
    QFETCH(PeakShape, shape);
    QFETCH(QString, reason);
    PeakFitOptions options;
    options.shape = shape;
    options.baseline = FitBaseline::Constant;
    const std::vector<PeakGuess> guesses(std::size_t(peaks), PeakGuess{20, 0, 0, 0});
    const PeakFit fit = fitPeaks(x, y, guesses, options);
    QVERIFY(!fit.ok);
    QVERIFY2(fit.reason.contains(reason), qPrintable(fit.reason));
    QVERIFY(fit.peaks.empty());
    QVERIFY(fit.baseline.empty());
}

QTEST_GUILESS_MAIN(TestPeakFit)
#include "tst_peakfit.moc"
