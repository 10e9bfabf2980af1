#include "core/backgroundmethod.h"

#include <QTest>

#include <cmath>

using namespace kesto;

class TestBackgroundMethod : public QObject
{
    Q_OBJECT
private slots:
    void parseAndText_data();
    void parseAndText();
    void parsedInAnyCase_data();
    void parsedInAnyCase();
    void refused_data();
    void refused();
    void baselineRecoversBandsOnACurvedBackground_data();
    void baselineRecoversBandsOnACurvedBackground();
    void baselineOfAnEmptyOrFlatProfile();
    void median_data();
    void median();
};

void TestBackgroundMethod::parseAndText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");
    QTest::newRow("pixel") << "pixel"
                           << "Picked pixel";
    QTest::newRow("area") << "area:5"
                          << "Picked area 5x5";
    QTest::newRow("border mean") << "border:2:mean"
                                 << "Frame border 2 px, mean";
    QTest::newRow("border median") << "border:10:median"
                                   << "Frame border 10 px, median";
    QTest::newRow("minima") << "lane:minima"
                            << "Lane baseline, minima";
    QTest::newRow("ball") << "lane:ball:40"
                          << "Lane baseline, rolling ball 40";
}

void TestBackgroundMethod::parseAndText()
{
    QFETCH(QString, text);
    QFETCH(QString, label);
    const auto method = parseBackgroundMethod(text);
    QVERIFY(method);
    QCOMPARE(backgroundMethodText(*method), text);
    QCOMPARE(backgroundMethodLabel(*method), label);
}

void TestBackgroundMethod::parsedInAnyCase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("PIXEL") << "PIXEL"
                           << "pixel";
    QTest::newRow("Area:7") << "Area:7"
                            << "area:7";
    QTest::newRow("BORDER:3:Median") << "BORDER:3:Median"
                                     << "border:3:median";
    QTest::newRow("Lane:MINIMA") << "Lane:MINIMA"
                                 << "lane:minima";
    QTest::newRow("lane:Ball:40") << "lane:Ball:40"
                                  << "lane:ball:40";
}

void TestBackgroundMethod::parsedInAnyCase()
{
    QFETCH(QString, text);
    QFETCH(QString, canonical);
    const auto method = parseBackgroundMethod(text);
    QVERIFY(method);
    QCOMPARE(*method, *parseBackgroundMethod(canonical));
    QCOMPARE(backgroundMethodText(*method), canonical);
}

void TestBackgroundMethod::refused_data()
{
    QTest::addColumn<QString>("text");
    for (const char* text :
         {"", "pixels", "area:4", "area:0", "area:x", "border:0:mean", "border:11:mean", "border:2",
          "border:2:mode", "lane", "lane:ball:0", "lane:ball", "pixel:1"})
        QTest::newRow(text) << QString::fromLatin1(text);
}

void TestBackgroundMethod::refused()
{
    QFETCH(QString, text);
    QString error;
    QVERIFY(!parseBackgroundMethod(text, &error));
    QVERIFY(!error.isEmpty());
}

void TestBackgroundMethod::baselineRecoversBandsOnACurvedBackground_data()
{
    QTest::addColumn<bool>("ball");
    QTest::newRow("minima") << false;
    QTest::newRow("rolling ball") << true;
}

// A lane of 400 rows: a background that rises and bows by a few per cent, three bands from faint
// to strong, and a little noise. Each band's area above the baseline must come within 2 %
// of the area that was put in.
void TestBackgroundMethod::baselineRecoversBandsOnACurvedBackground()
{
    QFETCH(bool, ball);
    constexpr int n = 400;
    const double centres[] = {80, 200, 320};
    const double heights[] = {500, 2000, 400};
    constexpr double sigma = 6;
    std::vector<double> profile(n);
    std::uint32_t seed = 12345;
    for (int i = 0; i < n; ++i) {
        double v = 1000 + 40 * std::sin(M_PI * i / n) + 0.2 * i;
        for (int b = 0; b < 3; ++b)
            v += heights[b] * std::exp(-0.5 * std::pow((i - centres[b]) / sigma, 2));
        seed = seed * 1664525u + 1013904223u;
        profile[std::size_t(i)] = v + (double(seed >> 24) / 255.0 - 0.5) * 4; // +-2 counts
    }
    const std::vector<double> baseline =
        ball ? rollingBallBaseline(profile, 60) : minimaBaseline(profile);
    QCOMPARE(baseline.size(), profile.size());
    for (int b = 0; b < 3; ++b) {
        double found = 0;
        for (int i = int(centres[b]) - 30; i <= int(centres[b]) + 30; ++i)
            found += profile[std::size_t(i)] - baseline[std::size_t(i)];
        const double truth = heights[b] * sigma * std::sqrt(2 * M_PI);
        QVERIFY2(
            std::abs(found - truth) <= 0.02 * truth,
            qPrintable(QStringLiteral("band %1: %2 against %3").arg(b + 1).arg(found).arg(truth)));
    }
}

void TestBackgroundMethod::baselineOfAnEmptyOrFlatProfile()
{
    QVERIFY(minimaBaseline({}).empty());
    QVERIFY(rollingBallBaseline({}, 3).empty());
    const std::vector<double> flat(7, 12.5);
    QCOMPARE(minimaBaseline(flat), flat);
    QCOMPARE(rollingBallBaseline(flat, 2), flat);
    QCOMPARE(minimaBaseline({4.0}), std::vector<double>{4.0});
}

void TestBackgroundMethod::median_data()
{
    QTest::addColumn<std::vector<double>>("values");
    QTest::addColumn<double>("median");
    QTest::newRow("none") << std::vector<double>{} << 0.0;
    QTest::newRow("odd") << std::vector<double>{5, 1, 9} << 5.0;
    QTest::newRow("even") << std::vector<double>{4, 1, 9, 2} << 3.0;
}

void TestBackgroundMethod::median()
{
    QFETCH(std::vector<double>, values);
    QFETCH(double, median);
    QCOMPARE(medianOf(values), median);
}

QTEST_APPLESS_MAIN(TestBackgroundMethod)
#include "tst_backgroundmethod.moc"
