#include "core/integration.h"

#include <QImage>
#include <QTest>

#include <limits>

using namespace kesto;

namespace {

// The scene: 40 x 30 pixels of (200, 150, 100) with a band of (50, 90, 130) over columns
// 10..19 and rows 5..9. Expected sums are taken from this description, not from pixels.
constexpr int Bg[3] = {200, 150, 100};
constexpr int Band[3] = {50, 90, 130};
constexpr ColorValue BgColour = 200 | 150 << 8 | 100 << 16;
constexpr ColorValue BandColour = 50 | 90 << 8 | 130 << 16;

int sceneChannel(int x, int y, int channel)
{
    if (x < 0 || y < 0 || x >= 40 || y >= 30)
        return 255;
    return x >= 10 && x <= 19 && y >= 5 && y <= 9 ? Band[channel] : Bg[channel];
}

QImage scene()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(qRgb(Bg[0], Bg[1], Bg[2]));
    for (int y = 5; y <= 9; ++y)
        for (int x = 10; x <= 19; ++x)
            image.setPixel(x, y, qRgb(Band[0], Band[1], Band[2]));
    return image;
}

} // namespace

class TestIntegration : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void integrate_data();
    void integrate();
    void pixelAt_data();
    void pixelAt();
};

void TestIntegration::integrate_data()
{
    QTest::addColumn<QRectF>("frame"); // left, top, width, height
    QTest::addColumn<int>("channel");  // 0 red, 1 green, 2 blue
    QTest::addColumn<int>("background");
    QTest::addColumn<QRect>("covered"); // columns and rows the frame covers, worked out by hand

    QTest::newRow("background equal to band gives 0")
        << QRectF(11, 6, 7, 2) << 0 << BandColour << QRect(QPoint(11, 6), QPoint(18, 8));
    QTest::newRow("dark band on light background")
        << QRectF(8, 3, 14, 9) << 0 << BgColour << QRect(QPoint(8, 3), QPoint(22, 12));
    QTest::newRow("green channel")
        << QRectF(10, 5, 9, 4) << 1 << BgColour << QRect(QPoint(10, 5), QPoint(19, 9));
    QTest::newRow("blue channel, band lighter")
        << QRectF(10, 5, 9, 4) << 2 << BgColour << QRect(QPoint(10, 5), QPoint(19, 9));
    QTest::newRow("past the right edge counts 255s")
        << QRectF(35, 2, 10, 3) << 0 << BgColour << QRect(QPoint(35, 2), QPoint(45, 5));
    QTest::newRow("past the bottom edge counts 255s")
        << QRectF(12, 25, 4, 10) << 1 << BgColour << QRect(QPoint(12, 25), QPoint(16, 35));
    QTest::newRow("larger than the picture")
        << QRectF(-1, -1, 42, 32) << 0 << BgColour << QRect(QPoint(-1, -1), QPoint(41, 31));
    QTest::newRow("end summed in single precision: 0.1 + 2.4 ends at 2")
        << QRectF(0.1, 0.1, 2.4, 2.4) << 0 << 0 << QRect(QPoint(0, 0), QPoint(2, 2));
    QTest::newRow("2.5 rounds to even 2, 4.5 to 4")
        << QRectF(2.5, 2.5, 2, 2) << 0 << 0 << QRect(QPoint(2, 2), QPoint(4, 4));
    QTest::newRow("3.5 rounds to 4, 5.5 to 6")
        << QRectF(3.5, 3.5, 2, 2) << 1 << 0 << QRect(QPoint(4, 4), QPoint(6, 6));
    QTest::newRow("negative width covers nothing") << QRectF(10, 5, -3, 4) << 0 << 0 << QRect();
}

void TestIntegration::integrate()
{
    QFETCH(QRectF, frame);
    QFETCH(int, channel);
    QFETCH(int, background);
    QFETCH(QRect, covered);

    double expected = 0;
    for (int x = covered.left(); x <= covered.right(); ++x)
        for (int y = covered.top(); y <= covered.bottom(); ++y)
            expected += sceneChannel(x, y, channel) - ((background >> (8 * channel)) & 0xFF);

    const FrameGeometry geometry{float(frame.x()), float(frame.y()), float(frame.width()),
                                 float(frame.height())};
    QCOMPARE(integrateFrame(scene(), geometry, Channel(channel), background), expected);
    // A picture not yet in the working format gives the same sum.
    QCOMPARE(integrateFrame(scene().convertToFormat(QImage::Format_RGB888), geometry,
                            Channel(channel), background),
             expected);
}

void TestIntegration::pixelAt_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<int>("expected");
    QTest::newRow("inside the band") << 12.f << 7.f << BandColour;
    QTest::newRow("fractions floor") << 19.9f << 9.9f << BandColour;
    QTest::newRow("x equal to the width is outside") << 40.f << 0.f << -1;
    QTest::newRow("negative fraction is outside") << -0.5f << 3.f << -1;
    QTest::newRow("not a number is outside")
        << std::numeric_limits<float>::quiet_NaN() << 1.f << -1;
}

void TestIntegration::pixelAt()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(int, expected);
    QCOMPARE(kesto::pixelAt(scene(), x, y), expected);
}

QTEST_GUILESS_MAIN(TestIntegration)
#include "tst_integration.moc"
