#include "core/decoderwarnings.h"
#include "core/gelimage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace kesto;

namespace {

// A 64 x 48 picture whose every pixel differs from its neighbours, so a decoder that
// shifts, greys or drops rows shows.
QImage pattern()
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 5, (x + y) * 2));
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, format).write(image))
        qFatal("cannot encode a %s test picture", format);
    return bytes;
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A valid 1 x 1 PNG whose header then claims width x height pixels (with a correct CRC).
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray png = encoded(pattern().copy(0, 0, 1, 1), "png");
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), ... CRC after 13 bytes.
    const auto put = [&png](int at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = char(value >> (24 - 8 * i));
    };
    put(16, width);
    put(20, height);
    put(29, crc32(png.mid(12, 17)));
    return png;
}

// A bitmap file header and info header claiming width x height at bitCount bits per pixel,
// uncompressed, followed by a few bytes of pixel data.
QByteArray bmpClaiming(qint32 width, qint32 height, quint16 bitCount)
{
    QByteArray bmp(54 + 16, '\0');
    const auto put = [&bmp](int at, quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp[at + i] = char(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, quint32(bmp.size()), 4);
    put(10, 54, 4); // pixel data offset
    put(14, 40, 4); // info header size
    put(18, quint32(width), 4);
    put(22, quint32(height), 4);
    put(26, 1, 2); // planes
    put(28, bitCount, 2);
    return bmp;
}

int channelDistance(QRgb a, QRgb b)
{
    return qMax(qAbs(qRed(a) - qRed(b)),
                qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))));
}

} // namespace

class TestGelImage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tiffWarningsAreSilenced();
    void goodFiles_data();
    void goodFiles();
    void badFiles_data();
    void badFiles();
    void sizeLimit_data();
    void sizeLimit();
    void conversions_data();
    void conversions();
    void sampleGel();

private:
    QString write(const QString& name, const QByteArray& bytes);
    QTemporaryDir m_dir;
};

QString TestGelImage::write(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestGelImage::goodFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("tolerance"); // per channel; lossy formats differ a little

    const QImage image = pattern();
    QTest::newRow("BMP") << QStringLiteral("gel.bmp") << encoded(image, "bmp") << 0;
    QTest::newRow("PNG") << QStringLiteral("gel.png") << encoded(image, "png") << 0;
    QTest::newRow("TIFF") << QStringLiteral("gel.tif") << encoded(image, "tiff") << 0;
    QTest::newRow("PNG named .bmp: the content decides")
        << QStringLiteral("really-png.bmp") << encoded(image, "png") << 0;
    const QByteArray jpeg = encoded(image, "jpeg");
    QTest::newRow("JPEG") << QStringLiteral("gel.jpg") << jpeg << 40;
    QTest::newRow("JPEG with a trailer after its end marker")
        << QStringLiteral("trailer.jpg") << jpeg + QByteArray(3000, 'x') << 40;
}

void TestGelImage::goodFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, tolerance);

    const GelImageLoad load = loadGelImage(write(name, bytes));
    QVERIFY2(load.ok(), qPrintable(load.reason));
    QVERIFY(load.reason.isEmpty());
    QCOMPARE(load.image.format(), QImage::Format_RGB32);
    const QImage expected = pattern();
    QCOMPARE(load.image.size(), expected.size());
    int worst = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            worst = qMax(worst, channelDistance(load.image.pixel(x, y), expected.pixel(x, y)));
    QVERIFY2(worst <= tolerance,
             qPrintable(QStringLiteral("worst channel difference %1").arg(worst)));
}

void TestGelImage::badFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reasonPart");

    const QImage image = pattern();
    // Large enough that half the file lies in the scan data, past the tables.
    const QImage large = pattern().scaled(640, 480);
    const QByteArray jpeg = encoded(large, "jpeg");
    const QByteArray png = encoded(image, "png");
    const QByteArray bmp = encoded(image, "bmp");

    QTest::newRow("zero-byte file")
        << write(QStringLiteral("empty.bmp"), QByteArray()) << QStringLiteral("empty");
    QTest::newRow("text renamed .bmp")
        << write(QStringLiteral("notes.bmp"),
                 QByteArrayLiteral("Lane 1: control\nLane 2: sample\n"))
        << QStringLiteral("format");
    QTest::newRow("JPEG cut after its header")
        << write(QStringLiteral("header-only.jpg"), jpeg.left(700))
        << QStringLiteral("no end marker");
    QTest::newRow("JPEG cut in half")
        << write(QStringLiteral("half.jpg"), jpeg.left(jpeg.size() / 2))
        << QStringLiteral("no end marker");
    // The end marker is there, but libjpeg still runs out of scan data and warns.
    QTest::newRow("JPEG cut in half with an end marker glued on")
        << write(QStringLiteral("glued.jpg"),
                 jpeg.left(jpeg.size() / 2) + QByteArrayLiteral("\xFF\xD9"))
        << QStringLiteral("picture data ends early");
    QTest::newRow("PNG cut in half") << write(QStringLiteral("half.png"), png.left(png.size() / 2))
                                     << QStringLiteral("cannot be read");
    QTest::newRow("BMP one byte short")
        << write(QStringLiteral("short.bmp"), bmp.left(bmp.size() - 1))
        << QStringLiteral("incomplete");
    // Found by fuzzing: the pixel-data size a damaged header implies overflowed 64 bits.
    QTest::newRow("BMP header whose pixel data size overflows")
        << write(QStringLiteral("overflow.bmp"), bmpClaiming(0x7FFFFFFF, 0x7FFFFFFF, 0xFFFF))
        << QStringLiteral("incomplete");
    QTest::newRow("PNG header claiming 100000 x 100000")
        << write(QStringLiteral("huge.png"), pngClaiming(100000, 100000))
        << QStringLiteral("100000 x 100000");
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("no-such-gel.jpg"))
                                  << QStringLiteral("does not exist");
    const QString folder = m_dir.filePath(QStringLiteral("folder.jpg"));
    QDir().mkpath(folder);
    QTest::newRow("folder") << folder << QStringLiteral("folder");
    const QString locked = write(QStringLiteral("locked.bmp"), bmp);
    QFile::setPermissions(locked, QFileDevice::Permissions());
    QTest::newRow("no read permission") << locked << QStringLiteral("cannot be read");
}

void TestGelImage::badFiles()
{
    QFETCH(QString, path);
    QFETCH(QString, reasonPart);
    if (QByteArray(QTest::currentDataTag()) == "no read permission" && ::geteuid() == 0)
        QSKIP("running as root: a file without read permission is still readable");

    const GelImageLoad load = loadGelImage(path);
    QVERIFY(!load.ok());
    QVERIFY(load.image.isNull());
    QVERIFY2(load.reason.contains(reasonPart, Qt::CaseInsensitive), qPrintable(load.reason));
}

void TestGelImage::sizeLimit_data()
{
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("16000 x 16000") << qint64(16000) << qint64(16000) << true;
    QTest::newRow("16385 x 16384, just over 1 GiB") << qint64(16385) << qint64(16384) << false;
    QTest::newRow("product overflowing 64 bits") << (qint64(1) << 62) << (qint64(1) << 62) << false;
}

void TestGelImage::sizeLimit()
{
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(bool, allowed);
    QCOMPARE(pictureSizeAllowed(width, height), allowed);
    // Qt's reader must admit what we allow (its default of 128 MiB would not).
    applyPictureAllocationLimit();
    if (allowed)
        QVERIFY(qint64(QImageReader::allocationLimit()) * 1024 * 1024 >= width * height * 4);
}

void TestGelImage::conversions_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QRgb>("first");  // expected working pixel (0, 0)
    QTest::addColumn<QRgb>("second"); // expected working pixel (1, 0)

    QImage argb(2, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(0, 0, 0, 128)); // half-transparent black over white: 255 * 127 / 255
    argb.setPixel(1, 0, qRgba(255, 0, 0, 0)); // fully transparent: white
    QTest::newRow("alpha composited over white")
        << argb << qRgb(127, 127, 127) << qRgb(255, 255, 255);

    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3), qRgba(9, 9, 9, 0)});
    indexed.setPixel(0, 0, 0);
    indexed.setPixel(1, 0, 1);
    QTest::newRow("palette, one entry transparent")
        << indexed << qRgb(1, 2, 3) << qRgb(255, 255, 255);

    QImage mono(2, 1, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.setPixel(0, 0, 1);
    mono.setPixel(1, 0, 0);
    QTest::newRow("1-bit") << mono << qRgb(255, 255, 255) << qRgb(0, 0, 0);

    QImage grey8(2, 1, QImage::Format_Grayscale8);
    grey8.bits()[0] = 7;
    grey8.bits()[1] = 255;
    QTest::newRow("8-bit grey") << grey8 << qRgb(7, 7, 7) << qRgb(255, 255, 255);

    QImage grey16(2, 1, QImage::Format_Grayscale16);
    reinterpret_cast<quint16*>(grey16.bits())[0] = 0x8080; // 32896 / 257 = 128
    reinterpret_cast<quint16*>(grey16.bits())[1] = 0xFFFF;
    QTest::newRow("16-bit grey") << grey16 << qRgb(128, 128, 128) << qRgb(255, 255, 255);

    QImage rgb64(2, 1, QImage::Format_RGBX64);
    rgb64.setPixelColor(
        0, 0, QColor(QRgba64::fromRgba64(0x1234, 0xFFFF, 0x0000, 0xFFFF))); // 4660 / 257 = 18.1
    rgb64.setPixelColor(1, 0, QColor(QRgba64::fromRgba64(0x0101, 0x0202, 0x0303, 0xFFFF)));
    QTest::newRow("16 bits per channel") << rgb64 << qRgb(18, 255, 0) << qRgb(1, 2, 3);
}

void TestGelImage::conversions()
{
    QFETCH(QImage, source);
    QFETCH(QRgb, first);
    QFETCH(QRgb, second);
    const QImage sourceBefore = source.copy();
    const QImage working = toWorkingImage(source);
    QCOMPARE(working.format(), QImage::Format_RGB32);
    QCOMPARE(working.size(), source.size());
    QCOMPARE(working.pixel(0, 0), first);
    QCOMPARE(working.pixel(1, 0), second);
    QCOMPARE(source, sourceBefore); // the caller's picture is left alone
}

void TestGelImage::sampleGel()
{
    // The committed sample: 320 x 200, background 230 grey, bands as samples/README.md lists.
    const QString source = qEnvironmentVariable("KESTO_SOURCE_DIR");
    if (source.isEmpty())
        QSKIP("KESTO_SOURCE_DIR is not set");
    const GelImageLoad load = loadGelImage(source + QStringLiteral("/samples/gel.bmp"));
    QVERIFY2(load.ok(), qPrintable(load.reason));
    QCOMPARE(load.image.size(), QSize(320, 200));
    QCOMPARE(load.image.pixel(0, 0), qRgb(230, 230, 230));
    // Lane 1's sample band (columns 20..59, rows 50..65) is grey 60.
    QCOMPARE(load.image.pixel(20, 50), qRgb(60, 60, 60));
    QCOMPARE(load.image.pixel(59, 65), qRgb(60, 60, 60));
    QCOMPARE(load.image.pixel(60, 65), qRgb(230, 230, 230));
    // Lane 6's sample band is grey 185; every control band (rows 130..145) is grey 90.
    QCOMPARE(load.image.pixel(270, 58), qRgb(185, 185, 185));
    QCOMPARE(load.image.pixel(120, 130), qRgb(90, 90, 90));

    const GelImageLoad jpeg = loadGelImage(source + QStringLiteral("/samples/gel.jpg"));
    QVERIFY2(jpeg.ok(), qPrintable(jpeg.reason));
    QCOMPARE(jpeg.image.size(), QSize(320, 200));
}

void TestGelImage::tiffWarningsAreSilenced()
{
    // libtiff's own handler prints every unknown tag of an imager's TIFF on standard error.
    QVERIFY(!decoderWarningsSilenced());
    silenceDecoderWarnings();
    QVERIFY(decoderWarningsSilenced());
}

QTEST_GUILESS_MAIN(TestGelImage)
#include "tst_gelimage.moc"
