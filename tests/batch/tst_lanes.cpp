// The lanes command, run in-process: on the sample gel it must find every band with the
// frame a person would draw, and scan it to the value the measure command gives that
// frame; its report table must be one the report command reads.

#include "batch/batchcli.h"
#include "support/gelpictures.h"

#include <QBuffer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

#include <cmath>

using namespace kesto;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run lanes(const QStringList& arguments)
{
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Run run;
    run.status = runBatchCommand(arguments, out, err);
    run.out = QString::fromUtf8(out.data());
    run.err = QString::fromUtf8(err.data());
    return run;
}

QString sampleGel()
{
    return qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/gel.bmp");
}

// A gel for sizing: five lanes, 40 columns wide, 400 rows long. Lanes 1 and 5 hold the
// broad-range protein ladder; lanes 2 to 4 samples, one above the ladder's top band (300)
// and one below its bottom band (8). A band of size s runs to Rf 0.1 + 0.8 log(250 / s) /
// log(25) of the 399 rows, and lane i (from 0) 0.5 % further for each lane to the right: a
// tilt the two ladders take out. Bands are 8 rows high.
constexpr int SizingRows = 400;
const std::vector<double> ProteinLadder{250, 150, 100, 75, 50, 37, 25, 20, 15, 10};
const std::vector<std::vector<double>> SizingLanes{
    ProteinLadder, {200, 60, 30, 12}, {300, 60, 12}, {200, 30, 8}, ProteinLadder};

QImage sizingGel()
{
    QList<QRect> bands;
    for (std::size_t lane = 0; lane < SizingLanes.size(); ++lane) {
        for (double size : SizingLanes[lane]) {
            const double rf = (0.1 + 0.8 * std::log10(250 / size) / std::log10(25.0)) *
                              (1 + 0.005 * double(lane));
            const int middle = int(std::lround(rf * (SizingRows - 1)));
            bands << QRect(20 + 64 * int(lane), middle - 4, 40, 8);
        }
    }
    return test::gelPicture(20 + 64 * 5, SizingRows, 230, 60, bands);
}

} // namespace

class TestLanes : public QObject
{
    Q_OBJECT
private slots:
    void findsAndScansTheSampleGel_data();
    void findsAndScansTheSampleGel();
    void reportTableMarksTheControlBand();
    void nothingFoundIsNoFailure();
    void sensitivityFiltersTheProposals();
    void quantifiesOnTheLaneProfile_data();
    void quantifiesOnTheLaneProfile();
    void failedFitsAreWarnedOf();
    void sizesBandsFromLadders_data();
    void sizesBandsFromLadders();
    void badArguments_data();
    void badArguments();

private:
    QTemporaryDir dir;
};

void TestLanes::findsAndScansTheSampleGel_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("turned"); // the gel mirrored about its diagonal
    QTest::addColumn<int>("sign");
    QTest::newRow("dark bands, background picked")
        << QStringList{QStringLiteral("--background"), QStringLiteral("5,5")} << false << -1;
    QTest::newRow("background colour given")
        << QStringList{QStringLiteral("--background-color"), QStringLiteral("230,230,230")} << false
        << -1;
    QTest::newRow("inverted: light bands")
        << QStringList{QStringLiteral("--invert"), QStringLiteral("--background"),
                       QStringLiteral("5,5"), QStringLiteral("--channel"), QStringLiteral("green")}
        << false << 1;
    QTest::newRow("horizontal lanes")
        << QStringList{QStringLiteral("--horizontal"), QStringLiteral("--background"),
                       QStringLiteral("5,5")}
        << true << -1;
}

void TestLanes::findsAndScansTheSampleGel()
{
    QFETCH(QStringList, options);
    QFETCH(bool, turned);
    QFETCH(int, sign);
    QString picture = sampleGel();
    if (turned) {
        const QImage gel(picture);
        picture = test::savePicture(dir, QStringLiteral("turned.png"),
                                    gel.transformed(QTransform(0, 1, 1, 0, 0, 0)));
    }
    const Run run = lanes(QStringList{QStringLiteral("lanes"), picture} + options);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 12);

    // Six lanes every 50 columns from column 20, each a band of grey 60 + 25 (n - 1) at
    // rows 50-65 and a control of grey 90 at rows 130-145, on grey 230.
    QStringList expected;
    QStringList measure = QStringList{QStringLiteral("measure"), picture} + options;
    measure.removeAll(QStringLiteral("--horizontal"));
    for (int lane = 1; lane <= 6; ++lane) {
        const int across = 20 + 50 * (lane - 1);
        const int greys[] = {60 + 25 * (lane - 1), 90};
        const int alongs[] = {50, 130};
        for (int band = 0; band < 2; ++band) {
            const int left = turned ? alongs[band] : across;
            const int top = turned ? across : alongs[band];
            const int width = turned ? 15 : 39;
            const int height = turned ? 39 : 15;
            expected << QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
                            .arg(lane)
                            .arg(band + 1)
                            .arg(left)
                            .arg(top)
                            .arg(width)
                            .arg(height)
                            .arg(sign * 640 * (230 - greys[band]));
            measure << QStringLiteral("--frame")
                    << QStringLiteral("%1,%2,%3,%4").arg(left).arg(top).arg(width).arg(height);
        }
    }
    QCOMPARE(lines, expected);

    // The same frames placed by hand give the same scans.
    const Run byHand = lanes(measure);
    QCOMPARE(byHand.status, 0);
    QStringList scans;
    for (const QString& line : lines)
        scans << line.section(QLatin1Char('\t'), 6);
    QCOMPARE(byHand.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), scans);
}

void TestLanes::reportTableMarksTheControlBand()
{
    const QString table = dir.filePath(QStringLiteral("bands.csv"));
    const Run run = lanes({QStringLiteral("lanes"), sampleGel(), QStringLiteral("--background"),
                           QStringLiteral("5,5"), QStringLiteral("--control-band"),
                           QStringLiteral("2"), QStringLiteral("--output"), table});
    QCOMPARE(run.status, 0);
    QFile file(table);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList rows =
        QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 13);
    QCOMPARE(rows.at(0), QStringLiteral("#,Description,Type,Scan (rel.units),Expression (%)"));
    QCOMPARE(rows.at(1), QStringLiteral("1,Lane 1,,-108800,"));
    QCOMPARE(rows.at(2), QStringLiteral("2,Lane 1,control,-89600,"));
    QCOMPARE(rows.at(12), QStringLiteral("12,Lane 6,control,-89600,"));

    // The report command takes it as the report window would: lane 5's band is half of
    // its control.
    const Run report = lanes({QStringLiteral("report"), table});
    QCOMPARE(report.status, 0);
    QVERIFY2(report.out.contains(QStringLiteral("9\tLane 5\t\t-44800\t50")),
             qPrintable(report.out));
}

void TestLanes::nothingFoundIsNoFailure()
{
    const QString picture = test::savePicture(dir, QStringLiteral("blank.png"),
                                              test::solidPicture(120, 80, qRgb(200, 200, 200)));
    const QString table = dir.filePath(QStringLiteral("none.txt"));
    const Run run = lanes({QStringLiteral("lanes"), picture, QStringLiteral("--output"), table});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QString());
    QFile file(table);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The report's headings over an empty sheet.
    const QByteArray written = file.readAll();
    QVERIFY2(written.startsWith("#\tDescription\tType\tScan (rel.units)\tExpression (%)\r\n"),
             written.constData());
    QVERIFY(!written.contains("Lane"));
}

// A lower sensitivity keeps a subset of a higher one's bands, frames unchanged: the
// proposals are filtered by their score, not looked for again.
void TestLanes::sensitivityFiltersTheProposals()
{
    const QString picture = qEnvironmentVariable("KESTO_SOURCE_DIR") +
                            QStringLiteral("/tests/data/realgels/gelgenie_thrombin_coomassie.jpg");
    auto frames = [&](const QString& sensitivity) {
        QStringList arguments{QStringLiteral("lanes"), picture};
        if (!sensitivity.isEmpty())
            arguments << QStringLiteral("--sensitivity") << sensitivity;
        const Run run = lanes(arguments);
        QSet<QString> found;
        for (const QString& line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            found << line.section(QLatin1Char('\t'), 2, 5);
        return std::make_pair(run.status, found);
    };
    const auto low = frames(QStringLiteral("20"));
    const auto normal = frames(QString());
    const auto fifty = frames(QStringLiteral("50"));
    const auto high = frames(QStringLiteral("100"));
    QCOMPARE(low.first, 0);
    QCOMPARE(high.first, 0);
    QCOMPARE(normal.second, fifty.second);
    QVERIFY(!low.second.isEmpty());
    QVERIFY(low.second.size() < normal.second.size());
    QVERIFY(normal.second.size() < high.second.size());
    QVERIFY(normal.second.contains(low.second));
    QVERIFY(high.second.contains(normal.second));
}

void TestLanes::quantifiesOnTheLaneProfile_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<double>("scan");        // lane 1, band 1
    QTest::addColumn<double>("tolerance");   // relative
    QTest::addColumn<QString>("total");      // empty: frame scans, no more columns
    QTest::addColumn<bool>("halfOfControl"); // lane 5's band is half its control
    // Lane 1: a band of grey 60 and its control of grey 90, 40 columns by 16 rows each, on
    // grey 230, so 640 x 170 and 640 x 140 above the lane's baseline; dark bands count high.
    QTest::newRow("frame, as without the option")
        << QStringList{QStringLiteral("--quantify"), QStringLiteral("frame"),
                       QStringLiteral("--background"), QStringLiteral("5,5")}
        << -108800.0 << 0.0 << QString() << true;
    QTest::newRow("profile, minima")
        << QStringList{QStringLiteral("--quantify"), QStringLiteral("Profile")} << 108800.0 << 0.0
        << "198400" << true;
    // Without a baseline the gel's own grey counts too, 25 a sample: 200 rows x 40 columns
    // of it more in the lane's total, and band 1 reaches from the lane's top to the drop
    // line towards its control.
    QTest::newRow("profile, no baseline")
        << QStringList{QStringLiteral("--quantify"), QStringLiteral("profile"),
                       QStringLiteral("--lane-background"), QStringLiteral("none")}
        << 175800.0 << 0.0 << "398400" << false;
    // A Gaussian on a sloping baseline fitted to a flat-topped band comes out half as
    // large again (the fit of true Gaussian bands is measured in the core's tests), but in
    // proportion to the band's depth.
    QTest::newRow("fit") << QStringList{QStringLiteral("--quantify"), QStringLiteral("fit")}
                         << 108800.0 * 1.5125 << 0.001 << "198400" << true;
}

void TestLanes::quantifiesOnTheLaneProfile()
{
    QFETCH(QStringList, options);
    QFETCH(double, scan);
    QFETCH(double, tolerance);
    QFETCH(QString, total);
    QFETCH(bool, halfOfControl);
    const QString table = dir.filePath(QStringLiteral("volumes.csv"));
    const Run run =
        lanes(QStringList{QStringLiteral("lanes"), sampleGel(), QStringLiteral("--output"), table} +
              options);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 12);
    const QStringList fields = lines.constFirst().split(QLatin1Char('\t'));
    QCOMPARE(fields.mid(0, 6).join(QLatin1Char(' ')), QStringLiteral("1 1 20 50 39 15"));
    const double value = fields.at(6).toDouble();
    QVERIFY2(std::abs(value - scan) <= tolerance * std::abs(scan), qPrintable(fields.at(6)));
    if (total.isEmpty()) {
        QCOMPARE(fields.size(), 7);
    } else {
        QCOMPARE(fields.size(), 9);
        QCOMPARE(fields.at(7), total);
        QVERIFY(std::abs(fields.at(8).toDouble() - 100 * value / total.toDouble()) < 1e-9);
    }
    const double band = lines.at(8).section(QLatin1Char('\t'), 6, 6).toDouble();
    const double control = lines.at(9).section(QLatin1Char('\t'), 6, 6).toDouble();
    QCOMPARE(std::abs(band / control - 0.5) < 1e-6, halfOfControl);
    // The report table's Scan is the line's SCAN.
    QFile file(table);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList rows =
        QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.at(1).section(QLatin1Char(','), 3, 3), fields.at(6));
}

// Bands whose fit cannot be made are left without volumes and named on standard error;
// the others are measured, and the command succeeds.
void TestLanes::failedFitsAreWarnedOf()
{
    const QString picture = qEnvironmentVariable("KESTO_SOURCE_DIR") +
                            QStringLiteral("/tests/data/realgels/agar_example_gel.jpg");
    const Run run = lanes(
        {QStringLiteral("lanes"), picture, QStringLiteral("--quantify"), QStringLiteral("fit")});
    QCOMPARE(run.status, 0);
    // "warning: lane L, band B has no volume: ..." or "..., bands B to C have ...".
    QSet<QString> warned;
    for (const QString& line : run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList words = line.split(QLatin1Char(' '));
        QVERIFY2(line.startsWith(QStringLiteral("warning: lane ")) && words.size() > 6 &&
                     line.contains(QStringLiteral(" no volume: ")),
                 qPrintable(line));
        const QString laneNumber = words.at(2).chopped(1);
        const int first = words.at(4).toInt();
        const int last = words.at(3) == QLatin1String("bands") ? words.at(6).toInt() : first;
        QVERIFY2(first >= 1 && last >= first, qPrintable(line));
        for (int band = first; band <= last; ++band)
            warned << laneNumber + QLatin1Char(':') + QString::number(band);
    }
    int measured = 0;
    for (const QString& line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 9);
        QCOMPARE(fields.at(6).isEmpty(),
                 warned.contains(fields.at(0) + QLatin1Char(':') + fields.at(1)));
        QCOMPARE(fields.at(8).isEmpty(), fields.at(6).isEmpty());
        measured += !fields.at(6).isEmpty();
    }
    QVERIFY(measured > 0);
}

void TestLanes::sizesBandsFromLadders_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<double>("tolerance"); // per cent, of the sample bands' sizes
    QTest::addColumn<bool>("extrapolated");
    QTest::addColumn<QString>("warnings"); // standard error

    const QString ladder = QStringLiteral("--ladder");
    const QString lane = QStringLiteral("--ladder-lane");
    const QString list = QStringLiteral("250,150,100,75,50,37,25,20,15,10");
    const QStringList both{lane, QStringLiteral("1"), ladder, QStringLiteral("broad-range protein"),
                           lane, QStringLiteral("5"), ladder, list};
    QTest::newRow("two ladders, point-to-point") << both << 2.0 << false << QString();
    QTest::newRow("linear") << both + QStringList{QStringLiteral("--size-fit"),
                                                  QStringLiteral("Linear")}
                            << 2.0 << false << QString();
    QTest::newRow("cubic") << both +
                                  QStringList{QStringLiteral("--size-fit"), QStringLiteral("cubic")}
                           << 2.0 << false << QString();
    QTest::newRow("extrapolated")
        << both + QStringList{QStringLiteral("--extrapolate")} << 2.0 << true
        << "note: lane 3: the size of band 1 extrapolated beyond the ladder\n"
           "note: lane 4: the size of band 3 extrapolated beyond the ladder\n";
    // One ladder leaves the tilt in: lane 4 runs 1.5 % further than lane 1.
    QTest::newRow("one ladder") << QStringList{lane, QStringLiteral("1"), ladder, list} << 6.0
                                << false << QString();
    // A size the ladder lane does not show: its bands are given sizes top to bottom all the
    // same, and the mismatch is told.
    QTest::newRow("a ladder band missing")
        << QStringList{lane,   QStringLiteral("1"),
                       ladder, list,
                       lane,   QStringLiteral("5"),
                       ladder, QStringLiteral("250,200,150,100,75,50,37,25,20,15,10")}
        << -1.0 << false
        << "warning: ladder lane 5: 10 bands for 11 sizes: 1 size without a band\n";
}

void TestLanes::sizesBandsFromLadders()
{
    QFETCH(QStringList, options);
    QFETCH(double, tolerance);
    QFETCH(bool, extrapolated);
    QFETCH(QString, warnings);
    const QString picture = test::savePicture(dir, QStringLiteral("sizing.png"), sizingGel());
    const Run run = lanes(QStringList{QStringLiteral("lanes"), picture} + options);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, warnings);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    int expectedLines = 0;
    for (const std::vector<double>& sizes : SizingLanes)
        expectedLines += int(sizes.size());
    QCOMPARE(lines.size(), expectedLines);
    double worst = 0;
    for (const QString& line : lines) {
        const QStringList f = line.split(QLatin1Char('\t'));
        QCOMPARE(f.size(), 9); // LANE BAND LEFT TOP WIDTH HEIGHT SCAN RF SIZE
        const int laneIndex = f[0].toInt() - 1;
        const int band = f[1].toInt() - 1;
        // RF: the frame's middle row over the lane's 399 rows from its first.
        const double rf = (f[3].toDouble() + f[5].toDouble() / 2) / (SizingRows - 1);
        QVERIFY2(std::abs(f[7].toDouble() - rf) < 1e-12, qPrintable(line));
        const double truth = SizingLanes[std::size_t(laneIndex)][std::size_t(band)];
        const qsizetype marked = options.indexOf(QString::number(laneIndex + 1));
        const bool ladderLane = marked > 0 && options[marked - 1] == QLatin1String("--ladder-lane");
        // A ladder lane's band gets the size assigned to it.
        if (ladderLane && (tolerance >= 0 || laneIndex == 0))
            QCOMPARE(f[8].toDouble(), truth);
        // Past a wrong assignment, and in a ladder's lane that is not marked, any size goes.
        if (ladderLane || laneIndex == 4 || tolerance < 0)
            continue;
        const bool beyond = truth > 250 || truth < 10;
        if (beyond && !extrapolated) {
            QVERIFY2(f[8].isEmpty(), qPrintable(line));
            continue;
        }
        QVERIFY2(!f[8].isEmpty(), qPrintable(line));
        const double error = std::abs(f[8].toDouble() - truth) / truth * 100;
        QVERIFY2(error <= (beyond ? 2 * tolerance : tolerance), qPrintable(line));
        worst = std::max(worst, error);
    }
    qInfo("worst size error %.2f %%", worst);
}

void TestLanes::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString gel = sampleGel();
    QTest::newRow("control band 0")
        << QStringList{gel, QStringLiteral("--control-band"), QStringLiteral("0")} << 2
        << "--control-band \"0\": expected a band number from 1";
    QTest::newRow("both backgrounds")
        << QStringList{gel, QStringLiteral("--background"), QStringLiteral("1,1"),
                       QStringLiteral("--background-color"), QStringLiteral("1,1,1")}
        << 2 << "expected either --background or --background-color, not both";
    QTest::newRow("background off the picture")
        << QStringList{gel, QStringLiteral("--background"), QStringLiteral("320,5")} << 2
        << "expected a background point on the picture";
    QTest::newRow("sensitivity above 100")
        << QStringList{gel, QStringLiteral("--sensitivity"), QStringLiteral("101")} << 2
        << "--sensitivity \"101\": expected a number from 0 to 100";
    QTest::newRow("sensitivity not a number")
        << QStringList{gel, QStringLiteral("--sensitivity"), QStringLiteral("high")} << 2
        << "--sensitivity \"high\": expected a number from 0 to 100";
    QTest::newRow("unknown quantification")
        << QStringList{gel, QStringLiteral("--quantify"), QStringLiteral("area")} << 2
        << "--quantify: unknown quantification \"area\" (frame, profile or fit)";
    QTest::newRow("ball of radius 0")
        << QStringList{gel, QStringLiteral("--quantify"), QStringLiteral("profile"),
                       QStringLiteral("--lane-background"), QStringLiteral("ball:0")}
        << 2 << "--lane-background \"ball:0\": the ball's radius must be from 1 to 10000";
    QTest::newRow("lane background with frames")
        << QStringList{gel, QStringLiteral("--lane-background"), QStringLiteral("minima")} << 2
        << "--lane-background goes with --quantify profile or fit";
    const QString lane = QStringLiteral("--ladder-lane");
    const QString ladder = QStringLiteral("--ladder");
    QTest::newRow("ladder lane 0")
        << QStringList{gel, lane, QStringLiteral("0"), ladder, QStringLiteral("2,1")} << 2
        << "--ladder-lane \"0\": expected a lane number from 1";
    QTest::newRow("ladder lane beyond the lanes found")
        << QStringList{gel, lane, QStringLiteral("9"), ladder, QStringLiteral("2,1")} << 2
        << "--ladder-lane 9: only 6 lanes were found";
    QTest::newRow("ladder lane without its ladder")
        << QStringList{gel, lane, QStringLiteral("1")} << 2
        << "each --ladder-lane needs its --ladder after it";
    QTest::newRow("ladder before its lane")
        << QStringList{gel, ladder, QStringLiteral("2,1"), lane, QStringLiteral("1")} << 2
        << "each --ladder-lane needs its --ladder after it";
    QTest::newRow("three ladder lanes")
        << QStringList{gel,
                       lane,
                       QStringLiteral("1"),
                       ladder,
                       QStringLiteral("2,1"),
                       lane,
                       QStringLiteral("2"),
                       ladder,
                       QStringLiteral("2,1"),
                       lane,
                       QStringLiteral("3"),
                       ladder,
                       QStringLiteral("2,1")}
        << 2 << "expected --ladder-lane at most twice, found it 3 times";
    QTest::newRow("the same ladder lane twice") << QStringList{gel,
                                                               lane,
                                                               QStringLiteral("2"),
                                                               ladder,
                                                               QStringLiteral("2,1"),
                                                               lane,
                                                               QStringLiteral("2"),
                                                               ladder,
                                                               QStringLiteral("2,1")}
                                                << 2 << "--ladder-lane 2 is given twice";
    QTest::newRow("sizes rising")
        << QStringList{gel, lane, QStringLiteral("1"), ladder, QStringLiteral("100,200")} << 2
        << "--ladder: \"100,200\": ladder \"sizes\": the sizes are not largest first (200 "
           "follows 100)";
    QTest::newRow("ladder unknown")
        << QStringList{gel, lane, QStringLiteral("1"), ladder, QStringLiteral("2 kb")} << 2
        << "--ladder: \"2 kb\": expected sizes largest first separated by commas";
    QTest::newRow("unknown fit")
        << QStringList{gel,
                       lane,
                       QStringLiteral("1"),
                       ladder,
                       QStringLiteral("2,1"),
                       QStringLiteral("--size-fit"),
                       QStringLiteral("spline")}
        << 2 << "--size-fit \"spline\": expected point-to-point, linear, quadratic or cubic";
    QTest::newRow("extrapolate without a ladder")
        << QStringList{gel, QStringLiteral("--extrapolate")} << 2
        << "--size-fit and --extrapolate go with --ladder-lane";
    QTest::newRow("no picture") << QStringList{} << 2 << "expected a PICTURE file";
    QTest::newRow("missing picture")
        << QStringList{gel + QStringLiteral(".none")} << 1 << "Cannot load image:";
}

void TestLanes::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString table = dir.filePath(QStringLiteral("never.csv"));
    const Run run = lanes(QStringList{QStringLiteral("lanes")} + arguments +
                          QStringList{QStringLiteral("--output"), table});
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.startsWith(QStringLiteral("kestoscan: ")) && run.err.contains(message),
             qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QVERIFY(!QFile::exists(table));
}

QTEST_GUILESS_MAIN(TestLanes)
#include "tst_lanes.moc"
