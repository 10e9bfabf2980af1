// 16-bit pictures measured at their own depth, and the counts every scan keeps: each
// expected value is worked out here from the pixel array the test itself made.

#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/integration.h"
#include "core/measurementplan.h"
#include "core/pictureops.h"
#include "support/gelpictures.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::FrameGeometry)
Q_DECLARE_METATYPE(kesto::Channel)

namespace {

// A 30 x 20 picture of uneven values with full-scale and zero samples spread through it.
QImage deepPicture(QImage::Format format)
{
    QImage image(30, 20, format);
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        const std::uint32_t v = state >> 16;
        return std::uint16_t(v % 7 == 0 ? 65535 : v % 11 == 0 ? 0 : v);
    };
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (format == QImage::Format_Grayscale16)
                reinterpret_cast<std::uint16_t*>(image.scanLine(y))[x] = next();
            else
                reinterpret_cast<QRgba64*>(image.scanLine(y))[x] =
                    QRgba64::fromRgba64(next(), next(), next(), 65535);
        }
    }
    return image;
}

int sampleOf(const QImage& image, int x, int y, Channel channel)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return -1;
    if (image.format() == QImage::Format_Grayscale16)
        return reinterpret_cast<const std::uint16_t*>(image.constScanLine(y))[x];
    const QRgba64 p = reinterpret_cast<const QRgba64*>(image.constScanLine(y))[x];
    return channel == Channel::Red ? p.red() : channel == Channel::Green ? p.green() : p.blue();
}

// The scan counted sample by sample over the frame's whole columns and rows.
ScanResult expectedScan(const QImage& image, int x0, int x1, int y0, int y1, Channel channel,
                        int background)
{
    ScanResult r;
    std::int64_t sum = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const int v = sampleOf(image, x, y, channel);
            ++r.samples;
            if (v < 0) {
                ++r.offPicture;
                sum += 65535 - background;
                continue;
            }
            r.atFullScale += v == 65535;
            r.atZero += v == 0;
            sum += v - background;
        }
    }
    r.value = double(sum);
    return r;
}

void compareScans(const ScanResult& actual, const ScanResult& expected)
{
    QCOMPARE(actual.value, expected.value);
    QCOMPARE(actual.samples, expected.samples);
    QCOMPARE(actual.atFullScale, expected.atFullScale);
    QCOMPARE(actual.atZero, expected.atZero);
    QCOMPARE(actual.offPicture, expected.offPicture);
}

} // namespace

class TestDeepPicture : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scansCountAtSixteenBits_data();
    void scansCountAtSixteenBits();
    void eightBitScansKeepTheirSum_data();
    void eightBitScansKeepTheirSum();
    void filesKeepSixteenBits_data();
    void filesKeepSixteenBits();
    void jpegIsMarkedLossy();
    void alphaIsCompositedAtSixteenBits();
    void readsAndInversion();
    void planColoursInPictureUnits();
    void committedBlot_data();
    void committedBlot();
};

void TestDeepPicture::scansCountAtSixteenBits_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<FrameGeometry>("frame");
    QTest::addColumn<Channel>("channel");
    QTest::addColumn<int>("background");
    // Frames in picture pixels; both ends included, so width 9 covers 10 columns.
    const struct
    {
        const char* name;
        FrameGeometry frame;
    } frames[] = {
        {"inside", {3, 2, 9, 6}},
        {"across the top-left corner", {-4, -3, 9, 6}},
        {"across the bottom-right corner", {25, 15, 9, 6}},
        {"off the picture", {40, 30, 4, 4}},
        {"around the whole picture", {-1, -1, 31, 21}},
    };
    for (const auto& f : frames) {
        QTest::addRow("gray, %s", f.name)
            << QImage::Format_Grayscale16 << f.frame << Channel::Green << 313;
        QTest::addRow("rgb red, %s", f.name)
            << QImage::Format_RGBX64 << f.frame << Channel::Red << 0;
        QTest::addRow("rgb blue, %s", f.name)
            << QImage::Format_RGBX64 << f.frame << Channel::Blue << 40000;
    }
}

void TestDeepPicture::scansCountAtSixteenBits()
{
    QFETCH(QImage::Format, format);
    QFETCH(FrameGeometry, frame);
    QFETCH(Channel, channel);
    QFETCH(int, background);
    const QImage picture = deepPicture(format);
    ChannelLevels levels{background, background, background};
    const ScanResult scan = integrateFrameCounted(picture, frame, channel, levels);
    compareScans(scan,
                 expectedScan(picture, int(frame.left), int(frame.left + frame.width),
                              int(frame.top), int(frame.top + frame.height), channel, background));
    // A gray picture reads the same in every channel.
    if (format == QImage::Format_Grayscale16)
        QCOMPARE(integrateFrameCounted(picture, frame, Channel::Red, levels).value, scan.value);
}

void TestDeepPicture::eightBitScansKeepTheirSum_data()
{
    QTest::addColumn<FrameGeometry>("frame");
    QTest::addColumn<qulonglong>("atFullScale");
    QTest::addColumn<qulonglong>("atZero");
    QTest::addColumn<qulonglong>("offPicture");
    // 20 x 10 picture: columns 0-4 at 255, 5-9 at 0, the rest at 100 (red channel).
    QTest::newRow("inside, mixed") << FrameGeometry{3, 0, 4, 1} << 4ull << 6ull << 0ull;
    QTest::newRow("plain values") << FrameGeometry{10, 2, 5, 5} << 0ull << 0ull << 0ull;
    QTest::newRow("over the right edge") << FrameGeometry{18, 0, 3, 0} << 0ull << 0ull << 2ull;
}

void TestDeepPicture::eightBitScansKeepTheirSum()
{
    QFETCH(FrameGeometry, frame);
    QImage picture(20, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            picture.setPixel(x, y, qRgb(x < 5 ? 255 : x < 10 ? 0 : 100, 7, 9));
    const ColorValue background = rgbValue(30, 40, 50);
    const ScanResult scan =
        integrateFrameCounted(picture, frame, Channel::Red, levelsOf(background));
    QCOMPARE(scan.value, integrateFrame(picture, frame, Channel::Red, background));
    QTEST(qulonglong(scan.atFullScale), "atFullScale");
    QTEST(qulonglong(scan.atZero), "atZero");
    QTEST(qulonglong(scan.offPicture), "offPicture");
    QCOMPARE(scan.flagged(), scan.atFullScale + scan.atZero + scan.offPicture != 0);
}

void TestDeepPicture::filesKeepSixteenBits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("gray png") << "gray.png" << QImage::Format_Grayscale16;
    QTest::newRow("rgb png") << "rgb.png" << QImage::Format_RGBX64;
    QTest::newRow("gray tiff") << "gray.tif" << QImage::Format_Grayscale16;
    QTest::newRow("rgb tiff") << "rgb.tif" << QImage::Format_RGBX64;
}

void TestDeepPicture::filesKeepSixteenBits()
{
    QFETCH(QString, name);
    QFETCH(QImage::Format, format);
    QTemporaryDir dir;
    const QImage written = deepPicture(format);
    const QString path = test::savePicture(dir, name, written);
    QCOMPARE(fileChannelFullScale(path), 65535);
    const GelImageLoad load = loadGelImage(path);
    QVERIFY2(load.ok(), qPrintable(load.reason));
    QVERIFY(!load.lossy);
    QCOMPARE(load.image.format(), format);
    for (int y = 0; y < written.height(); ++y)
        for (int x = 0; x < written.width(); ++x)
            QCOMPARE(sampleOf(load.image, x, y, Channel::Blue),
                     sampleOf(written, x, y, Channel::Blue));
    QCOMPARE(screenRendering(load.image).depth() <= 32, true);
}

void TestDeepPicture::jpegIsMarkedLossy()
{
    QTemporaryDir dir;
    const QString jpeg =
        test::savePicture(dir, QStringLiteral("gel.jpg"), test::solidPicture(8, 8, qRgb(9, 9, 9)));
    const QString png =
        test::savePicture(dir, QStringLiteral("gel.png"), test::solidPicture(8, 8, qRgb(9, 9, 9)));
    QVERIFY(loadGelImage(jpeg).lossy);
    QVERIFY(!loadGelImage(png).lossy);
    QCOMPARE(loadGelImage(png).image.format(), QImage::Format_RGB32);
    QCOMPARE(fileChannelFullScale(png), 255);
}

void TestDeepPicture::alphaIsCompositedAtSixteenBits()
{
    QImage rgba(2, 1, QImage::Format_RGBA64);
    reinterpret_cast<QRgba64*>(rgba.scanLine(0))[0] = QRgba64::fromRgba64(0, 1000, 65535, 32768);
    reinterpret_cast<QRgba64*>(rgba.scanLine(0))[1] = QRgba64::fromRgba64(5, 6, 7, 65535);
    const QImage measured = toMeasurementImage(rgba);
    QCOMPARE(measured.format(), QImage::Format_RGBX64);
    // c * a + 65535 * (65535 - a), over 65535, rounded.
    QCOMPARE(levelsAt(measured, 0, 0), (ChannelLevels{32767, 33267, 65535}));
    QCOMPARE(levelsAt(measured, 1, 0), (ChannelLevels{5, 6, 7}));
}

void TestDeepPicture::readsAndInversion()
{
    QImage picture = deepPicture(QImage::Format_RGBX64);
    const QRgba64 first = reinterpret_cast<const QRgba64*>(picture.constScanLine(2))[3];
    QCOMPARE(levelsAt(picture, 3.7f, 2.2f),
             (ChannelLevels{first.red(), first.green(), first.blue()}));
    QCOMPARE(levelsAt(picture, -0.5f, 0), (ChannelLevels{65535, 65535, 65535}));
    QCOMPARE(levelsAt(picture, 30, 0), (ChannelLevels{65535, 65535, 65535}));

    invertPicture(picture);
    QCOMPARE(picture.format(), QImage::Format_RGBX64);
    QCOMPARE(levelsAt(picture, 3, 2),
             (ChannelLevels{65535 - first.red(), 65535 - first.green(), 65535 - first.blue()}));
    QCOMPARE(reinterpret_cast<const QRgba64*>(picture.constScanLine(2))[3].alpha(), quint16(65535));

    QImage gray = deepPicture(QImage::Format_Grayscale16);
    const int v = sampleOf(gray, 5, 5, Channel::Red);
    invertPicture(gray);
    QCOMPARE(sampleOf(gray, 5, 5, Channel::Red), 65535 - v);

    QCOMPARE(backgroundText(ChannelLevels{4660, 65535, 0}),
             QStringLiteral("Background (16 bits per channel)=4660,65535,0\nR=4660 (H1234)\n"
                            "G=65535 (HFFFF)\nB=0 (H0)"));
}

void TestDeepPicture::planColoursInPictureUnits()
{
    const MeasurementPlan plan =
        parseMeasurementPlan(u"background-color 300 65535 0", QStringLiteral("p"), 65535);
    QCOMPARE(plan.steps.at(0).levels, (ChannelLevels{300, 65535, 0}));
    QVERIFY_THROWS_EXCEPTION(
        PlanError, parseMeasurementPlan(u"background-color 0 65536 0", QStringLiteral("p"), 65535));
}

void TestDeepPicture::committedBlot_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("lane");
    QTest::addColumn<double>("scan");
    QTest::addColumn<qulonglong>("atFullScale");
    // samples/README.md's table.
    const double scans[] = {767086, 1498872, 2229839, 2961774, 4411959, 88425399};
    for (const char* file : {"blot16.tif", "blot16.png"})
        for (int lane = 1; lane <= 6; ++lane)
            QTest::addRow("%s lane %d", file, lane)
                << QString::fromLatin1(file) << lane << scans[lane - 1]
                << (lane == 6 ? 957ull : 0ull);
}

void TestDeepPicture::committedBlot()
{
    QFETCH(QString, file);
    QFETCH(int, lane);
    const GelImageLoad load =
        loadGelImage(qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/") + file);
    QVERIFY2(load.ok(), qPrintable(load.reason));
    const FrameGeometry frame{float(35 + 90 * (lane - 1)), 155, 69, 49};
    const ScanResult scan =
        integrateFrameCounted(load.image, frame, Channel::Blue, ChannelLevels{313, 313, 313});
    QTEST(scan.value, "scan");
    QTEST(qulonglong(scan.atFullScale), "atFullScale");
    QCOMPARE(scan.samples, 3500ull);
}

QTEST_GUILESS_MAIN(TestDeepPicture)
#include "tst_deeppicture.moc"
