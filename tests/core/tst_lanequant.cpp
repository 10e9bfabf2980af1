// Lane quantification on lanes drawn with their truth: Gaussian bands of known volume
// along a lane on a sloped, curved background, light on dark or dark on light, 8 or 16
// bits, straight, tilted or running left to right.

#include "core/backgroundscan.h"
#include "core/error.h"
#include "core/lanequant.h"

#include <QImage>
#include <QTest>

#include <cmath>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::LaneBackground)
Q_DECLARE_METATYPE(kesto::FrameGeometry)
Q_DECLARE_METATYPE(std::vector<double>)
Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(std::vector<kesto::BandBounds>)
using Groups = std::vector<std::pair<int, int>>;
Q_DECLARE_METATYPE(Groups)

namespace {

constexpr int Length = 400;  // rows along the lane
constexpr int Breadth = 200; // columns across the picture
constexpr int LaneWidth = 40;
constexpr int LaneCentre = 100; // at the lane's first row
constexpr double Sigma = 5;
const double Centres[] = {80, 200, 300};
const double Volumes[] = {40000, 80000, 20000}; // in 8-bit units

struct LaneGel
{
    bool deep = false; // Grayscale16, every value times 257
    bool darkOnLight = false;
    bool horizontal = false; // the lane runs left to right
    int tilt = 0;            // columns the lane leans from its first row to its last
    double gap = 0;          // > 0: only two bands, this many sigmas apart, at row 200
    double second = 1;       // with gap: the second band's volume, in parts of the first's
};

double centreAt(const LaneGel& gel, int along)
{
    return LaneCentre + double(gel.tilt) * along / (Length - 1);
}

// The truth: the background, and the bands spread evenly across the lane's strip.
QImage draw(const LaneGel& gel)
{
    const double scale = gel.deep ? 257 : 1;
    const int full = gel.deep ? 65535 : 255;
    std::vector<std::pair<double, double>> bands; // centre, volume
    if (gel.gap > 0) {
        bands = {{200 - gel.gap * Sigma / 2, 60000},
                 {200 + gel.gap * Sigma / 2, 60000 * gel.second}};
    } else {
        for (int b = 0; b < 3; ++b)
            bands.emplace_back(Centres[b], Volumes[b]);
    }
    QImage picture(gel.horizontal ? Length : Breadth, gel.horizontal ? Breadth : Length,
                   gel.deep ? QImage::Format_Grayscale16 : QImage::Format_RGB32);
    quint32 seed = 7;
    for (int along = 0; along < Length; ++along) {
        const double background = 40 + 0.05 * along + 0.0001 * (along - 200.0) * (along - 200.0);
        double band = 0;
        for (const auto& [centre, volume] : bands) {
            const double z = (along - centre) / Sigma;
            band += volume / LaneWidth / (Sigma * std::sqrt(2 * M_PI)) * std::exp(-0.5 * z * z);
        }
        const int start = int(std::ceil(centreAt(gel, along) - 0.5 * LaneWidth));
        for (int across = 0; across < Breadth; ++across) {
            const bool inLane = across >= start && across < start + LaneWidth;
            double value = scale * (background + (inLane ? band : 0));
            if (gel.darkOnLight)
                value = full - value;
            // A little noise, as any picture has, so that 8-bit steps do not line up.
            seed = seed * 1664525u + 1013904223u;
            const double noise = scale * ((seed >> 8) / double(1u << 24) - 0.5);
            const int v = std::clamp(int(std::lround(value + noise)), 0, full);
            const int x = gel.horizontal ? along : across, y = gel.horizontal ? across : along;
            if (gel.deep)
                reinterpret_cast<quint16*>(picture.scanLine(y))[x] = quint16(v);
            else
                picture.setPixel(x, y, qRgb(v, v, v));
        }
    }
    return picture;
}

LaneStrip strip(const LaneGel& gel)
{
    LaneStrip lane;
    lane.orientation = gel.horizontal ? LaneOrientation::Horizontal : LaneOrientation::Vertical;
    lane.first = 0;
    lane.last = Length - 1;
    lane.width = LaneWidth;
    const QPoint top(LaneCentre, 0), bottom(LaneCentre + gel.tilt, Length - 1);
    lane.path = gel.horizontal ? std::vector<QPoint>{top.transposed(), bottom.transposed()}
                               : std::vector<QPoint>{top, bottom};
    return lane;
}

// A band's frame as the finder would give it: its rows from 2 sigma before to 2 after.
FoundFrame bandFrame(const LaneGel& gel, double centre)
{
    const int from = int(centre - 2 * Sigma), to = int(centre + 2 * Sigma);
    const FoundFrame rows{LaneCentre - LaneWidth / 2, from, LaneWidth - 1, to - from};
    return gel.horizontal ? FoundFrame{rows.top, rows.left, rows.height, rows.width} : rows;
}

LaneMeasure measureFromValues(const std::vector<double>& profile)
{
    LaneMeasure measure;
    measure.first = 10;
    measure.across = 2;
    measure.profile = profile;
    measure.baseline.assign(profile.size(), 0.0);
    return measure;
}

LaneBackground ball(int radius)
{
    LaneBackground background;
    background.kind = LaneBackground::Kind::RollingBall;
    background.ballRadius = radius;
    return background;
}

LaneBackground kind(LaneBackground::Kind k)
{
    LaneBackground background;
    background.kind = k;
    return background;
}

} // namespace

class TestLaneQuant : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void profileVolumes_data();
    void profileVolumes();
    void scanDoesNotDependOnTheFrame_data();
    void scanDoesNotDependOnTheFrame();
    void scanOnItsOwnLaneIsTheFrameScan_data();
    void scanOnItsOwnLaneIsTheFrameScan();
    void boundaries_data();
    void boundaries();
    void touchingBandsSplitAtTheValley();
    void backgroundText_data();
    void backgroundText();
    void quantifyModeText();
    void stripGeometry();
    void severalLanesReadTogether();
    void fittedTouchingBands_data();
    void fittedTouchingBands();
    void fitThatCannotBeMadeIsRefused();
    void hugeLaneIsRefused();
};

void TestLaneQuant::profileVolumes_data()
{
    QTest::addColumn<bool>("deep");
    QTest::addColumn<bool>("darkOnLight");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<int>("tilt");
    QTest::addColumn<LaneBackground>("background");
    const LaneBackground minima = kind(LaneBackground::Kind::Minima);
    QTest::newRow("8-bit, light on dark, minima") << false << false << false << 0 << minima;
    QTest::newRow("8-bit, dark on light, minima") << false << true << false << 0 << minima;
    QTest::newRow("16-bit, light on dark, minima") << true << false << false << 0 << minima;
    QTest::newRow("16-bit, dark on light, ball") << true << true << false << 0 << ball(1000);
    QTest::newRow("8-bit, ball 1000") << false << false << false << 0 << ball(1000);
    QTest::newRow("8-bit, tilted 14 columns") << false << false << false << 14 << minima;
    QTest::newRow("8-bit, horizontal, tilted") << false << true << true << -9 << minima;
    QTest::newRow("16-bit, horizontal, ball") << true << false << true << 0 << ball(1000);
}

void TestLaneQuant::profileVolumes()
{
    QFETCH(bool, deep);
    QFETCH(bool, darkOnLight);
    QFETCH(bool, horizontal);
    QFETCH(int, tilt);
    QFETCH(LaneBackground, background);
    const LaneGel gel{deep, darkOnLight, horizontal, tilt, 0};
    const QImage picture = draw(gel);
    const LaneMeasure measure =
        measureLane(picture, strip(gel), Channel::Green, background, darkOnLight);
    QCOMPARE(int(measure.profile.size()), Length);
    std::vector<FoundFrame> frames;
    for (double centre : Centres)
        frames.push_back(bandFrame(gel, centre));
    const std::vector<int> peaks = bandPeaks(measure, frames, strip(gel).orientation);
    const LaneQuantity quantity =
        quantifyLane(measure, bandBoundaries(measure, peaks), QuantifyMode::Profile);
    QVERIFY(quantity.ok);
    const double scale = deep ? 257 : 1;
    double truth = 0;
    for (int b = 0; b < 3; ++b) {
        QVERIFY2(std::abs(peaks[std::size_t(b)] - Centres[b]) <= 1,
                 qPrintable(QString::number(peaks[std::size_t(b)])));
        const double volume = quantity.volumes[std::size_t(b)] / scale;
        QVERIFY2(
            std::abs(volume / Volumes[b] - 1) < 0.02,
            qPrintable(
                QStringLiteral("band %1: %2, truth %3").arg(b + 1).arg(volume).arg(Volumes[b])));
        truth += Volumes[b];
    }
    // The lane's total also holds what the baseline leaves of the background: under 8-bit
    // steps a baseline through minima runs up to a step below them.
    QVERIFY2(
        std::abs(quantity.total / scale / truth - 1) < 0.03,
        qPrintable(QStringLiteral("total %1, truth %2").arg(quantity.total / scale).arg(truth)));
    const std::optional<double> percent = percentOfLane(quantity.volumes[1], quantity.total);
    QVERIFY(percent);
    QVERIFY(std::abs(*percent - 100 * Volumes[1] / truth) < 2);
}

void TestLaneQuant::scanDoesNotDependOnTheFrame_data()
{
    QTest::addColumn<bool>("deep");
    QTest::addColumn<LaneBackground>("background");
    QTest::newRow("8-bit, minima") << false << kind(LaneBackground::Kind::Minima);
    QTest::newRow("8-bit, ball 300") << false << ball(300);
    QTest::newRow("16-bit, minima") << true << kind(LaneBackground::Kind::Minima);
    QTest::newRow("16-bit, ball 300") << true << ball(300);
}

// A frame drawn 3 sigma round a band, and 8 and 16 rows taller: the lane's baseline under
// it is the same, so the scan barely moves.
void TestLaneQuant::scanDoesNotDependOnTheFrame()
{
    QFETCH(bool, deep);
    QFETCH(LaneBackground, background);
    const LaneGel gel{deep, false, false, 0, 0};
    const QImage picture = draw(gel);
    const LaneMeasure measure = measureLane(picture, strip(gel), Channel::Red, background);
    const double scale = deep ? 257 : 1;
    const auto scanOf = [&](int taller) {
        const FrameGeometry frame{float(LaneCentre - LaneWidth / 2),
                                  float(200 - 3 * Sigma - taller / 2), float(LaneWidth - 1),
                                  float(6 * Sigma + taller)};
        return std::make_pair(
            strip(gel).holds(frame),
            scanOnLaneBaseline(picture, frame, Channel::Red, measure, LaneOrientation::Vertical));
    };
    const auto [tightHeld, tight] = scanOf(0);
    QVERIFY(tightHeld && tight.ok);
    const double tightValue = tight.scan.value / scale;
    QVERIFY2(std::abs(tightValue / Volumes[1] - 1) < 0.02, qPrintable(QString::number(tightValue)));
    for (int taller : {8, 16}) {
        const auto [held, scan] = scanOf(taller);
        QVERIFY(held && scan.ok);
        const double value = scan.scan.value / scale;
        QVERIFY2(std::abs(value / tightValue - 1) < 0.01,
                 qPrintable(QStringLiteral("%1 rows taller: %2 against %3")
                                .arg(taller)
                                .arg(value)
                                .arg(tightValue)));
    }
}

void TestLaneQuant::scanOnItsOwnLaneIsTheFrameScan_data()
{
    QTest::addColumn<bool>("deep");
    QTest::addColumn<FrameGeometry>("frame");
    QTest::addColumn<bool>("useBall");
    QTest::newRow("8-bit, inside, minima") << false << FrameGeometry{80, 170, 39, 60} << false;
    QTest::newRow("8-bit, inside, ball") << false << FrameGeometry{80, 170, 39, 60} << true;
    QTest::newRow("8-bit, off the top left, minima")
        << false << FrameGeometry{-7.5f, -12, 30, 120} << false;
    QTest::newRow("16-bit, off the bottom, ball")
        << true << FrameGeometry{150, 350, 70, 80} << true;
    QTest::newRow("16-bit, fractional, minima")
        << true << FrameGeometry{80.4f, 170.6f, 38.3f, 59.5f} << false;
}

// A frame whose lane is the frame itself scans exactly as the lane methods scan it today.
void TestLaneQuant::scanOnItsOwnLaneIsTheFrameScan()
{
    QFETCH(bool, deep);
    QFETCH(FrameGeometry, frame);
    QFETCH(bool, useBall);
    const QImage picture = draw(LaneGel{deep, true, false, 0, 0});
    const PixelSpan span = framePixels(frame);
    const FoundFrame pixels{int(span.x0), int(span.y0), int(span.x1 - span.x0),
                            int(span.y1 - span.y0)};
    const LaneMeasure measure =
        measureLane(picture, LaneStrip::straight(pixels, LaneOrientation::Vertical), Channel::Blue,
                    useBall ? ball(40) : kind(LaneBackground::Kind::Minima));
    BackgroundMethod method;
    method.kind = BackgroundMethod::Kind::LaneBaseline;
    method.baseline =
        useBall ? BackgroundMethod::Baseline::RollingBall : BackgroundMethod::Baseline::Minima;
    method.ballRadius = 40;
    const MethodScan today = scanWithMethod(picture, frame, Channel::Blue, {}, {}, method);
    const MethodScan lane =
        scanOnLaneBaseline(picture, frame, Channel::Blue, measure, LaneOrientation::Vertical);
    QCOMPARE(lane.scan.value, today.scan.value);
    QCOMPARE(lane.baseline, today.baseline);
    QCOMPARE(lane.scan.samples, today.scan.samples);
    QCOMPARE(lane.scan.offPicture, today.scan.offPicture);
    QCOMPARE(lane.scan.atFullScale, today.scan.atFullScale);
}

void TestLaneQuant::boundaries_data()
{
    QTest::addColumn<std::vector<double>>("profile"); // baseline 0, first position 10
    QTest::addColumn<std::vector<int>>("peaks");
    QTest::addColumn<std::vector<BandBounds>>("expected");
    QTest::addColumn<std::vector<double>>("volumes"); // across 2
    QTest::addColumn<Groups>("groups");               // of bands that touch
    QTest::newRow("touching: drop line at the valley")
        << std::vector<double>{0, 1, 3, 1, 2, 4, 2, 0, 0} << std::vector<int>{12, 15}
        << std::vector<BandBounds>{{11, 13}, {14, 16}} << std::vector<double>{10, 16}
        << Groups{{0, 1}};
    QTest::newRow("separated: each ends at the baseline")
        << std::vector<double>{0, 2, 3, 2, 0, 0, 1, 4, 1, 0} << std::vector<int>{12, 17}
        << std::vector<BandBounds>{{11, 13}, {16, 18}} << std::vector<double>{14, 12}
        << Groups{{0, 0}, {1, 1}};
    QTest::newRow("lane's ends") << std::vector<double>{3, 2, 1} << std::vector<int>{10}
                                 << std::vector<BandBounds>{{10, 12}} << std::vector<double>{12}
                                 << Groups{{0, 0}};
    QTest::newRow("below the baseline ends a band")
        << std::vector<double>{1, -1, 2, 5, 2, -0.5, 1} << std::vector<int>{13}
        << std::vector<BandBounds>{{12, 14}} << std::vector<double>{18} << Groups{{0, 0}};
    QTest::newRow("three, the lowest of a flat valley")
        << std::vector<double>{1, 5, 2, 2, 6, 1, 3, 1} << std::vector<int>{11, 14, 16}
        << std::vector<BandBounds>{{10, 12}, {13, 15}, {16, 17}} << std::vector<double>{16, 18, 8}
        << Groups{{0, 2}};
    QTest::newRow("two bands on one peak: no sample counted twice")
        << std::vector<double>{0, 2, 5, 2, 0} << std::vector<int>{12, 12}
        << std::vector<BandBounds>{{11, 12}, {13, 13}} << std::vector<double>{14, 4}
        << Groups{{0, 1}};
    QTest::newRow("no bands") << std::vector<double>{1, 2} << std::vector<int>{}
                              << std::vector<BandBounds>{} << std::vector<double>{} << Groups{};
}

void TestLaneQuant::boundaries()
{
    QFETCH(std::vector<double>, profile);
    QFETCH(std::vector<int>, peaks);
    QFETCH(std::vector<BandBounds>, expected);
    QFETCH(std::vector<double>, volumes);
    QFETCH(Groups, groups);
    const LaneMeasure measure = measureFromValues(profile);
    const std::vector<BandBounds> bounds = bandBoundaries(measure, peaks);
    QCOMPARE(bounds.size(), expected.size());
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        QCOMPARE(bounds[i].from, expected[i].from);
        QCOMPARE(bounds[i].to, expected[i].to);
    }
    const LaneQuantity quantity = quantifyLane(measure, bounds, QuantifyMode::Profile);
    QCOMPARE(quantity.volumes, volumes);
    QCOMPARE(touchingGroups(bounds), groups);
}

// Two equal bands 2.5 sigma apart on a picture: the drop line falls at the middle. (A
// baseline through minima would run through the valley itself.)
void TestLaneQuant::touchingBandsSplitAtTheValley()
{
    const LaneGel gel{false, false, false, 0, 2.5};
    const LaneMeasure measure = measureLane(draw(gel), strip(gel), Channel::Red, ball(300));
    const std::vector<FoundFrame> frames{bandFrame(gel, 200 - 1.25 * Sigma),
                                         bandFrame(gel, 200 + 1.25 * Sigma)};
    const std::vector<BandBounds> bounds =
        bandBoundaries(measure, bandPeaks(measure, frames, LaneOrientation::Vertical));
    QCOMPARE(bounds.size(), std::size_t(2));
    QVERIFY2(std::abs(bounds[0].to - 200) <= 1, qPrintable(QString::number(bounds[0].to)));
    QCOMPARE(bounds[1].from, bounds[0].to + 1);
}

void TestLaneQuant::backgroundText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("canonical");
    QTest::addColumn<QString>("label");
    QTest::newRow("minima") << "minima" << true << "minima"
                            << "minima";
    QTest::newRow("ball, any case") << "Ball:50" << true << "ball:50"
                                    << "rolling ball 50";
    QTest::newRow("ball 10000") << "ball:10000" << true << "ball:10000"
                                << "rolling ball 10000";
    QTest::newRow("none") << "NONE" << true << "none"
                          << "none";
    QTest::newRow("ball 0") << "ball:0" << false << ""
                            << "";
    QTest::newRow("ball too big") << "ball:10001" << false << ""
                                  << "";
    QTest::newRow("ball without radius") << "ball" << false << ""
                                         << "";
    QTest::newRow("lane method's name") << "lane:minima" << false << ""
                                        << "";
    QTest::newRow("empty") << "" << false << ""
                           << "";
}

void TestLaneQuant::backgroundText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, canonical);
    QFETCH(QString, label);
    QString error;
    const std::optional<LaneBackground> parsed = parseLaneBackground(text, &error);
    QCOMPARE(bool(parsed), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(laneBackgroundText(*parsed), canonical);
    QCOMPARE(laneBackgroundLabel(*parsed), label);
    QCOMPARE(parseLaneBackground(canonical), parsed);
}

void TestLaneQuant::quantifyModeText()
{
    for (QuantifyMode mode : {QuantifyMode::Frame, QuantifyMode::Profile, QuantifyMode::Fit}) {
        QCOMPARE(parseQuantifyMode(kesto::quantifyModeText(mode)), mode);
        QCOMPARE(parseQuantifyMode(kesto::quantifyModeText(mode).toUpper()), mode);
    }
    QString error;
    QVERIFY(!parseQuantifyMode(QStringLiteral("volume"), &error));
    QVERIFY(error.contains(QStringLiteral("frame, profile or fit")));
}

void TestLaneQuant::stripGeometry()
{
    const FoundFrame frame{20, 30, 39, 99};
    const LaneStrip straight = LaneStrip::straight(frame, LaneOrientation::Vertical);
    QCOMPARE(straight.bounds(), frame);
    QCOMPARE(straight.acrossStart(0), 20);
    const LaneStrip odd =
        LaneStrip::straight(FoundFrame{5, 7, 99, 38}, LaneOrientation::Horizontal);
    QCOMPARE(odd.bounds(), (FoundFrame{5, 7, 99, 38}));
    // Leaning 10 columns to the right over its length.
    LaneStrip tilted = straight;
    tilted.path = {QPoint(40, 30), QPoint(50, 129)};
    QCOMPARE(tilted.bounds(), (FoundFrame{20, 30, 49, 99}));
    QCOMPARE(tilted.acrossStart(129), 30);
    QVERIFY(tilted.holds(FrameGeometry{28, 120, 39, 9}));
    QVERIFY(!tilted.holds(FrameGeometry{5, 120, 39, 9}));  // centre left of the strip there
    QVERIFY(!tilted.holds(FrameGeometry{28, 125, 39, 9})); // past the lane's end
}

// One pass over the picture for many lanes reads what each lane alone reads.
void TestLaneQuant::severalLanesReadTogether()
{
    const LaneGel gel{true, false, false, 7, 0};
    const QImage picture = draw(gel);
    LaneStrip across =
        LaneStrip::straight(FoundFrame{-20, 150, 440, 30}, LaneOrientation::Horizontal);
    across.path = {QPoint(0, 160), QPoint(100, 185), QPoint(300, 150)};
    const std::vector<LaneStrip> lanes{
        strip(gel), LaneStrip{}, across,
        LaneStrip::straight(FoundFrame{170, -30, 49, 100}, LaneOrientation::Vertical)};
    const std::vector<LaneMeasure> together =
        measureLanes(picture, lanes, Channel::Green, kind(LaneBackground::Kind::Minima), true);
    QCOMPARE(together.size(), lanes.size());
    QVERIFY(together[1].isEmpty());
    for (std::size_t l = 0; l < lanes.size(); ++l) {
        const LaneMeasure alone = measureLane(picture, lanes[l], Channel::Green,
                                              kind(LaneBackground::Kind::Minima), true);
        QCOMPARE(together[l].first, alone.first);
        QCOMPARE(together[l].profile, alone.profile);
        QCOMPARE(together[l].baseline, alone.baseline);
        QCOMPARE(together[l].total, alone.total);
    }
    // Off the picture samples read full scale: dark bands read them as 0.
    QCOMPARE(together[3].profile.front(), 0.0);
    QCOMPARE(int(together[2].profile.size()), 441);
}

void TestLaneQuant::fittedTouchingBands_data()
{
    QTest::addColumn<bool>("deep");
    QTest::addColumn<bool>("darkOnLight");
    QTest::addColumn<double>("second");
    QTest::addColumn<LaneBackground>("background");
    QTest::newRow("8-bit, equal, ball") << false << false << 1.0 << ball(1000);
    QTest::newRow("8-bit, dark on light, half, ball") << false << true << 0.5 << ball(1000);
    QTest::newRow("16-bit, a third, ball") << true << false << 1.0 / 3 << ball(1000);
    QTest::newRow("16-bit, dark on light, equal, no baseline")
        << true << true << 1.0 << kind(LaneBackground::Kind::None);
}

// Two bands 2.5 sigma apart, a shallow valley between them: each fitted peak's area is
// its band's volume.
void TestLaneQuant::fittedTouchingBands()
{
    QFETCH(bool, deep);
    QFETCH(bool, darkOnLight);
    QFETCH(double, second);
    QFETCH(LaneBackground, background);
    const LaneGel gel{deep, darkOnLight, false, 0, 2.5, second};
    const LaneMeasure measure =
        measureLane(draw(gel), strip(gel), Channel::Red, background, darkOnLight);
    const double centres[] = {200 - 1.25 * Sigma, 200 + 1.25 * Sigma};
    const std::vector<FoundFrame> frames{bandFrame(gel, centres[0]), bandFrame(gel, centres[1])};
    const std::vector<BandBounds> bounds =
        bandBoundaries(measure, bandPeaks(measure, frames, LaneOrientation::Vertical));
    const LaneQuantity quantity = quantifyLane(measure, bounds, QuantifyMode::Fit);
    QVERIFY2(quantity.ok, qPrintable(quantity.reason));
    QCOMPARE(quantity.volumes.size(), std::size_t(2));
    QCOMPARE(quantity.errors.size(), std::size_t(2));
    const double scale = deep ? 257 : 1;
    const double truth[] = {60000, 60000 * second};
    for (std::size_t b = 0; b < 2; ++b) {
        const double volume = quantity.volumes[b] / scale;
        QVERIFY2(std::abs(volume / truth[b] - 1) < 0.03,
                 qPrintable(
                     QStringLiteral("band %1: %2, truth %3").arg(b + 1).arg(volume).arg(truth[b])));
        QVERIFY(std::abs(quantity.fit.peaks[b].centre - centres[b]) < 0.5);
        QVERIFY(quantity.errors[b] > 0 && quantity.errors[b] < 0.03 * quantity.volumes[b]);
    }
    QVERIFY(quantity.residual > 0 && quantity.residual < 2 * scale);
}

// Too few points for the parameters: refused, with the fit's reason and no volumes.
void TestLaneQuant::fitThatCannotBeMadeIsRefused()
{
    const LaneMeasure measure = measureFromValues({0, 1, 3, 1, 0});
    const LaneQuantity quantity = quantifyLane(measure, {{10, 14}}, QuantifyMode::Fit);
    QVERIFY(!quantity.ok);
    QVERIFY2(quantity.reason.contains(QStringLiteral("too few")), qPrintable(quantity.reason));
    QVERIFY(quantity.volumes.empty());
}

void TestLaneQuant::hugeLaneIsRefused()
{
    LaneStrip lane;
    lane.first = 0;
    lane.last = 1 << 27;
    lane.width = 4;
    lane.path = {QPoint(2, 0)};
    QVERIFY_THROWS_EXCEPTION(Error, measureLane(QImage(4, 4, QImage::Format_RGB32), lane,
                                                Channel::Red, LaneBackground{}));
}

QTEST_GUILESS_MAIN(TestLaneQuant)
#include "tst_lanequant.moc"
