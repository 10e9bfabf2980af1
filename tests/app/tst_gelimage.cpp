#include "app/gelimage.h"

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

QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        qFatal("cannot encode test picture: %s", qPrintable(writer.errorString()));
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

void putBigEndian(QByteArray& bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (24 - 8 * i));
}

// A valid 1 x 1 PNG whose header then claims width x height pixels (with a correct CRC).
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QImage one(1, 1, QImage::Format_RGB32);
    one.fill(Qt::white);
    QByteArray png = encoded(one, "png");
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), ... CRC after 13 bytes.
    putBigEndian(png, 16, width);
    putBigEndian(png, 20, height);
    putBigEndian(png, 29, crc32(png.mid(12, 17)));
    return png;
}

int channelDistance(QRgb a, QRgb b)
{
    return qMax(qAbs(qRed(a) - qRed(b)), qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))));
}

} // namespace

class TestGelImage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void goodFiles_data();
    void goodFiles();
    void badFiles_data();
    void badFiles();
    void allocationLimitAdmitsLargeScans();
    void sizeLimit_data();
    void sizeLimit();
    void conversions_data();
    void conversions();
    void workingPictureIsNotCopied();
    void sampleGel();

private:
    QString write(const QString& name, const QByteArray& bytes);
    QTemporaryDir m_dir;
};

void TestGelImage::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

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
    QTest::addColumn<int>("tolerance");   // per channel; lossy formats differ a little

    const QImage image = pattern();
    QTest::newRow("BMP") << QStringLiteral("gel.bmp") << encoded(image, "bmp") << 0;
    QTest::newRow("PNG") << QStringLiteral("gel.png") << encoded(image, "png") << 0;
    QTest::newRow("TIFF") << QStringLiteral("gel.tif") << encoded(image, "tiff") << 0;
    QTest::newRow("ICO") << QStringLiteral("gel.ico") << encoded(image, "ico") << 0;
    QTest::newRow("PNG named .bmp: the content decides")
        << QStringLiteral("really-png.bmp") << encoded(image, "png") << 0;
    QTest::newRow("8-bit grey PNG")
        << QStringLiteral("grey.png") << encoded(image.convertToFormat(QImage::Format_Grayscale8), "png")
        << 255;   // checked for size and format only: grey differs from the colour pattern
    const QByteArray jpeg = encoded(image, "jpeg");
    QTest::newRow("JPEG") << QStringLiteral("gel.jpg") << jpeg << 40;
    QTest::newRow("progressive JPEG") << QStringLiteral("progressive.jpg") << encoded(image, "jpeg", true) << 40;
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
    QVERIFY2(worst <= tolerance, qPrintable(QStringLiteral("worst channel difference %1").arg(worst)));
}

void TestGelImage::badFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reasonPart");

    const QImage image = pattern();
    // Large enough that half the file lies in the scan data, past the tables.
    const QImage large = pattern().scaled(640, 480);
    const QByteArray jpeg = encoded(large, "jpeg");
    const QByteArray progressive = encoded(large, "jpeg", true);
    const QByteArray png = encoded(image, "png");
    const QByteArray bmp = encoded(image, "bmp");
    const QByteArray tiff = encoded(image, "tiff");

    QTest::newRow("zero-byte file") << write(QStringLiteral("empty.bmp"), QByteArray())
                                    << QStringLiteral("empty");
    QTest::newRow("text renamed .bmp")
        << write(QStringLiteral("notes.bmp"), QByteArrayLiteral("Lane 1: control\nLane 2: sample\n"))
        << QStringLiteral("format");
    QTest::newRow("JPEG cut after its header")
        << write(QStringLiteral("header-only.jpg"), jpeg.left(700)) << QStringLiteral("no end marker");
    QTest::newRow("JPEG cut in half") << write(QStringLiteral("half.jpg"), jpeg.left(jpeg.size() / 2))
                                      << QStringLiteral("no end marker");
    QTest::newRow("progressive JPEG cut in half")
        << write(QStringLiteral("half-progressive.jpg"), progressive.left(progressive.size() / 2))
        << QStringLiteral("no end marker");
    // The end marker is there, but libjpeg still runs out of scan data and warns.
    QTest::newRow("JPEG cut in half with an end marker glued on")
        << write(QStringLiteral("glued.jpg"), jpeg.left(jpeg.size() / 2) + QByteArrayLiteral("\xFF\xD9"))
        << QStringLiteral("picture data ends early");
    QTest::newRow("PNG cut in half") << write(QStringLiteral("half.png"), png.left(png.size() / 2))
                                     << QStringLiteral("cannot be read");
    QTest::newRow("PNG missing its last bytes")
        << write(QStringLiteral("short.png"), png.left(png.size() - 20)) << QStringLiteral("cannot be read");
    QTest::newRow("BMP cut in half") << write(QStringLiteral("half.bmp"), bmp.left(bmp.size() / 2))
                                     << QStringLiteral("incomplete");
    QTest::newRow("BMP one byte short") << write(QStringLiteral("short.bmp"), bmp.left(bmp.size() - 1))
                                        << QStringLiteral("incomplete");
    QTest::newRow("TIFF cut in half") << write(QStringLiteral("half.tif"), tiff.left(tiff.size() / 2))
                                      << QStringLiteral("cannot be read");
    QTest::newRow("PNG header claiming 100000 x 100000")
        << write(QStringLiteral("huge.png"), pngClaiming(100000, 100000)) << QStringLiteral("100000 x 100000");
    QTest::newRow("PNG header claiming 20000 x 20000")
        << write(QStringLiteral("large.png"), pngClaiming(20000, 20000)) << QStringLiteral("20000 x 20000");
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("no-such-gel.jpg"))
                                  << QStringLiteral("does not exist");
    QTest::newRow("empty file name") << QString() << QStringLiteral("No file name");
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

void TestGelImage::allocationLimitAdmitsLargeScans()
{
    applyPictureAllocationLimit();
    const qint64 limitBytes = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    QVERIFY(limitBytes >= qint64(16000) * 16000 * 4);
    // Qt's own default, 128 MiB, would refuse a 6000 x 6000 scan.
    QVERIFY(limitBytes >= qint64(6000) * 6000 * 4);
}

void TestGelImage::sizeLimit_data()
{
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("8000 x 8000") << qint64(8000) << qint64(8000) << true;
    QTest::newRow("16000 x 16000") << qint64(16000) << qint64(16000) << true;
    QTest::newRow("16384 x 16384, exactly 1 GiB") << qint64(16384) << qint64(16384) << true;
    QTest::newRow("16385 x 16384") << qint64(16385) << qint64(16384) << false;
    QTest::newRow("one long row of 2^28") << qint64(1) << qint64(1) * (1 << 28) << true;
    QTest::newRow("one long row of 2^28 + 1") << qint64(1) << qint64(1 << 28) + 1 << false;
    QTest::newRow("100000 x 100000") << qint64(100000) << qint64(100000) << false;
    QTest::newRow("product overflowing 64 bits") << (qint64(1) << 62) << (qint64(1) << 62) << false;
    QTest::newRow("empty") << qint64(0) << qint64(10) << false;
    QTest::newRow("negative") << qint64(-5) << qint64(-5) << false;
}

void TestGelImage::sizeLimit()
{
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(bool, allowed);
    QCOMPARE(pictureSizeAllowed(width, height), allowed);
}

void TestGelImage::conversions_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QRgb>("first");    // expected working pixel (0, 0)
    QTest::addColumn<QRgb>("second");   // expected working pixel (1, 0)

    QImage argb(2, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(0, 0, 0, 128));   // half-transparent black over white: 255 * 127 / 255
    argb.setPixel(1, 0, qRgba(255, 0, 0, 0));   // fully transparent: white
    QTest::newRow("alpha composited over white") << argb << qRgb(127, 127, 127) << qRgb(255, 255, 255);

    QImage opaque(2, 1, QImage::Format_ARGB32);
    opaque.setPixel(0, 0, qRgba(10, 20, 30, 255));
    opaque.setPixel(1, 0, qRgba(200, 100, 0, 255));
    QTest::newRow("opaque alpha kept as is") << opaque << qRgb(10, 20, 30) << qRgb(200, 100, 0);

    QImage premultiplied(2, 1, QImage::Format_ARGB32_Premultiplied);
    premultiplied.setPixel(0, 0, qRgba(64, 0, 0, 128));   // about (127.5, 0, 0) at half alpha
    premultiplied.setPixel(1, 0, qRgba(0, 0, 0, 255));
    QTest::newRow("premultiplied alpha over white")
        << premultiplied << qRgb(64 + 127, 127, 127) << qRgb(0, 0, 0);

    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3), qRgba(9, 9, 9, 0)});
    indexed.setPixel(0, 0, 0);
    indexed.setPixel(1, 0, 1);
    QTest::newRow("palette, one entry transparent") << indexed << qRgb(1, 2, 3) << qRgb(255, 255, 255);

    QImage mono(2, 1, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.setPixel(0, 0, 1);
    mono.setPixel(1, 0, 0);
    QTest::newRow("1-bit") << mono << qRgb(255, 255, 255) << qRgb(0, 0, 0);

    QImage grey(2, 1, QImage::Format_Grayscale8);
    grey.bits()[0] = 77;
    grey.bits()[1] = 0;
    QTest::newRow("8-bit grey") << grey << qRgb(77, 77, 77) << qRgb(0, 0, 0);

    QImage grey16(2, 1, QImage::Format_Grayscale16);
    reinterpret_cast<quint16*>(grey16.bits())[0] = 0x8080;   // 32896 / 257 = 128
    reinterpret_cast<quint16*>(grey16.bits())[1] = 0xFFFF;
    QTest::newRow("16-bit grey") << grey16 << qRgb(128, 128, 128) << qRgb(255, 255, 255);

    QImage rgb64(2, 1, QImage::Format_RGBX64);
    rgb64.setPixelColor(0, 0, QColor(QRgba64::fromRgba64(0x1234, 0xFFFF, 0x0000, 0xFFFF)));   // 4660 / 257 = 18.1
    rgb64.setPixelColor(1, 0, QColor(QRgba64::fromRgba64(0x0101, 0x0202, 0x0303, 0xFFFF)));
    QTest::newRow("16 bits per channel") << rgb64 << qRgb(18, 255, 0) << qRgb(1, 2, 3);

    QImage rgba64(2, 1, QImage::Format_RGBA64);
    rgba64.setPixelColor(0, 0, QColor(QRgba64::fromRgba64(0, 0, 0, 0)));
    rgba64.setPixelColor(1, 0, QColor(QRgba64::fromRgba64(0xFFFF, 0, 0, 0xFFFF)));
    QTest::newRow("16 bits per channel with alpha") << rgba64 << qRgb(255, 255, 255) << qRgb(255, 0, 0);

    QImage rgb888(2, 1, QImage::Format_RGB888);
    rgb888.setPixel(0, 0, qRgb(5, 6, 7));
    rgb888.setPixel(1, 0, qRgb(250, 251, 252));
    QTest::newRow("24-bit") << rgb888 << qRgb(5, 6, 7) << qRgb(250, 251, 252);
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
    QCOMPARE(source, sourceBefore);   // the caller's picture is left alone
}

void TestGelImage::workingPictureIsNotCopied()
{
    const QImage picture = pattern();
    const QImage working = toWorkingImage(picture);
    QCOMPARE(working.constBits(), picture.constBits());
    QVERIFY(toWorkingImage(QImage()).isNull());
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
    QCOMPARE(load.image.pixel(19, 50), qRgb(230, 230, 230));
    // Lane 6's sample band is grey 185; every control band (rows 130..145) is grey 90.
    QCOMPARE(load.image.pixel(270, 58), qRgb(185, 185, 185));
    QCOMPARE(load.image.pixel(120, 130), qRgb(90, 90, 90));
    QCOMPARE(load.image.pixel(120, 146), qRgb(230, 230, 230));

    const GelImageLoad jpeg = loadGelImage(source + QStringLiteral("/samples/gel.jpg"));
    QVERIFY2(jpeg.ok(), qPrintable(jpeg.reason));
    QCOMPARE(jpeg.image.size(), QSize(320, 200));
}

QTEST_GUILESS_MAIN(TestGelImage)
#include "tst_gelimage.moc"
