// A session in the real window, saved as a measurement plan and as a workbook: the plan
// replayed by the program without a display gives the same sheet, the record shows in the
// cells' tips and as origin frames, and a changed picture is refused.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "components/sheetmodel.h"
#include "components/worksheet.h"
#include "core/sheetdata.h"
#include "core/sheetfiles.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"
#include "support/runprogram.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kesto;

using Run = kesto::test::ProgramRun;

namespace {

Run kestoscan(const QStringList& arguments)
{
    return kesto::test::runKestoscan(arguments);
}

QString sampleGel()
{
    return qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/gel.bmp");
}

// A gel whose background is not flat: a pick and the mean of the area around it differ.
QImage texturedGel(bool deep)
{
    QImage gel =
        kesto::test::gelPicture(200, 120, 200, 60, {QRect(20, 30, 30, 10), QRect(90, 30, 30, 10)});
    for (int y = 90; y < 110; ++y)
        for (int x = 150; x < 190; ++x)
            if ((x * 7 + y * 3) % 5 == 0)
                gel.setPixel(x, y, qRgb(150, 150, 150));
    gel.setPixel(160, 100, qRgb(240, 240, 240));
    if (!deep)
        return gel;
    QImage wide(gel.size(), QImage::Format_Grayscale16);
    for (int y = 0; y < gel.height(); ++y) {
        auto* line = reinterpret_cast<quint16*>(wide.scanLine(y));
        for (int x = 0; x < gel.width(); ++x)
            line[x] = quint16(qRed(gel.pixel(x, y)) * 13 + 7);
    }
    return wide;
}

} // namespace

class TestRecordReplay : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void windowSessionReplaysByteForByte();
    void everyMethodAndDepthReplays_data();
    void everyMethodAndDepthReplays();
    void tipAndOriginFrameShowTheRecord();

private:
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(form->picImage, Qt::LeftButton, {}, from);
        QTest::mouseMove(form->picImage, to);
        QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, to);
    }
    void trigger(int band, const char* tool)
    {
        form->tool(band, QLatin1String(tool)).action()->trigger();
    }
    // A person's session: drags, sizing, working-cell picks, a channel change, an
    // invert, a background pick and a typed value over a scan.
    void personsSession();

    std::unique_ptr<test::FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestRecordReplay::init()
{
    prompts = std::make_unique<test::FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestRecordReplay::cleanup()
{
    form.reset();
    prompts.reset();
    dir.reset();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TestRecordReplay::personsSession()
{
    QVERIFY(form->openPicture(sampleGel()));
    // Background picked outside the frame, then the first band.
    QTest::mousePress(form->picImage, Qt::LeftButton, {}, QPoint(300, 190));
    QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, QPoint(300, 190));
    drag(QPoint(5, 5), QPoint(25, 55));
    drag(QPoint(form->shpPointer.left + form->shpPointer.width - 1,
                form->shpPointer.top + form->shpPointer.height - 1),
         QPoint(60, 66));
    form->f1Report_Click(1, 3);
    drag(QPoint(30, 60), QPoint(30, 140));
    form->f1Report_Click(2, 2);
    trigger(BandToolbar, "mnuGreen");
    drag(QPoint(30, 140), QPoint(280, 60));
    trigger(BandToolbar, "mnuInvert");
    form->f1Report_Click(2, 3);
    drag(QPoint(280, 60), QPoint(130, 60));
    // A value typed over the control scanned first.
    SheetModel* model = form->f1Report->model();
    QVERIFY(model->setData(model->index(0, 2), QStringLiteral("-90000")));
}

void TestRecordReplay::windowSessionReplaysByteForByte()
{
    personsSession();
    const QByteArray sheet = sheetTabText(form->f1Report->data());
    QCOMPARE(form->session().record().entries().size(), std::size_t(4));

    const QString plan = dir->filePath(QStringLiteral("session.plan"));
    prompts->saveAnswers << plan;
    trigger(BandFile, "mnuSavePlan");
    QVERIFY(QFile::exists(plan));

    const QString book = dir->filePath(QStringLiteral("session.xlsx"));
    prompts->saveAnswers << book;
    prompts->saveFilterAnswers << 0;
    trigger(BandToolbar, "mnuSave");
    QVERIFY(prompts->messages.isEmpty());

    const Run run =
        kestoscan({QStringLiteral("measure"), sampleGel(), QStringLiteral("--plan"), plan});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, sheet);

    // The batch mode's workbook carries the same record as its second sheet.
    const QString batchBook = dir->filePath(QStringLiteral("batch.xlsx"));
    QCOMPARE(kestoscan({QStringLiteral("measure"), sampleGel(), QStringLiteral("--plan"), plan,
                        QStringLiteral("--output"), batchBook})
                 .status,
             0);
    // Read back: a "Measurements" sheet with a header and a row per entry, holding the
    // picture's hash and each scanned frame.
    auto zipEntry = [](const QString& zip, const QString& entry) {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, entry});
        unzip.waitForFinished(30000);
        return unzip.readAllStandardOutput();
    };
    for (const QString& path : {book, batchBook}) {
        QVERIFY2(
            zipEntry(path, QStringLiteral("xl/workbook.xml")).contains("name=\"Measurements\""),
            qPrintable(path));
        const QByteArray rows = zipEntry(path, QStringLiteral("xl/worksheets/sheet2.xml"));
        QCOMPARE(rows.count("<row "), qsizetype(form->session().record().entries().size() + 1));
        QVERIFY2(zipEntry(path, QStringLiteral("xl/sharedStrings.xml"))
                     .contains(form->session().pictureIdentity().sha256),
                 qPrintable(path));
        for (const MeasurementEntry& entry : form->session().record().entries()) {
            if (entry.source == ValueSource::Scan)
                QVERIFY2(
                    rows.contains("<v>" + QByteArray::number(double(entry.frame.left)) + "</v>"),
                    qPrintable(
                        QStringLiteral("%1: frame left %2").arg(path).arg(entry.frame.left)));
        }
    }

    // A changed picture is refused, naming both hashes; --ignore-hash replays anyway.
    QImage changed(sampleGel());
    changed.setPixel(0, 0, qRgb(1, 2, 3));
    const QString other = dir->filePath(QStringLiteral("changed.bmp"));
    QVERIFY(changed.save(other));
    const Run refused =
        kestoscan({QStringLiteral("measure"), other, QStringLiteral("--plan"), plan});
    QCOMPARE(refused.status, 2);
    QVERIFY2(refused.err.contains(QString::fromLatin1(form->session().pictureIdentity().sha256)),
             qPrintable(refused.err));
    QVERIFY(refused.out.isEmpty());
    QCOMPARE(kestoscan({QStringLiteral("measure"), other, QStringLiteral("--plan"), plan,
                        QStringLiteral("--ignore-hash")})
                 .status,
             0);

    // Replayed in the window on a cleared sheet, the plan fills it as the person did.
    prompts->dialogHandler = [](QDialog& dialog) -> int {
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            return int(QDialog::Rejected);
        QTest::keyClick(&dialog, Qt::Key_Y);
        return dialog.result();
    };
    trigger(BandToolbar, "mnuClear");
    QVERIFY(form->session().record().isEmpty());
    prompts->openAnswers << plan;
    trigger(BandFile, "mnuOpenPlan");
    QCOMPARE(sheetTabText(form->f1Report->data()), sheet);
    QCOMPARE(form->session().record().entries().size(), std::size_t(4));
}

void TestRecordReplay::everyMethodAndDepthReplays_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QList<bool>>("depths"); // one picture of each, in turn

    const QStringList methods{QStringLiteral("pixel"),         QStringLiteral("area:5"),
                              QStringLiteral("border:2:mean"), QStringLiteral("border:3:median"),
                              QStringLiteral("lane:minima"),   QStringLiteral("lane:ball:4")};
    for (const QString& method : methods) {
        QTest::newRow(qPrintable(method + QStringLiteral(", 8-bit")))
            << method << QList<bool>{false};
        QTest::newRow(qPrintable(method + QStringLiteral(", 16-bit")))
            << method << QList<bool>{true};
    }
    QTest::newRow("area:5, three pictures of mixed depth")
        << QStringLiteral("area:5") << QList<bool>{false, true, false};
}

void TestRecordReplay::everyMethodAndDepthReplays()
{
    QFETCH(QString, method);
    QFETCH(QList<bool>, depths);

    int row = 1;
    for (qsizetype i = 0; i < depths.size(); ++i) {
        QImage picture = texturedGel(depths.at(i));
        if (i == 2)
            picture.setPixel(0, 0, qRgb(1, 1, 1)); // another file than the first
        const QString path = dir->filePath(QStringLiteral("gel%1.png").arg(i));
        QVERIFY(picture.save(path));
        QVERIFY(form->openPicture(path));
        // The pick first, then the method: the area's mean follows the method.
        QTest::mousePress(form->picImage, Qt::LeftButton, {}, QPoint(160, 100));
        QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, QPoint(160, 100));
        form->f1Report_Click(row, 2);
        drag(QPoint(5, 5), QPoint(20, 30));
        form->setBackgroundMethod(*parseBackgroundMethod(method));
        form->f1Report_Click(row, 3);
        drag(QPoint(25, 35), QPoint(95, 35));
        ++row;
    }
    QVERIFY2(prompts->messages.size() <= depths.size(), "only the depth notices were said");
    const QByteArray sheet = sheetTabText(form->f1Report->data());

    const QString plan = dir->filePath(QStringLiteral("session.plan"));
    prompts->saveAnswers << plan;
    trigger(BandFile, "mnuSavePlan");
    // Without a picture the plan opens its own, checking each hash.
    const Run run = kestoscan({QStringLiteral("measure"), QStringLiteral("--plan"), plan});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, sheet);
    if (depths.size() > 1) {
        // A plan of several pictures is not replayed on one.
        const Run one =
            kestoscan({QStringLiteral("measure"), dir->filePath(QStringLiteral("gel0.png")),
                       QStringLiteral("--plan"), plan});
        QCOMPARE(one.status, 2);
        QVERIFY2(one.err.contains(QStringLiteral("3 pictures")), qPrintable(one.err));
    }

    // The window replays it too, on a fresh sheet, to the same bytes.
    form->f1Report->setText(1, 2, QStringLiteral("typed"));
    form->recordEdits(1, 2, 1, 2, false);
    prompts->messageAnswers << MessageAnswer::No; // Save changes? No.
    prompts->openAnswers << plan;
    trigger(BandFile, "mnuOpenPlan");
    QCOMPARE(sheetTabText(form->f1Report->data()), sheet);
}

void TestRecordReplay::tipAndOriginFrameShowTheRecord()
{
    personsSession();
    SheetModel* model = form->f1Report->model();
    const QString tip = model->data(model->index(1, 1), Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains(QStringLiteral("R2C2 = ")) && tip.contains(QStringLiteral("green")) &&
                 tip.contains(QStringLiteral("Frame: left 270, top 50")),
             qPrintable(tip));
    const QString typedTip = model->data(model->index(0, 2), Qt::ToolTipRole).toString();
    QVERIFY2(typedTip.startsWith(QStringLiteral("R1C3 = -90000, typed")), qPrintable(typedTip));

    // A scanned cell outlines its frame until the pointer next moves over the picture.
    emit form->f1Report->cellClicked(1, 2);
    QCOMPARE(form->shpOrigin.rect(), QRectF(20, 50, 40, 16));
    QTest::mouseMove(form->picImage, QPoint(200, 100));
    QVERIFY(form->shpOrigin.width < 0);
    // A typed value has no frame to show.
    emit form->f1Report->cellClicked(1, 3);
    QVERIFY(form->shpOrigin.width < 0);
}

QTEST_MAIN(TestRecordReplay)
#include "tst_recordreplay.moc"
