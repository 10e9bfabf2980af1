// File -> Export Figure... and File -> Export Report (PDF)... through the real window: the
// figure of a session equals, pixel for pixel, the one the figure command draws of the same
// picture with the same lanes, ladder and options; the report holds the picture's hash.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "core/ladders.h"
#include "core/measurementrecord.h"
#include "core/measurementsession.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"
#include "support/runprogram.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kesto;
using kesto::test::FakePrompts;

class TestExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowAndBatchDrawTheSameFigure();
};

void TestExport::windowAndBatchDrawTheSameFigure()
{
    FakePrompts prompts;
    auto form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QString gel =
        qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/lanes.png");
    QVERIFY(form->openPicture(gel));
    dispatchMainTool(*form, QStringLiteral("mnuFindBands"));
    QVERIFY(form->session().lanes().size() >= 3);
    const QString sizes = QStringLiteral("5000,3000,2000,1000,500");
    QVERIFY(form->session().setLaneLadder(0, parseLadderSizes(sizes)));

    QTemporaryDir dir;
    const QString windowFigure = dir.filePath(QStringLiteral("window.png"));
    prompts.dialogHandler = [](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(QStringLiteral("spnDpi"))->setValue(150);
        dialog.findChild<QCheckBox*>(QStringLiteral("chkOutlines"))->setChecked(true);
        return int(QDialog::Accepted);
    };
    prompts.saveAnswers << windowFigure;
    dispatchMainTool(*form, QStringLiteral("mnuExportFigure"));
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.value(0).text));

    const QString batchFigure = dir.filePath(QStringLiteral("batch.png"));
    const kesto::test::ProgramRun run = kesto::test::runKestoscan(
        {QStringLiteral("figure"), gel, QStringLiteral("--ladder-lane"), QStringLiteral("1"),
         QStringLiteral("--ladder"), sizes, QStringLiteral("--dpi"), QStringLiteral("150"),
         QStringLiteral("--output"), batchFigure});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QImage fromWindow(windowFigure);
    const QImage fromBatch(batchFigure);
    QVERIFY(!fromWindow.isNull());
    QCOMPARE(fromBatch.size(), fromWindow.size());
    QVERIFY(fromBatch.convertToFormat(QImage::Format_RGB32) ==
            fromWindow.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(fromWindow.text(QStringLiteral("Display levels")),
             QStringLiteral("black 0, white 255, gamma 1"));

    // The report of the same session names the picture by its hash.
    const QString report = dir.filePath(QStringLiteral("report.pdf"));
    prompts.saveAnswers << report;
    dispatchMainTool(*form, QStringLiteral("mnuExportReport"));
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.value(0).text));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {report, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(60000));
    QVERIFY(QString::fromUtf8(text.readAllStandardOutput())
                .contains(QString::fromLatin1(fileSha256(gel))));
    form.reset();
    if (frmReport* window = frmReport::existing())
        delete window;
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
