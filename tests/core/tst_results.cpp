#include "core/results.h"

#include "core/lanebands.h"
#include "core/lanefinder.h"
#include "support/syntheticblot.h"

#include <QTest>

#include <cmath>

using namespace kesto;

namespace {

QString operator""_t(const char* text, std::size_t size)
{
    return QString::fromUtf8(text, qsizetype(size));
}

// Lanes written compactly: blots separated by " / ", lanes by spaces, a lane's band volumes
// by commas ("-" for a lane without bands). A band ending in '*' is flagged saturated;
// "@T" after the bands gives the lane's total (else the bands' sum), "#S" its stain total.
std::vector<LaneBands> lanesOf(const QString& layout)
{
    std::vector<LaneBands> lanes;
    const QStringList blots = layout.split(QStringLiteral(" / "));
    for (int blot = 0; blot < blots.size(); ++blot) {
        const QStringList tokens = blots[blot].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int lane = 0; lane < tokens.size(); ++lane) {
            LaneBands l;
            l.lane = lane;
            l.blot = blot;
            QString token = tokens[lane];
            if (const qsizetype hash = token.indexOf(QLatin1Char('#')); hash >= 0) {
                l.stainTotal = token.mid(hash + 1).toDouble();
                token = token.left(hash);
            }
            std::optional<double> total;
            if (const qsizetype at = token.indexOf(QLatin1Char('@')); at >= 0) {
                total = token.mid(at + 1).toDouble();
                token = token.left(at);
            }
            double sum = 0;
            if (token != QLatin1String("-")) {
                for (QString band : token.split(QLatin1Char(','))) {
                    MeasuredBand b;
                    if (band.endsWith(QLatin1Char('*'))) {
                        b.flag = QStringLiteral("saturated");
                        band.chop(1);
                    }
                    b.volume = band.toDouble();
                    b.trace = QStringLiteral("frame %1").arg(l.bands.size() + 1);
                    sum += *b.volume;
                    l.bands.push_back(b);
                }
            }
            l.total = total ? *total : sum;
            lanes.push_back(l);
        }
    }
    return lanes;
}

// A table written as the lanes' groups: blots separated by " / ", "L" a ladder lane, "-"
// a lane the table leaves out; replicates counted within each group.
SampleTable tableOf(const QString& layout)
{
    std::vector<SampleRow> rows;
    const QStringList blots = layout.split(QStringLiteral(" / "));
    for (int blot = 0; blot < blots.size(); ++blot) {
        const QStringList tokens = blots[blot].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QMap<QString, int> replicates;
        for (int lane = 0; lane < tokens.size(); ++lane) {
            if (tokens[lane] == QLatin1String("-"))
                continue;
            SampleRow row;
            row.lane = lane;
            row.blot = blot;
            if (tokens[lane] == QLatin1String("L")) {
                row.role = SampleRole::Ladder;
            } else {
                row.group = tokens[lane];
                row.replicate = ++replicates[row.group];
                row.sample = row.group + QString::number(row.replicate);
            }
            rows.push_back(row);
        }
    }
    return SampleTable(rows);
}

ResultOptions optionsOf(const QString& target, const QString& control, const QString& reference,
                        bool excludeFlagged)
{
    ResultOptions options;
    options.target = *parseBandChoice(target);
    options.control = *parseBandChoice(control);
    if (!reference.isEmpty())
        options.reference = *parseResultReference(reference);
    options.excludeFlagged = excludeFlagged;
    return options;
}

bool near(const std::optional<double>& value, double expected)
{
    return value && std::abs(*value - expected) <= 1e-12 * std::max(1.0, std::abs(expected));
}

} // namespace

class TestResults : public QObject
{
    Q_OBJECT

private slots:
    void readsChoices_data();
    void readsChoices();
    void computes_data();
    void computes();
    void refuses_data();
    void refuses();
    void tracesAndTables();
    void generatedBlots_data();
    void generatedBlots();
};

void TestResults::readsChoices_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written"); // empty: refused
    QTest::addColumn<QString>("reason");
    QTest::newRow("band") << "Band:2"_t
                          << "band:2"_t << QString();
    QTest::newRow("size") << " size:42.5 "_t
                          << "size:42.5"_t << QString();
    QTest::newRow("picked, sorted") << "BANDS:3,1"_t
                                    << "bands:1,3"_t << QString();
    QTest::newRow("lane total") << "Lane-Total"_t
                                << "lane-total"_t << QString();
    QTest::newRow("stain") << "STAIN"_t
                           << "stain"_t << QString();
    QTest::newRow("none") << "none"_t
                          << "none"_t << QString();
    QTest::newRow("band 0") << "band:0"_t << QString()
                            << "\"band:0\": expected band:K with K a band number from 1 to 10000"_t;
    QTest::newRow("band text")
        << "band:x"_t << QString()
        << "\"band:x\": expected band:K with K a band number from 1 to 10000"_t;
    QTest::newRow("size 0") << "size:0"_t << QString()
                            << "\"size:0\": expected size:S with S a size above 0"_t;
    QTest::newRow("size nan") << "size:nan"_t << QString()
                              << "\"size:nan\": expected size:S with S a size above 0"_t;
    QTest::newRow("picked twice") << "bands:2,2"_t << QString()
                                  << "\"bands:2,2\": band 2 is picked twice"_t;
    QTest::newRow("unknown")
        << "total"_t << QString()
        << "\"total\": expected band:K, size:S, bands:K,L,..., lane-total, stain or none"_t;
}

void TestResults::readsChoices()
{
    QFETCH(QString, text);
    QFETCH(QString, written);
    QFETCH(QString, reason);
    QString why;
    const std::optional<BandChoice> choice = parseBandChoice(text, &why);
    QCOMPARE(choice.has_value(), !written.isEmpty());
    if (choice) {
        QCOMPARE(bandChoiceText(*choice), written);
        QCOMPARE(parseBandChoice(written), choice);
    } else {
        QCOMPARE(why, reason);
    }
}

// Statistics against numbers worked out by hand (sample SD with n - 1; SEM = SD / sqrt(n);
// CV = SD / mean; fold = mean / the reference group's mean), and again against the same
// formulas computed here from the values listed.
void TestResults::computes_data()
{
    QTest::addColumn<QString>("lanes");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("excludeFlagged");
    QTest::addColumn<QString>("group"); // the group checked
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("sd");
    QTest::addColumn<double>("fold");
    QTest::addColumn<double>("referenceMean");
    QTest::addColumn<QString>("leftOut"); // lanes from 1 not counted, "blot:lane" beyond blot 1

    const QString t6 = QStringLiteral("A A A B B B");
    // Equal controls: factors 1. A 10 12 14: mean 12, SD 2; B 20 24 31: mean 25,
    // SD sqrt(31), fold 25 / 12.
    QTest::newRow("equal loading")
        << "10,100 12,100 14,100 20,100 24,100 31,100"_t << t6 << "band:1"_t
        << "band:2"_t << QString() << false << "B"_t << 3 << 25.0 << 5.5677643628300215 << 25.0 / 12
        << 12.0 << QString();
    // Reference controls 50 100 150 (mean 100): A 5/0.5 12/1 15/1.5 = 10 12 10; B controls
    // 200 100 50: 40/2 25/1 15/0.5 = 20 25 30, mean 25, SD 5, fold 25 / (32 / 3).
    const QString loaded = QStringLiteral("5,50 12,100 15,150 40,200 25,100 15,50");
    QTest::newRow("housekeeping band") << loaded << t6 << "band:1"_t
                                       << "band:2"_t << QString() << false << "B"_t << 3 << 25.0
                                       << 5.0 << 2.34375 << 32.0 / 3 << QString();
    QTest::newRow("reference named") << loaded << t6 << "band:1"_t
                                     << "band:2"_t
                                     << "A"_t << false << "A"_t << 3 << 32.0 / 3
                                     << 1.1547005383792515 << 1.0 << 32.0 / 3 << QString();
    // The reference B instead: its controls' mean is 350 / 3; the fold of A is the inverse.
    QTest::newRow("other reference")
        << loaded << t6 << "band:1"_t
        << "band:2"_t
        << "B"_t << false << "A"_t << 3 << 32.0 / 3 * 350 / 300 << 1.1547005383792515 * 350 / 300
        << 1 / 2.34375 << 25.0 * 350 / 300 << QString();
    // The same loading in the lane totals and in the stain's.
    QTest::newRow("lane total") << "5@50 12@100 15@150 40@200 25@100 15@50"_t << t6 << "band:1"_t
                                << "lane-total"_t << QString() << false << "B"_t << 3 << 25.0 << 5.0
                                << 2.34375 << 32.0 / 3 << QString();
    QTest::newRow("stain") << "5#5 12#10 15#15 40#20 25#10 15#5"_t << t6 << "band:1"_t
                           << "stain"_t << QString() << false << "B"_t << 3 << 25.0 << 5.0
                           << 2.34375 << 32.0 / 3 << QString();
    QTest::newRow("no control") << "10,1 12,2 14,3 20,4 24,5 31,6"_t << t6 << "band:1"_t
                                << "none"_t << QString() << false << "B"_t << 3 << 25.0
                                << 5.5677643628300215 << 25.0 / 12 << 12.0 << QString();
    // The target as the sum of bands 1 and 3: 4+6 5+7 6+8; 9+11 11+13 14+17.
    QTest::newRow("bands picked") << "4,100,6 5,100,7 6,100,8 9,100,11 11,100,13 14,100,17"_t << t6
                                  << "bands:1,3"_t
                                  << "band:2"_t << QString() << false << "B"_t << 3 << 25.0
                                  << 5.5677643628300215 << 25.0 / 12 << 12.0 << QString();
    // A saturated control: marked and counted, or left out (B 20 25: mean 22.5,
    // SD sqrt(12.5)).
    const QString saturated = QStringLiteral("5,50 12,100 15,150 40,200 25,100 15,50*");
    QTest::newRow("flag counted") << saturated << t6 << "band:1"_t
                                  << "band:2"_t << QString() << false << "B"_t << 3 << 25.0 << 5.0
                                  << 2.34375 << 32.0 / 3 << QString();
    QTest::newRow("flag left out") << saturated << t6 << "band:1"_t
                                   << "band:2"_t << QString() << true << "B"_t << 2 << 22.5
                                   << 3.5355339059327378 << 2.109375 << 32.0 / 3 << "6"_t;
    // A flagged reference lane left out changes the reference control: (100 + 150) / 2 =
    // 125, so A is 15 12.5 and B 25 31.25 37.5.
    QTest::newRow("reference flag left out")
        << "5,50* 12,100 15,150 40,200 25,100 15,50"_t << t6 << "band:1"_t
        << "band:2"_t << QString() << true << "B"_t << 3 << 31.25 << 6.25 << 31.25 / 13.75 << 13.75
        << "1"_t;
    // Lanes with no value and lanes outside the groups are left out; nothing is made up.
    QTest::newRow("missing band, ladder, no row")
        << "1,2,3 5,50 12,100 15,150 40,200 25,100 15 99,99"_t
        << "L A A A B B B -"_t
        << "band:1"_t
        << "band:2"_t << QString() << false << "B"_t << 2 << 22.5 << 3.5355339059327378 << 2.109375
        << 32.0 / 3 << "1,7,8"_t;
    QTest::newRow("one replicate") << "10,100 12,100 14,100 20,100"_t
                                   << "A A A B"_t
                                   << "band:1"_t
                                   << "band:2"_t << QString() << false << "B"_t << 1 << 20.0
                                   << qQNaN() << 20.0 / 12 << 12.0 << QString();
    // A reference lane: its normalized value is its target; factors are controls / 100.
    QTest::newRow("reference lane")
        << loaded << t6 << "band:1"_t
        << "band:2"_t
        << "lane:2"_t << false << "B"_t << 3 << 25.0 << 5.0 << 25.0 / 12 << 12.0 << QString();
    // Blot 2: the same membrane exposed twice as long and loaded three times as much.
    // Its reference lanes scale it by 1/2 to blot 1, so each group has its values twice.
    QTest::newRow("two blots")
        << "5,50 12,100 15,150 40,200 25,100 15,50 / 10,150 24,300 30,450 80,600 50,300 30,150"_t
        << "A A A B B B / A A A B B B"_t
        << "band:1"_t
        << "band:2"_t << QString() << false << "B"_t << 6 << 25.0 << 4.47213595499958 << 2.34375
        << 32.0 / 3 << QString();
}

void TestResults::computes()
{
    QFETCH(QString, lanes);
    QFETCH(QString, table);
    QFETCH(QString, target);
    QFETCH(QString, control);
    QFETCH(QString, reference);
    QFETCH(bool, excludeFlagged);
    QFETCH(QString, group);
    QFETCH(int, n);
    QFETCH(double, mean);
    QFETCH(double, sd);
    QFETCH(double, fold);
    QFETCH(double, referenceMean);
    QFETCH(QString, leftOut);

    const Results results = computeResults(tableOf(table), lanesOf(lanes),
                                           optionsOf(target, control, reference, excludeFlagged));
    QVERIFY(near(results.referenceValue, referenceMean));
    const GroupResult* checked = nullptr;
    for (const GroupResult& g : results.groups)
        if (g.group == group)
            checked = &g;
    QVERIFY(checked);
    QCOMPARE(checked->n, n);
    QVERIFY2(near(checked->mean, mean),
             qPrintable(QString::number(checked->mean.value_or(-1), 'g', 17)));
    if (std::isnan(sd)) {
        QVERIFY(!checked->sd && !checked->sem && !checked->cv);
    } else {
        QVERIFY2(near(checked->sd, sd),
                 qPrintable(QString::number(checked->sd.value_or(-1), 'g', 17)));
        QVERIFY(near(checked->sem, sd / std::sqrt(double(n))));
        QVERIFY(near(checked->cv, sd / mean * 100));
    }
    QVERIFY2(near(checked->fold, fold),
             qPrintable(QString::number(checked->fold.value_or(-1), 'g', 17)));
    QVERIFY(near(checked->log2Fold, std::log2(fold)));

    // Every group again, from its listed values by the formulas themselves.
    for (const GroupResult& g : results.groups) {
        QCOMPARE(int(g.values.size()), g.n);
        QCOMPARE(g.lanes.size(), g.values.size());
        double sum = 0;
        for (std::size_t i = 0; i < g.values.size(); ++i) {
            sum += g.values[i];
            QCOMPARE(results.lanes[std::size_t(g.lanes[i])].normalized,
                     std::optional<double>(g.values[i]));
        }
        const double m = sum / g.n;
        double squares = 0;
        for (double v : g.values)
            squares += (v - m) * (v - m);
        QVERIFY(near(g.mean, m));
        if (g.n > 1)
            QVERIFY(near(g.sd, std::sqrt(squares / (g.n - 1))));
        QVERIFY(near(g.fold, m / *results.referenceValue));
    }

    QStringList out;
    for (const LaneResult& r : results.lanes) {
        if (r.leftOut) {
            out << (r.blot == 0 ? QString::number(r.lane + 1)
                                : QStringLiteral("%1:%2").arg(r.blot + 1).arg(r.lane + 1));
            QVERIFY2(!r.reason.isEmpty(), "a lane left out says why");
        }
        // A lane with no target or control has no normalized value.
        if (!r.target || (control != QLatin1String("none") && !r.control))
            QVERIFY(!r.normalized && !r.reason.isEmpty());
    }
    QCOMPARE(out.join(QLatin1Char(',')), leftOut);
}

void TestResults::refuses_data()
{
    QTest::addColumn<QString>("lanes");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("message");
    const QString lanes = QStringLiteral("5,50 12,100 15,150 40,200 25,100 15,50");
    QTest::newRow("lanes not there")
        << lanes << "A A A B B B B B"_t
        << "band:1"_t
        << "band:2"_t << QString()
        << "the sample table does not fit the lanes: row 7 names lane 7, but the picture has 6 lanes"_t;
    QTest::newRow("no such group")
        << lanes << "A A A B B B"_t
        << "band:1"_t
        << "band:2"_t
        << "C"_t
        << "the reference group \"C\" is not in the sample table (its groups: A, B)"_t;
    QTest::newRow("reference without control")
        << "5 12 15,150* 40,200 25,100 15,50"_t
        << "A A A B B B"_t
        << "band:1"_t
        << "band:2"_t << QString()
        << "the reference group \"A\" has no lane with a usable control (lane 1: no control: the lane has 1 band, so no band 2; lane 2: no control: the lane has 1 band, so no band 2; lane 3: left out: control: saturated)"_t;
    QTest::newRow("reference without target")
        << "- - - 40,200 25,100 15,50"_t
        << "A A A B B B"_t
        << "band:1"_t
        << "none"_t << QString()
        << "the reference group \"A\" has no lane with a usable target (lane 1: no target: the lane has no bands, so no band 1; lane 2: no target: the lane has no bands, so no band 1; lane 3: no target: the lane has no bands, so no band 1)"_t;
    QTest::newRow("stain not measured")
        << lanes << "A A A B B B"_t
        << "band:1"_t
        << "stain"_t << QString()
        << "the control is the stain picture's lane total, but no stain picture was measured"_t;
    QTest::newRow("target none")
        << lanes << "A A A B B B"_t
        << "none"_t
        << "band:2"_t << QString()
        << "the target must be a band, bands or the lane total, not none"_t;
    QTest::newRow("blot without reference")
        << lanes + " / 40,200 25,100"_t
        << "A A A B B B / B B"_t
        << "band:1"_t
        << "band:2"_t << QString()
        << "the reference group \"A\" has no lane with a usable control on blot 2 (it has no lane there)"_t;
    QTest::newRow("reference lane, two blots")
        << lanes + " / 40,200 25,100"_t
        << "A A A B B B / A B"_t
        << "band:1"_t
        << "band:2"_t
        << "lane:1"_t
        << "a reference lane is on one blot only; with several blots name a reference group that each blot holds"_t;
    QTest::newRow("no groups") << lanes << "L L"_t
                               << "band:1"_t
                               << "band:2"_t << QString()
                               << "no lane of the sample table is a sample with a group"_t;
}

void TestResults::refuses()
{
    QFETCH(QString, lanes);
    QFETCH(QString, table);
    QFETCH(QString, target);
    QFETCH(QString, control);
    QFETCH(QString, reference);
    QFETCH(QString, message);
    try {
        computeResults(tableOf(table), lanesOf(lanes), optionsOf(target, control, reference, true));
        QFAIL("expected a refusal");
    } catch (const ResultsError& error) {
        QCOMPARE(error.message(), message);
    }
}

// Each value says where it came from; the tables keep the command line's columns first and
// leave missing values empty.
void TestResults::tracesAndTables()
{
    std::vector<LaneBands> lanes = lanesOf(QStringLiteral("5,50 12,100 15,150 40,200 25,100 15"));
    lanes[0].trace = QStringLiteral("lane 1, profile");
    lanes[1].bands[0].size = 42;
    ResultOptions options =
        optionsOf(QStringLiteral("band:1"), QStringLiteral("band:2"), QString(), false);
    const Results results = computeResults(tableOf(QStringLiteral("A A A B B B")), lanes, options);
    QCOMPARE(results.lanes[1].targetTrace, QStringLiteral("band 1 (size 42): frame 1"));
    QCOMPARE(results.lanes[1].controlTrace, QStringLiteral("band 2: frame 2"));
    QCOMPARE(results.lanes[5].reason,
             QStringLiteral("no control: the lane has 1 band, so no band 2"));

    const QList<QStringList> laneTable = resultLaneTable(results, false);
    QCOMPARE(laneTable.size(), 7);
    QCOMPARE(laneTable[0].join(QLatin1Char(' ')),
             QStringLiteral("LANE SAMPLE GROUP REPLICATE TARGET CONTROL FACTOR NORMALIZED"));
    QCOMPARE(laneTable[2],
             (QStringList{"2"_t, "A2"_t, "A"_t, "2"_t, "12"_t, "100"_t, "1"_t, "12"_t}));
    QCOMPARE(laneTable[6],
             (QStringList{"6"_t, "B3"_t, "B"_t, "3"_t, "15"_t, QString(), QString(), QString()}));
    const QList<QStringList> groupTable = resultGroupTable(results);
    QCOMPARE(groupTable[0].mid(0, 7).join(QLatin1Char(' ')),
             QStringLiteral("GROUP N MEAN SD SEM CV FOLD"));
    QCOMPARE(groupTable[2].at(1), QStringLiteral("2"));
    QCOMPARE(groupTable[2].at(10), QStringLiteral("4, 5"));
    QCOMPARE(groupTable[1].at(8), QStringLiteral("yes"));

    // A saturated control is marked whether or not its lane is counted.
    lanes = lanesOf(QStringLiteral("5,50 12,100 15,150 40,200 25,100 15,50*"));
    for (bool leaveOut : {false, true}) {
        options.excludeFlagged = leaveOut;
        const Results flagged =
            computeResults(tableOf(QStringLiteral("A A A B B B")), lanes, options);
        QCOMPARE(flagged.lanes[5].flags, QStringList{QStringLiteral("control: saturated")});
        QCOMPARE(flagged.lanes[5].leftOut, leaveOut);
        QCOMPARE(flagged.lanes[5].normalized, std::optional<double>(30));
        QCOMPARE(resultLaneTable(flagged)[6].at(12), QStringLiteral("control: saturated"));
    }
    options.excludeFlagged = false;

    // Choices made in code are checked as the texts are.
    for (const BandChoice& bad :
         {BandChoice::nth(-1), BandChoice::nearestSize(0), BandChoice::bands({2, -1})}) {
        ResultOptions wrong = options;
        wrong.target = bad;
        QVERIFY_THROWS_EXCEPTION(
            ResultsError, computeResults(tableOf(QStringLiteral("A A A B B B")), lanes, wrong));
    }

    // Size choice: the band within the tolerance, or none with the nearest named.
    lanes = lanesOf(QStringLiteral("5,50 6,60"));
    lanes[0].bands[0].size = 40;
    lanes[0].bands[1].size = 100;
    lanes[1].bands[0].size = 55;
    lanes[1].bands[1].size = 120;
    options.target = BandChoice::nearestSize(45);
    options.control = BandChoice::none();
    const Results sized = computeResults(tableOf(QStringLiteral("A B")), lanes, options);
    QCOMPARE(sized.lanes[0].target, std::optional<double>(5));
    QCOMPARE(sized.lanes[1].reason,
             QStringLiteral(
                 "no target: no band within 20 % of size 45 (the nearest, band 1, has size 55)"));
}

namespace {

// The generated blot read as a person would: lanes and bands found, each lane quantified on
// its profile, the stain read through the same lanes.
std::vector<LaneBands> readBlot(const test::SyntheticBlot& blot)
{
    LaneFinderOptions options;
    const LaneFinding finding = findLanesAndBands(blot.picture, QRect(), options);
    std::vector<LaneStrip> strips;
    std::vector<std::vector<FoundFrame>> bands;
    for (const FoundLane& lane : finding.lanes) {
        strips.push_back(LaneStrip::of(lane, options.orientation));
        bands.push_back(lane.bands);
    }
    LaneReading reading;
    reading.darkBands = finding.darkOnLight;
    std::vector<LaneBands> lanes = readLaneBands(blot.picture, strips, bands, reading);
    readStainTotals(lanes, blot.stain, blot.picture.size(), strips, reading);
    return lanes;
}

} // namespace

// Blots with known truth: three groups of three replicates, each lane loaded 30 % above
// or below the average. Normalized by either loading control the lanes come within 2 % of
// their group's amount (as a share of the reference group's), and the folds within 3 %.
void TestResults::generatedBlots_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("saturated"); // the lane whose housekeeping band is overloaded
    QTest::addColumn<bool>("excludeFlagged");
    QTest::newRow("housekeeping band") << "band:2"_t << -1 << false;
    QTest::newRow("stain") << "stain"_t << -1 << false;
    QTest::newRow("saturated control, marked") << "band:2"_t << 4 << false;
    QTest::newRow("saturated control, left out") << "band:2"_t << 4 << true;
    QTest::newRow("saturated housekeeping, stain control") << "stain"_t << 4 << true;
}

void TestResults::generatedBlots()
{
    QFETCH(QString, control);
    QFETCH(int, saturated);
    QFETCH(bool, excludeFlagged);
    test::SyntheticBlotLayout layout;
    layout.saturatedControlLane = saturated;
    const test::SyntheticBlot blot = makeSyntheticBlot(layout);
    const std::vector<LaneBands> lanes = readBlot(blot);
    QCOMPARE(int(lanes.size()), 9);
    for (const LaneBands& lane : lanes)
        QCOMPARE(int(lane.bands.size()), 2);

    const SampleTable table = parseSampleTable(blot.sampleText, QStringLiteral("blot.tsv"));
    ResultOptions options =
        optionsOf(QStringLiteral("band:1"), control, QStringLiteral("control"), excludeFlagged);
    const Results results = computeResults(table, lanes, options);

    const bool stain = control == QLatin1String("stain");
    double referenceLoading = 0;
    for (int lane = 0; lane < 3; ++lane)
        referenceLoading += blot.loading[std::size_t(lane)] / 3;
    double worstFactor = 0;
    double worstNormalized = 0;
    for (std::size_t i = 0; i < results.lanes.size(); ++i) {
        const LaneResult& r = results.lanes[i];
        const bool overloaded = int(i) == saturated;
        // The overloaded band is flagged (also in the lane total), and counts or not as asked;
        // read through the stain, the lane is as good as any.
        QCOMPARE(r.flags.join(QLatin1Char(' ')).contains(QLatin1String("control: saturated")),
                 overloaded && !stain);
        QCOMPARE(r.leftOut, overloaded && !stain && excludeFlagged);
        QVERIFY(r.normalized && r.factor);
        if (overloaded && !stain)
            continue;
        const double factorError = std::abs(*r.factor / (blot.loading[i] / referenceLoading) - 1);
        const double truth = blot.targetAmount[i] / layout.amounts[0];
        const double normalizedError =
            std::abs(*r.normalized / *results.referenceValue / truth - 1);
        worstFactor = std::max(worstFactor, factorError);
        worstNormalized = std::max(worstNormalized, normalizedError);
    }
    QVERIFY2(worstFactor < 0.02, qPrintable(QString::number(worstFactor)));
    QVERIFY2(worstNormalized < 0.02, qPrintable(QString::number(worstNormalized)));

    double worstFold = 0;
    QCOMPARE(int(results.groups.size()), 3);
    for (std::size_t g = 0; g < results.groups.size(); ++g) {
        const GroupResult& group = results.groups[g];
        const bool holdsOverloaded = saturated >= 0 && saturated / 3 == int(g) && !stain;
        QCOMPARE(group.n, holdsOverloaded && excludeFlagged ? 2 : 3);
        if (holdsOverloaded && !excludeFlagged)
            continue; // an overloaded control counted gives a wrong value: that is why it is marked
        worstFold = std::max(worstFold,
                             std::abs(*group.fold / (layout.amounts[g] / layout.amounts[0]) - 1));
    }
    QVERIFY2(worstFold < 0.03, qPrintable(QString::number(worstFold)));
    qInfo("worst factor error %.3f %%, normalized %.3f %%, fold %.3f %%", worstFactor * 100,
          worstNormalized * 100, worstFold * 100);

    // A table made for another picture is refused, naming the row.
    try {
        computeResults(
            parseSampleTable(blot.sampleText + QStringLiteral("12\tx\tcontrol\t4\tsample\n"),
                             QStringLiteral("blot.tsv")),
            lanes, options);
        QFAIL("expected a refusal");
    } catch (const ResultsError& error) {
        QCOMPARE(error.message(), QStringLiteral("the sample table does not fit the lanes: row 10 "
                                                 "names lane 12, but the picture has 9 lanes"));
    }
}

QTEST_APPLESS_MAIN(TestResults)
#include "tst_results.moc"
