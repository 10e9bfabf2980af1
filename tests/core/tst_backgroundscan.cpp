#include "core/backgroundscan.h"
#include "core/deeppicture.h"
#include "core/error.h"

#include <QTest>

#include <cmath>
#include <functional>

using namespace kesto;

namespace {

// A grey picture drawn from a function of the pixel, at 8 or 16 bits per channel.
QImage drawn(bool deep, int width, int height, const std::function<double(int, int)>& value)
{
    QImage picture(width, height, deep ? QImage::Format_Grayscale16 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double v = std::round(value(x, y));
            if (deep) {
                reinterpret_cast<quint16*>(picture.scanLine(y))[x] =
                    quint16(std::clamp(v, 0.0, 65535.0));
            } else {
                const int g = int(std::clamp(v, 0.0, 255.0));
                reinterpret_cast<QRgb*>(picture.scanLine(y))[x] = qRgb(g, g, g);
            }
        }
    }
    return picture;
}

// Deterministic noise in [-amplitude, amplitude] for each pixel.
double noise(int x, int y, double amplitude)
{
    std::uint32_t h = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (double(h % 2001) / 1000.0 - 1.0) * amplitude;
}

BackgroundMethod method(const char* text)
{
    return *parseBackgroundMethod(QString::fromLatin1(text));
}

} // namespace

class TestBackgroundScan : public QObject
{
    Q_OBJECT
private slots:
    void pickedPixelIsThePlainScan();
    void frameBorderFollowsASlopedBackground_data();
    void frameBorderFollowsASlopedBackground();
    void pickedAreaSteadiesThePick_data();
    void pickedAreaSteadiesThePick();
    void laneBaselineFollowsACurvedBackground_data();
    void laneBaselineFollowsACurvedBackground();
    void borderWhollyOffThePictureGivesNoValue();
};

void TestBackgroundScan::pickedPixelIsThePlainScan()
{
    const QImage picture = drawn(false, 40, 30, [](int x, int y) { return 10 + x + y; });
    const FrameGeometry frame{-3, 5, 20, 30};
    const ChannelLevels picked{7, 7, 7};
    const MethodScan scan = scanWithMethod(picture, frame, Channel::Green, picked,
                                           BackgroundValues{1, 2, 3}, BackgroundMethod{});
    const ScanResult plain = integrateFrameCounted(picture, frame, Channel::Green, picked);
    QCOMPARE(scan.scan.value, plain.value);
    QCOMPARE(scan.scan.offPicture, plain.offPicture);
    QCOMPARE(scan.level, 7.0);
}

void TestBackgroundScan::frameBorderFollowsASlopedBackground_data()
{
    QTest::addColumn<bool>("deep");
    QTest::addColumn<QString>("statistic");
    QTest::newRow("8-bit, mean") << false << "mean";
    QTest::newRow("16-bit, mean") << true << "mean";
    QTest::newRow("16-bit, median") << true << "median";
}

// A gel whose background rises steadily from left to right, with three bands of known
// integral across it. The border's mean follows the slope to each band; the corner's
// pixel does not.
void TestBackgroundScan::frameBorderFollowsASlopedBackground()
{
    QFETCH(bool, deep);
    QFETCH(QString, statistic);
    const double scale = deep ? 200 : 1;
    const auto background = [&](int x) { return (20 + 0.25 * x) * scale; };
    const QRect bands[] = {QRect(30, 40, 40, 20), QRect(180, 40, 40, 20), QRect(330, 40, 40, 20)};
    const double height = 50 * scale;
    const QImage picture = drawn(deep, 400, 100, [&](int x, int y) {
        double v = background(x);
        for (const QRect& band : bands)
            if (band.contains(x, y))
                v += height;
        return v;
    });
    const BackgroundMethod border = method(qPrintable(QStringLiteral("border:2:") + statistic));
    const ChannelLevels corner = levelsAt(picture, 0, 0);
    for (const QRect& band : bands) {
        // The frame holds the band with 3 pixels of background around it.
        const QRect f = band.adjusted(-3, -3, 3, 3);
        const FrameGeometry frame{float(f.left()), float(f.top()), float(f.width() - 1),
                                  float(f.height() - 1)};
        const double truth = height * band.width() * band.height();
        const MethodScan found = scanWithMethod(picture, frame, Channel::Red, corner, {}, border);
        QVERIFY(found.ok);
        QVERIFY2(
            std::abs(found.scan.value - truth) <= 0.01 * truth,
            qPrintable(QStringLiteral("border: %1 against %2").arg(found.scan.value).arg(truth)));
        if (band.left() > 100) {
            const MethodScan picked =
                scanWithMethod(picture, frame, Channel::Red, corner, {}, BackgroundMethod{});
            QVERIFY2(std::abs(picked.scan.value - truth) > 0.2 * truth,
                     qPrintable(QStringLiteral("corner pick: %1 against %2")
                                    .arg(picked.scan.value)
                                    .arg(truth)));
        }
    }
}

void TestBackgroundScan::pickedAreaSteadiesThePick_data()
{
    QTest::addColumn<bool>("deep");
    QTest::newRow("8-bit") << false;
    QTest::newRow("16-bit") << true;
}

// Ten neighbouring picks on a noisy background: the scan of one band moves with the
// pixel picked, much less with the mean of the 5 x 5 square around it.
void TestBackgroundScan::pickedAreaSteadiesThePick()
{
    QFETCH(bool, deep);
    const double scale = deep ? 200 : 1;
    const QRect band(50, 20, 30, 10);
    const QImage picture = drawn(deep, 120, 60, [&](int x, int y) {
        return (60 + noise(x, y, 6) + (band.contains(x, y) ? 80 : 0)) * scale;
    });
    const FrameGeometry frame{45, 15, 39, 19};
    auto spread = [&](int size) {
        double low = 1e300, high = -1e300;
        for (int i = 0; i < 10; ++i) {
            const float x = float(5 + i), y = 50;
            const BackgroundMethod m = size == 1 ? BackgroundMethod{} : method("area:5");
            const double value =
                scanWithMethod(picture, frame, Channel::Blue, levelsAt(picture, x, y),
                               areaMean(picture, x, y, size), m)
                    .scan.value;
            low = std::min(low, value);
            high = std::max(high, value);
        }
        return high - low;
    };
    const double pixel = spread(1);
    const double area = spread(5);
    QVERIFY2(area * 3 <= pixel,
             qPrintable(QStringLiteral("spread %1 with the area against %2").arg(area).arg(pixel)));
}

void TestBackgroundScan::laneBaselineFollowsACurvedBackground_data()
{
    QTest::addColumn<bool>("deep");
    QTest::addColumn<QString>("baseline");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("8-bit, minima") << false << "lane:minima" << 0.02;
    QTest::newRow("16-bit, minima") << true << "lane:minima" << 0.02;
    // A ball under a frame just around one band can lean into the band's flanks a little.
    QTest::newRow("8-bit, rolling ball") << false << "lane:ball:300" << 0.04;
    QTest::newRow("16-bit, rolling ball") << true << "lane:ball:300" << 0.04;
}

// One lane 20 pixels wide and 400 long: its background bows and rises along the lane,
// and three bands of known integral sit on it. Each band's frame, scanned with the lane's
// baseline, comes within 2 % of the band through the minima.
void TestBackgroundScan::laneBaselineFollowsACurvedBackground()
{
    QFETCH(bool, deep);
    QFETCH(QString, baseline);
    QFETCH(double, tolerance);
    // The 16-bit picture is the 8-bit one at 16 bits (each value times 257).
    const double scale = deep ? 257 : 1;
    const double centres[] = {80, 200, 320};
    const double heights[] = {60, 120, 40};
    constexpr double sigma = 6;
    const auto band = [&](int b, int y) {
        return heights[b] * std::exp(-0.5 * std::pow((y - centres[b]) / sigma, 2));
    };
    const QImage picture = drawn(deep, 40, 400, [&](int, int y) {
        double v = 40 + 12 * std::sin(M_PI * y / 400) + 0.05 * y;
        for (int b = 0; b < 3; ++b)
            v += band(b, y);
        return v * scale;
    });
    const BackgroundMethod lane = method(qPrintable(baseline));
    for (int b = 0; b < 3; ++b) {
        // The band's frame: the lane's width, 30 rows either side of its centre.
        const FrameGeometry frame{10, float(centres[b] - 30), 19, 60};
        double truth = 0;
        for (int y = int(centres[b]) - 30; y <= int(centres[b]) + 30; ++y)
            truth += band(b, y) * scale * 20;
        const MethodScan found = scanWithMethod(picture, frame, Channel::Red, {}, {}, lane);
        QVERIFY(found.ok);
        QCOMPARE(found.baseline.size(), std::size_t(61));
        QVERIFY2(std::abs(found.scan.value - truth) <= tolerance * truth,
                 qPrintable(QStringLiteral("band %1: %2 against %3")
                                .arg(b + 1)
                                .arg(found.scan.value)
                                .arg(truth)));
    }
}

void TestBackgroundScan::borderWhollyOffThePictureGivesNoValue()
{
    const QImage picture = drawn(false, 20, 20, [](int, int) { return 100; });
    const MethodScan off = scanWithMethod(picture, FrameGeometry{40, 40, 5, 5}, Channel::Red, {},
                                          {}, method("border:2:mean"));
    QVERIFY(!off.ok);
    QVERIFY(!off.reason.isEmpty());
    // A frame over the edge takes the border samples that are on the picture.
    const MethodScan edge = scanWithMethod(picture, FrameGeometry{-2, -2, 5, 5}, Channel::Red, {},
                                           {}, method("border:2:median"));
    QVERIFY(edge.ok);
    QCOMPARE(edge.level, 100.0);
    // Frames far past the picture neither overflow the border's arithmetic nor ask a
    // lane baseline for more rows than frames can address.
    QVERIFY(!scanWithMethod(picture, FrameGeometry{2.1e9f, -2.1e9f, 1e3f, 1e3f}, Channel::Red, {},
                            {}, method("border:10:mean"))
                 .ok);
    QVERIFY_THROWS_EXCEPTION(Error, scanWithMethod(picture, FrameGeometry{0, 0, 5, 4e7f},
                                                   Channel::Red, {}, {}, method("lane:minima")));
}

QTEST_APPLESS_MAIN(TestBackgroundScan)
#include "tst_backgroundscan.moc"
