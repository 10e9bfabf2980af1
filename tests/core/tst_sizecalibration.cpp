#include "core/ladders.h"
#include "core/sizecalibration.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kesto;

using Doubles = std::vector<double>;
using Points = std::vector<LadderPoint>;
Q_DECLARE_METATYPE(Doubles)
Q_DECLARE_METATYPE(Points)
Q_DECLARE_METATYPE(kesto::SizeFit)
Q_DECLARE_METATYPE(kesto::SizeUnit)

namespace {

Points pointsOf(const Doubles& rf, const Doubles& logs)
{
    Points points;
    for (std::size_t i = 0; i < rf.size(); ++i)
        points.push_back({rf[i], std::pow(10.0, logs[i])});
    return points;
}

// A generated gel. Bands run as a known, gently curved function of log(size); each lane's
// wells sit a little lower to the right (tilted wells) and its front runs up to 4 % further
// in the middle (smile), which the front takes out of Rf; on top, bands run up to 3 % further
// towards the right than the front says (tilt), and 0.3 % in the middle (smile the front
// does not follow). Positions are whole rows, as found bands' peaks are.
constexpr int Lanes = 10;
double laneX(int lane)
{
    return 40 + 60 * lane;
}
double smile(double x)
{
    const double middle = (laneX(0) + laneX(Lanes - 1)) / 2;
    const double half = (laneX(Lanes - 1) - laneX(0)) / 2;
    const double u = (x - middle) / half;
    return 1 - u * u;
}
double trueRf(double size)
{
    const double u =
        (std::log10(12000.0) - std::log10(size)) / (std::log10(12000.0) - std::log10(150.0));
    return 0.05 + 0.9 * (u + 0.04 * u * (1 - u));
}
double wells(double x)
{
    return 30 + 0.02 * x;
}
double front(double x)
{
    return wells(x) + 600 * (1 + 0.04 * smile(x));
}
double bandRow(double x, double size)
{
    const double tilt = 1 + 0.03 * (x - laneX(0)) / (laneX(Lanes - 1) - laneX(0));
    const double rf = trueRf(size) * tilt * (1 + 0.003 * smile(x));
    return std::round(wells(x) + (front(x) - wells(x)) * rf);
}
double rfOf(double x, double size)
{
    return *relativeMobility(bandRow(x, size), wells(x), front(x));
}

const Doubles SampleSizes{9000, 7100, 4500, 2750, 1800, 1234, 850, 620, 300};

} // namespace

class TestSizeCalibration : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void ladderFile_data();
    void ladderFile();
    void ladderFileRoundTrip();
    void ladderSizes_data();
    void ladderSizes();
    void typedSizeList_data();
    void typedSizeList();
    void ownLaddersKept();
    void relativeMobility_data();
    void relativeMobility();
    void polynomialFits_data();
    void polynomialFits();
    void pointToPoint_data();
    void pointToPoint();
    void refusals_data();
    void refusals();
    void assignment_data();
    void assignment();
    void reassignment();
    void ladderAcrossTheGel();
    void generatedGel_data();
    void generatedGel();
    void gelBands_data();
    void gelBands();
};

void TestSizeCalibration::ladderFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error"); // start of the message, or empty
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("name"); // the last ladder's
    QTest::addColumn<SizeUnit>("unit");
    QTest::addColumn<Doubles>("sizes");

    const auto good = [](const char* row, const char* text, int count, const char* name,
                         SizeUnit unit, const Doubles& sizes) {
        QTest::newRow(row) << QString::fromUtf8(text) << QString() << count
                           << QString::fromUtf8(name) << unit << sizes;
    };
    const auto bad = [](const char* row, const char* text, const char* error) {
        QTest::newRow(row) << QString::fromUtf8(text) << QString::fromUtf8(error) << 0 << QString()
                           << SizeUnit::BasePairs << Doubles();
    };
    good("one", "ladder \"Mine\"\nunit kDa\nsizes 100 50 25\n", 1, "Mine", SizeUnit::KiloDaltons,
         {100, 50, 25});
    good("comments, blanks, CRLF, continued sizes",
         "# lab ladders\r\n\r\n  ladder \"A # not a comment\"  # a comment\r\nunit KB\r\n"
         "sizes 10 5.5\r\nsizes 2.25 1e-1\r\n",
         1, "A # not a comment", SizeUnit::KiloBases, {10, 5.5, 2.25, 0.1});
    good("escapes and two ladders",
         "ladder \"first\"\nunit bp\nsizes 2 1\nladder \"say \\\"hi\\\" \\\\ bye\"\nunit bp\n"
         "sizes 3000 200\n",
         2, "say \"hi\" \\ bye", SizeUnit::BasePairs, {3000, 200});
    bad("empty", "# nothing\n", "t.txt: no ladder");
    bad("no unit", "ladder \"x\"\nsizes 2 1\n", "t.txt:1: ladder \"x\" has no unit");
    bad("one size", "ladder \"x\"\nunit bp\nsizes 2\nladder \"y\"\n",
        "t.txt:1: ladder \"x\" needs at least 2 sizes");
    bad("rising sizes", "ladder \"x\"\nunit bp\nsizes 10 5\nsizes 5 1\n",
        "t.txt:4: sizes go largest first: 5 follows 5");
    bad("zero", "ladder \"x\"\nunit bp\nsizes 10 0\n", "t.txt:3: size 0 is not above 0");
    bad("not a number", "ladder \"x\"\nunit bp\nsizes 10 five\n",
        "t.txt:3: \"five\" is not a size");
    bad("infinity", "ladder \"x\"\nunit bp\nsizes inf 10\n", "t.txt:3: \"inf\" is not a size");
    bad("huge", "ladder \"x\"\nunit bp\nsizes 1e10 10\n", "t.txt:3: size 1e10 is not above 0");
    bad("unit unknown", "ladder \"x\"\nunit Da\n", "t.txt:2: unit \"Da\": expected bp, kb or kDa");
    bad("second unit", "ladder \"x\"\nunit bp\nunit kb\n", "t.txt:3: a second unit");
    bad("unit first", "unit bp\n", "t.txt:1: unit before any ladder");
    bad("sizes first", "\nsizes 2 1\n", "t.txt:2: sizes before any ladder");
    bad("unquoted name", "ladder x\n", "t.txt:1: expected ladder \"NAME\"");
    bad("open quote", "ladder \"x\n", "t.txt:1: the quote is not closed");
    bad("bad escape", "ladder \"a\\n\"\n", "t.txt:1: a backslash");
    bad("empty name", "ladder \"  \"\n", "t.txt:1: the ladder's name is empty");
    bad("control character", "ladder \"a\tb\"\n", "t.txt:1: the ladder's name holds a control");
    bad("same name", "ladder \"x\"\nunit bp\nsizes 2 1\nladder \"X\"\n",
        "t.txt:4: a second ladder named \"X\"");
    bad("unknown", "ladder \"x\"\ncolour red\n", "t.txt:2: unknown instruction \"colour\"");
    bad("sizes empty", "ladder \"x\"\nunit bp\nsizes # none\n", "t.txt:3: sizes without a size");
}

void TestSizeCalibration::ladderFile()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QFETCH(int, count);
    QFETCH(QString, name);
    QFETCH(SizeUnit, unit);
    QFETCH(Doubles, sizes);
    try {
        const std::vector<Ladder> ladders = parseLadders(text, QStringLiteral("t.txt"));
        QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("read although: ") + error));
        QCOMPARE(int(ladders.size()), count);
        QCOMPARE(ladders.back().name, name);
        QCOMPARE(ladders.back().unit, unit);
        QCOMPARE(ladders.back().sizes, sizes);
        for (const Ladder& ladder : ladders)
            QCOMPARE(ladderFault(ladder), QString());
    } catch (const LadderError& e) {
        QVERIFY2(e.message().startsWith(error), qPrintable(e.message()));
        QVERIFY(!error.isEmpty());
    }
}

void TestSizeCalibration::ladderFileRoundTrip()
{
    std::vector<Ladder> ladders = presetLadders();
    Ladder odd{QStringLiteral("quote \" and \\ # too"), SizeUnit::KiloBases, {}};
    for (int i = 30; i >= 1; --i)
        odd.sizes.push_back(i / 3.0); // 30 sizes over three lines, none short in decimals
    ladders.push_back(odd);
    QCOMPARE(parseLadders(ladderText(ladders), QStringLiteral("round")), ladders);

    // A ladder that could not be read back is not written.
    QVERIFY_THROWS_EXCEPTION(
        LadderError, ladderText({Ladder{QStringLiteral("x"), SizeUnit::BasePairs, {1, 2}}}));
    QVERIFY_THROWS_EXCEPTION(
        LadderError, ladderText({Ladder{QStringLiteral("a\nb"), SizeUnit::BasePairs, {2, 1}}}));
}

void TestSizeCalibration::ladderSizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Doubles>("sizes"); // empty: refused
    QTest::addColumn<QString>("name");

    QTest::newRow("list") << QStringLiteral("10000,8000, 6000") << Doubles{10000, 8000, 6000}
                          << QStringLiteral("sizes");
    QTest::newRow("preset in other case")
        << QStringLiteral("broad-range PROTEIN")
        << presetLadder(QStringLiteral("Broad-range protein"))->sizes
        << QStringLiteral("Broad-range protein");
    QTest::newRow("rising") << QStringLiteral("10,20") << Doubles() << QString();
    QTest::newRow("one") << QStringLiteral("10") << Doubles() << QString();
    QTest::newRow("gap") << QStringLiteral("10,,5") << Doubles() << QString();
    QTest::newRow("negative") << QStringLiteral("10,-5") << Doubles() << QString();
    QTest::newRow("nan") << QStringLiteral("nan,5") << Doubles() << QString();
    QTest::newRow("unknown name") << QStringLiteral("2 kb ladder") << Doubles() << QString();
    QTest::newRow("empty") << QString() << Doubles() << QString();
}

void TestSizeCalibration::ladderSizes()
{
    QFETCH(QString, text);
    QFETCH(Doubles, sizes);
    QFETCH(QString, name);
    if (sizes.empty()) {
        QVERIFY_THROWS_EXCEPTION(LadderError, parseLadderSizes(text));
        return;
    }
    const Ladder ladder = parseLadderSizes(text);
    QCOMPARE(ladder.sizes, sizes);
    QCOMPARE(ladder.name, name);
}

void TestSizeCalibration::typedSizeList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Doubles>("sizes"); // empty: refused
    QTest::addColumn<QString>("error"); // the start of the refusal
    QTest::newRow("commas and blanks") << QStringLiteral(" 10000, 8000 6000,,250 ")
                                       << Doubles{10000, 8000, 6000, 250} << QString();
    QTest::newRow("exponent and fraction")
        << QStringLiteral("1e3 62.5") << Doubles{1000, 62.5} << QString();
    // Order and count are the ladder's to judge (ladderFault), not the list's.
    QTest::newRow("rising kept for the ladder to refuse")
        << QStringLiteral("1 2") << Doubles{1, 2} << QString();
    QTest::newRow("empty") << QStringLiteral(" , ") << Doubles() << QStringLiteral("no sizes");
    QTest::newRow("a word") << QStringLiteral("100 bp") << Doubles() << QStringLiteral("\"bp\"");
    QTest::newRow("zero") << QStringLiteral("100 0") << Doubles()
                          << QStringLiteral("\"0\": size 0");
    QTest::newRow("too large") << QStringLiteral("2e9") << Doubles() << QStringLiteral("\"2e9\"");
    QString many;
    for (int i = 201; i >= 1; --i)
        many += QString::number(i) + QLatin1Char(' ');
    QTest::newRow("too many") << many << Doubles()
                              << QStringLiteral("201 sizes: a ladder has at most 200");
}

void TestSizeCalibration::typedSizeList()
{
    QFETCH(QString, text);
    QFETCH(Doubles, sizes);
    QFETCH(QString, error);
    try {
        QCOMPARE(parseSizeList(text), sizes);
        QVERIFY(error.isEmpty());
        // The editor shows the list so that it reads back as it is.
        QCOMPARE(parseSizeList(sizeListText(sizes)), sizes);
    } catch (const LadderError& e) {
        QVERIFY2(!error.isEmpty() && e.message().startsWith(error), qPrintable(e.message()));
    }
}

void TestSizeCalibration::ownLaddersKept()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QSettings settings(dir.filePath(QStringLiteral("kesto.ini")), QSettings::IniFormat);
    QVERIFY(readOwnLadders(settings).empty());

    std::vector<Ladder> own;
    const Ladder mine{
        QStringLiteral("Lab 50% ladder"), SizeUnit::KiloDaltons, {250, 100, 62.5, 10}};
    QCOMPARE(putLadder(own, mine), 0);
    QCOMPARE(putLadder(own, *presetLadder(QStringLiteral("1 kb DNA"))), 1);
    // The same name in another case replaces the ladder in its place.
    Ladder edited = mine;
    edited.name = QStringLiteral("LAB 50% LADDER");
    edited.sizes = {200, 20};
    QCOMPARE(putLadder(own, edited), 0);
    QCOMPARE(own.size(), std::size_t(2));
    writeOwnLadders(settings, own);
    settings.sync();
    {
        const QSettings again(dir.filePath(QStringLiteral("kesto.ini")), QSettings::IniFormat);
        QString error;
        QCOMPARE(readOwnLadders(again, &error), own);
        QVERIFY(error.isEmpty());
    }
    // A ladder that cannot be kept is refused and what was kept stays.
    QVERIFY_THROWS_EXCEPTION(
        LadderError,
        writeOwnLadders(settings, {Ladder{QStringLiteral("x"), SizeUnit::BasePairs, {1, 2}}}));
    QCOMPARE(readOwnLadders(settings), own);
    // Settings spoiled by hand give no ladders and say why; they are not overwritten.
    settings.setValue(QLatin1String(OwnLaddersKey), QStringLiteral("ladder \"x\"\nsizes 5 x\n"));
    QString error;
    QVERIFY(readOwnLadders(settings, &error).empty());
    QVERIFY2(error.contains(QStringLiteral("the ladders kept in the settings")), qPrintable(error));
    QCOMPARE(settings.value(QLatin1String(OwnLaddersKey)).toString(),
             QStringLiteral("ladder \"x\"\nsizes 5 x\n"));
    // None left: the key goes.
    writeOwnLadders(settings, {});
    QVERIFY(!settings.contains(QLatin1String(OwnLaddersKey)));
}

void TestSizeCalibration::relativeMobility_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("front");
    QTest::addColumn<double>("rf"); // NaN: none

    QTest::newRow("middle") << 60.0 << 20.0 << 100.0 << 0.5;
    QTest::newRow("at the wells") << 20.0 << 20.0 << 100.0 << 0.0;
    QTest::newRow("past the front") << 120.0 << 20.0 << 100.0 << 1.25;
    QTest::newRow("front at the start") << 60.0 << 20.0 << 20.0 << qQNaN();
    QTest::newRow("front above the start") << 60.0 << 20.0 << 10.0 << qQNaN();
    QTest::newRow("not a number") << qQNaN() << 20.0 << 100.0 << qQNaN();
}

void TestSizeCalibration::relativeMobility()
{
    QFETCH(double, position);
    QFETCH(double, start);
    QFETCH(double, front);
    QFETCH(double, rf);
    const std::optional<double> got = kesto::relativeMobility(position, start, front);
    QCOMPARE(got.has_value(), !std::isnan(rf));
    if (got)
        QCOMPARE(*got, rf);
}

void TestSizeCalibration::polynomialFits_data()
{
    QTest::addColumn<SizeFit>("kind");
    QTest::addColumn<Doubles>("rf");
    QTest::addColumn<Doubles>("logs");
    QTest::addColumn<Doubles>("expected"); // coefficients, worked out here

    const Doubles rf{0.1, 0.3, 0.5, 0.7, 0.9};
    // Least squares of a line in closed form: slope Sxy / Sxx, through the means.
    const Doubles noisy{3.9, 3.3, 2.8, 2.1, 1.6};
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < rf.size(); ++i) {
        mx += rf[i] / 5;
        my += noisy[i] / 5;
    }
    double sxy = 0, sxx = 0;
    for (std::size_t i = 0; i < rf.size(); ++i) {
        sxy += (rf[i] - mx) * (noisy[i] - my);
        sxx += (rf[i] - mx) * (rf[i] - mx);
    }
    QTest::newRow("linear, scattered")
        << SizeFit::Linear << rf << noisy << Doubles{my - sxy / sxx * mx, sxy / sxx};
    const auto exact = [&rf](const Doubles& c) {
        Doubles logs;
        for (double x : rf)
            logs.push_back(c[0] + c[1] * x + (c.size() > 2 ? c[2] * x * x : 0) +
                           (c.size() > 3 ? c[3] * x * x * x : 0));
        return logs;
    };
    QTest::newRow("linear, exact") << SizeFit::Linear << rf << exact({4, -2.5}) << Doubles{4, -2.5};
    QTest::newRow("quadratic, exact")
        << SizeFit::Quadratic << rf << exact({4, -3, 0.5}) << Doubles{4, -3, 0.5};
    QTest::newRow("cubic, exact") << SizeFit::Cubic << rf << exact({4, -2, -1, 0.4})
                                  << Doubles{4, -2, -1, 0.4};
    QTest::newRow("cubic through 4 points")
        << SizeFit::Cubic << Doubles{0.1, 0.3, 0.5, 0.9} << Doubles{4, 3.5, 2, 1.5}
        << Doubles(); // exact through every point: residuals 0, no leave-one-out
}

void TestSizeCalibration::polynomialFits()
{
    QFETCH(SizeFit, kind);
    QFETCH(Doubles, rf);
    QFETCH(Doubles, logs);
    QFETCH(Doubles, expected);
    const SizeCalibration c = SizeCalibration::fit(pointsOf(rf, logs), kind);
    QVERIFY2(c.ok(), qPrintable(c.reason()));
    for (std::size_t i = 0; i < expected.size(); ++i)
        QVERIFY2(std::abs(c.coefficients()[i] - expected[i]) < 1e-9,
                 qPrintable(QString::number(c.coefficients()[i], 'g', 17)));
    const std::vector<double> residuals = c.residualsPercent();
    const std::vector<std::optional<double>> loo = c.leaveOneOutPercent();
    QCOMPARE(residuals.size(), rf.size());
    QCOMPARE(loo.size(), rf.size());
    for (std::size_t i = 0; i < rf.size(); ++i) {
        // The residual of each point from the curve, in per cent of its size.
        const double fitted = std::pow(10.0, *c.logSizeAt(rf[i]));
        const double size = std::pow(10.0, logs[i]);
        QVERIFY(std::abs(residuals[i] - (fitted - size) / size * 100) < 1e-9);
        if (expected.empty()) {
            QVERIFY(std::abs(residuals[i]) < 1e-6);
            QVERIFY(!loo[i]);
        } else {
            QVERIFY(loo[i]);
        }
    }
    if (QByteArray(QTest::currentDataTag()) == "linear, scattered") {
        // Without the middle point the line through the other four, read at 0.5.
        const Doubles x{0.1, 0.3, 0.7, 0.9}, y{3.9, 3.3, 2.1, 1.6};
        double mx = 0.5, my = (3.9 + 3.3 + 2.1 + 1.6) / 4, sxy = 0, sxx = 0;
        for (int i = 0; i < 4; ++i) {
            sxy += (x[i] - mx) * (y[i] - my);
            sxx += (x[i] - mx) * (x[i] - mx);
        }
        const double predicted = std::pow(10.0, my + sxy / sxx * (0.5 - mx));
        QVERIFY(std::abs(*loo[2] - (predicted - std::pow(10.0, 2.8)) / std::pow(10.0, 2.8) * 100) <
                1e-9);
    }
}

void TestSizeCalibration::pointToPoint_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<double>("rf");
    QTest::addColumn<bool>("extrapolate");
    QTest::addColumn<double>("log"); // NaN: no size
    QTest::addColumn<bool>("extrapolated");

    // Through (0, 3), (1, 2), (2, 0): secants -1 and -2. Steffen's slopes: -1 at the left end
    // (its secant), -2 at the right, and in the middle sign * min(|-1|, |-2|, |(-1 - 2) / 2| / 2)
    // times 2 = -1.5. A cubic Hermite piece at its middle is (y0 + y1) / 2 + h (m0 - m1) / 8.
    const Points three = pointsOf({1, 0, 2}, {2, 3, 0}); // in any order
    QTest::newRow("at a point") << three << 1.0 << false << 2.0 << false;
    QTest::newRow("first half") << three << 0.5 << false << (3 + 2) / 2.0 + (-1 + 1.5) / 8 << false;
    QTest::newRow("second half") << three << 1.5 << false << (2 + 0) / 2.0 + (-1.5 + 2) / 8
                                 << false;
    QTest::newRow("above, not asked") << three << -0.5 << false << qQNaN() << true;
    QTest::newRow("above, asked") << three << -0.5 << true << 3.5 << true;
    QTest::newRow("below, asked") << three << 2.5 << true << -1.0 << true;
    QTest::newRow("two points: their line")
        << pointsOf({0.2, 0.6}, {3, 2}) << 0.5 << false << 2.25 << false;
}

void TestSizeCalibration::pointToPoint()
{
    QFETCH(Points, points);
    QFETCH(double, rf);
    QFETCH(bool, extrapolate);
    QFETCH(double, log);
    QFETCH(bool, extrapolated);
    const SizeCalibration c = SizeCalibration::fit(points, SizeFit::PointToPoint);
    QVERIFY2(c.ok(), qPrintable(c.reason()));
    const SizeEstimate estimate = c.sizeAt(rf, extrapolate);
    QCOMPARE(estimate.extrapolated, extrapolated);
    QCOMPARE(estimate.size.has_value(), !std::isnan(log));
    if (estimate.size)
        QVERIFY2(std::abs(std::log10(*estimate.size) - log) < 1e-12,
                 qPrintable(QString::number(std::log10(*estimate.size), 'g', 17)));
    for (double residual : c.residualsPercent())
        QCOMPARE(residual, 0.0);
}

void TestSizeCalibration::refusals_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<SizeFit>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("out of order")
        << Points{{0.1, 1000}, {0.5, 500}, {0.4, 250}} << SizeFit::PointToPoint
        << QStringLiteral("the ladder bands are out of order: the 250 band (Rf 0.4) does not run "
                          "below the 500 band (Rf 0.5)");
    QTest::newRow("same Rf") << Points{{0.1, 1000}, {0.1, 500}} << SizeFit::Linear
                             << QStringLiteral(
                                    "the ladder bands are out of order: the 500 band "
                                    "(Rf 0.1) does not run below the 1000 band (Rf 0.1)");
    QTest::newRow("same size") << Points{{0.1, 1000}, {0.2, 1000}} << SizeFit::PointToPoint
                               << QStringLiteral("two ladder bands are given the same size 1000");
    QTest::newRow("too few for cubic")
        << Points{{0.1, 1000}, {0.2, 500}, {0.3, 100}} << SizeFit::Cubic
        << QStringLiteral("a cubic fit needs at least 4 ladder bands, there are 3");
    QTest::newRow("one band") << Points{{0.1, 1000}} << SizeFit::PointToPoint
                              << QStringLiteral("a point-to-point fit needs at least 2 ladder "
                                                "bands, there is 1");
    QTest::newRow("none") << Points{} << SizeFit::Linear
                          << QStringLiteral("a linear fit needs at least 2 ladder bands, there "
                                            "are 0");
    QTest::newRow("not a number") << Points{{qQNaN(), 1000}, {0.2, 500}} << SizeFit::Linear
                                  << QStringLiteral("a ladder band has no usable Rf or size (Rf "
                                                    "nan, size 1000)");
}

void TestSizeCalibration::refusals()
{
    QFETCH(Points, points);
    QFETCH(SizeFit, kind);
    QFETCH(QString, reason);
    const SizeCalibration c = SizeCalibration::fit(points, kind);
    QVERIFY(!c.ok());
    QCOMPARE(c.reason(), reason);
    QVERIFY(!c.sizeAt(0.2, true).size);
    QVERIFY(!calibrationAt({}, 10, kind).ok());
}

void TestSizeCalibration::assignment_data()
{
    QTest::addColumn<Doubles>("bandRf");
    QTest::addColumn<int>("sizes");
    QTest::addColumn<std::vector<int>>("expected");
    QTest::addColumn<QString>("mismatch");

    QTest::newRow("one each, given unsorted")
        << Doubles{0.5, 0.1, 0.3} << 3 << std::vector<int>{2, 0, 1} << QString();
    QTest::newRow("a band missing") << Doubles{0.1, 0.3} << 3 << std::vector<int>{0, 1}
                                    << QStringLiteral("2 bands for 3 sizes: 1 size without a band");
    QTest::newRow("an extra band")
        << Doubles{0.1, 0.3, 0.5} << 2 << std::vector<int>{0, 1, LadderAssignment::Skipped}
        << QStringLiteral("3 bands for 2 sizes: 1 band without a size");
    QTest::newRow("no bands") << Doubles{} << 2 << std::vector<int>{}
                              << QStringLiteral("0 bands for 2 sizes: 2 sizes without a band");
}

void TestSizeCalibration::assignment()
{
    QFETCH(Doubles, bandRf);
    QFETCH(int, sizes);
    QFETCH(std::vector<int>, expected);
    QFETCH(QString, mismatch);
    const LadderAssignment a = assignLadder(bandRf, sizes);
    QCOMPARE(a.sizeIndex, expected);
    QCOMPARE(a.countsDiffer(), int(bandRf.size()) != sizes);
    QCOMPARE(a.mismatchText(), mismatch);
}

void TestSizeCalibration::reassignment()
{
    // Four bands found for five sizes: the third size's band is missing, so the fourth band
    // really is size 3 and the last size 4. A person moves them.
    const Doubles rf{0.1, 0.2, 0.4, 0.5};
    const Doubles sizes{1000, 800, 600, 400, 200};
    LadderAssignment a = assignLadder(rf, 5);
    QCOMPARE(a.sizeIndex, (std::vector<int>{0, 1, 2, 3}));
    QVERIFY(reassignLadderBand(a, 3, 4));
    QVERIFY(reassignLadderBand(a, 2, 3));
    QCOMPARE(a.sizeIndex, (std::vector<int>{0, 1, 3, 4}));
    QCOMPARE(a.mismatchText(), QStringLiteral("4 bands for 5 sizes: 1 size without a band"));
    QCOMPARE(ladderPoints(rf, sizes, a), (Points{{0.1, 1000}, {0.2, 800}, {0.4, 400}, {0.5, 200}}));

    // A size given to another band leaves the first; skipping leaves the size free.
    QVERIFY(reassignLadderBand(a, 0, 1));
    QCOMPARE(a.sizeIndex, (std::vector<int>{1, LadderAssignment::Skipped, 3, 4}));
    QVERIFY(reassignLadderBand(a, 0, LadderAssignment::Skipped));
    QCOMPARE(a.skippedBands(), 2);
    QCOMPARE(a.unassignedSizes(), 3);

    QString error;
    const LadderAssignment before = a;
    QVERIFY(!reassignLadderBand(a, 4, 0, &error));
    QCOMPARE(error, QStringLiteral("there is no band 5 in the ladder lane"));
    QVERIFY(!reassignLadderBand(a, 0, 5, &error));
    QCOMPARE(error, QStringLiteral("the ladder has no size 6"));
    QCOMPARE(a.sizeIndex, before.sizeIndex);
}

void TestSizeCalibration::ladderAcrossTheGel()
{
    // Each size's Rf a quarter of the way from the left ladder to the right; the 500 band is
    // missing on the right, so it is left out; lanes beyond the ladders keep the nearer one.
    const std::vector<SizeStandard> standards{
        {300, {{0.2, 1000}, {0.6, 100}}},
        {100, {{0.1, 1000}, {0.3, 500}, {0.5, 100}}},
    };
    QCOMPARE(ladderAt(standards, 150), (Points{{0.125, 1000}, {0.525, 100}}));
    QCOMPARE(ladderAt(standards, 50), standards[1].points);
    QCOMPARE(ladderAt(standards, 100), standards[1].points);
    QCOMPARE(ladderAt(standards, 400), standards[0].points);
    QCOMPARE(ladderAt({standards[0]}, 150), standards[0].points);
    const SizeCalibration c = calibrationAt(standards, 150, SizeFit::Linear);
    QVERIFY(c.ok());
    QVERIFY(std::abs(*c.sizeAt(0.125).size - 1000) < 1e-9);
}

void TestSizeCalibration::generatedGel_data()
{
    QTest::addColumn<SizeFit>("kind");
    QTest::addColumn<double>("tolerance"); // per cent

    QTest::newRow("point-to-point") << SizeFit::PointToPoint << 3.0;
    QTest::newRow("linear") << SizeFit::Linear << 5.0;
    QTest::newRow("quadratic") << SizeFit::Quadratic << 3.0;
    QTest::newRow("cubic") << SizeFit::Cubic << 3.0;
}

void TestSizeCalibration::generatedGel()
{
    QFETCH(SizeFit, kind);
    QFETCH(double, tolerance);
    const Ladder ladder = *presetLadder(QStringLiteral("1 kb DNA"));

    // The left ladder lane shows every band; on the right the 3500 band is lost.
    std::vector<SizeStandard> standards;
    for (int lane : {0, Lanes - 1}) {
        Doubles rf;
        for (double size : ladder.sizes)
            if (lane == 0 || size != 3500)
                rf.push_back(rfOf(laneX(lane), size));
        LadderAssignment a = assignLadder(rf, int(ladder.sizes.size()));
        if (lane == 0) {
            QCOMPARE(a.mismatchText(), QString());
        } else {
            QCOMPARE(a.mismatchText(),
                     QStringLiteral("13 bands for 14 sizes: 1 size without a band"));
            // Handed out top to bottom, every band below the gap has the wrong size: the
            // person moves each one down a size.
            for (int band = int(rf.size()) - 1; band >= 5; --band)
                QVERIFY(reassignLadderBand(a, band, band + 1));
        }
        standards.push_back({laneX(lane), ladderPoints(rf, ladder.sizes, a)});
        const SizeCalibration own = calibrationAt(standards, laneX(lane), kind);
        QVERIFY2(own.ok(), qPrintable(own.reason()));
        int withLoo = 0;
        double worstLoo = 0;
        for (const std::optional<double>& e : own.leaveOneOutPercent()) {
            withLoo += e ? 1 : 0;
            worstLoo = std::max(worstLoo, e ? std::abs(*e) : 0.0);
        }
        QCOMPARE(withLoo, int(rf.size()));
        qInfo("%s, ladder lane %d: worst leave-one-out error %.2f %%",
              qPrintable(sizeFitText(kind)), lane + 1, worstLoo);
    }

    double worst = 0;
    for (int lane = 1; lane < Lanes - 1; ++lane) {
        const SizeCalibration c = calibrationAt(standards, laneX(lane), kind);
        QVERIFY2(c.ok(), qPrintable(c.reason()));
        QVERIFY(c.monotone());
        for (double size : SampleSizes) {
            const SizeEstimate e = c.sizeAt(rfOf(laneX(lane), size));
            QVERIFY(!e.extrapolated);
            QVERIFY(e.size);
            const double error = (*e.size - size) / size * 100;
            worst = std::max(worst, std::abs(error));
            QVERIFY2(std::abs(error) <= tolerance,
                     qPrintable(QStringLiteral("lane %1, %2 bp read as %3")
                                    .arg(lane + 1)
                                    .arg(size)
                                    .arg(*e.size)));
        }
        // Bands beyond the ladder: no size unless asked, and marked when asked.
        for (double size : {15000.0, 120.0}) {
            const double rf = rfOf(laneX(lane), size);
            QVERIFY(!c.sizeAt(rf).size);
            QVERIFY(c.sizeAt(rf).extrapolated);
            QVERIFY(c.sizeAt(rf, true).size);
            QVERIFY(c.sizeAt(rf, true).extrapolated);
        }
    }
    qInfo("%s: worst size error %.2f %%", qPrintable(sizeFitText(kind)), worst);

    // Without the second ladder, the tilt is left in and the sizes are further off.
    const SizeCalibration oneSided = calibrationAt({standards[0]}, laneX(Lanes - 2), kind);
    const double size = SampleSizes.back();
    const double error =
        std::abs(*oneSided.sizeAt(rfOf(laneX(Lanes - 2), size)).size - size) / size * 100;
    QVERIFY2(error > worst, qPrintable(QString::number(error)));
}

void TestSizeCalibration::gelBands_data()
{
    QTest::addColumn<bool>("extrapolate");
    QTest::addColumn<Doubles>("logs"); // the sample lane's, NaN: no size

    // Halfway between the ladders, 1000 runs to Rf 0.15 and 100 to 0.55: on the line
    // log(size) = 3 - (Rf - 0.15) / 0.4 the sample bands at Rf 0.2, 0.5, -0.05, 1.05 read
    // 2.875, 2.125, and beyond the ladder 3.5 and 0.75.
    QTest::newRow("inside only") << false << Doubles{2.875, 2.125, qQNaN(), qQNaN()};
    QTest::newRow("extrapolated") << true << Doubles{2.875, 2.125, 3.5, 0.75};
}

void TestSizeCalibration::gelBands()
{
    QFETCH(bool, extrapolate);
    QFETCH(Doubles, logs);
    const std::vector<SizedLane> lanes{
        {100, 0, 100, {10, 50, 90}},      // ladder, one band too many
        {200, 10, 110, {30, 60, 5, 115}}, // Rf 0.2, 0.5, -0.05, 1.05
        {300, 0, 200, {40, 120}},         // ladder: Rf 0.2, 0.6
        {400, 50, 50, {60}},              // no front: no Rf
    };
    const Ladder ladder{QStringLiteral("two"), SizeUnit::BasePairs, {1000, 100}};
    const GelSizes sizes =
        sizeGelBands(lanes, {{0, ladder, {}}, {2, ladder, {}}}, SizeFit::Linear, extrapolate);
    QCOMPARE(sizes.notes, QStringList{QStringLiteral(
                              "ladder lane 1: 3 bands for 2 sizes: 1 band without a size")});
    QCOMPARE(sizes.assignments.size(), std::size_t(2));
    QCOMPARE(sizes.bands[0][1].size, std::optional<double>(100));
    QVERIFY(sizes.bands[0][2].ladder && !sizes.bands[0][2].size);
    QCOMPARE(sizes.bands[2][0].size, std::optional<double>(1000));
    QVERIFY(!sizes.bands[3][0].rf && !sizes.bands[3][0].size);
    for (std::size_t band = 0; band < logs.size(); ++band) {
        const BandSize& b = sizes.bands[1][band];
        QVERIFY(!b.ladder);
        QCOMPARE(b.extrapolated, band >= 2);
        QCOMPARE(b.size.has_value(), !std::isnan(logs[band]));
        if (b.size)
            QVERIFY2(std::abs(std::log10(*b.size) - logs[band]) < 1e-12,
                     qPrintable(QString::number(*b.size)));
    }
    QVERIFY_THROWS_EXCEPTION(Error, sizeGelBands(lanes, {{4, ladder, {}}}, SizeFit::Linear, false));
    QVERIFY_THROWS_EXCEPTION(
        Error, sizeGelBands(lanes, {{0, ladder, {}}, {0, ladder, {}}}, SizeFit::Linear, false));
    // No ladder lane: Rf only.
    const GelSizes none = sizeGelBands(lanes, {}, SizeFit::Linear, true);
    QCOMPARE(*none.bands[1][0].rf, 0.2);
    QVERIFY(!none.bands[1][0].size);
}

QTEST_GUILESS_MAIN(TestSizeCalibration)
#include "tst_sizecalibration.moc"
