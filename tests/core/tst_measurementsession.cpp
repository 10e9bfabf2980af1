// The measuring session: what a new picture clears and converts, the picked area's mean
// following the method, plans over several pictures, undo putting the sheet and the
// record back together, and values taken on lanes replaying from the record.

#include "core/measurementsession.h"
#include "core/numbers.h"
#include "core/sessionundo.h"
#include "core/sheetfiles.h"
#include "core/workingsheet.h"
#include "support/gelpictures.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <memory>
#include <vector>

#include <cmath>
#include <cstdint>

using namespace kesto;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// A 16-bit grey picture, every pixel `level` but a 10 x 10 square of `band` at (20, 20).
QImage deepPicture(int level, int band)
{
    QImage image(60, 40, QImage::Format_Grayscale16);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<std::uint16_t*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = std::uint16_t(x >= 20 && x < 30 && y >= 20 && y < 30 ? band : level);
    }
    return image;
}

// Two light lanes of Gaussian bands (sigma 4 rows) on a dark background that slopes down
// the picture: lane 1 at columns 10-29, lane 2 at 40-59. Lane 2's bands touch (12 rows
// apart). 16-bit when deep.
QImage laneGel(bool deep)
{
    QImage image(70, 120, deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
    const double centres[2][2] = {{30, 80}, {50, 62}};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            double v = 20 + 0.2 * y;
            const int lane = x >= 10 && x < 30 ? 0 : x >= 40 && x < 60 ? 1 : -1;
            if (lane >= 0) {
                for (double c : centres[lane])
                    v += 150 * std::exp(-(y - c) * (y - c) / 32.0);
            }
            if (deep)
                reinterpret_cast<std::uint16_t*>(image.scanLine(y))[x] =
                    std::uint16_t(std::lround(v * 257));
            else
                image.scanLine(y)[x] = uchar(std::lround(v));
        }
    }
    return image;
}

} // namespace

class TestMeasurementSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void newPictureConvertsTheBackground_data();
    void newPictureConvertsTheBackground();
    void newPictureClearsItsOwnState();
    void areaMeanFollowsTheMethodAfterAPick();
    void planOverSeveralPicturesNeedsThemOpened();
    void planBackgroundBeyondAnEightBitPicture();
    void undoPutsSheetAndRecordBack();
    void laneValuesReplay_data();
    void laneValuesReplay();
    void draggedBoundaries_data();
    void draggedBoundaries();
    void ladderSizes_data();
    void ladderSizes();
    void ladderMarksUndoAndClear();
    void ladderBandReassigned_data();
    void ladderBandReassigned();
    void bandSizesReplay_data();
    void bandSizesReplay();
    void pictureHashTakenAsideAndWaitedFor();
    void abandonedHashesEndWithTheSession();
};

void TestMeasurementSession::newPictureConvertsTheBackground_data()
{
    QTest::addColumn<QImage>("first");
    QTest::addColumn<QPoint>("pick");
    QTest::addColumn<QImage>("second");
    QTest::addColumn<int>("level"); // the background in the second picture's units
    QTest::addColumn<bool>("notice");

    const QImage grey = test::solidPicture(40, 30, qRgb(90, 90, 90));
    QTest::newRow("16 to 8 keeps the top byte")
        << deepPicture(321, 4000) << QPoint(1, 1) << grey << 1 << true;
    QTest::newRow("8 to 16 widens")
        << grey << QPoint(1, 1) << deepPicture(321, 4000) << 90 * 257 << true;
    QTest::newRow("same depth keeps it")
        << grey << QPoint(1, 1) << test::solidPicture(10, 10, qRgb(5, 5, 5)) << 90 << false;
}

void TestMeasurementSession::newPictureConvertsTheBackground()
{
    QFETCH(QImage, first);
    QFETCH(QPoint, pick);
    QFETCH(QImage, second);
    QFETCH(int, level);
    QFETCH(bool, notice);

    MeasurementSession session;
    session.setPicture(first, QString());
    session.pickBackground(float(pick.x()), float(pick.y()));
    const QString said = session.setPicture(second, QString());
    QCOMPARE(session.backgroundLevels().red, level);
    QCOMPARE(!said.isEmpty(), notice);
    // What the read-out shows is what the scans subtract.
    QCOMPARE(session.backgroundReadout(), QStringLiteral("Bkgrnd (RGB)=%1,%1,%1").arg(level));
    QVERIFY(!session.backgroundPicked());
}

void TestMeasurementSession::newPictureClearsItsOwnState()
{
    MeasurementSession session;
    session.setPicture(test::gelPicture(80, 60, 200, 40, {QRect(10, 10, 20, 8)}), QString());
    session.invertPicture();
    session.scanFrame(FrameGeometry{30, 20, 10, 5});
    FoundFrame frame;
    frame.left = 10;
    frame.top = 10;
    frame.width = 20;
    frame.height = 8;
    session.proposals().add(frame);
    session.proposalsEdited();

    session.setPicture(test::solidPicture(320, 200, qRgb(1, 1, 1)), QString());
    QVERIFY(!session.inverted());
    QVERIFY(session.proposals().isEmpty());
    QCOMPARE(session.lastScan().samples, std::uint64_t(0));
    // The frame keeps its size at the top-left corner; the sheet keeps its values.
    QCOMPARE(session.frame().left, 0.0f);
    QCOMPARE(session.frame().width, 10.0f);
    QVERIFY(!session.sheet().text(1, 2).isEmpty());
}

void TestMeasurementSession::areaMeanFollowsTheMethodAfterAPick()
{
    // Background 200 with one dark pixel at the pick: the pixel says 10, a 5 x 5 area
    // (24 x 200 + 10) / 25.
    QImage picture = test::solidPicture(40, 40, qRgb(200, 200, 200));
    picture.setPixel(5, 5, qRgb(10, 10, 10));
    MeasurementSession session(picture);
    session.pickBackground(5, 5);
    QCOMPARE(session.backgroundLevels().red, 10);
    session.setBackgroundMethod(*parseBackgroundMethod(QStringLiteral("area:5")));
    QCOMPARE(session.areaAverage().red, (24.0 * 200 + 10) / 25);
    const double scan = session.scanFrame(FrameGeometry{20, 20, 1, 1});
    QCOMPARE(scan, 4 * (200 - session.areaAverage().red));
}

void TestMeasurementSession::planOverSeveralPicturesNeedsThemOpened()
{
    const MeasurementPlan plan = parseMeasurementPlan(
        QStringLiteral("picture \"a.png\"\nframe 0 0 1 1\npicture \"b.png\"\nframe 0 0 1 1\n"),
        QStringLiteral("two.plan"), 65535);
    QCOMPARE(planPictures(plan), (QStringList{QStringLiteral("a.png"), QStringLiteral("b.png")}));
    MeasurementSession session(test::solidPicture(4, 4, qRgb(9, 9, 9)));
    try {
        runMeasurementPlanCounted(session, plan, true);
        QFAIL("a plan of two pictures replayed on one");
    } catch (const PlanError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("2 pictures")),
                 qPrintable(error.message()));
    }
    QCOMPARE(session.sheet().text(1, 2), QString());

    // Opened in turn, each picture is measured in its own units.
    ReplayOptions options;
    options.ignoreHash = true;
    options.openPicture = [&](const PlanStep& step) {
        session.setPicture(step.text == QLatin1String("a.png")
                               ? test::solidPicture(4, 4, qRgb(9, 9, 9))
                               : deepPicture(700, 700),
                           step.text);
    };
    const std::vector<ScanResult> scans = runMeasurementPlanCounted(session, plan, options);
    QCOMPARE(scans.size(), std::size_t(2));
    QCOMPARE(scans[0].value, 4.0 * 9);
    QCOMPARE(scans[1].value, 4.0 * 700);
}

void TestMeasurementSession::planBackgroundBeyondAnEightBitPicture()
{
    const MeasurementPlan plan =
        parseMeasurementPlan(QStringLiteral("background-color 321 321 321\nframe 0 0 1 1\n"),
                             QStringLiteral("deep.plan"), 65535);
    MeasurementSession session(test::solidPicture(4, 4, qRgb(9, 9, 9)));
    try {
        runMeasurementPlanCounted(session, plan, true);
        QFAIL("a 16-bit background used on an 8-bit picture");
    } catch (const PlanError& error) {
        QVERIFY2(
            error.message().startsWith(QStringLiteral("deep.plan:1: expected RED from 0 to 255")),
            qPrintable(error.message()));
    }
}

void TestMeasurementSession::undoPutsSheetAndRecordBack()
{
    MeasurementSession session(test::gelPicture(80, 60, 200, 40, {QRect(10, 10, 20, 8)}));
    SessionUndo undo(session);
    session.scanFrame(FrameGeometry{10, 10, 19, 7});
    undo.commit(QStringLiteral("Scan"));
    const QByteArray afterScan = sheetTabText(session.sheet());
    session.setValue(1, 3, QStringLiteral("250"), ValueSource::Typed);
    undo.commit(QStringLiteral("Typing"));
    session.invertPicture();
    session.setChannel(Channel::Green);
    session.scanFrame(FrameGeometry{30, 30, 5, 5});
    undo.commit(QStringLiteral("Scan"));
    // Nothing changed: no step.
    undo.commit(QStringLiteral("Nothing"));
    QCOMPARE(undo.stack().count(), 3);

    undo.stack().undo();
    QVERIFY(!session.inverted());
    QCOMPARE(session.channel(), Channel::Red);
    QCOMPARE(session.frame().left, 10.0f);
    undo.stack().undo();
    QCOMPARE(sheetTabText(session.sheet()), afterScan);
    QCOMPARE(session.record().history().size(), std::size_t(1));
    undo.stack().undo();
    QCOMPARE(session.sheet().text(1, 2), QString());
    QVERIFY(session.record().isEmpty());

    undo.stack().redo();
    undo.stack().redo();
    undo.stack().redo();
    QVERIFY(session.inverted());
    QCOMPARE(session.sheet().text(1, 3), QStringLiteral("250"));
    QCOMPARE(session.record().history().size(), std::size_t(3));
}

void TestMeasurementSession::laneValuesReplay_data()
{
    QTest::addColumn<bool>("deep");
    QTest::addColumn<QString>("method"); // frame scans
    QTest::addColumn<int>("quantify");   // QuantifyMode of the found bands
    QTest::addColumn<bool>("laneTotal"); // lane totals as the control
    for (bool deep : {false, true}) {
        const char* depth = deep ? "16-bit" : "8-bit";
        QTest::addRow("%s lane:minima frames", depth) << deep << "lane:minima" << -1 << false;
        QTest::addRow("%s lane:ball frames", depth) << deep << "lane:ball:30" << -1 << false;
        QTest::addRow("%s profile volumes", depth)
            << deep << "" << int(QuantifyMode::Profile) << false;
        QTest::addRow("%s fitted areas", depth) << deep << "" << int(QuantifyMode::Fit) << true;
    }
    QTest::addRow("frames in no lane") << false << "pixel" << int(QuantifyMode::Frame) << false;
}

void TestMeasurementSession::laneValuesReplay()
{
    QFETCH(bool, deep);
    QFETCH(QString, method);
    QFETCH(int, quantify);
    QFETCH(bool, laneTotal);
    const QImage picture = laneGel(deep);
    MeasurementSession session(picture);
    session.setLanes({LaneStrip::straight(FoundFrame{10, 0, 19, 119}, LaneOrientation::Vertical),
                      LaneStrip::straight(FoundFrame{40, 0, 19, 119}, LaneOrientation::Vertical)},
                     false);
    QCOMPARE(session.lanes().size(), std::size_t(2));
    // A frame round lane 1's first band (3 sigma each side): the lane holds it.
    const FrameGeometry tight{12, 18, 15, 24};
    QCOMPARE(session.laneHolding(tight), 0);
    QCOMPARE(session.laneHolding(FrameGeometry{0, 0, 8, 8}), -1);
    if (!method.isEmpty()) {
        session.setBackgroundMethod(*parseBackgroundMethod(method));
        session.pickCell(1, 2);
        const double tightScan = session.scanFrame(tight);
        session.pickCell(2, 2);
        // On the lane's baseline a frame 16 rows taller takes the same band.
        const double taller = session.scanFrame(FrameGeometry{12, 10, 15, 40});
        if (method.startsWith(QLatin1String("lane")))
            QVERIFY2(std::abs(taller - tightScan) < 0.01 * std::abs(tightScan),
                     qPrintable(QStringLiteral("%1 against %2").arg(taller).arg(tightScan)));
        session.pickCell(3, 3);
        session.scanFrame(FrameGeometry{0, 0, 8, 8}); // in no lane: its own rows
    }
    if (quantify >= 0) {
        for (const FoundFrame& f : {FoundFrame{12, 24, 15, 12}, FoundFrame{12, 74, 15, 12},
                                    FoundFrame{42, 44, 15, 10}, FoundFrame{42, 58, 15, 10}})
            session.proposals().add(f);
        session.setQuantifyMode(QuantifyMode(quantify));
        std::vector<FoundBandScan> scans = session.quantifyProposals();
        QCOMPARE(scans.size(), std::size_t(4));
        if (laneTotal) {
            const std::vector<FoundBandScan> totals = laneTotalScans(scans);
            scans.insert(scans.end(), totals.begin(), totals.end());
        }
        const int control = laneTotal ? LaneTotalBand : 2;
        const std::vector<int> missing = writeLaneRows(session.sheet(), scans, 2, 1, control, 5);
        QVERIFY(missing.empty());
        for (const FoundBandScan& s : scans) {
            const int column = s.band == 1 ? 2 : s.band == control ? 3 : 0;
            if (column != 0)
                session.recordScan(CellAddress{5 + s.lane - 1, column}, s.frame, s.scan, s.source);
        }
        runWorkingSheetPass(session.sheet());
        if (quantify != int(QuantifyMode::Frame)) {
            // Lane 1's bands stand apart: each volume is its band's whole signal,
            // 150 * sigma * sqrt(2 pi) per column of the 20-column lane.
            const double truth = 150 * 4 * std::sqrt(2 * M_PI) * 20 * (deep ? 257 : 1);
            QVERIFY2(
                std::abs(scans[0].scan.value - truth) < 0.03 * truth,
                qPrintable(QStringLiteral("%1 against %2").arg(scans[0].scan.value).arg(truth)));
        }
    }

    // The record's plan replays the sheet on a fresh session of the picture.
    const QString plan = measurementPlanText(session.record());
    MeasurementSession replay(picture);
    runMeasurementPlan(replay, parseMeasurementPlan(plan, QStringLiteral("record"), 65535));
    for (int r = 1; r <= 6; ++r) {
        for (int c = 2; c <= 4; ++c)
            QCOMPARE(replay.sheet().text(r, c), session.sheet().text(r, c));
    }
}

namespace {

QString boundsText(const std::vector<BandBounds>& bounds)
{
    QStringList parts;
    for (const BandBounds& b : bounds)
        parts << QStringLiteral("%1-%2").arg(b.from).arg(b.to);
    return parts.join(QLatin1Char(' '));
}

} // namespace

// Bands at 10-20, 21-30 (touching: one drop line) and 35-40 in a lane from 0 to 50.
void TestMeasurementSession::draggedBoundaries_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<bool>("end");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a drop line moves for both") << 0 << true << 25 << "10-25 26-30 35-40";
    QTest::newRow("not over the next band") << 0 << true << 40 << "10-29 30-30 35-40";
    QTest::newRow("into a gap") << 2 << false << 33 << "10-20 21-30 33-40";
    QTest::newRow("onto the neighbour") << 2 << false << 28 << "10-20 21-27 28-40";
    QTest::newRow("not before the lane") << 0 << false << -5 << "0-20 21-30 35-40";
    QTest::newRow("not past the lane") << 2 << true << 99 << "10-20 21-30 35-50";
    QTest::newRow("not over the band before") << 1 << false << 5 << "10-10 11-30 35-40";
    QTest::newRow("not past its own end") << 1 << false << 45 << "10-29 30-30 35-40";
}

void TestMeasurementSession::draggedBoundaries()
{
    QFETCH(int, band);
    QFETCH(bool, end);
    QFETCH(int, position);
    QFETCH(QString, expected);
    const std::vector<BandBounds> bounds{{10, 20}, {21, 30}, {35, 40}};
    QCOMPARE(boundsText(withBoundaryMoved(bounds, band, end, position, 0, 50)), expected);
}

namespace {

// Three straight lanes, rows 0 to 199, centred 40 columns apart; lane 1 a ladder with bands
// centred on ladderRows, lane 3 (when given rows) another, and lane 2 one sample band.
void ladderSession(MeasurementSession& session, const std::vector<int>& ladderRows,
                   const std::vector<int>& secondRows, int sampleRow)
{
    std::vector<LaneStrip> lanes;
    for (int left : {10, 50, 90})
        lanes.push_back(
            LaneStrip::straight(FoundFrame{left, 0, 20, 199}, LaneOrientation::Vertical));
    session.setLanes(lanes, true);
    // Frames 10 rows high: their middles on the rows.
    for (int row : ladderRows)
        session.proposals().add(FoundFrame{12, row - 5, 16, 10});
    for (int row : secondRows)
        session.proposals().add(FoundFrame{92, row - 5, 16, 10});
    session.proposals().add(FoundFrame{52, sampleRow - 5, 16, 10});
    session.proposalsEdited();
}

const Ladder FiveSizes{QStringLiteral("five"), SizeUnit::BasePairs, {5000, 3000, 2000, 1000, 500}};

} // namespace

void TestMeasurementSession::ladderSizes_data()
{
    QTest::addColumn<std::vector<int>>("ladderRows");
    QTest::addColumn<std::vector<int>>("secondRows"); // none: one ladder lane
    QTest::addColumn<bool>("extrapolate");
    QTest::addColumn<int>("sampleRow");
    QTest::addColumn<double>("size");       // -1: none
    QTest::addColumn<bool>("extrapolated"); // beyond the ladder, whether sized or not
    QTest::addColumn<int>("notes");

    const std::vector<int> rows{20, 60, 100, 140, 180};
    QTest::newRow("level with a ladder band")
        << rows << std::vector<int>{} << false << 60 << 3000.0 << false << 0;
    QTest::newRow("beyond the ladder")
        << rows << std::vector<int>{} << false << 192 << -1.0 << true << 0;
    // The last segment carried on in log(size): 12 rows past 500 of 40 rows per halving.
    QTest::newRow("beyond, extrapolated") << rows << std::vector<int>{} << true << 192
                                          << 500 * std::pow(2.0, -12.0 / 40) << true << 0;
    // The second ladder ran 10 rows further: the lane halfway reads a ladder 5 rows lower.
    QTest::newRow("two ladders, read at the lane's place")
        << rows << std::vector<int>{30, 70, 110, 150, 190} << false << 65 << 3000.0 << false << 0;
    QTest::newRow("a ladder band missing")
        << std::vector<int>{20, 60, 100, 140} << std::vector<int>{} << false << 60 << 3000.0
        << false << 1;
}

void TestMeasurementSession::ladderSizes()
{
    QFETCH(std::vector<int>, ladderRows);
    QFETCH(std::vector<int>, secondRows);
    QFETCH(bool, extrapolate);
    QFETCH(int, sampleRow);
    QFETCH(double, size);
    QFETCH(bool, extrapolated);
    QFETCH(int, notes);
    MeasurementSession session(QImage(120, 200, QImage::Format_RGB32));
    ladderSession(session, ladderRows, secondRows, sampleRow);
    QVERIFY(!session.foundBandSizes().any());
    QVERIFY(session.setLaneLadder(0, FiveSizes));
    if (!secondRows.empty())
        QVERIFY(session.setLaneLadder(2, FiveSizes));
    QVERIFY(!session.setLaneLadder(3, FiveSizes));
    session.setExtrapolateSizes(extrapolate);

    const FoundBandSizes sizes = session.foundBandSizes();
    QVERIFY(sizes.any());
    QCOMPARE(sizes.calibrations.size(), std::size_t(3));
    QCOMPARE(int(sizes.notes.size()), notes);
    int sample = -1;
    for (int i = 0; i < session.proposals().count(); ++i)
        if (session.proposals().items()[std::size_t(i)].frame.left == 52)
            sample = i;
    QCOMPARE(sizes.lanes[std::size_t(sample)], 1);
    const BandSize& band = sizes.bands[std::size_t(sample)];
    QVERIFY(band.rf);
    QCOMPARE(*band.rf, sampleRow / 199.0);
    QVERIFY(!band.ladder);
    QCOMPARE(band.size.has_value(), size > 0);
    if (band.size)
        QVERIFY2(std::abs(*band.size - size) < 1e-6 * size,
                 qPrintable(QStringLiteral("%1, not %2").arg(*band.size).arg(size)));
    QCOMPARE(band.extrapolated, extrapolated);
    // The ladder's own bands carry its sizes top to bottom.
    for (std::size_t i = 0; i < ladderRows.size(); ++i) {
        const BandProposal* ladderBand = session.proposals().find(1, int(i) + 1);
        QVERIFY(ladderBand);
        const std::size_t index = std::size_t(session.proposals().indexOfId(ladderBand->id));
        QVERIFY(sizes.bands[index].ladder);
        QCOMPARE(sizes.bands[index].size.value_or(-1), FiveSizes.sizes[i]);
    }
}

void TestMeasurementSession::ladderMarksUndoAndClear()
{
    MeasurementSession session(QImage(120, 200, QImage::Format_RGB32));
    ladderSession(session, {20, 60, 100, 140, 180}, {}, 60);
    SessionUndo undo(session);
    session.setLaneLadder(0, FiveSizes);
    undo.commit(QStringLiteral("Mark as Ladder"));
    QCOMPARE(undo.stack().count(), 1);
    session.setSizeFit(SizeFit::Quadratic);
    undo.commit(QStringLiteral("Fit"));
    session.setLaneLadder(0, std::nullopt);
    undo.commit(QStringLiteral("Not a Ladder"));
    QCOMPARE(undo.stack().count(), 3);
    QVERIFY(session.ladderLanes().empty());
    undo.stack().undo();
    QCOMPARE(session.ladderLanes().size(), std::size_t(1));
    QCOMPARE(session.ladderLanes()[0].ladder, FiveSizes);
    QCOMPARE(session.sizeFit(), SizeFit::Quadratic);
    undo.stack().undo();
    QCOMPARE(session.sizeFit(), SizeFit::PointToPoint);
    // Marks belong to the lanes and the picture.
    session.setLanes({LaneStrip::straight(FoundFrame{10, 0, 20, 199}, LaneOrientation::Vertical)},
                     true);
    QVERIFY(session.ladderLanes().empty());
    session.setLaneLadder(0, FiveSizes);
    session.setPicture(QImage(120, 200, QImage::Format_RGB32), QString());
    QVERIFY(session.ladderLanes().empty());
}

namespace {

int sampleIndex(const MeasurementSession& session)
{
    for (int i = 0; i < session.proposals().count(); ++i)
        if (session.proposals().items()[std::size_t(i)].frame.left == 52)
            return i;
    return -1;
}

} // namespace

// A ladder lane with an extra band (a smear at row 40) between its 5000 and its 3000: handed
// out top to bottom, the sizes below it are one off until the person moves them.
void TestMeasurementSession::ladderBandReassigned_data()
{
    QTest::addColumn<int>("lane");
    QTest::addColumn<QString>("moves"); // BAND:SIZE (from 0; -1 skips), the last may fail
    QTest::addColumn<bool>("lastOk");
    QTest::addColumn<double>("size");      // the sample's, level with the ladder's 3000
    QTest::addColumn<QString>("mismatch"); // in the notes, "" for none

    QTest::newRow("as handed out")
        << 0 << "" << true << 2000.0 << "6 bands for 5 sizes: 1 band without a size";
    QTest::newRow("the smear skipped, the rest moved up")
        << 0 << "1:-1 2:1 3:2 4:3 5:4" << true << 3000.0
        << "6 bands for 5 sizes: 1 band without a size";
    QTest::newRow("a size taken from another band")
        << 0 << "5:4" << true << 2000.0 << "6 bands for 5 sizes: 1 band without a size";
    QTest::newRow("no such band") << 0 << "6:1" << false << 2000.0
                                  << "6 bands for 5 sizes: 1 band without a size";
    QTest::newRow("no such size") << 0 << "1:5" << false << 2000.0
                                  << "6 bands for 5 sizes: 1 band without a size";
    QTest::newRow("not a ladder lane")
        << 1 << "0:1" << false << 2000.0 << "6 bands for 5 sizes: 1 band without a size";
}

void TestMeasurementSession::ladderBandReassigned()
{
    QFETCH(int, lane);
    QFETCH(QString, moves);
    QFETCH(bool, lastOk);
    QFETCH(double, size);
    QFETCH(QString, mismatch);
    MeasurementSession session(QImage(120, 200, QImage::Format_RGB32));
    ladderSession(session, {20, 40, 60, 100, 140, 180}, {}, 60);
    QVERIFY(session.setLaneLadder(0, FiveSizes));
    SessionUndo undo(session);
    const QStringList steps = moves.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < steps.size(); ++i) {
        const QStringList move = steps[i].split(QLatin1Char(':'));
        QString error;
        const bool ok = session.reassignLadderBand(lane, move[0].toInt(), move[1].toInt(), &error);
        QCOMPARE(ok, i + 1 < steps.size() || lastOk);
        QCOMPARE(error.isEmpty(), ok);
    }
    undo.commit(QStringLiteral("Ladder Band Size"));
    const FoundBandSizes sizes = session.foundBandSizes();
    const BandSize& sample = sizes.bands[std::size_t(sampleIndex(session))];
    QVERIFY(sample.size);
    QVERIFY2(std::abs(*sample.size - size) < 1e-6 * size,
             qPrintable(QStringLiteral("%1, not %2").arg(*sample.size).arg(size)));
    const QString notes = sizes.notes.join(QLatin1Char('\n'));
    QVERIFY2(mismatch.isEmpty() ? !notes.contains(QStringLiteral("sizes"))
                                : notes.contains(mismatch),
             qPrintable(notes));
    // A change is one step, which undo takes back to the sizes handed out.
    QCOMPARE(undo.stack().count(), steps.isEmpty() || (steps.size() == 1 && !lastOk) ? 0 : 1);
    if (undo.stack().count() > 0) {
        undo.stack().undo();
        const FoundBandSizes back = session.foundBandSizes();
        QCOMPARE(back.bands[std::size_t(sampleIndex(session))].size.value_or(-1), 2000.0);
    }
}

void TestMeasurementSession::bandSizesReplay_data()
{
    QTest::addColumn<int>("fit");
    QTest::addColumn<bool>("extrapolate");
    QTest::addColumn<bool>("twoLadders");
    QTest::addColumn<int>("sampleRow");
    QTest::newRow("point-to-point") << int(SizeFit::PointToPoint) << false << false << 80;
    QTest::newRow("linear, two ladders") << int(SizeFit::Linear) << false << true << 80;
    QTest::newRow("cubic, extrapolated") << int(SizeFit::Cubic) << true << false << 192;
    QTest::newRow("beyond the ladder, no size")
        << int(SizeFit::PointToPoint) << false << true << 192;
}

void TestMeasurementSession::bandSizesReplay()
{
    QFETCH(int, fit);
    QFETCH(bool, extrapolate);
    QFETCH(bool, twoLadders);
    QFETCH(int, sampleRow);
    QImage picture(120, 200, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, y % 256, x % 256));
    MeasurementSession session(picture);
    ladderSession(session, {20, 61, 100, 139, 180},
                  twoLadders ? std::vector<int>{27, 70, 108, 150, 189} : std::vector<int>{},
                  sampleRow);
    // The top ladder band stands for none: a ladder band without a size has none replayed.
    QVERIFY(session.setLaneLadder(0, FiveSizes));
    if (twoLadders)
        QVERIFY(session.setLaneLadder(2, FiveSizes));
    session.setSizeFit(SizeFit(fit));
    session.setExtrapolateSizes(extrapolate);
    QVERIFY(session.reassignLadderBand(0, 0, LadderAssignment::Skipped));

    // Every band scanned into its own row with its size, as Scan Found Bands records it.
    const FoundBandSizes sizes = session.foundBandSizes();
    const std::vector<FoundBandScan> scans = session.quantifyProposals();
    const std::vector<BandProposal>& items = session.proposals().items();
    QCOMPARE(scans.size(), items.size());
    std::vector<std::optional<double>> expected;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        int index = -1;
        for (std::size_t k = 0; k < items.size(); ++k)
            if (items[k].lane == scans[i].lane && items[k].band == scans[i].band)
                index = int(k);
        QVERIFY(index >= 0);
        const CellAddress cell{int(i) + 1, 2};
        session.sheet().setText(cell.row, cell.column, doubleText(scans[i].scan.value));
        session.recordScan(cell, scans[i].frame, scans[i].scan, scans[i].source,
                           session.bandSizeSource(sizes, index));
        expected.push_back(sizes.bands[std::size_t(index)].size);
    }
    const BandSize sample = sizes.bands[std::size_t(sampleIndex(session))];
    QCOMPARE(sample.extrapolated, sampleRow > 180);
    QCOMPARE(sample.size.has_value(), sampleRow <= 180 || extrapolate);

    // Replayed without the lanes or the ladder: the plan alone gives every band its size.
    const QString plan = measurementPlanText(session.record());
    QCOMPARE(plan.count(QStringLiteral("ladder-lane ")), twoLadders ? 2 : 1);
    MeasurementSession replay(picture);
    // A band-size line with no value after it is left waiting by no one.
    runMeasurementPlan(replay, parseMeasurementPlan(plan + QStringLiteral("band-size 60 0.5\n"),
                                                    QStringLiteral("record")));
    const std::vector<MeasurementEntry> before = session.record().history();
    std::vector<MeasurementEntry> after = replay.record().history();
    QCOMPARE(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        QCOMPARE(after[i].text, before[i].text);
        QVERIFY2(after[i].size == before[i].size, qPrintable(plan));
        QCOMPARE(bandSizeOf(after[i].size).size, expected[i]);
        QCOMPARE(measurementTip(after[i]).contains(QStringLiteral("\nSize: ")),
                 after[i].size.any());
    }
    replay.pickCell(30, 2);
    replay.scanFrame(FrameGeometry{52, 40, 16, 10});
    QVERIFY(!replay.record().history().back().size.any());
}

void TestMeasurementSession::pictureHashTakenAsideAndWaitedFor()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gel.png"));
    QVERIFY(deepPicture(300, 4000).save(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The digest as another implementation gives it (sha256sum's).
    const QByteArray expected =
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();

    // Every worker thread busy: a hash taken on the opening thread would be ready at once.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    QSemaphore release;
    pool->start([&release] { release.acquire(); });

    MeasurementSession session;
    session.setPicture(deepPicture(300, 4000), path);
    QVERIFY(!session.pictureHashPending()); // nothing is hashed before it is asked for
    session.startPictureHash();
    QVERIFY(session.pictureHashPending());
    QCOMPARE(session.inverted(), false);
    session.invertPicture(); // the picture changes while its file is read: same identity
    release.release();
    QCOMPARE(session.pictureIdentity().sha256, expected);
    QVERIFY(!session.pictureHashPending());
    // A scan's record entry names the file by the same digest.
    session.calculate();
    QCOMPARE(session.record().entries().back().picture.sha256, expected);

    // A pasted picture: the pixels as they were opened, inverted or not.
    session.setPicture(deepPicture(300, 4000), QString());
    const QByteArray pixels = session.pixelHash();
    session.startPictureHash();
    session.invertPicture();
    QCOMPARE(session.pictureIdentity().sha256, pixels);
    QCOMPARE(session.pixelHash(), pixels);
    pool->waitForDone();
    pool->setMaxThreadCount(threads);
}

void TestMeasurementSession::abandonedHashesEndWithTheSession()
{
    QTemporaryDir dir;
    QStringList paths;
    QList<QByteArray> digests;
    for (int i = 0; i < 3; ++i) {
        paths << dir.filePath(QStringLiteral("gel%1.png").arg(i));
        QVERIFY(deepPicture(200 + i, 3000).save(paths.back()));
        QFile file(paths.back());
        QVERIFY(file.open(QIODevice::ReadOnly));
        digests << QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    }
    // The only worker busy until the end: every hash waits in the pool's queue, as a hash
    // does behind other work, and a session that left one there would leave it queued.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    QSemaphore release;
    pool->start([&release] { release.acquire(); });

    auto session = std::make_unique<MeasurementSession>();
    std::vector<QFuture<std::optional<PictureIdentity>>> seen;
    for (int i = 0; i < 3; ++i) {
        // Opening the next picture does not wait for the last one's hash.
        session->setPicture(deepPicture(200 + i, 3000), paths[i]);
        session->startPictureHash();
        const auto tasks = session->pictureHashTasks();
        QCOMPARE(int(tasks.size()), i == 2 ? 2 : i + 1);
        seen.push_back(tasks.back());
        if (i == 1) // the hash asked for is this picture's, not the one before it
            QCOMPARE(session->pictureIdentity().sha256, digests[1]);
    }
    QVERIFY(seen[0].isCanceled()); // not begun when its picture went: never begun
    QVERIFY(!seen[0].isFinished());
    session.reset();
    for (const auto& hash : seen)
        QVERIFY(hash.isFinished());
    release.release();
    pool->waitForDone();
    pool->setMaxThreadCount(threads);
}

QTEST_GUILESS_MAIN(TestMeasurementSession)
#include "tst_measurementsession.moc"
