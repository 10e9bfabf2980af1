// 8-bit gray pictures measured as they are (Format_Grayscale8): every scan, count, profile,
// background and hash equals the 32-bit working picture's of the same pixels, with every
// background method, inverted or not; gray files load gray without becoming 32-bit.

#include "core/backgroundmethod.h"
#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/integration.h"
#include "core/lanefinder.h"
#include "core/laneprofile.h"
#include "core/measurementsession.h"
#include "core/pictureops.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdint>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::FrameGeometry)

namespace {

// 90 x 70 gray: two lanes (columns 10-29 and 50-69) of light bands on a noisy background,
// a block at 0 and one at 255 so that both ends are counted. A larger size repeats the
// noise over the whole picture.
QImage grayGel(int width = 90, int height = 70)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    std::uint32_t seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* line = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1103515245u + 12345u;
            int v = 30 + int((seed >> 16) % 40);
            const bool inLane = (x >= 10 && x < 30) || (x >= 50 && x < 70);
            if (inLane && ((y >= 15 && y < 22) || (y >= 40 && y < 44)))
                v += 120;
            if (x >= 80 && x < 90 && y < 6)
                v = 0;
            if (x >= 80 && x < 90 && y >= 64 && y < 70)
                v = 255;
            line[x] = std::uint8_t(v);
        }
    }
    return image;
}

struct Measured
{
    QString sheetText;
    ScanResult scan;
    BackgroundValues area;
    ChannelLevels background;
    std::vector<std::int64_t> profile;
    QByteArray hash;
};

Measured measure(const QImage& picture, const QString& method, bool inverted, Channel channel,
                 const FrameGeometry& frame)
{
    MeasurementSession session(picture);
    session.setLanes({LaneStrip::straight(FoundFrame{10, 0, 19, 69}, LaneOrientation::Vertical),
                      LaneStrip::straight(FoundFrame{50, 0, 19, 69}, LaneOrientation::Vertical)},
                     false);
    session.setChannel(channel);
    if (inverted)
        session.invertPicture();
    session.pickBackground(40.5f, 60.5f);
    session.setBackgroundMethod(*parseBackgroundMethod(method));
    Measured m;
    session.pickCell(1, 2);
    session.scanFrame(frame);
    m.sheetText = session.sheet().text(1, 2);
    m.scan = session.lastScan();
    m.area = session.areaAverage();
    m.background = session.backgroundLevels();
    m.profile = laneProfile(session.picture(), frame, channel, session.backgroundLevels(),
                            ProfileDirection::AlongRows)
                    .sums;
    m.hash = session.pixelHash();
    return m;
}

} // namespace

class TestGrayPicture : public QObject
{
    Q_OBJECT
private slots:
    void measuresAsTheWorkingPicture_data();
    void measuresAsTheWorkingPicture();
    void palettesOfGraysStayGray_data();
    void palettesOfGraysStayGray();
    void grayFilesLoadGray_data();
    void grayFilesLoadGray();
    void lanesFoundAsOnTheWorkingPicture();
};

void TestGrayPicture::measuresAsTheWorkingPicture_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<int>("channel");
    QTest::addColumn<FrameGeometry>("frame");

    const FrameGeometry band{12, 12, 15, 12};   // a band of lane 1
    const FrameGeometry corner{78, 60, 20, 20}; // over the 255 block and off the picture
    const FrameGeometry dark{75, -3, 14, 10};   // over the 0 block and off the top
    for (const char* method :
         {"pixel", "area:5", "border:2:mean", "border:3:median", "lane:minima", "lane:ball:10"}) {
        for (const bool inverted : {false, true}) {
            const char* how = inverted ? "inverted" : "as opened";
            QTest::addRow("%s %s band", method, how)
                << QString::fromLatin1(method) << inverted << int(Channel::Red) << band;
            QTest::addRow("%s %s green over 255", method, how)
                << QString::fromLatin1(method) << inverted << int(Channel::Green) << corner;
            QTest::addRow("%s %s blue over 0", method, how)
                << QString::fromLatin1(method) << inverted << int(Channel::Blue) << dark;
        }
    }
    QTest::newRow("whole picture")
        << QStringLiteral("pixel") << false << int(Channel::Red) << FrameGeometry{0, 0, 89, 69};
}

void TestGrayPicture::measuresAsTheWorkingPicture()
{
    QFETCH(QString, method);
    QFETCH(bool, inverted);
    QFETCH(int, channel);
    QFETCH(FrameGeometry, frame);

    const QImage gray = grayGel();
    const QImage working = toWorkingImage(gray);
    QCOMPARE(working.format(), QImage::Format_RGB32);
    QCOMPARE(MeasurementSession(gray).picture().format(), QImage::Format_Grayscale8);

    const Measured a = measure(gray, method, inverted, Channel(channel), frame);
    const Measured b = measure(working, method, inverted, Channel(channel), frame);
    QVERIFY(!a.sheetText.isEmpty());
    QCOMPARE(a.sheetText, b.sheetText);
    QCOMPARE(a.scan.value, b.scan.value);
    QCOMPARE(a.scan.samples, b.scan.samples);
    QCOMPARE(a.scan.atFullScale, b.scan.atFullScale);
    QCOMPARE(a.scan.atZero, b.scan.atZero);
    QCOMPARE(a.scan.offPicture, b.scan.offPicture);
    QCOMPARE(a.area.red, b.area.red);
    QCOMPARE(a.area.blue, b.area.blue);
    QCOMPARE(a.background, b.background);
    QCOMPARE(a.profile, b.profile);
    QCOMPARE(a.hash, b.hash);
    // The counts the frame's rows give: both ends are met where the frame says.
    if (frame.left == 78)
        QVERIFY(a.scan.offPicture > 0 && (inverted ? a.scan.atZero : a.scan.atFullScale) > 0);
    // The same sums without a session, and from the old single-channel sum.
    const ColorValue colour = pixelAt(working, 40.5f, 60.5f);
    QCOMPARE(integrateFrame(gray, frame, Channel(channel), colour),
             integrateFrame(working, frame, Channel(channel), colour));
    QCOMPARE(levelsAt(gray, 81.5f, 2.5f), levelsAt(working, 81.5f, 2.5f));
}

void TestGrayPicture::palettesOfGraysStayGray_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<int>("format"); // of the measurement picture

    QImage identity(4, 2, QImage::Format_Indexed8);
    QList<QRgb> grays;
    for (int i = 0; i < 256; ++i)
        grays << qRgb(i, i, i);
    identity.setColorTable(grays);
    for (int i = 0; i < 8; ++i)
        identity.bits()[i % 4 + (i / 4) * identity.bytesPerLine()] = uchar(i * 36);
    QTest::newRow("every gray") << identity << int(QImage::Format_Grayscale8);

    // A reversed, short palette: indices past its end read black, as the working picture has them.
    QImage reversed(4, 1, QImage::Format_Indexed8);
    reversed.setColorTable({qRgb(255, 255, 255), qRgb(128, 128, 128), qRgb(0, 0, 0)});
    for (int i = 0; i < 4; ++i)
        reversed.bits()[i] = uchar(i == 3 ? 200 : i);
    QTest::newRow("short reversed palette") << reversed << int(QImage::Format_Grayscale8);

    QImage coloured = reversed;
    coloured.setColorTable({qRgb(255, 255, 255), qRgb(128, 0, 128), qRgb(0, 0, 0)});
    QTest::newRow("a colour in the palette") << coloured << int(QImage::Format_RGB32);

    QImage clear = reversed;
    clear.setColorTable({qRgb(255, 255, 255), qRgba(128, 128, 128, 0), qRgb(0, 0, 0)});
    QTest::newRow("a transparent gray") << clear << int(QImage::Format_RGB32);
}

void TestGrayPicture::palettesOfGraysStayGray()
{
    QFETCH(QImage, picture);
    QFETCH(int, format);
    const QImage before = picture.copy();
    const QImage measured = toMeasurementImage(picture);
    QCOMPARE(int(measured.format()), format);
    QCOMPARE(picture, before); // the caller's picture is left alone
    const QImage working = toWorkingImage(picture);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            QCOMPARE(measured.pixel(x, y), working.pixel(x, y));
    QCOMPARE(pixelSha256(measured), pixelSha256(working));
}

void TestGrayPicture::grayFilesLoadGray_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    const QSize small(90, 70);
    QTest::newRow("PNG") << QStringLiteral("gel.png") << small;
    QTest::newRow("TIFF") << QStringLiteral("gel.tif") << small;
    QTest::newRow("PGM") << QStringLiteral("gel.pgm") << small;
    // Large enough for pictures of our own making that the readers fill (see newPicture).
    const QSize large(4000, 2300);
    QTest::newRow("large PNG") << QStringLiteral("gel.png") << large;
    QTest::newRow("large TIFF") << QStringLiteral("gel.tif") << large;
    QTest::newRow("large PGM") << QStringLiteral("gel.pgm") << large;
}

void TestGrayPicture::grayFilesLoadGray()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QImage gray = grayGel(size.width(), size.height());
    QVERIFY(gray.save(path));

    const GelImageLoad kept = loadMeasurementPicture(path);
    QVERIFY2(kept.ok(), qPrintable(kept.reason));
    QCOMPARE(kept.image.format(), QImage::Format_Grayscale8);
    const GelImageLoad widened = loadGelImage(path);
    QVERIFY2(widened.ok(), qPrintable(widened.reason));
    QCOMPARE(widened.image.format(), QImage::Format_RGB32);
    QCOMPARE(widened.image, toWorkingImage(gray));
    for (int y = 0; y < gray.height(); ++y)
        QVERIFY(std::equal(gray.constScanLine(y), gray.constScanLine(y) + gray.width(),
                           kept.image.constScanLine(y)));
    // A whole-picture scan and the file's identity as before.
    const FrameGeometry whole{0, 0, float(size.width() - 1), float(size.height() - 1)};
    const ScanResult a =
        integrateFrameCounted(kept.image, whole, Channel::Red, ChannelLevels{3, 3, 3});
    const ScanResult b =
        integrateFrameCounted(widened.image, whole, Channel::Red, ChannelLevels{3, 3, 3});
    QCOMPARE(a.value, b.value);
    QCOMPARE(a.atZero, b.atZero);
    QCOMPARE(a.atFullScale, b.atFullScale);
    QCOMPARE(pixelSha256(kept.image), pixelSha256(widened.image));
}

void TestGrayPicture::lanesFoundAsOnTheWorkingPicture()
{
    const QImage gray = grayGel();
    const QImage working = toWorkingImage(gray);
    for (const Channel channel : {Channel::Red, Channel::Blue}) {
        LaneFinderOptions options;
        options.channel = channel;
        const LaneFinding a = findLanesAndBands(gray, QRect(), options);
        const LaneFinding b = findLanesAndBands(working, QRect(), options);
        QVERIFY(!a.lanes.empty());
        QCOMPARE(a.lanes.size(), b.lanes.size());
        QCOMPARE(a.darkOnLight, b.darkOnLight);
        QCOMPARE(a.background, b.background);
        for (std::size_t l = 0; l < a.lanes.size(); ++l) {
            QVERIFY(a.lanes[l].frame == b.lanes[l].frame);
            QVERIFY(a.lanes[l].bands == b.lanes[l].bands);
        }
        QCOMPARE(channelValueAt(gray, 15, 17, channel), channelValueAt(working, 15, 17, channel));
    }
}

QTEST_GUILESS_MAIN(TestGrayPicture)
#include "tst_graypicture.moc"
