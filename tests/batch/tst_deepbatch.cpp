// The measure command on 16-bit files: every scan value and count is worked out here
// from the pixel array the test wrote, and a JPEG picture gives a warning.

#include "support/gelpictures.h"
#include "support/runprogram.h"
#include "support/tiffvariants.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>

using Run = kesto::test::ProgramRun;

namespace {

// kestoscan measure with the arguments.
Run kestoscan(const QStringList& arguments)
{
    return kesto::test::runKestoscan(QStringList{QStringLiteral("measure")} + arguments);
}

// 40 x 24, values spread over the whole range with full-scale and zero samples.
QImage deepPicture(bool gray)
{
    QImage image(40, 24, gray ? QImage::Format_Grayscale16 : QImage::Format_RGBX64);
    std::uint32_t state = 99;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        const std::uint32_t v = (state >> 8) & 0xFFFF;
        return std::uint16_t(v % 5 == 0 ? 65535 : v % 9 == 0 ? 0 : v);
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (gray)
                reinterpret_cast<std::uint16_t*>(image.scanLine(y))[x] = next();
            else
                reinterpret_cast<QRgba64*>(image.scanLine(y))[x] =
                    QRgba64::fromRgba64(next(), next(), next(), 65535);
        }
    return image;
}

int sample(const QImage& image, int x, int y, int channel)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return -1;
    if (image.format() == QImage::Format_Grayscale16)
        return reinterpret_cast<const std::uint16_t*>(image.constScanLine(y))[x];
    const QRgba64 p = reinterpret_cast<const QRgba64*>(image.constScanLine(y))[x];
    return channel == 0 ? p.red() : channel == 1 ? p.green() : p.blue();
}

// "value<TAB>samples<TAB>full<TAB>zero<TAB>off" for columns x0..x1 and rows y0..y1.
QByteArray expectedLine(const QImage& image, int x0, int y0, int x1, int y1, int channel,
                        int background)
{
    std::int64_t sum = 0, samples = 0, full = 0, zero = 0, off = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const int v = sample(image, x, y, channel);
            ++samples;
            if (v < 0) {
                ++off;
                sum += 65535 - background;
            } else {
                full += v == 65535;
                zero += v == 0;
                sum += v - background;
            }
        }
    return QByteArray::number(qint64(sum)) + '\t' + QByteArray::number(qint64(samples)) + '\t' +
           QByteArray::number(qint64(full)) + '\t' + QByteArray::number(qint64(zero)) + '\t' +
           QByteArray::number(qint64(off)) + '\n';
}

} // namespace

class TestDeepBatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void detailsMatchThePixels_data();
    void detailsMatchThePixels();
    void backgroundPickReadsSixteenBits();
    void jpegWarns();
    void pagesOfATiff();
};

void TestDeepBatch::detailsMatchThePixels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("gray");
    QTest::addColumn<QString>("channel");
    QTest::newRow("gray tiff") << "blot.tif" << true << "green";
    QTest::newRow("gray png") << "blot.png" << true << "red";
    QTest::newRow("rgb tiff") << "blot.tif" << false << "blue";
    QTest::newRow("rgb png") << "blot.png" << false << "green";
}

void TestDeepBatch::detailsMatchThePixels()
{
    QFETCH(QString, name);
    QFETCH(bool, gray);
    QFETCH(QString, channel);
    QTemporaryDir dir;
    const QImage picture = deepPicture(gray);
    const QString path = kesto::test::savePicture(dir, name, picture);
    const int c = channel == QLatin1String("red") ? 0 : channel == QLatin1String("green") ? 1 : 2;
    // A background above 255 is in the picture's units.
    const int background = 1313;
    // Inside, across the left and top edges, across the right and bottom ones, and off.
    const int frames[][4] = {{5, 4, 19, 9}, {-3, -2, 9, 6}, {35, 20, 9, 6}, {50, 30, 3, 3}};
    QStringList arguments{path,
                          QStringLiteral("--channel"),
                          channel,
                          QStringLiteral("--background-color"),
                          QStringLiteral("%1,%1,%1").arg(background),
                          QStringLiteral("--details")};
    QByteArray expected;
    for (const auto& f : frames) {
        arguments << QStringLiteral("--frame")
                  << QStringLiteral("%1,%2,%3,%4").arg(f[0]).arg(f[1]).arg(f[2]).arg(f[3]);
        expected += expectedLine(picture, f[0], f[1], f[0] + f[2], f[1] + f[3], c, background);
    }
    const Run run = kestoscan(arguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, expected);

    // Without --details, the values alone, one a line.
    arguments.removeAll(QStringLiteral("--details"));
    QByteArray values;
    for (const QByteArray& line : expected.split('\n'))
        if (!line.isEmpty())
            values += line.left(line.indexOf('\t')) + '\n';
    QCOMPARE(kestoscan(arguments).out, values);
}

void TestDeepBatch::backgroundPickReadsSixteenBits()
{
    QTemporaryDir dir;
    const QImage picture = deepPicture(true);
    const QString path = kesto::test::savePicture(dir, QStringLiteral("pick.png"), picture);
    const int background = sample(picture, 7, 3, 0);
    const Run run = kestoscan({path, QStringLiteral("--background"), QStringLiteral("7,3"),
                               QStringLiteral("--frame"), QStringLiteral("2,2,10,10"),
                               QStringLiteral("--details")});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, expectedLine(picture, 2, 2, 12, 12, 0, background));
    // An 8-bit picture still refuses colour values above 255.
    const QString bmp = kesto::test::savePicture(dir, QStringLiteral("pick.bmp"),
                                                 kesto::test::solidPicture(8, 8, qRgb(1, 2, 3)));
    const Run refused =
        kestoscan({bmp, QStringLiteral("--background-color"), QStringLiteral("256,0,0"),
                   QStringLiteral("--frame"), QStringLiteral("0,0,1,1")});
    QCOMPARE(refused.status, 2);
    QVERIFY2(refused.err.contains(QStringLiteral("from 0 to 255")), qPrintable(refused.err));
}

void TestDeepBatch::jpegWarns()
{
    QTemporaryDir dir;
    const QString jpeg = kesto::test::savePicture(dir, QStringLiteral("gel.jpg"),
                                                  kesto::test::solidPicture(8, 8, qRgb(9, 9, 9)));
    const QStringList arguments{jpeg, QStringLiteral("--frame"), QStringLiteral("0,0,3,3")};
    const QString warning =
        QStringLiteral("warning: %1 is JPEG-compressed (lossy): scan values are approximate\n")
            .arg(jpeg);
    const Run plain = kestoscan(arguments);
    QCOMPARE(plain.status, 0);
    QCOMPARE(plain.err, warning);
    const Run detailed = kestoscan(arguments + QStringList{QStringLiteral("--details")});
    QCOMPARE(detailed.status, 0);
    QCOMPARE(detailed.err, warning);
    QVERIFY(detailed.out.startsWith(plain.out.trimmed() + '\t'));
}

void TestDeepBatch::pagesOfATiff()
{
    // Three pages of a WhiteIsZero 16-bit imager file: measured in the stored counts of
    // the page asked for, by --page or by the plan made on it.
    QTemporaryDir dir;
    kesto::test::TiffVariant v;
    v.pages = 3;
    v.photometric = 0;
    v.compression = 8; // Deflate
    const QString path = dir.filePath(QStringLiteral("chemi.tif"));
    QVERIFY(kesto::test::writeTiffVariant(path, v));
    const int background = 100;
    std::int64_t sum = 0, full = 0, zero = 0;
    for (int y = 0; y <= 4; ++y)
        for (int x = 0; x <= 9; ++x) {
            const auto stored = std::int64_t(kesto::test::tiffStoredValue(v, 1, x, y, 0));
            sum += stored - background;
            full += stored == 65535;
            zero += stored == 0;
        }
    const QByteArray expected = QByteArray::number(qint64(sum)) + "\t50\t" +
                                QByteArray::number(qint64(full)) + '\t' +
                                QByteArray::number(qint64(zero)) + "\t0\n";
    const QStringList quick{path,
                            QStringLiteral("--background-color"),
                            QStringLiteral("100,100,100"),
                            QStringLiteral("--frame"),
                            QStringLiteral("0,0,9,4"),
                            QStringLiteral("--details")};
    const Run paged = kestoscan(quick + QStringList{QStringLiteral("--page"), QStringLiteral("2")});
    QCOMPARE(paged.err, QString());
    QCOMPARE(paged.status, 0);
    QCOMPARE(paged.out, expected);
    QVERIFY(kestoscan(quick).out != expected); // the first page is another picture

    const Run missing =
        kestoscan(quick + QStringList{QStringLiteral("--page"), QStringLiteral("4")});
    QCOMPARE(missing.status, 1);
    QVERIFY2(missing.err.contains(QStringLiteral("has 3 pages")), qPrintable(missing.err));
    const Run bad = kestoscan(quick + QStringList{QStringLiteral("--page"), QStringLiteral("0")});
    QCOMPARE(bad.status, 2);
    QVERIFY2(bad.err.contains(QStringLiteral("--page \"0\"")), qPrintable(bad.err));

    // A plan made on page 2 replays there, and refuses another page.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray sha =
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    const QString planPath = dir.filePath(QStringLiteral("page2.plan"));
    QFile plan(planPath);
    QVERIFY(plan.open(QIODevice::WriteOnly));
    plan.write("picture \"" + path.toUtf8() + "\" page 2\npicture-sha256 " + sha +
               "\nbackground-color 100 100 100\nframe 0 0 9 4\n");
    plan.close();
    const QStringList replay{path, QStringLiteral("--plan"), planPath, QStringLiteral("--details")};
    const Run replayed = kestoscan(replay);
    QCOMPARE(replayed.err, QString());
    QCOMPARE(replayed.out, expected);
    const Run otherPage =
        kestoscan(replay + QStringList{QStringLiteral("--page"), QStringLiteral("1")});
    QCOMPARE(otherPage.status, 2);
    QVERIFY2(otherPage.err.contains(QStringLiteral("made on page 2")), qPrintable(otherPage.err));

    const Run lanes = kesto::test::runKestoscan(
        {QStringLiteral("lanes"), path, QStringLiteral("--page"), QStringLiteral("3")});
    QCOMPARE(lanes.err, QString());
    QCOMPARE(lanes.status, 0);
}

QTEST_GUILESS_MAIN(TestDeepBatch)
#include "tst_deepbatch.moc"
