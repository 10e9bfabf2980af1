// TIFF files read as their imager wrote them. Every file here is written by the test with
// libtiff, in the variants imagers and image programs produce (depth, polarity,
// compression, strips or tiles, byte order, planes, pages), and every value read back is
// compared with the stored value the test computed for that pixel.
//
// With KESTO_TIFF_SEEDS set to a folder, the variants are also left there, as seeds for
// the picture fuzz target.

#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/integration.h"
#include "core/measurementplan.h"
#include "core/measurementrecord.h"
#include "core/pictureinfo.h"
#include "core/tiffpicture.h"
#include "support/tiffvariants.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <tiffio.h>

#include <cstdint>
#include <cstring>
#include <vector>

using namespace kesto;
using kesto::test::TiffVariant;
using Variant = TiffVariant;

namespace {

QString compressionTag(int compression)
{
    switch (compression) {
    case COMPRESSION_LZW:
        return QStringLiteral("lzw");
    case COMPRESSION_ADOBE_DEFLATE:
        return QStringLiteral("deflate");
    case COMPRESSION_PACKBITS:
        return QStringLiteral("packbits");
    default:
        return QStringLiteral("none");
    }
}

} // namespace

Q_DECLARE_METATYPE(kesto::test::TiffVariant)

class TestTiffPicture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void variantsReadTheirStoredValues_data();
    void variantsReadTheirStoredValues();
    void refusedWithTheReason_data();
    void refusedWithTheReason();
    void whiteIsZeroIsShownInverted();
    void pagesAndTagsAreListed();
    void recordNamesPolarityAndPage();
    void planKeepsThePage();
    void factsAndPageChoices();

private:
    QString write(const QString& name, const Variant& v);
    QTemporaryDir m_dir;
};

void TestTiffPicture::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestTiffPicture::write(const QString& name, const Variant& v)
{
    const QString path = m_dir.filePath(name);
    if (!kesto::test::writeTiffVariant(path, v))
        return QString();
    const QByteArray seeds = qgetenv("KESTO_TIFF_SEEDS");
    if (!seeds.isEmpty()) {
        QFile::remove(QDir(QString::fromLocal8Bit(seeds)).filePath(name));
        QFile::copy(path, QDir(QString::fromLocal8Bit(seeds)).filePath(name));
    }
    return path;
}

void TestTiffPicture::variantsReadTheirStoredValues_data()
{
    QTest::addColumn<Variant>("variant");
    QTest::addColumn<int>("page"); // 0: the first, as a plain open reads

    for (int bits : {8, 16})
        for (int photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE})
            for (int compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE,
                                    COMPRESSION_PACKBITS})
                for (bool tiled : {false, true})
                    for (bool bigEndian : {false, true}) {
                        Variant v;
                        v.bits = bits;
                        v.photometric = photometric;
                        v.compression = compression;
                        v.tiled = tiled;
                        v.bigEndian = bigEndian;
                        const QString name =
                            QStringLiteral("gray%1-%2-%3-%4-%5.tif")
                                .arg(bits)
                                .arg(photometric == PHOTOMETRIC_MINISWHITE ? QStringLiteral("wiz")
                                                                           : QStringLiteral("biz"))
                                .arg(compressionTag(compression),
                                     tiled ? QStringLiteral("tiles") : QStringLiteral("strips"),
                                     bigEndian ? QStringLiteral("mm") : QStringLiteral("ii"));
                        QTest::newRow(qPrintable(name)) << v << 0;
                    }

    for (int bits : {8, 16})
        for (bool planar : {false, true})
            for (bool tiled : {false, true}) {
                Variant v;
                v.bits = bits;
                v.samples = 3;
                v.photometric = PHOTOMETRIC_RGB;
                v.planar = planar;
                v.tiled = tiled;
                v.compression = bits == 16 ? COMPRESSION_LZW : COMPRESSION_ADOBE_DEFLATE;
                v.bigEndian = tiled;
                const QString name =
                    QStringLiteral("rgb%1-%2-%3.tif")
                        .arg(bits)
                        .arg(planar ? QStringLiteral("planar") : QStringLiteral("contig"),
                             tiled ? QStringLiteral("tiles") : QStringLiteral("strips"));
                QTest::newRow(qPrintable(name)) << v << 0;
            }

    Variant twelveInSixteen;
    twelveInSixteen.largest = 4095;
    twelveInSixteen.compression = COMPRESSION_LZW;
    QTest::newRow("gray12in16.tif") << twelveInSixteen << 0;

    Variant packed12;
    packed12.bits = 12;
    QTest::newRow("gray12packed.tif") << packed12 << 0;
    packed12.photometric = PHOTOMETRIC_MINISWHITE;
    packed12.compression = COMPRESSION_ADOBE_DEFLATE;
    packed12.bigEndian = true;
    QTest::newRow("gray12packed-wiz.tif") << packed12 << 0;

    Variant pages;
    pages.pages = 3;
    pages.photometric = PHOTOMETRIC_MINISWHITE;
    pages.compression = COMPRESSION_ADOBE_DEFLATE;
    for (int page = 1; page <= 3; ++page)
        QTest::addRow("pages3-page%d.tif", page) << pages << page;
}

void TestTiffPicture::variantsReadTheirStoredValues()
{
    QFETCH(Variant, variant);
    QFETCH(int, page);

    const QString path = write(QString::fromLatin1(QTest::currentDataTag()), variant);
    QVERIFY(!path.isEmpty());
    const GelImageLoad load = page == 0 ? loadGelImage(path) : loadGelImage(path, page);
    QVERIFY2(load.ok(), qPrintable(load.reason));
    QVERIFY(!load.lossy);
    QCOMPARE(load.pageCount, variant.pages);
    const QImage& picture = load.image;

    const int index = page == 0 ? 0 : page - 1;
    QCOMPARE(picture.size(),
             QSize(kesto::test::tiffPageWidth(index), kesto::test::tiffPageHeight(index)));
    const QImage::Format format = variant.bits == 8      ? QImage::Format_RGB32
                                  : variant.samples == 3 ? QImage::Format_RGBX64
                                                         : QImage::Format_Grayscale16;
    QCOMPARE(picture.format(), format);
    QCOMPARE(isWhiteIsZero(picture), variant.photometric == PHOTOMETRIC_MINISWHITE);
    QCOMPARE(picturePage(picture), variant.pages > 1 ? page : 0);
    QCOMPARE(fileChannelFullScale(path, page), variant.bits == 8 ? 255 : 65535);

    // Every pixel reads its stored value, and a scan of the whole picture sums them.
    const int fullScale = channelFullScale(picture);
    const int background = 3;
    for (int c = 0; c < 3; ++c) {
        const int channel = variant.samples == 3 ? c : 0;
        double sum = 0;
        std::uint64_t atFull = 0, atZero = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const auto expected =
                    int(kesto::test::tiffStoredValue(variant, index, x, y, channel));
                const ChannelLevels levels = levelsAt(picture, float(x) + 0.5f, float(y) + 0.5f);
                const int read = c == 0 ? levels.red : c == 1 ? levels.green : levels.blue;
                if (read != expected)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 channel %3: read %4, stored %5")
                                         .arg(x)
                                         .arg(y)
                                         .arg(c)
                                         .arg(read)
                                         .arg(expected)));
                sum += expected - background;
                atFull += expected == fullScale;
                atZero += expected == 0;
            }
        const FrameGeometry whole{0, 0, float(picture.width() - 1), float(picture.height() - 1)};
        const ScanResult scan =
            integrateFrameCounted(picture, whole,
                                  c == 0   ? Channel::Red
                                  : c == 1 ? Channel::Green
                                           : Channel::Blue,
                                  ChannelLevels{background, background, background});
        QCOMPARE(scan.value, sum);
        QCOMPARE(scan.samples, std::uint64_t(picture.width()) * std::uint64_t(picture.height()));
        QCOMPARE(scan.atFullScale, atFull);
        QCOMPARE(scan.atZero, atZero);
        QCOMPARE(scan.offPicture, std::uint64_t(0));
    }
}

void TestTiffPicture::refusedWithTheReason_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("reasonPart");

    Variant floats;
    floats.bits = 32;
    floats.sampleFormat = SAMPLEFORMAT_IEEEFP;
    QTest::newRow("32-bit float") << write(QStringLiteral("float32.tif"), floats) << 0
                                  << QStringLiteral("32-bit floating-point");
    Variant signedWords;
    signedWords.sampleFormat = SAMPLEFORMAT_INT;
    QTest::newRow("16-bit signed")
        << write(QStringLiteral("int16.tif"), signedWords) << 0 << QStringLiteral("16-bit signed");
    Variant words32;
    words32.bits = 32;
    QTest::newRow("32-bit unsigned") << write(QStringLiteral("uint32.tif"), words32) << 0
                                     << QStringLiteral("32 bits per sample");
    Variant pages;
    pages.pages = 3;
    const QString threePages = write(QStringLiteral("pages3.tif"), pages);
    QTest::newRow("page past the last") << threePages << 4 << QStringLiteral("has 3 pages");
    QTest::newRow("page of a single picture")
        << write(QStringLiteral("single.tif"), Variant()) << 2 << QStringLiteral("has one page");

    // Damaged in its picture data: libtiff writes the strips first and the directory
    // last, so the directory stays whole.
    Variant plain;
    plain.compression = COMPRESSION_ADOBE_DEFLATE;
    const QString whole = write(QStringLiteral("whole.tif"), plain);
    QFile file(whole);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    for (int i = 40; i < bytes.size() / 3; ++i)
        bytes[i] = char(0xA5);
    const QString garbled = m_dir.filePath(QStringLiteral("garbled.tif"));
    QFile out(garbled);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    QTest::newRow("garbled deflate data") << garbled << 0 << QStringLiteral("cannot be read");
}

void TestTiffPicture::refusedWithTheReason()
{
    QFETCH(QString, path);
    QFETCH(int, page);
    QFETCH(QString, reasonPart);
    QVERIFY(!path.isEmpty());
    const GelImageLoad load = page == 0 ? loadGelImage(path) : loadGelImage(path, page);
    QVERIFY(!load.ok());
    QVERIFY2(load.reason.contains(reasonPart), qPrintable(load.reason));
}

void TestTiffPicture::whiteIsZeroIsShownInverted()
{
    // A chemiluminescence blot as such imagers write it: the band's counts are high, the
    // membrane's low, and 0 is white.
    for (int bits : {8, 16}) {
        Variant v;
        v.bits = bits;
        v.photometric = PHOTOMETRIC_MINISWHITE;
        const QString path = write(QStringLiteral("blot%1-wiz.tif").arg(bits), v);
        GelImageLoad load = loadGelImage(path);
        QVERIFY2(load.ok(), qPrintable(load.reason));
        const QImage shown = screenRendering(load.image);
        QVERIFY(!shown.isNull());
        // The largest count (x 0, y 2) shows black, the zero (x 0, y 1) white.
        QCOMPARE(qGray(shown.pixel(0, 2)), 0);
        QCOMPARE(qGray(shown.pixel(0, 1)), 255);
        // Still measured in stored counts.
        QCOMPARE(levelsAt(load.image, 0.5f, 2.5f).green, bits == 8 ? 255 : 65535);
        QCOMPARE(polarityText(load.image), QStringLiteral("WhiteIsZero"));
    }
    // A BlackIsZero 8-bit picture is shown as it is.
    const GelImageLoad plain = loadGelImage(write(QStringLiteral("plain8.tif"), [] {
        Variant v;
        v.bits = 8;
        return v;
    }()));
    QVERIFY(plain.ok());
    QVERIFY(screenRendering(plain.image).isNull());
    QCOMPARE(polarityText(plain.image), QStringLiteral("BlackIsZero"));
}

void TestTiffPicture::pagesAndTagsAreListed()
{
    Variant v;
    v.pages = 2;
    v.bigEndian = true;
    v.tiled = true;
    v.compression = COMPRESSION_LZW;
    QFile file(write(QStringLiteral("listed.tif"), v));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString reason;
    const std::vector<TiffPageInfo> pages = readTiffPages(file, &reason);
    QVERIFY2(pages.size() == 2, qPrintable(reason));
    QCOMPARE(pages[1].width, kesto::test::tiffPageWidth(1));
    QCOMPARE(pages[1].height, kesto::test::tiffPageHeight(1));
    QCOMPARE(pages[1].bitsPerSample, 16);
    QVERIFY(pages[1].tiled && pages[1].bigEndian);
    QCOMPARE(tiffCompressionName(pages[1].compression), QStringLiteral("LZW"));
    QCOMPARE(pages[1].xResolution, 300.0);
    QCOMPARE(pages[1].description, QStringLiteral("Exposure 30 s, page 2"));
    QCOMPARE(pages[0].make, QStringLiteral("Test Imager Co."));
    QCOMPARE(pages[0].model, QStringLiteral("Chemi 2000"));
    QCOMPARE(pages[0].software, QStringLiteral("tst_tiffpicture"));
    QCOMPARE(pages[0].dateTime, QStringLiteral("2026:01:02 03:04:05"));

    // Bytes that are not a TIFF list nothing, with the reason.
    QByteArray junk("II*\0garbage", 11);
    QBuffer buffer(&junk);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QVERIFY(readTiffPages(buffer, &reason).empty());
    QVERIFY(!reason.isEmpty());
}

void TestTiffPicture::recordNamesPolarityAndPage()
{
    Variant v;
    v.pages = 2;
    v.photometric = PHOTOMETRIC_MINISWHITE;
    const QString path = write(QStringLiteral("recorded.tif"), v);
    const GelImageLoad load = loadGelImage(path, 2);
    QVERIFY2(load.ok(), qPrintable(load.reason));
    const PictureIdentity identity = pictureIdentity(load.image, path);
    QCOMPARE(identity.page, 2);
    QCOMPARE(identity.polarity, QStringLiteral("WhiteIsZero"));
    QVERIFY2(identity.tags.contains(QStringLiteral("Exposure 30 s, page 2")),
             qPrintable(identity.tags));
    QVERIFY2(identity.tags.contains(QStringLiteral("Chemi 2000")), qPrintable(identity.tags));
}

void TestTiffPicture::planKeepsThePage()
{
    // Old plans, without a page, still read; a plan written on page 2 says so, and names
    // the picture again when the page changes within the same file.
    QCOMPARE(parseMeasurementPlan(u"picture \"gel.tif\"", QStringLiteral("p")).steps.at(0).page, 0);
    QCOMPARE(
        parseMeasurementPlan(u"picture \"gel.tif\" page 3", QStringLiteral("p")).steps.at(0).page,
        3);
    MeasurementRecord record;
    MeasurementEntry entry;
    entry.cell = CellAddress{1, 2};
    entry.text = QStringLiteral("5");
    entry.picture.path = QStringLiteral("/data/chemi.tif");
    entry.picture.sha256 = QByteArray(64, 'a');
    entry.picture.page = 2;
    record.add(entry);
    entry.picture.page = 3;
    entry.cell.row = 2;
    record.add(entry);
    const QString text = measurementPlanText(record);
    QVERIFY2(text.contains(QStringLiteral("picture \"/data/chemi.tif\" page 2\npicture-sha256 ")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("picture \"/data/chemi.tif\" page 3\n")),
             qPrintable(text));
    const MeasurementPlan plan = parseMeasurementPlan(text, QStringLiteral("p"));
    QCOMPARE(plan.steps.at(0).page, 2);

    // The measurements table shows the page and polarity.
    const QList<QStringList> rows = measurementRows(record);
    const QStringList headings = measurementHeadings();
    QCOMPARE(rows.at(0).at(headings.indexOf(QStringLiteral("Page"))), QStringLiteral("2"));
    QCOMPARE(rows.at(0).at(headings.indexOf(QStringLiteral("Polarity"))),
             QStringLiteral("BlackIsZero"));
}

void TestTiffPicture::factsAndPageChoices()
{
    Variant v;
    v.pages = 2;
    v.photometric = PHOTOMETRIC_MINISWHITE;
    v.bigEndian = true;
    v.tiled = true;
    v.compression = COMPRESSION_LZW;
    const QString path = write(QStringLiteral("facts.tif"), v);
    const PictureFacts facts = pictureFacts(path, 2);
    const auto fact = [&](const char* label) {
        for (const auto& f : facts)
            if (f.first == QLatin1String(label))
                return f.second;
        return QStringLiteral("(none)");
    };
    QCOMPARE(fact("File"), path);
    QCOMPARE(fact("Format"), QStringLiteral("TIFF"));
    QCOMPARE(fact("Page"), QStringLiteral("2 of 2"));
    QCOMPARE(fact("Size"), QStringLiteral("40 x 31 pixels"));
    QCOMPARE(fact("Depth"), QStringLiteral("16-bit gray"));
    QVERIFY(fact("Polarity").startsWith(QStringLiteral("WhiteIsZero")));
    QCOMPARE(fact("Compression"), QStringLiteral("LZW"));
    QCOMPARE(fact("Layout"), QStringLiteral("tiles, big-endian (MM)"));
    QCOMPARE(fact("Resolution"), QStringLiteral("300 x 300 pixels per inch"));
    QCOMPARE(fact("Description"), QStringLiteral("Exposure 30 s, page 2"));
    QCOMPARE(fact("Make"), QStringLiteral("Test Imager Co."));
    QCOMPARE(fact("Date and time"), QStringLiteral("2026:01:02 03:04:05"));
    QVERIFY(pictureFactsText(facts).contains(QStringLiteral("\nModel: Chemi 2000\n")));

    QCOMPARE(
        picturePageChoices(path),
        QStringList(
            {QStringLiteral("Page 1: 37 x 29, 16-bit gray, WhiteIsZero - Exposure 30 s, page 1"),
             QStringLiteral("Page 2: 40 x 31, 16-bit gray, WhiteIsZero - Exposure 30 s, page 2")}));
    QVERIFY(picturePageChoices(write(QStringLiteral("one.tif"), Variant())).isEmpty());

    const PictureFacts missing = pictureFacts(path, 3);
    QCOMPARE(missing.last().first, QStringLiteral("Problem"));
    QVERIFY(missing.last().second.contains(QStringLiteral("has 2 pages")));

    // Other formats say what Qt's reader knows.
    QImage png(5, 4, QImage::Format_Grayscale16);
    png.fill(0);
    png.setText(QStringLiteral("Description"), QStringLiteral("white light"));
    const QString pngPath = m_dir.filePath(QStringLiteral("facts.png"));
    QVERIFY(png.save(pngPath));
    const PictureFacts other = pictureFacts(pngPath);
    QVERIFY2(pictureFactsText(other).contains(QStringLiteral("Format: PNG\nSize: 5 x 4 pixels\n"
                                                             "Depth: 16 bits per channel\n"
                                                             "Description: white light")),
             qPrintable(pictureFactsText(other)));
    QVERIFY(picturePageChoices(pngPath).isEmpty());
}

QTEST_GUILESS_MAIN(TestTiffPicture)
#include "tst_tiffpicture.moc"
