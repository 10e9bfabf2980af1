// Standard curves on a result: lanes of known volumes (standards whose signal is 100 per unit
// of amount, the top one saturated) give known amounts and flags for the other lanes, and
// the result counts amounts with the lanes outside the linear range flagged.

#include "core/standardresults.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace kesto;

namespace {

const std::vector<double> StandardAmounts{1, 2, 4, 8, 16, 32};

MeasuredBand band(double volume, bool saturated = false)
{
    MeasuredBand b;
    b.volume = volume;
    if (saturated)
        b.flag = QStringLiteral("saturated: 3 of 40 pixels at 255");
    return b;
}

// Standards in lanes 1-6 (the 32 cut off at 2000 and flagged), then the unknowns' volumes
// (below 0: a lane without bands), in groups A and B by turns.
void makeBlot(const std::vector<double>& unknowns, const std::vector<bool>& saturated,
              SampleTable* table, std::vector<LaneBands>* lanes,
              int standards = int(StandardAmounts.size()))
{
    std::vector<SampleRow> rows;
    for (int i = 0; i < standards; ++i) {
        SampleRow row;
        row.lane = i;
        row.sample = QStringLiteral("std %1").arg(StandardAmounts[std::size_t(i)]);
        row.role = SampleRole::Standard;
        row.amount = StandardAmounts[std::size_t(i)];
        row.unit = QStringLiteral("ng");
        rows.push_back(row);
        LaneBands lane;
        lane.lane = i;
        const bool top = StandardAmounts[std::size_t(i)] > 16;
        lane.bands.push_back(band(top ? 2000 : 100 * StandardAmounts[std::size_t(i)], top));
        lanes->push_back(lane);
    }
    for (std::size_t u = 0; u < unknowns.size(); ++u) {
        SampleRow row;
        row.lane = standards + int(u);
        row.sample = QStringLiteral("s%1").arg(u + 1);
        row.group = u % 2 == 0 ? QStringLiteral("A") : QStringLiteral("B");
        rows.push_back(row);
        LaneBands lane;
        lane.lane = row.lane;
        if (unknowns[u] >= 0)
            lane.bands.push_back(band(unknowns[u], u < saturated.size() && saturated[u]));
        lanes->push_back(lane);
    }
    *table = SampleTable(rows);
}

} // namespace

class TestStandardResults : public QObject
{
    Q_OBJECT

private slots:
    void readsAmounts_data();
    void readsAmounts();
    void countsAmounts();
    void tooFewStandards();
};

void TestStandardResults::readsAmounts_data()
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    QTest::addColumn<double>("volume");  // below 0: no band
    QTest::addColumn<bool>("saturated"); // the band's flag
    QTest::addColumn<double>("amount");  // NaN: none
    QTest::addColumn<bool>("inRange");   // CurveAmount::inLinearRange()
    QTest::addColumn<bool>("outside");   // outsideStandards
    QTest::addColumn<QString>("flags");
    QTest::newRow("inside") << 500.0 << false << 5.0 << true << false << QString();
    QTest::newRow("lowest standard") << 100.0 << false << 1.0 << true << false << QString();
    QTest::newRow("highest in range") << 1600.0 << false << 16.0 << true << false << QString();
    QTest::newRow("above the range")
        << 3000.0 << false << none << false << true
        << QStringLiteral("outside the linear range, beyond the standards");
    QTest::newRow("below the range")
        << 50.0 << false << none << false << true
        << QStringLiteral("outside the linear range, beyond the standards");
    QTest::newRow("saturated inside")
        << 800.0 << true << 8.0 << false << false << QStringLiteral("saturated");
    QTest::newRow("no band") << -1.0 << false << none << false << false
                             << QStringLiteral("outside the linear range");
}

void TestStandardResults::readsAmounts()
{
    QFETCH(double, volume);
    QFETCH(bool, saturated);
    QFETCH(double, amount);
    QFETCH(bool, inRange);
    QFETCH(bool, outside);
    QFETCH(QString, flags);
    SampleTable table;
    std::vector<LaneBands> lanes;
    // Lane 7 (group A, the reference) has a value; lane 8 is the one read.
    makeBlot({400, volume}, {false, saturated}, &table, &lanes);
    const StandardResults results =
        computeStandardResults(table, lanes, ResultOptions(), StandardResultOptions());

    const StandardCurve* curve = results.curve(0);
    QVERIFY(curve && curve->ok());
    QVERIFY(!results.curve(1));
    QCOMPARE(curve->standards().size(), std::size_t(6));
    QVERIFY(curve->standards().back().standard.saturated);
    QVERIFY(!curve->standards().front().standard.saturated);
    QCOMPARE(curve->standards().front().standard.label, QStringLiteral("lane 1 (std 1)"));
    QVERIFY(curve->linearRange().found);
    QCOMPARE(curve->linearRange().low, 1.0);
    QCOMPARE(curve->linearRange().high, 16.0);

    QCOMPARE(results.lanes.size(), std::size_t(8));
    QVERIFY(results.lanes[0].standard);
    QVERIFY(results.lanes[0].amount.inLinearRange());
    QVERIFY(!results.lanes[5].amount.inLinearRange()); // the saturated standard
    const LaneAmount& read = results.lanes[7];
    QVERIFY(!read.standard);
    QCOMPARE(read.lane, 7);
    QCOMPARE(bool(read.amount.amount), !std::isnan(amount));
    if (read.amount.amount)
        QVERIFY2(std::abs(*read.amount.amount - amount) < 1e-9 * amount,
                 qPrintable(QString::number(*read.amount.amount)));
    else
        QVERIFY(!read.amount.reason.isEmpty());
    QCOMPARE(read.amount.inLinearRange(), inRange);
    QCOMPARE(read.amount.outsideStandards, outside);
    QCOMPARE(read.amount.flagsText(), flags);
}

// The result on amounts: lane values are the amounts, a lane beyond the standards has no
// value and says why, a saturated one is flagged and left out with excludeFlagged.
void TestStandardResults::countsAmounts()
{
    SampleTable table;
    std::vector<LaneBands> lanes;
    makeBlot({400, 200, 600, 3000, 800}, {false, false, false, false, true}, &table, &lanes);
    StandardResultOptions standardOptions;
    ResultOptions options;
    options.excludeFlagged = true;
    const StandardResults standards =
        computeStandardResults(table, lanes, options, standardOptions);
    const Results results =
        computeResults(table, amountLanes(lanes, standards, options, standardOptions), options);

    QCOMPARE(results.lanes.size(), std::size_t(11));
    QCOMPARE(*results.lanes[0].target, 1.0); // standards are read off their own curve
    QVERIFY(std::abs(*results.lanes[6].normalized - 4) < 1e-9);
    QVERIFY(std::abs(*results.lanes[7].normalized - 2) < 1e-9);
    QVERIFY(!results.lanes[9].target);
    QVERIFY2(results.lanes[9].reason.contains(QLatin1String("no amount")),
             qPrintable(results.lanes[9].reason));
    QVERIFY(results.lanes[9].leftOut);
    QVERIFY(results.lanes[10].leftOut);
    QVERIFY(results.lanes[10].flags.join(QLatin1Char(' ')).contains(QLatin1String("saturated")));
    QVERIFY(results.lanes[10].targetTrace.contains(QLatin1String("standard curve")));
    // Group A: lanes 7 and 9 (4 and 6); B: lane 8 (2), lane 10 has none.
    QCOMPARE(results.groups.size(), std::size_t(2));
    QCOMPARE(results.groups[0].n, 2);
    QVERIFY(std::abs(*results.groups[0].mean - 5) < 1e-9);
    QCOMPARE(results.groups[1].n, 1);
    QVERIFY(std::abs(*results.groups[1].fold - 0.4) < 1e-9);
}

// Two standards cannot make a quadratic: the curve is refused with its reason, every lane
// has no amount and says why, and the result on amounts is refused.
void TestStandardResults::tooFewStandards()
{
    SampleTable table;
    std::vector<LaneBands> lanes;
    makeBlot({400}, {}, &table, &lanes, 2);
    StandardResultOptions standardOptions;
    standardOptions.curve.model = CurveModel::Quadratic;
    const StandardResults standards =
        computeStandardResults(table, lanes, ResultOptions(), standardOptions);
    QVERIFY(standards.curve(0) && !standards.curve(0)->ok());
    QVERIFY(!standards.notes.isEmpty());
    QVERIFY(standards.notes.front().contains(QLatin1String("no standard curve")));
    QVERIFY(!standards.lanes[2].amount.amount);
    QVERIFY(standards.lanes[2].amount.reason.startsWith(QLatin1String("no standard curve: ")));
    // Without amounts the reference has no value: the result on amounts is refused, saying why.
    try {
        computeResults(table, amountLanes(lanes, standards, ResultOptions(), standardOptions),
                       ResultOptions());
        QFAIL("a result on amounts without a curve was made");
    } catch (const ResultsError& error) {
        QVERIFY2(error.message().contains(QLatin1String("no standard curve")),
                 qPrintable(error.message()));
    }
}

QTEST_APPLESS_MAIN(TestStandardResults)
#include "tst_standardresults.moc"
