#include "app/error.h"
#include "app/integration.h"

#include <QImage>
#include <QTest>

#include <cmath>
#include <limits>

using namespace kesto;


namespace {

// The test scene: a 40 x 30 picture of background colour (200, 150, 100) with one band of
// (50, 90, 130) covering columns 10..19 and rows 5..9. Expected sums come from this
// description, not from the picture the code reads.
constexpr int SceneWidth = 40, SceneHeight = 30;
constexpr int BandLeft = 10, BandRight = 19, BandTop = 5, BandBottom = 9;
constexpr int Bg[3] = {200, 150, 100};
constexpr int Band[3] = {50, 90, 130};

int index(Channel channel) { return channel == Channel::Red ? 0 : channel == Channel::Green ? 1 : 2; }

int sceneChannel(int x, int y, Channel channel)
{
    if (x < 0 || y < 0 || x >= SceneWidth || y >= SceneHeight)
        return 255;
    const bool inBand = x >= BandLeft && x <= BandRight && y >= BandTop && y <= BandBottom;
    return inBand ? Band[index(channel)] : Bg[index(channel)];
}

QImage sceneImage()
{
    QImage image(SceneWidth, SceneHeight, QImage::Format_RGB32);
    image.fill(qRgb(Bg[0], Bg[1], Bg[2]));
    for (int y = BandTop; y <= BandBottom; ++y)
        for (int x = BandLeft; x <= BandRight; ++x)
            image.setPixel(x, y, qRgb(Band[0], Band[1], Band[2]));
    return image;
}

double expectedSum(int x0, int x1, int y0, int y1, Channel channel, int background)
{
    double sum = 0;
    for (int x = x0; x <= x1; ++x)
        for (int y = y0; y <= y1; ++y)
            sum += sceneChannel(x, y, channel) - background;
    return sum;
}

ColorValue colour(int red, int green, int blue) { return red | green << 8 | blue << 16; }

} // namespace

class TestIntegration : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void integrate_data();
    void integrate();
    void sameResultForOtherPictureFormats();
    void largeFrameSumIsExact();
    void frameEndOutside32BitsIsAnError();
    void pixelAt_data();
    void pixelAt();
};

void TestIntegration::integrate_data()
{
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("background");   // colour value
    // The columns and rows the frame must cover, worked out by hand.
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("x1");
    QTest::addColumn<int>("y0");
    QTest::addColumn<int>("y1");

    const int bandColour = colour(Band[0], Band[1], Band[2]);
    const int bgColour = colour(Bg[0], Bg[1], Bg[2]);
    const int red = int(Channel::Red), green = int(Channel::Green), blue = int(Channel::Blue);

    QTest::newRow("background equal to band gives 0")
        << 11.f << 6.f << 7.f << 2.f << red << bandColour << 11 << 18 << 6 << 8;
    QTest::newRow("dark band on light background, band exactly")
        << 10.f << 5.f << 9.f << 4.f << red << bgColour << 10 << 19 << 5 << 9;
    QTest::newRow("band with its surroundings")
        << 8.f << 3.f << 14.f << 9.f << red << bgColour << 8 << 22 << 3 << 12;
    QTest::newRow("green channel") << 10.f << 5.f << 9.f << 4.f << green << bgColour << 10 << 19 << 5 << 9;
    QTest::newRow("blue channel: band lighter") << 10.f << 5.f << 9.f << 4.f << blue << bgColour << 10 << 19 << 5 << 9;
    QTest::newRow("frame past the right edge counts 255s")
        << 35.f << 2.f << 10.f << 3.f << red << bgColour << 35 << 45 << 2 << 5;
    QTest::newRow("frame past the bottom edge counts 255s")
        << 12.f << 25.f << 4.f << 10.f << green << bgColour << 12 << 16 << 25 << 35;
    QTest::newRow("frame wholly off the picture")
        << 50.f << 40.f << 3.f << 3.f << blue << 0 << 50 << 53 << 40 << 43;
    QTest::newRow("frame reaching left and above the picture")
        << -3.f << -2.f << 5.f << 4.f << red << bgColour << -3 << 2 << -2 << 2;
    QTest::newRow("frame larger than the picture")
        << -1.f << -1.f << 42.f << 32.f << red << bgColour << -1 << 41 << -1 << 31;
    QTest::newRow("width 20 at left 10 spans 21 columns")
        << 10.f << 0.f << 20.f << 0.f << red << 0 << 10 << 30 << 0 << 0;
    QTest::newRow("end column summed in single precision: 0.1 + 2.4 ends at 2")
        << 0.1f << 0.1f << 2.4f << 2.4f << red << 0 << 0 << 2 << 0 << 2;
    QTest::newRow("start 2.5 rounds to even 2, end 4.5 to 4")
        << 2.5f << 3.5f << 2.f << 2.f << red << 0 << 2 << 4 << 4 << 6;
    QTest::newRow("start 3.5 rounds to 4, end 5.5 to 6")
        << 3.5f << 2.5f << 2.f << 2.f << green << 0 << 4 << 6 << 2 << 4;
    QTest::newRow("negative width covers nothing")
        << 10.f << 5.f << -3.f << 4.f << red << 0 << 10 << 7 << 5 << 9;
    QTest::newRow("white background reads as off-picture 0 there")
        << 38.f << 28.f << 4.f << 4.f << red << colour(255, 255, 255) << 38 << 42 << 28 << 32;
}

void TestIntegration::integrate()
{
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(int, channel);
    QFETCH(int, background);
    QFETCH(int, x0);
    QFETCH(int, x1);
    QFETCH(int, y0);
    QFETCH(int, y1);

    const auto ch = Channel(channel);
    const int backgroundChannel = (background >> (8 * index(ch))) & 0xFF;
    const double expected = expectedSum(x0, x1, y0, y1, ch, backgroundChannel);
    QCOMPARE(integrateFrame(sceneImage(), FrameGeometry{left, top, width, height}, ch, background),
             expected);
}

void TestIntegration::sameResultForOtherPictureFormats()
{
    // A picture not yet in the working format (here 24-bit) gives the same sums.
    const QImage rgb888 = sceneImage().convertToFormat(QImage::Format_RGB888);
    const FrameGeometry frame{8, 3, 14, 9};
    const int background = colour(Bg[0], Bg[1], Bg[2]);
    for (Channel ch : {Channel::Red, Channel::Green, Channel::Blue})
        QCOMPARE(integrateFrame(rgb888, frame, ch, background),
                 expectedSum(8, 22, 3, 12, ch, Bg[index(ch)]));
}

void TestIntegration::largeFrameSumIsExact()
{
    // 3001 x 2001 samples, all off a 10 x 10 white picture or on it: 255 each, less 0.
    QImage white(10, 10, QImage::Format_RGB32);
    white.fill(qRgb(255, 255, 255));
    const double expected = 3001.0 * 2001.0 * 255.0;
    QCOMPARE(integrateFrame(white, FrameGeometry{-1000, -1000, 3000, 2000}, Channel::Blue, 0), expected);
    // A null picture reads as off-picture everywhere.
    QCOMPARE(integrateFrame(QImage(), FrameGeometry{0, 0, 3, 1}, Channel::Red, colour(5, 0, 0)),
             8.0 * (255 - 5));
}

void TestIntegration::frameEndOutside32BitsIsAnError()
{
    QVERIFY_THROWS_EXCEPTION(kesto::Error,
                             integrateFrame(sceneImage(), FrameGeometry{0, 0, 1e10f, 1}, Channel::Red, 0));
    QVERIFY_THROWS_EXCEPTION(
        kesto::Error, integrateFrame(sceneImage(), FrameGeometry{std::numeric_limits<float>::quiet_NaN(), 0, 1, 1},
                                     Channel::Red, 0));
}

void TestIntegration::pixelAt_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<int>("expected");
    const int band = colour(Band[0], Band[1], Band[2]);
    const int bg = colour(Bg[0], Bg[1], Bg[2]);
    QTest::newRow("top-left pixel") << 0.f << 0.f << bg;
    QTest::newRow("inside the band") << 12.f << 7.f << band;
    QTest::newRow("fractions floor into the band") << 19.9f << 9.9f << band;
    QTest::newRow("just past the band") << 20.f << 9.f << bg;
    QTest::newRow("last pixel") << 39.5f << 29.5f << bg;
    QTest::newRow("x equal to the width is outside") << 40.f << 0.f << -1;
    QTest::newRow("y equal to the height is outside") << 0.f << 30.f << -1;
    QTest::newRow("negative fraction is outside") << -0.5f << 3.f << -1;
    QTest::newRow("far outside") << 1e30f << 1e30f << -1;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 1.f << -1;
}

void TestIntegration::pixelAt()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(int, expected);
    QCOMPARE(kesto::pixelAt(sceneImage(), x, y), expected);
    QCOMPARE(kesto::pixelAt(sceneImage().convertToFormat(QImage::Format_RGB888), x, y), expected);
}

QTEST_GUILESS_MAIN(TestIntegration)
#include "tst_integration.moc"
