// Normalized results through the real window: a generated blot's lanes and bands found,
// Image -> Results..., the sample table filled by pattern, the control chosen, the chart's
// points seen, one band deleted and the result following, undone, and the chart saved as
// SVG; and a stain picture opened as the control (one of the wrong size refused) and a
// lane's own target band picked. The numbers themselves are checked in
// tests/core/tst_sessionresults.cpp.

#include "app/foundbands.h"
#include "app/frmscan.h"
#include "app/mainbar.h"
#include "app/resultswindow.h"
#include "core/measurementsession.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;
using kesto::test::FakePrompts;

class TestResults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fillChooseChangeUndoAndSave();
    void stainPictureAndLanePick();
};

void TestResults::fillChooseChangeUndoAndSave()
{
    FakePrompts prompts;
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Two groups of three lanes; the lanes were loaded unevenly (x 0.8 to 1.2), which the
    // control band (row 140) shows as the target (row 60) does. "treated" has twice the
    // target of "ctrl".
    const double loading[6] = {1.0, 0.8, 1.2, 1.1, 0.9, 1.0};
    QList<QList<double>> depths;
    for (int lane = 0; lane < 6; ++lane)
        depths.append({(lane < 3 ? 40.0 : 80.0) * loading[lane], 90.0 * loading[lane]});
    form.showPicture(kesto::test::blotPicture(depths, {60, 140}));
    dispatchMainTool(form, QStringLiteral("mnuFindBands"));
    FoundBandsTool& bands = FoundBandsTool::of(form);
    QCOMPARE(bands.proposals().laneCount(), 6);
    QCOMPARE(bands.proposals().count(), 12);

    dispatchMainTool(form, QStringLiteral("mnuResults"));
    ResultsWindow& window = ResultsWindow::of(form);
    QVERIFY(window.isVisible());
    QCOMPARE(window.sampleTable()->rowCount(), 6);

    // Fill by Pattern: 2 groups, 3 replicates, groups together, from lane 1, named.
    prompts.inputAnswers << QStringLiteral("2") << QStringLiteral("3");
    prompts.itemAnswers << 0;
    prompts.inputAnswers << QStringLiteral("1") << QStringLiteral("ctrl, treated");
    window.findChild<QPushButton*>(QStringLiteral("btnFillPattern"))->click();
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.value(0).text));
    QCOMPARE(form.session().sampleTable().size(), 6);
    QCOMPARE(form.session().sampleTable().groups(),
             QStringList({QStringLiteral("ctrl"), QStringLiteral("treated")}));
    QCOMPARE(window.sampleTable()->item(4, 2)->text(), QStringLiteral("treated"));

    // The control: band 2 of each lane.
    QComboBox* control = window.controlBox();
    const int band2 = control->findData(QStringLiteral("band:2"));
    QVERIFY(band2 >= 0);
    control->setCurrentIndex(band2);
    Q_EMIT control->activated(band2);
    QVERIFY(form.session().resultOptions().control == BandChoice::nth(1));

    QTRY_COMPARE(window.replicatePoints()->count(), 6);
    QVERIFY2(window.results().has_value(), qPrintable(window.status()));
    QCOMPARE(int(window.results()->groups.size()), 2);
    QCOMPARE(window.groupTable()->rowCount(), 2);
    // Each cell names where it came from.
    const QString tip = window.laneTable()->item(0, 4)->toolTip();
    QVERIFY2(tip.contains(QStringLiteral("band 1.1")) && tip.contains(QStringLiteral("band 1.2")) &&
                 tip.contains(QStringLiteral("frame")),
             qPrintable(tip));
    window.laneTable()->setCurrentCell(0, 4);
    QCOMPARE(window.detailsLine()->text(), tip);

    // Deleting lane 4's target band leaves that lane without its control (its one band is
    // now band 1): it drops out of the chart and its group.
    int target4 = -1;
    for (int i = 0; i < bands.proposals().count(); ++i)
        if (bands.proposals().label(i) == QLatin1String("4.1"))
            target4 = i;
    QVERIFY(target4 >= 0);
    bands.select(target4);
    bands.removeSelected();
    QTRY_COMPARE(window.replicatePoints()->count(), 5);
    QVERIFY(window.results().has_value());
    QCOMPARE(window.results()->groups[1].n, 2);

    form.findChild<QAction*>(QStringLiteral("actionUndo"))->trigger();
    QTRY_COMPARE(window.replicatePoints()->count(), 6);
    QCOMPARE(window.results()->groups[1].n, 3);

    // Save Chart... as SVG.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("results.svg"));
    prompts.saveAnswers << path;
    prompts.saveFilterAnswers << 1;
    window.findChild<QPushButton*>(QStringLiteral("btnSaveChart"))->click();
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.value(0).text));
    QFile svg(path);
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray drawing = svg.readAll();
    QVERIFY(drawing.contains("<svg"));
    QVERIFY(drawing.contains("<path"));
}

void TestResults::stainPictureAndLanePick()
{
    FakePrompts prompts;
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Three lanes loaded unevenly; the stain's three bands a lane follow the loading.
    const double loading[3] = {1.0, 0.7, 1.3};
    QList<QList<double>> depths;
    QList<QList<double>> stained;
    for (int lane = 0; lane < 3; ++lane) {
        depths.append({40 * loading[lane], 60 * loading[lane]});
        stained.append({30 * loading[lane], 30 * loading[lane], 30 * loading[lane]});
    }
    form.showPicture(kesto::test::blotPicture(depths, {60, 140}));
    dispatchMainTool(form, QStringLiteral("mnuFindBands"));
    form.session().setSampleTable(samplePattern(1, 3));
    form.commitUndo(QStringLiteral("Samples"));
    dispatchMainTool(form, QStringLiteral("mnuResults"));
    ResultsWindow& window = ResultsWindow::of(form);
    auto* stainButton = window.findChild<QPushButton*>(QStringLiteral("btnStainPicture"));
    QVERIFY(stainButton);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString wrong = kesto::test::savePicture(
        dir, QStringLiteral("wrong.png"), kesto::test::blotPicture(stained.mid(0, 2), {40, 100}));
    const QString stain = kesto::test::savePicture(
        dir, QStringLiteral("stain.png"), kesto::test::blotPicture(stained, {40, 100, 160}));
    prompts.openAnswers << wrong;
    stainButton->click();
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY2(prompts.messages[0].text.contains(QStringLiteral("same size")),
             qPrintable(prompts.messages[0].text));
    QVERIFY(form.session().stainPicture().isNull());

    prompts.messages.clear();
    prompts.openAnswers << stain;
    stainButton->click();
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.value(0).text));
    QCOMPARE(window.controlBox()->currentData().toString(), QStringLiteral("stain"));
    QVERIFY(window.stainLine()->text().contains(QStringLiteral("stain.png")));
    QVERIFY2(window.results().has_value(), qPrintable(window.status()));
    QVERIFY(window.results()->lanes[0].controlTrace.contains(QStringLiteral("stain picture")));
    QAction* undo = form.findChild<QAction*>(QStringLiteral("actionUndo"));
    undo->trigger();
    QTRY_VERIFY(form.session().stainPicture().isNull());
    QTRY_COMPARE(window.controlBox()->currentData().toString(), QStringLiteral("none"));
    form.findChild<QAction*>(QStringLiteral("actionRedo"))->trigger();
    QTRY_COMPARE(window.controlBox()->currentData().toString(), QStringLiteral("stain"));

    // Lane 2's target: its second band; the target becomes "bands 1" for the others.
    window.refresh();
    prompts.inputAnswers << QStringLiteral("2");
    window.pickTargetBands(1);
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.value(0).text));
    QCOMPARE(window.targetBox()->currentData().toString(), QStringLiteral("bands:1"));
    QVERIFY(window.results().has_value());
    QVERIFY2(window.results()->lanes[1].targetTrace.contains(QStringLiteral("band 2.2")),
             qPrintable(window.results()->lanes[1].targetTrace));
    undo->trigger();
    QTRY_VERIFY(form.session().targetPicks().empty());
}

QTEST_MAIN(TestResults)
#include "tst_results.moc"
