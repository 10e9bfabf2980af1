#include "core/lanefinder.h"

#include "core/gelimage.h"
#include "support/gelpictures.h"
#include "support/syntheticgel.h"

#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QTransform>

#include <QTest>
#include <algorithm>
#include <cmath>

using namespace kesto;
using kesto::test::SyntheticGel;
using kesto::test::SyntheticGelLayout;

Q_DECLARE_METATYPE(SyntheticGelLayout::Depth)
Q_DECLARE_METATYPE(kesto::LaneOrientation)
Q_DECLARE_METATYPE(kesto::BandContrast)
Q_DECLARE_METATYPE(kesto::Channel)

namespace {

QRect rectOf(const FoundFrame& f)
{
    return QRect(f.left, f.top, f.width + 1, f.height + 1);
}

double iou(const QRect& a, const QRect& b)
{
    const QRect both = a.intersected(b);
    if (both.isEmpty())
        return 0;
    const double common = double(both.width()) * both.height();
    return common / (double(a.width()) * a.height() + double(b.width()) * b.height() - common);
}

struct Score
{
    int trueBands = 0;
    int matched = 0;
    int found = 0;
    int falseFound = 0;
    int trueLanes = 0;
    int lanesFound = 0;
};

// A true band is found when a found frame covers it with an intersection over union of at
// least 0.5; a found frame that covers no true band so is a false one, unless it lies on a
// band the picture's edge cuts. A lane is found when exactly one found lane overlaps it by
// half.
void score(const SyntheticGel& gel, const LaneFinding& finding, bool horizontal, Score& s)
{
    QList<QRect> found;
    for (const FoundLane& lane : finding.lanes)
        for (const FoundFrame& band : lane.bands)
            found << rectOf(band);
    QList<QRect> truth;
    for (const QList<QRect>& bands : gel.bands)
        truth << bands;
    for (const QRect& t : truth) {
        ++s.trueBands;
        for (const QRect& f : found) {
            if (iou(t, f) >= 0.5) {
                ++s.matched;
                break;
            }
        }
    }
    for (const QRect& f : found) {
        // A frame on a band the picture's edge cuts is neither right nor wrong.
        if (std::any_of(gel.cut.begin(), gel.cut.end(),
                        [&](const QRect& c) { return f.intersects(c); }))
            continue;
        ++s.found;
        bool any = false;
        for (const QRect& t : truth)
            any = any || iou(t, f) >= 0.5;
        s.falseFound += any ? 0 : 1;
    }
    for (const QRect& lane : gel.lanes) {
        ++s.trueLanes;
        int overlapping = 0;
        for (const FoundLane& f : finding.lanes) {
            const QRect r = rectOf(f.frame);
            const int a0 = horizontal ? r.top() : r.left();
            const int a1 = horizontal ? r.bottom() : r.right();
            const int b0 = horizontal ? lane.top() : lane.left();
            const int b1 = horizontal ? lane.bottom() : lane.right();
            const int common = std::min(a1, b1) - std::max(a0, b0) + 1;
            const int either = std::max(a1, b1) - std::min(a0, b0) + 1;
            overlapping += common * 2 >= either ? 1 : 0;
        }
        s.lanesFound += overlapping == 1 ? 1 : 0;
    }
}

} // namespace

class TestLaneFinder : public QObject
{
    Q_OBJECT
private slots:
    void findsTheGeneratedGels_data();
    void findsTheGeneratedGels();
    void findsTheSampleGels_data();
    void findsTheSampleGels();
    void findsTheLanesOfANarrowRegion_data();
    void findsTheLanesOfANarrowRegion();
    void framesOfFlatBandsAreExact_data();
    void framesOfFlatBandsAreExact();
    void nothingStandsOut_data();
    void nothingStandsOut();
    void contrast_data();
    void contrast();
    void sixteenBitsFindWhatEightBitsFind();
    void channelValues_data();
    void channelValues();
    void findsTurnedAndSmilingGels_data();
    void findsTurnedAndSmilingGels();
    void sensitivityFiltersWithoutSearching_data();
    void sensitivityFiltersWithoutSearching();
    void findsFaintLanesAmongStrongOnes_data();
    void findsFaintLanesAmongStrongOnes();
    void findsTheFaintestStepsOfAPackedDilution_data();
    void findsTheFaintestStepsOfAPackedDilution();
    void minimumScores_data();
    void minimumScores();
    void lanePathsAndTotals_data();
    void lanePathsAndTotals();
    void rowOfWellsIsNoBand_data();
    void rowOfWellsIsNoBand();
    void faintThickBlotIsNoBand_data();
    void faintThickBlotIsNoBand();
    void everyReadingFindsTheSame_data();
    void everyReadingFindsTheSame();
};

void TestLaneFinder::findsTheGeneratedGels_data()
{
    QTest::addColumn<SyntheticGelLayout::Depth>("depth");
    QTest::addColumn<bool>("darkOnLight");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<double>("noise");
    using D = SyntheticGelLayout::Depth;
    QTest::newRow("8-bit dark on light") << D::Rgb8 << true << false << 0.012;
    QTest::newRow("8-bit light on dark") << D::Rgb8 << false << false << 0.012;
    QTest::newRow("8-bit, noisy") << D::Rgb8 << true << false << 0.03;
    QTest::newRow("16-bit grey dark on light") << D::Gray16 << true << false << 0.012;
    QTest::newRow("16-bit RGB light on dark") << D::Rgb16 << false << false << 0.012;
    QTest::newRow("8-bit dark on light, horizontal") << D::Rgb8 << true << true << 0.012;
    QTest::newRow("16-bit grey light on dark, horizontal") << D::Gray16 << false << true << 0.02;
}

void TestLaneFinder::findsTheGeneratedGels()
{
    QFETCH(SyntheticGelLayout::Depth, depth);
    QFETCH(bool, darkOnLight);
    QFETCH(bool, horizontal);
    QFETCH(double, noise);
    Score s;
    for (quint32 seed = 1; seed <= 4; ++seed) {
        SyntheticGelLayout layout;
        layout.depth = depth;
        layout.darkOnLight = darkOnLight;
        layout.seed = seed;
        layout.noise = noise;
        layout.unevenness = 5 * noise;
        SyntheticGel gel = test::makeSyntheticGel(layout);
        if (horizontal)
            gel = test::transposed(gel);
        LaneFinderOptions options;
        options.orientation = horizontal ? LaneOrientation::Horizontal : LaneOrientation::Vertical;
        const LaneFinding finding = findLanesAndBands(gel.picture, QRect(), options);
        QCOMPARE(finding.darkOnLight, darkOnLight);
        score(gel, finding, horizontal, s);
    }
    const double recall = double(s.matched) / s.trueBands;
    const double falseShare = s.found ? double(s.falseFound) / s.found : 0;
    qInfo("bands found %d of %d (recall %.1f %%), false frames %d of %d (%.1f %%), lanes %d of %d",
          s.matched, s.trueBands, 100 * recall, s.falseFound, s.found, 100 * falseShare,
          s.lanesFound, s.trueLanes);
    QVERIFY(recall >= 0.98);
    QVERIFY(falseShare <= 0.02);
    QCOMPARE(s.lanesFound, s.trueLanes);
}

void TestLaneFinder::findsTheSampleGels_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("lanes.png") << QStringLiteral("lanes");
    QTest::newRow("lanes16.png") << QStringLiteral("lanes16");
}

// The committed samples, read as the program reads them, against the truth written beside
// them.
void TestLaneFinder::findsTheSampleGels()
{
    QFETCH(QString, name);
    const QString base =
        qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/") + name;
    GelImageLoad load = loadGelImage(base + QStringLiteral(".png"));
    QVERIFY2(load.ok(), qPrintable(load.reason));
    SyntheticGel gel;
    gel.picture = load.image;
    QFile truth(base + QStringLiteral(".truth.tsv"));
    QVERIFY(truth.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(truth.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(1)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        QCOMPARE(f.size(), 6);
        const int lane = f.at(0).toInt();
        while (gel.bands.size() < lane)
            gel.bands << QList<QRect>();
        gel.bands[lane - 1] << QRect(f.at(2).toInt(), f.at(3).toInt(), f.at(4).toInt() + 1,
                                     f.at(5).toInt() + 1);
    }
    for (const QList<QRect>& bands : gel.bands) {
        QRect lane;
        for (const QRect& band : bands)
            lane = lane.united(band);
        gel.lanes << lane;
    }
    const LaneFinding finding = findLanesAndBands(gel.picture, QRect(), LaneFinderOptions());
    Score s;
    score(gel, finding, false, s);
    qInfo("%s: bands found %d of %d, false frames %d of %d, lanes %d of %d, picture format %d",
          qPrintable(name), s.matched, s.trueBands, s.falseFound, s.found, s.lanesFound,
          s.trueLanes, int(gel.picture.format()));
    QVERIFY(s.matched >= 0.95 * s.trueBands);
    QVERIFY(s.falseFound <= 0.05 * s.found);
    QCOMPARE(s.lanesFound, s.trueLanes);
}

void TestLaneFinder::findsTheLanesOfANarrowRegion_data()
{
    QTest::addColumn<SyntheticGelLayout::Depth>("depth");
    QTest::addColumn<bool>("darkOnLight");
    QTest::addColumn<int>("firstLane"); // from 0
    QTest::addColumn<int>("lanes");
    using D = SyntheticGelLayout::Depth;
    QTest::newRow("8-bit, lanes 3 and 4") << D::Rgb8 << true << 2 << 2;
    QTest::newRow("8-bit, lane 5 alone") << D::Rgb8 << true << 4 << 1;
    QTest::newRow("16-bit light on dark, lanes 6 and 7") << D::Gray16 << false << 5 << 2;
}

// A region drawn a few pixels around one or two lanes, as a person sizes the scan frame.
void TestLaneFinder::findsTheLanesOfANarrowRegion()
{
    QFETCH(SyntheticGelLayout::Depth, depth);
    QFETCH(bool, darkOnLight);
    QFETCH(int, firstLane);
    QFETCH(int, lanes);
    SyntheticGelLayout layout;
    layout.depth = depth;
    layout.darkOnLight = darkOnLight;
    const SyntheticGel gel = test::makeSyntheticGel(layout);
    SyntheticGel inside;
    inside.picture = gel.picture;
    inside.lanes = gel.lanes.mid(firstLane, lanes);
    inside.bands = gel.bands.mid(firstLane, lanes);
    QRect region;
    for (const QRect& lane : inside.lanes)
        region = region.united(lane);
    region = QRect(region.left() - 5, 0, region.width() + 10, gel.picture.height());
    Score s;
    score(inside, findLanesAndBands(gel.picture, region, LaneFinderOptions()), false, s);
    QVERIFY2(s.matched >= 0.95 * s.trueBands,
             qPrintable(QStringLiteral("%1 of %2 bands found").arg(s.matched).arg(s.trueBands)));
    QVERIFY(s.falseFound <= 0.05 * s.found);
    QCOMPARE(s.lanesFound, s.trueLanes);
}

void TestLaneFinder::framesOfFlatBandsAreExact_data()
{
    QTest::addColumn<QRect>("region");
    QTest::addColumn<int>("lanes");
    QTest::addColumn<int>("firstLeft");
    QTest::addColumn<bool>("sample");    // samples/gel.bmp, else a drawn picture
    QTest::addColumn<int>("background"); // picked level, or -1 for none
    // The sample gel's layout: lanes 40 wide every 50 columns from column 20, bands at
    // rows 50-65 and 130-145.
    QTest::newRow("whole picture") << QRect() << 6 << 20 << false << -1;
    QTest::newRow("region around lanes 2 to 4")
        << QRect(65, 10, 150, 180) << 3 << 70 << false << -1;
    QTest::newRow("gel.bmp, whole picture") << QRect() << 6 << 20 << true << -1;
    // A region little wider than its lanes: each lane is flat across most of it.
    QTest::newRow("gel.bmp, region around lanes 2 and 3")
        << QRect(65, 0, 101, 200) << 2 << 70 << true << -1;
    QTest::newRow("gel.bmp, region around lanes 2 and 3, background picked")
        << QRect(65, 0, 101, 200) << 2 << 70 << true << 230;
    QTest::newRow("gel.bmp, region around lane 2 alone")
        << QRect(65, 0, 50, 200) << 1 << 70 << true << -1;
    QTest::newRow("drawn, region around lanes 2 and 3")
        << QRect(65, 0, 101, 200) << 2 << 70 << false << -1;
}

void TestLaneFinder::framesOfFlatBandsAreExact()
{
    QFETCH(QRect, region);
    QFETCH(int, lanes);
    QFETCH(int, firstLeft);
    QFETCH(bool, sample);
    QFETCH(int, background);
    QImage picture;
    if (sample) {
        const GelImageLoad load = loadGelImage(qEnvironmentVariable("KESTO_SOURCE_DIR") +
                                               QStringLiteral("/samples/gel.bmp"));
        QVERIFY2(load.ok(), qPrintable(load.reason));
        picture = load.image;
    } else {
        QList<QRect> bands;
        for (int lane = 0; lane < 6; ++lane) {
            bands << QRect(20 + 50 * lane, 50, 40, 16) << QRect(20 + 50 * lane, 130, 40, 16);
        }
        picture = test::gelPicture(320, 200, 230, 90, bands);
    }
    LaneFinderOptions options;
    if (background >= 0)
        options.background = background;
    const LaneFinding finding = findLanesAndBands(picture, region, options);
    QCOMPARE(int(finding.lanes.size()), lanes);
    for (int i = 0; i < lanes; ++i) {
        const FoundLane& lane = finding.lanes[std::size_t(i)];
        const int left = firstLeft + 50 * i;
        QCOMPARE(int(lane.bands.size()), 2);
        QCOMPARE(lane.bands[0], (FoundFrame{left, 50, 39, 15}));
        QCOMPARE(lane.bands[1], (FoundFrame{left, 130, 39, 15}));
        QCOMPARE(lane.frame.left, left);
        QCOMPARE(lane.frame.width, 39);
    }
}

void TestLaneFinder::nothingStandsOut_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QRect>("region");
    QImage grey16(200, 150, QImage::Format_Grayscale16);
    grey16.fill(Qt::gray);
    QTest::newRow("one colour") << test::solidPicture(200, 150, qRgb(200, 200, 200)) << QRect();
    QTest::newRow("16-bit, one level") << grey16 << QRect();
    QTest::newRow("null picture") << QImage() << QRect();
    QTest::newRow("region off the picture")
        << test::gelPicture(100, 100, 230, 60, {QRect(20, 20, 20, 10)}) << QRect(200, 200, 50, 50);
    QTest::newRow("region two pixels wide")
        << test::gelPicture(100, 100, 230, 60, {QRect(20, 20, 20, 10)}) << QRect(25, 0, 2, 100);
}

void TestLaneFinder::nothingStandsOut()
{
    QFETCH(QImage, picture);
    QFETCH(QRect, region);
    QVERIFY(findLanesAndBands(picture, region, LaneFinderOptions()).lanes.empty());
}

void TestLaneFinder::contrast_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<BandContrast>("contrast");
    QTest::addColumn<int>("background");
    QTest::addColumn<bool>("darkOnLight");
    QTest::addColumn<int>("bands");
    const QList<QRect> bands{QRect(20, 30, 30, 12), QRect(20, 80, 30, 12), QRect(70, 50, 30, 12)};
    const QImage light = test::gelPicture(120, 120, 230, 60, bands);
    const QImage dark = test::gelPicture(120, 120, 20, 180, bands);
    QTest::newRow("dark bands detected") << light << BandContrast::Detect << -1 << true << 3;
    QTest::newRow("light bands detected") << dark << BandContrast::Detect << -1 << false << 3;
    QTest::newRow("picked light background") << light << BandContrast::Detect << 230 << true << 3;
    QTest::newRow("picked dark background") << dark << BandContrast::Detect << 20 << false << 3;
    // Told the wrong way round, the finder looks for bands in the empty background's
    // dips, and finds no lanes there.
    // Flat bands longer than a twentieth of the lane, each found once and not as its ends.
    const QImage tall =
        test::gelPicture(120, 200, 230, 60, {QRect(20, 30, 30, 40), QRect(70, 100, 30, 40)});
    QTest::newRow("flat bands 40 rows tall") << tall << BandContrast::Detect << -1 << true << 2;
    QTest::newRow("forced the wrong way") << light << BandContrast::LightOnDark << -1 << false << 0;
}

void TestLaneFinder::contrast()
{
    QFETCH(QImage, picture);
    QFETCH(BandContrast, contrast);
    QFETCH(int, background);
    QFETCH(bool, darkOnLight);
    QFETCH(int, bands);
    LaneFinderOptions options;
    options.contrast = contrast;
    if (background >= 0)
        options.background = background;
    const LaneFinding finding = findLanesAndBands(picture, QRect(), options);
    QCOMPARE(finding.darkOnLight, darkOnLight);
    int count = 0;
    for (const FoundLane& lane : finding.lanes)
        count += int(lane.bands.size());
    QCOMPARE(count, bands);
}

void TestLaneFinder::sixteenBitsFindWhatEightBitsFind()
{
    SyntheticGelLayout layout;
    const SyntheticGel gel = test::makeSyntheticGel(layout);
    // The same gel at 16 bits, every level 257 times its 8-bit value.
    QImage deep(gel.picture.size(), QImage::Format_Grayscale16);
    for (int y = 0; y < deep.height(); ++y) {
        auto* line = reinterpret_cast<quint16*>(deep.scanLine(y));
        for (int x = 0; x < deep.width(); ++x)
            line[x] = quint16(qRed(gel.picture.pixel(x, y)) * 257);
    }
    const LaneFinding eight = findLanesAndBands(gel.picture, QRect(), LaneFinderOptions());
    const LaneFinding sixteen = findLanesAndBands(deep, QRect(), LaneFinderOptions());
    QCOMPARE(sixteen.lanes.size(), eight.lanes.size());
    for (std::size_t i = 0; i < eight.lanes.size(); ++i) {
        QCOMPARE(sixteen.lanes[i].frame, eight.lanes[i].frame);
        QCOMPARE(sixteen.lanes[i].bands, eight.lanes[i].bands);
    }
}

void TestLaneFinder::channelValues_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("blue");
    QTest::addColumn<int>("maximum");
    QImage rgb32(2, 2, QImage::Format_RGB32);
    rgb32.fill(qRgb(10, 20, 30));
    QImage gray16(2, 2, QImage::Format_Grayscale16);
    gray16.fill(0);
    reinterpret_cast<quint16*>(gray16.scanLine(1))[1] = 40000;
    QImage rgb64(2, 2, QImage::Format_RGBX64);
    reinterpret_cast<QRgba64*>(rgb64.scanLine(1))[1] = QRgba64::fromRgba64(1000, 2000, 3000, 65535);
    QImage rgb888 = rgb32.convertToFormat(QImage::Format_RGB888);
    QTest::newRow("RGB32") << rgb32 << 10 << 30 << 255;
    QTest::newRow("Grayscale16") << gray16 << 40000 << 40000 << 65535;
    QTest::newRow("RGBX64") << rgb64 << 1000 << 3000 << 65535;
    QTest::newRow("RGB888 read through a conversion") << rgb888 << 10 << 30 << 255;
}

void TestLaneFinder::channelValues()
{
    QFETCH(QImage, picture);
    QFETCH(int, red);
    QFETCH(int, blue);
    QFETCH(int, maximum);
    QCOMPARE(channelValueAt(picture, 1, 1, Channel::Red), red);
    QCOMPARE(channelValueAt(picture, 1, 1, Channel::Blue), blue);
    QCOMPARE(channelValueAt(picture, 2, 1, Channel::Red), -1);
    QCOMPARE(channelValueAt(picture, 1, -1, Channel::Red), -1);
    QCOMPARE(channelMaximum(picture), maximum);
}

void TestLaneFinder::findsTurnedAndSmilingGels_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<double>("smile");
    QTest::addColumn<bool>("darkOnLight");
    QTest::addColumn<double>("recall");     // at least
    QTest::addColumn<double>("falseShare"); // at most
    QTest::newRow("turned 3 degrees") << 3.0 << 0.0 << true << 0.95 << 0.05;
    QTest::newRow("turned -3 degrees, light on dark") << -3.0 << 0.0 << false << 0.95 << 0.05;
    QTest::newRow("10-pixel smile") << 0.0 << 10.0 << true << 0.95 << 0.05;
    QTest::newRow("10-pixel smile, light on dark") << 0.0 << 10.0 << false << 0.95 << 0.05;
}

// A gel photographed askew, or run so its middle lanes ran further: every band is still
// found where it is.
void TestLaneFinder::findsTurnedAndSmilingGels()
{
    QFETCH(double, degrees);
    QFETCH(double, smile);
    QFETCH(bool, darkOnLight);
    QFETCH(double, recall);
    QFETCH(double, falseShare);
    Score s;
    for (quint32 seed = 1; seed <= 4; ++seed) {
        SyntheticGelLayout layout;
        layout.darkOnLight = darkOnLight;
        layout.seed = seed;
        layout.smile = smile;
        SyntheticGel gel = test::makeSyntheticGel(layout);
        if (degrees != 0)
            gel = test::rotated(gel, degrees);
        score(gel, findLanesAndBands(gel.picture, QRect(), LaneFinderOptions()), false, s);
    }
    const double found = double(s.matched) / s.trueBands;
    const double wrong = s.found ? double(s.falseFound) / s.found : 0;
    qInfo("bands found %d of %d (recall %.1f %%), false frames %d of %d (%.1f %%), lanes %d of %d",
          s.matched, s.trueBands, 100 * found, s.falseFound, s.found, 100 * wrong, s.lanesFound,
          s.trueLanes);
    QVERIFY(found >= recall);
    QVERIFY(wrong <= falseShare);
    QCOMPARE(s.lanesFound, s.trueLanes);
}

void TestLaneFinder::sensitivityFiltersWithoutSearching_data()
{
    QTest::addColumn<double>("sensitivity");
    QTest::addColumn<bool>("some"); // whether any band reaches it
    QTest::newRow("0, a score of 192 or more") << 0.0 << false;
    QTest::newRow("30") << 30.0 << true;
    QTest::newRow("default") << LaneFinderOptions::DefaultSensitivity << true;
    QTest::newRow("80") << 80.0 << true;
    QTest::newRow("100") << 100.0 << true;
}

// A finding made at the highest sensitivity, filtered to a lower one, is what the finder
// gives at that one; every band proposed carries a score reaching the sensitivity's.
void TestLaneFinder::sensitivityFiltersWithoutSearching()
{
    QFETCH(double, sensitivity);
    QFETCH(bool, some);
    SyntheticGelLayout layout;
    layout.noise = 0.03;
    layout.unevenness = 0.15;
    const SyntheticGel gel = test::makeSyntheticGel(layout);
    LaneFinderOptions options;
    options.sensitivity = 100;
    const LaneFinding all = findLanesAndBands(gel.picture, QRect(), options);
    options.sensitivity = sensitivity;
    const LaneFinding direct = findLanesAndBands(gel.picture, QRect(), options);
    const LaneFinding filtered = atSensitivity(all, sensitivity);
    QCOMPARE(filtered.lanes.size(), direct.lanes.size());
    int bands = 0;
    for (std::size_t i = 0; i < direct.lanes.size(); ++i) {
        QCOMPARE(filtered.lanes[i].bands, direct.lanes[i].bands);
        QCOMPARE(filtered.lanes[i].scores, direct.lanes[i].scores);
        QCOMPARE(direct.lanes[i].scores.size(), direct.lanes[i].bands.size());
        for (double score : direct.lanes[i].scores)
            QVERIFY(score >= minimumBandScore(sensitivity));
        bands += int(direct.lanes[i].bands.size());
    }
    QCOMPARE(bands > 0, some);
}

// Evenly spaced lanes, most of them full of strong bands, a few with one faint band each:
// the faint lanes' column sums hardly rise above the spaces, and are found from the spacing
// of the others and their band.
void TestLaneFinder::findsFaintLanesAmongStrongOnes_data()
{
    QTest::addColumn<bool>("darkOnLight");
    QTest::addColumn<QList<int>>("faint"); // lanes with one faint band
    QTest::newRow("dark on light, lanes 3 and 7 faint") << true << QList<int>{3, 7};
    QTest::newRow("light on dark, lanes 1, 2 and 9 faint") << false << QList<int>{1, 2, 9};
}

void TestLaneFinder::findsFaintLanesAmongStrongOnes()
{
    QFETCH(bool, darkOnLight);
    QFETCH(QList<int>, faint);
    const int lanes = 12, pitch = 34, width = 24, left = 20;
    QImage gel(2 * left + lanes * pitch, 300, QImage::Format_RGB32);
    QRandomGenerator random(5);
    for (int y = 0; y < gel.height(); ++y) {
        for (int x = 0; x < gel.width(); ++x) {
            const int lane = (x - left) / pitch;
            const bool inLane = x >= left && lane < lanes && (x - left) % pitch < width;
            int above = 0; // how far the pixel stands out of the background
            if (inLane && faint.contains(lane))
                above = y >= 150 && y < 158 ? 40 : 0;
            else if (inLane)
                above = y >= 40 && y < 260 && (y - 40) % 30 < 8 ? 120 : 0;
            const int noise = int(random.bounded(20));
            const int g = darkOnLight ? 215 + noise - above : 20 + noise + above;
            gel.setPixel(x, y, qRgb(g, g, g));
        }
    }
    const LaneFinding finding = findLanesAndBands(gel, QRect(), LaneFinderOptions());
    QCOMPARE(finding.darkOnLight, darkOnLight);
    QCOMPARE(int(finding.lanes.size()), lanes);
    for (int i = 0; i < lanes; ++i) {
        const FoundLane& lane = finding.lanes[std::size_t(i)];
        QCOMPARE(int(lane.bands.size()), faint.contains(i) ? 1 : 8);
        const int centre = lane.frame.left + lane.frame.width / 2;
        QVERIFY2(std::abs(centre - (left + i * pitch + width / 2)) <= 3,
                 qPrintable(QString::number(centre)));
    }
}

// A two-fold dilution series whose lanes cover two thirds of the gel's width: the columns
// between them are too few to be most of the profile, and the faintest steps must still
// stand out of the background found there.
void TestLaneFinder::findsTheFaintestStepsOfAPackedDilution_data()
{
    using D = SyntheticGelLayout::Depth;
    QTest::addColumn<D>("depth");
    QTest::addColumn<bool>("darkOnLight");
    QTest::newRow("8-bit dark on light") << D::Rgb8 << true;
    QTest::newRow("8-bit light on dark") << D::Rgb8 << false;
    QTest::newRow("16-bit grey dark on light") << D::Gray16 << true;
}

void TestLaneFinder::findsTheFaintestStepsOfAPackedDilution()
{
    QFETCH(SyntheticGelLayout::Depth, depth);
    QFETCH(bool, darkOnLight);
    test::DilutionLayout layout;
    layout.amounts = {1, 2, 4, 8, 16, 32, 64, 128};
    // The strongest steps run off the end of the scale; the faintest stands 0.05 of it out.
    layout.heightPerAmount = 0.75 / 16;
    layout.depth = depth;
    layout.darkOnLight = darkOnLight;
    const SyntheticGel gel = test::makeDilutionGel(layout);
    const LaneFinding finding = findLanesAndBands(gel.picture, QRect(), LaneFinderOptions());
    QCOMPARE(finding.darkOnLight, darkOnLight);
    Score s;
    score(gel, finding, false, s);
    qInfo("lanes %d of %d, %d found", s.lanesFound, s.trueLanes, int(finding.lanes.size()));
    QCOMPARE(int(finding.lanes.size()), s.trueLanes);
    QCOMPARE(s.lanesFound, s.trueLanes);
}

void TestLaneFinder::minimumScores_data()
{
    QTest::addColumn<double>("sensitivity");
    QTest::addColumn<double>("score");
    QTest::newRow("default") << 50.0 << 12.0;
    QTest::newRow("12.5 higher halves it") << 62.5 << 6.0;
    QTest::newRow("25 lower quadruples it") << 25.0 << 48.0;
    QTest::newRow("100") << 100.0 << 0.75;
    QTest::newRow("above 100 is 100") << 250.0 << 0.75;
    QTest::newRow("below 0 is 0") << -5.0 << 192.0;
}

void TestLaneFinder::minimumScores()
{
    QFETCH(double, sensitivity);
    QFETCH(double, score);
    QCOMPARE(minimumBandScore(sensitivity), score);
}

void TestLaneFinder::lanePathsAndTotals_data()
{
    QTest::addColumn<bool>("sixteen");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<double>("total"); // per lane
    // Two bands 40 x 16 of level 90 on 230 per lane: 2 x 640 x 140.
    QTest::newRow("8-bit") << false << false << 179200.0;
    QTest::newRow("16-bit") << true << false << 179200.0 * 257;
    QTest::newRow("8-bit, lanes left to right") << false << true << 179200.0;
}

// The lanes of a drawn gel: each lane's path runs down its middle from end to end, and its
// total is its bands' content above the background.
void TestLaneFinder::lanePathsAndTotals()
{
    QFETCH(bool, sixteen);
    QFETCH(bool, horizontal);
    QFETCH(double, total);
    QList<QRect> bands;
    for (int lane = 0; lane < 6; ++lane)
        bands << QRect(20 + 50 * lane, 50, 40, 16) << QRect(20 + 50 * lane, 130, 40, 16);
    QImage picture = test::gelPicture(320, 200, 230, 90, bands);
    if (sixteen) {
        QImage deep(picture.size(), QImage::Format_Grayscale16);
        for (int y = 0; y < deep.height(); ++y)
            for (int x = 0; x < deep.width(); ++x)
                reinterpret_cast<quint16*>(deep.scanLine(y))[x] =
                    quint16(qRed(picture.pixel(x, y)) * 257);
        picture = deep;
    }
    if (horizontal)
        picture = picture.transformed(QTransform(0, 1, 1, 0, 0, 0));
    LaneFinderOptions options;
    options.orientation = horizontal ? LaneOrientation::Horizontal : LaneOrientation::Vertical;
    const LaneFinding finding = findLanesAndBands(picture, QRect(), options);
    QCOMPARE(int(finding.lanes.size()), 6);
    for (int i = 0; i < 6; ++i) {
        const FoundLane& lane = finding.lanes[std::size_t(i)];
        QCOMPARE(int(lane.path.size()), 4); // the lane's ends and its two bands
        for (const QPoint& p : lane.path)
            QCOMPARE(horizontal ? p.y() : p.x(), 20 + 50 * i + 20);
        QCOMPARE(horizontal ? lane.path.front().x() : lane.path.front().y(), 0);
        QCOMPARE(horizontal ? lane.path.back().x() : lane.path.back().y(), 199);
        const LaneTotal t = laneTotal(picture, lane, options, finding.darkOnLight);
        QCOMPARE(int(t.profile.size()), 200);
        QCOMPARE(t.total, total);
    }
}

void TestLaneFinder::rowOfWellsIsNoBand_data()
{
    QTest::addColumn<int>("topLevel");  // grey of the short row across the lanes' start
    QTest::addColumn<int>("lanesWith"); // how many of the six lanes show it
    QTest::addColumn<int>("bands");     // bands expected in each lane showing it
    // Six lanes with bands at rows 90-105 and 160-175 (grey 90 on 230), and a row 8 high
    // at rows 12-19 across the lanes' start.
    QTest::newRow("faint wells in every lane") << 200 << 6 << 2;
    QTest::newRow("faint wells in four lanes") << 205 << 4 << 2;
    // Fainter than the bands, but in too few lanes to be a row.
    QTest::newRow("faint bands in two lanes") << 200 << 2 << 3;
    // As strong as the lanes' bands: a control band in every lane, kept.
    QTest::newRow("strong top band in every lane") << 90 << 6 << 3;
    QTest::newRow("over half as strong in every lane") << 150 << 6 << 3;
}

void TestLaneFinder::rowOfWellsIsNoBand()
{
    QFETCH(int, topLevel);
    QFETCH(int, lanesWith);
    QFETCH(int, bands);
    QList<QRect> rects;
    for (int lane = 0; lane < 6; ++lane)
        rects << QRect(20 + 50 * lane, 90, 40, 16) << QRect(20 + 50 * lane, 160, 40, 16);
    QImage picture = test::gelPicture(320, 240, 230, 90, rects);
    {
        QPainter painter(&picture);
        for (int lane = 0; lane < lanesWith; ++lane)
            painter.fillRect(QRect(20 + 50 * lane, 12, 40, 8),
                             QColor(topLevel, topLevel, topLevel));
    }
    const LaneFinding finding = findLanesAndBands(picture, QRect(), LaneFinderOptions());
    QCOMPARE(int(finding.lanes.size()), 6);
    for (int lane = 0; lane < 6; ++lane) {
        const FoundLane& found = finding.lanes[std::size_t(lane)];
        QCOMPARE(int(found.bands.size()), lane < lanesWith ? bands : 2);
        QCOMPARE(found.bands.back(), (FoundFrame{20 + 50 * lane, 160, 39, 15}));
        if (int(found.bands.size()) == 3)
            QCOMPARE(found.bands.front(), (FoundFrame{20 + 50 * lane, 12, 39, 7}));
    }
}

void TestLaneFinder::faintThickBlotIsNoBand_data()
{
    QTest::addColumn<int>("depth"); // how much darker than the background the hump's middle is
    QTest::addColumn<int>("top");   // its rows
    QTest::addColumn<int>("bottom");
    QTest::addColumn<bool>("band"); // proposed as a band
    // Six lanes with bands 8 rows thick at rows 90-97 and 160-167 (grey 90 on 230, 140
    // deep); lane 3 also holds a soft hump, darkest in its middle.
    QTest::newRow("faint and thick: a blotch") << 25 << 20 << 60 << false;
    QTest::newRow("a third as deep and thick: a blotch") << 50 << 20 << 60 << false;
    QTest::newRow("faint and thin: a faint band") << 25 << 30 << 38 << true;
    QTest::newRow("strong and thick: a loaded band") << 140 << 20 << 60 << true;
}

void TestLaneFinder::faintThickBlotIsNoBand()
{
    QFETCH(int, depth);
    QFETCH(int, top);
    QFETCH(int, bottom);
    QFETCH(bool, band);
    QList<QRect> rects;
    for (int lane = 0; lane < 6; ++lane)
        rects << QRect(20 + 50 * lane, 90, 40, 8) << QRect(20 + 50 * lane, 160, 40, 8);
    QImage picture = test::gelPicture(320, 240, 230, 90, rects);
    {
        QPainter painter(&picture);
        for (int y = top; y <= bottom; ++y) {
            const int grey =
                230 - int(std::lround(depth * std::sin(M_PI * (y - top) / (bottom - top))));
            painter.fillRect(QRect(120, y, 40, 1), QColor(grey, grey, grey));
        }
    }
    const LaneFinding finding = findLanesAndBands(picture, QRect(), LaneFinderOptions());
    QCOMPARE(int(finding.lanes.size()), 6);
    const FoundLane& lane = finding.lanes[2];
    QCOMPARE(int(lane.bands.size()), band ? 3 : 2);
    const FoundFrame& first = lane.bands.front();
    if (band)
        QVERIFY(first.top >= top && first.top + first.height <= bottom);
    else
        QCOMPARE(first, (FoundFrame{120, 90, 39, 7}));
}

// The picture with its rows and columns swapped, pixel for pixel.
QImage swappedAxes(const QImage& picture)
{
    QImage out(picture.height(), picture.width(), picture.format());
    const int bytes = picture.depth() / 8;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            std::copy_n(picture.constScanLine(y) + x * bytes, bytes, out.scanLine(x) + y * bytes);
    return out;
}

// A finding with lanes across the picture, its frames and paths swapped back.
LaneFinding swappedAxes(LaneFinding finding)
{
    auto swap = [](FoundFrame& f) { f = FoundFrame{f.top, f.left, f.height, f.width}; };
    for (FoundLane& lane : finding.lanes) {
        swap(lane.frame);
        for (FoundFrame& band : lane.bands)
            swap(band);
        for (QPoint& p : lane.path)
            p = p.transposed();
    }
    return finding;
}

// Upright lanes of 8-bit pictures are read in place from the picture's scan lines, each
// format and channel its own way, and lanes across the picture through copied blocks of
// rows: the same gel, whichever format and channel it is kept in and whichever way its
// lanes run, gives exactly the same lanes, bands and scores.
void TestLaneFinder::everyReadingFindsTheSame_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<Channel>("channel");
    QTest::addColumn<bool>("darkOnLight");
    QTest::newRow("red of RGB32") << QImage::Format_RGB32 << Channel::Red << true;
    QTest::newRow("green of RGB32") << QImage::Format_RGB32 << Channel::Green << true;
    QTest::newRow("blue of ARGB32") << QImage::Format_ARGB32 << Channel::Blue << false;
    QTest::newRow("8-bit gray") << QImage::Format_Grayscale8 << Channel::Red << true;
    QTest::newRow("8-bit gray, light on dark")
        << QImage::Format_Grayscale8 << Channel::Red << false;
}

void TestLaneFinder::everyReadingFindsTheSame()
{
    QFETCH(QImage::Format, format);
    QFETCH(Channel, channel);
    QFETCH(bool, darkOnLight);
    SyntheticGelLayout layout;
    layout.darkOnLight = darkOnLight;
    layout.seed = 3;
    layout.noise = 0.02;
    layout.unevenness = 0.1;
    const QImage gel = test::makeSyntheticGel(layout).picture;
    // The gel in the channel read; the other channels hold a different picture.
    QImage picture(gel.size(), format);
    QRandomGenerator random(5);
    for (int y = 0; y < gel.height(); ++y)
        for (int x = 0; x < gel.width(); ++x) {
            const int level = qRed(gel.pixel(x, y));
            int rgb[3] = {int(random.bounded(256)), x % 256, y % 256};
            rgb[int(channel)] = level;
            if (format == QImage::Format_Grayscale8)
                picture.scanLine(y)[x] = uchar(level);
            else
                picture.setPixel(x, y, qRgba(rgb[0], rgb[1], rgb[2], 255));
        }
    LaneFinderOptions options;
    options.channel = channel;
    const LaneFinding upright = findLanesAndBands(picture, QRect(), options);
    LaneFinderOptions reference;
    const LaneFinding plain = findLanesAndBands(gel, QRect(), reference);
    options.orientation = LaneOrientation::Horizontal;
    const LaneFinding across =
        swappedAxes(findLanesAndBands(swappedAxes(picture), QRect(), options));
    QVERIFY(upright.lanes.size() >= 5);
    for (const LaneFinding* other : {&plain, &across}) {
        QCOMPARE(other->darkOnLight, upright.darkOnLight);
        QCOMPARE(other->background, upright.background);
        QCOMPARE(other->lanes.size(), upright.lanes.size());
        for (std::size_t i = 0; i < upright.lanes.size(); ++i) {
            QCOMPARE(other->lanes[i].frame, upright.lanes[i].frame);
            QCOMPARE(other->lanes[i].bands, upright.lanes[i].bands);
            QCOMPARE(other->lanes[i].scores, upright.lanes[i].scores);
            QCOMPARE(other->lanes[i].path, upright.lanes[i].path);
        }
    }
}

QTEST_GUILESS_MAIN(TestLaneFinder)
#include "tst_lanefinder.moc"
