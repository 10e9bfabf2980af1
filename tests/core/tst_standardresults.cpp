// Standard curves on a result: lanes of known volumes (standards whose signal is 100 per unit
// of amount, the top one saturated) give known amounts and flags for the other lanes, and
// the result counts amounts with the lanes outside the linear range flagged.

#include "core/resultsfile.h"
#include "core/sheetdata.h"
#include "core/standardresults.h"

#include <QFile>
#include <QTemporaryDir>

#include <QTest>

#include <cmath>
#include <limits>

using namespace kesto;

namespace {

const std::vector<double> StandardAmounts{1, 2, 4, 8, 16, 32};

const QString BatchSaturated = QStringLiteral("saturated: 3 of 40 pixels at 255");

MeasuredBand band(double volume, bool saturated = false, const QString& flag = BatchSaturated)
{
    MeasuredBand b;
    b.volume = volume;
    if (saturated)
        b.flag = flag;
    return b;
}

// Standards in lanes 1-6 (the 32 cut off at 2000 and flagged), then the unknowns' volumes
// (below 0: a lane without bands), in groups A and B by turns.
void makeBlot(const std::vector<double>& unknowns, const std::vector<bool>& saturated,
              SampleTable* table, std::vector<LaneBands>* lanes,
              int standards = int(StandardAmounts.size()), const QString& flag = BatchSaturated)
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
            lane.bands.push_back(band(unknowns[u], u < saturated.size() && saturated[u], flag));
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
    void writesAmounts();
};

void TestStandardResults::readsAmounts_data()
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    QTest::addColumn<double>("volume");  // below 0: no band
    QTest::addColumn<bool>("saturated"); // the band's flag
    QTest::addColumn<QString>("flag");   // its text
    QTest::addColumn<double>("amount");  // NaN: none
    QTest::addColumn<bool>("inRange");   // CurveAmount::inLinearRange()
    QTest::addColumn<bool>("outside");   // outsideStandards
    QTest::addColumn<QString>("flags");
    QTest::newRow("inside") << 500.0 << false << BatchSaturated << 5.0 << true << false
                            << QString();
    QTest::newRow("lowest standard")
        << 100.0 << false << BatchSaturated << 1.0 << true << false << QString();
    QTest::newRow("highest in range")
        << 1600.0 << false << BatchSaturated << 16.0 << true << false << QString();
    QTest::newRow("above the range")
        << 3000.0 << false << BatchSaturated << none << false << true
        << QStringLiteral("outside the linear range, beyond the standards");
    QTest::newRow("below the range")
        << 50.0 << false << BatchSaturated << none << false << true
        << QStringLiteral("outside the linear range, beyond the standards");
    QTest::newRow("saturated inside")
        << 800.0 << true << BatchSaturated << 8.0 << false << false << QStringLiteral("saturated");
    // The session's scans flag a band by its counts at the ends of the scale.
    QTest::newRow("saturated inside, by the session's counts")
        << 800.0 << true
        << QStringLiteral("0 of 510 samples at full scale, 152 at 0, 0 off the picture") << 8.0
        << false << false << QStringLiteral("saturated");
    QTest::newRow("off the picture only")
        << 800.0 << true
        << QStringLiteral("0 of 510 samples at full scale, 0 at 0, 3 off the picture") << 8.0
        << true << false << QString();
    QTest::newRow("no band") << -1.0 << false << BatchSaturated << none << false << false
                             << QStringLiteral("outside the linear range");
}

void TestStandardResults::readsAmounts()
{
    QFETCH(double, volume);
    QFETCH(bool, saturated);
    QFETCH(QString, flag);
    QFETCH(double, amount);
    QFETCH(bool, inRange);
    QFETCH(bool, outside);
    QFETCH(QString, flags);
    SampleTable table;
    std::vector<LaneBands> lanes;
    // Lane 7 (group A, the reference) has a value; lane 8 is the one read.
    makeBlot({400, volume}, {false, saturated}, &table, &lanes, int(StandardAmounts.size()), flag);
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

// The result's sheets and files carry each lane's amount and whether it is in the linear
// range, an amount to distrust or a missing one saying why in its note, and the curve among
// the notes.
void TestStandardResults::writesAmounts()
{
    SampleTable table;
    std::vector<LaneBands> lanes;
    makeBlot({400, 3000}, {}, &table, &lanes);
    const StandardResults standards =
        computeStandardResults(table, lanes, ResultOptions(), StandardResultOptions());
    SheetData laneSheet;
    SheetData groupSheet;
    fillResultSheets(standards.raw, laneSheet, groupSheet, &standards);
    const int amount = laneSheet.columnCount() - 1;
    QCOMPARE(laneSheet.headingText(amount), QStringLiteral("AMOUNT"));
    QCOMPARE(laneSheet.headingText(amount + 1), QStringLiteral("IN_RANGE"));
    QCOMPARE(laneSheet.text(7, amount).toDouble(), 4.0); // lane 7: 400
    QCOMPARE(laneSheet.text(7, amount + 1), QStringLiteral("yes"));
    QVERIFY(laneSheet.note(7, amount).isEmpty());
    QVERIFY(laneSheet.text(8, amount).isEmpty()); // lane 8: 3000, beyond the standards
    QCOMPARE(laneSheet.text(8, amount + 1), QStringLiteral("no"));
    QVERIFY(!laneSheet.note(8, amount).isEmpty());
    QCOMPARE(laneSheet.text(6, amount + 1), QStringLiteral("no")); // the saturated standard
    QVERIFY2(laneSheet.note(6, amount).contains(QLatin1String("beyond the standards")),
             qPrintable(laneSheet.note(6, amount)));
    bool described = false;
    for (int r = 1; r <= groupSheet.rowCount(); ++r)
        described =
            described || (groupSheet.text(r, 1).startsWith(
                              QLatin1String("Standard curve: linear, weighting none, R2 ")) &&
                          groupSheet.text(r, 1).endsWith(QLatin1String("linear range 1 to 16")));
    QVERIFY(described);

    // Without standards the sheets are as they were.
    SheetData plainLanes;
    SheetData plainGroups;
    fillResultSheets(standards.raw, plainLanes, plainGroups);
    QCOMPARE(plainLanes.columnCount(), laneSheet.columnCount() - 2);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString csvPath = dir.filePath(QStringLiteral("amounts.csv"));
    writeResultsFile(standards.raw, csvPath, SheetFileType::Csv, &standards);
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray text = csv.readAll();
    QVERIFY2(text.startsWith("LANE,SAMPLE,") && text.contains(",AMOUNT,IN_RANGE\r\n"),
             text.constData());
    bool lane7 = false;
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith("7,")) {
            const QList<QByteArray> cells = line.trimmed().split(',');
            lane7 = cells.value(cells.size() - 1) == "yes" &&
                    std::abs(cells.value(cells.size() - 2).toDouble() - 4) < 1e-9;
        }
    QVERIFY2(lane7, text.constData());
    QVERIFY(text.contains("Standard curve: linear"));
    const QString xlsxPath = dir.filePath(QStringLiteral("amounts.xlsx"));
    writeResultsFile(standards.raw, xlsxPath, SheetFileType::Excel, &standards);
    QFile xlsx(xlsxPath);
    QVERIFY(xlsx.open(QIODevice::ReadOnly));
    QVERIFY(xlsx.readAll().startsWith("PK"));
}

QTEST_APPLESS_MAIN(TestStandardResults)
#include "tst_standardresults.moc"
