// The measurement record: one entry per cell, the Measurements table, plan lines with
// quoted texts, and the plan written from a record replaying the same sheet; a plan made
// on another picture is refused by its SHA-256.

#include "core/measurementrecord.h"
#include "core/measurementsession.h"
#include "core/sheetdata.h"
#include "core/sheetfiles.h"
#include "support/gelpictures.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;

namespace {

// Dark bands on a light gel, with a white and a black corner so that scans count samples
// at full scale and at 0.
QImage testGel()
{
    QImage gel = test::gelPicture(120, 80, 200, 60, {QRect(10, 10, 30, 12), QRect(60, 40, 30, 12)});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            gel.setPixel(x, y, qRgb(255, 255, 255));
            gel.setPixel(116 + x, 76 + y, qRgb(0, 0, 0));
        }
    return gel;
}

// Every cell's text and note, so that two sheets compare as a whole.
QString sheetDump(const SheetData& sheet)
{
    QString dump = QString::fromUtf8(sheetTabText(sheet));
    for (int r = 1; r <= sheet.rowCount(); ++r)
        for (int c = 1; c <= sheet.columnCount(); ++c)
            if (!sheet.note(r, c).isEmpty())
                dump += QStringLiteral("\nnote R%1C%2 %3").arg(r).arg(c).arg(sheet.note(r, c));
    return dump;
}

// Words joined by '|'.
QStringList list(const char* joined)
{
    return QString::fromUtf8(joined).split(QLatin1Char('|'));
}

MeasurementEntry typed(int row, int column, const QString& text)
{
    MeasurementEntry entry;
    entry.cell = CellAddress{row, column};
    entry.text = text;
    entry.source = ValueSource::Typed;
    return entry;
}

} // namespace

class TestMeasurementRecord : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hashesAgreeWithQt_data();
    void hashesAgreeWithQt();
    void keepsOneEntryPerCell();
    void planLineWords_data();
    void planLineWords();
    void replaysTheSheet_data();
    void replaysTheSheet();
    void tableRowsHoldTheScan();
    void refusesAnotherPicture();
    void pixelHashIgnoresPadding();
};

void TestMeasurementRecord::keepsOneEntryPerCell()
{
    MeasurementRecord record;
    record.add(typed(1, 2, QStringLiteral("5")));
    record.add(typed(2, 3, QStringLiteral("7")));
    record.add(typed(1, 2, QStringLiteral("6")));
    QCOMPARE(record.entries().size(), std::size_t(2));
    QCOMPARE(record.entries()[0].text, QStringLiteral("7"));
    QCOMPARE(record.entryAt(1, 2)->text, QStringLiteral("6"));
    QCOMPARE(record.history().size(), std::size_t(3));
    // An emptied cell has no entry, but its write still replays.
    record.add(typed(2, 3, QString()));
    QVERIFY(!record.entryAt(2, 3));
    QCOMPARE(record.entries().size(), std::size_t(1));
    QCOMPARE(record.history().size(), std::size_t(4));
    record.clear();
    QVERIFY(record.isEmpty());
    QVERIFY(record.history().empty());
}

void TestMeasurementRecord::planLineWords_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("blanks") << "  frame 1\t2 3 4 " << list("frame|1|2|3|4");
    QTest::newRow("comment") << "cell 1 2 # band" << list("cell|1|2");
    QTest::newRow("quoted hash and blanks") << "value 1 2 \" a # b \"" << list("value|1|2| a # b ");
    QTest::newRow("empty quoted") << "value 1 2 \"\"" << list("value|1|2|");
    QTest::newRow("escapes") << "value 1 2 \"q\\\"\\\\\\t\\n\\r\"" << list("value|1|2|q\"\\\t\n\r");
}

void TestMeasurementRecord::planLineWords()
{
    QFETCH(QString, line);
    QFETCH(QStringList, words);
    QCOMPARE(kesto::planLineWords(line, QStringLiteral("p:1")), words);
    // Every text survives being written quoted and read back.
    const QString last = words.constLast();
    QCOMPARE(kesto::planLineWords(quotedPlanText(last), QStringLiteral("p:1")), QStringList{last});
}

void TestMeasurementRecord::replaysTheSheet_data()
{
    // What a person did, as a plan; the plan written from its record must replay it.
    QTest::addColumn<QString>("session");
    QTest::newRow("two bands and a control")
        << "background 100 70\ncell 1 2\nframe 10 10 29 11\ncell 1 3\nframe 60 40 29 11\n"
           "cell 2 2\nframe 55 35 40 20\n";
    QTest::newRow("value scanned again after the control")
        << "cell 1 3\nframe 60 40 29 11\ncell 1 2\nframe 0 0 20 20\nframe 10 10 29 11\n";
    QTest::newRow("channel, invert and a frame off the picture")
        << "channel green\nbackground-color 10 20 30\nframe 100 60 40 40\ninvert\n"
           "cell 3 3\nchannel blue\nframe 10 10 29 11\ninvert\n";
    QTest::newRow("typed values over scans and deleted")
        << "frame 10 10 29 11\ncell 1 3\nframe 60 40 29 11\nvalue 1 3 \"500\"\n"
           "pasted-value 2 2 \"x # y\"\nvalue 2 2 \"\"\nvalue 4 3 \"1e3\"\ncell 4 2\n"
           "frame 0 0 5 5\n";
    QTest::newRow("picked area and frame border")
        << "background-method area:5\nbackground 100 70\nframe 10 10 29 11\n"
           "background-method border:2:median\ncell 2 2\nframe 60 40 29 11\n";
}

void TestMeasurementRecord::replaysTheSheet()
{
    QFETCH(QString, session);
    const QImage gel = testGel();
    MeasurementSession person(gel);
    runMeasurementPlan(person, parseMeasurementPlan(session, QStringLiteral("session")));

    const QString planText = measurementPlanText(person.record());
    MeasurementSession replay(gel);
    runMeasurementPlan(replay, parseMeasurementPlan(planText, QStringLiteral("saved")));
    QCOMPARE(sheetDump(replay.sheet()), sheetDump(person.sheet()));
    // The replayed record holds the same values from the same frames.
    const std::vector<MeasurementEntry> before = person.record().entries();
    const std::vector<MeasurementEntry> after = replay.record().entries();
    QCOMPARE(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        QCOMPARE(after[i].text, before[i].text);
        QCOMPARE(after[i].source, before[i].source);
        QCOMPARE(after[i].frame.left, before[i].frame.left);
        QCOMPARE(after[i].frame.height, before[i].frame.height);
        QCOMPARE(after[i].inverted, before[i].inverted);
        QCOMPARE(after[i].background, before[i].background);
    }
}

void TestMeasurementRecord::tableRowsHoldTheScan()
{
    MeasurementSession session(testGel());
    session.setPicturePath(QString()); // a pasted picture: the pixels' hash
    session.pickBackground(100, 70);
    session.scanFrame(FrameGeometry{0, 0, 9, 4});
    session.setValue(1, 3, QStringLiteral("250"), ValueSource::Typed);

    const QList<QStringList> rows = measurementRows(session.record());
    QCOMPARE(rows.size(), 2);
    const QStringList headings = measurementHeadings();
    const auto field = [&](int row, const char* heading) {
        return rows.at(row).at(headings.indexOf(QLatin1String(heading)));
    };
    QCOMPARE(rows.at(0).size(), headings.size());
    QCOMPARE(rows.at(1).size(), headings.size());
    QCOMPARE(field(0, "Cell"), QStringLiteral("R1C2"));
    QCOMPARE(field(0, "Picture"), QStringLiteral("clipboard"));
    QCOMPARE(field(0, "SHA-256"), QString::fromLatin1(pixelSha256(session.picture())));
    QCOMPARE(field(0, "Background"), QStringLiteral("200,200,200"));
    QCOMPARE(field(0, "Picked at"), QStringLiteral("100,70"));
    QCOMPARE(field(0, "Frame width"), QStringLiteral("9"));
    QCOMPARE(field(0, "Samples"), QStringLiteral("50"));
    QCOMPARE(field(0, "At full scale"), QStringLiteral("16"));
    QCOMPARE(field(1, "Source"), QStringLiteral("typed"));
    QCOMPARE(field(1, "Frame left"), QString());

    const QString tip = measurementTip(*session.record().entryAt(1, 2));
    QVERIFY2(tip.contains(QStringLiteral("Frame: left 0, top 0, width 9, height 4")),
             qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("16 at full scale")), qPrintable(tip));

    SheetData sheet;
    fillMeasurementSheet(sheet, session.record());
    QCOMPARE(sheet.sheetName(), QStringLiteral("Measurements"));
    QCOMPARE(sheet.headingText(5), QStringLiteral("SHA-256"));
    QCOMPARE(sheet.text(2, 2), QStringLiteral("250"));
}

void TestMeasurementRecord::refusesAnotherPicture()
{
    const QImage gel = testGel();
    MeasurementSession person(gel);
    person.setPicturePath(QString());
    person.scanFrame(FrameGeometry{10, 10, 29, 11});
    const MeasurementPlan plan =
        parseMeasurementPlan(measurementPlanText(person.record()), QStringLiteral("saved"));

    QImage changed = gel;
    changed.setPixel(50, 50, qRgb(1, 2, 3));
    MeasurementSession other(changed);
    other.setPicturePath(QString());
    const QByteArray expected = pixelSha256(person.picture());
    const QByteArray found = pixelSha256(other.picture());
    try {
        runMeasurementPlan(other, plan);
        QFAIL("a plan made on another picture was replayed");
    } catch (const PictureHashError& error) {
        QVERIFY(error.message().contains(QString::fromLatin1(expected)));
        QVERIFY(error.message().contains(QString::fromLatin1(found)));
    }
    QCOMPARE(other.sheet().text(1, 2), QString());
    // Asked to, it replays anyway.
    QCOMPARE(runMeasurementPlan(other, plan, true).size(), std::size_t(1));
}

void TestMeasurementRecord::pixelHashIgnoresPadding()
{
    // Three gray bytes a line, padded to four: the padding byte must not count.
    QImage a(3, 2, QImage::Format_Grayscale8);
    QImage b(3, 2, QImage::Format_Grayscale8);
    for (QImage* image : {&a, &b})
        for (int y = 0; y < 2; ++y)
            std::fill_n(image->scanLine(y), image->bytesPerLine(), uchar(7));
    b.scanLine(0)[3] = 99;
    QCOMPARE(pixelSha256(a), pixelSha256(b));
    b.scanLine(0)[2] = 99;
    QVERIFY(pixelSha256(a) != pixelSha256(b));
}

// The record's hashes, taken with libcrypto, against Qt's own SHA-256: files empty, small
// and longer than one read, and a picture's pixels without the rows' padding.
void TestMeasurementRecord::hashesAgreeWithQt_data()
{
    QTest::addColumn<int>("bytes");
    QTest::newRow("empty") << 0;
    QTest::newRow("small") << 1000;
    QTest::newRow("past one read") << (3 << 20) + 17;
}

void TestMeasurementRecord::hashesAgreeWithQt()
{
    QFETCH(int, bytes);
    QByteArray data(bytes, Qt::Uninitialized);
    for (int i = 0; i < bytes; ++i)
        data[i] = char((i * 131) ^ (i >> 8));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("data.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    QCOMPARE(fileSha256(file.fileName()),
             QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());

    // 3 bytes a pixel: each row padded to 4 bytes, the padding not hashed.
    QImage picture(5, 1 + bytes / 1000, QImage::Format_RGB888);
    QByteArray pixels;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < 15; ++x)
            picture.scanLine(y)[x] = uchar(x + y);
        pixels.append(reinterpret_cast<const char*>(picture.constScanLine(y)), 15);
    }
    QCOMPARE(pixelSha256(picture),
             QCryptographicHash::hash(pixels, QCryptographicHash::Sha256).toHex());
}

QTEST_GUILESS_MAIN(TestMeasurementRecord)
#include "tst_measurementrecord.moc"
