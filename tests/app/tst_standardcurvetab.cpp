// A standard curve through the real window: a blot with a dilution series of standards (the
// strongest saturated) and two unknowns, its lanes and bands found, the sample table naming
// the standards and their amounts, Image -> Results...: the curve's read-outs, the amounts in
// the lane table, a model chosen and undone, and the curve's chart saved as SVG.

#include "app/foundbands.h"
#include "app/frmscan.h"
#include "app/mainbar.h"
#include "app/resultswindow.h"
#include "app/standardcurvetab.h"
#include "core/measurementsession.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;
using kesto::test::FakePrompts;

class TestStandardCurveTab : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void curveAmountsChoiceUndoAndSave();
};

namespace {

int columnNamed(const QTableWidget* table, const QString& name)
{
    for (int c = 0; c < table->columnCount(); ++c)
        if (table->horizontalHeaderItem(c) && table->horizontalHeaderItem(c)->text() == name)
            return c;
    return -1;
}

} // namespace

void TestStandardCurveTab::curveAmountsChoiceUndoAndSave()
{
    FakePrompts prompts;
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Lanes 1-6 standards of 4 to 30 ng, 10 grey levels per ng at the band's peak: lane 6's
    // 300 is cut off at black (saturated). Lanes 7 and 8 hold 7 and 10 ng.
    const QList<double> amounts{4, 6, 8, 12, 16, 30, 7, 10};
    QList<QList<double>> depths;
    for (double amount : amounts)
        depths.append(QList<double>{10.0 * amount});
    form.showPicture(kesto::test::blotPicture(depths, {100}));
    // The background picked on the blot's empty membrane (grey 235).
    form.session().setBackground(rgbValue(235, 235, 235));
    dispatchMainTool(form, QStringLiteral("mnuFindBands"));
    QCOMPARE(FoundBandsTool::of(form).proposals().laneCount(), 8);

    std::vector<SampleRow> rows;
    for (int lane = 0; lane < 8; ++lane) {
        SampleRow row;
        row.lane = lane;
        row.sample = QStringLiteral("s%1").arg(lane + 1);
        if (lane < 6) {
            row.role = SampleRole::Standard;
            row.amount = amounts[lane];
            row.unit = QStringLiteral("ng");
        } else {
            row.group = QStringLiteral("unknown");
            row.replicate = lane - 5;
        }
        rows.push_back(row);
    }
    form.session().setSampleTable(SampleTable(std::move(rows)));
    form.commitUndo(QStringLiteral("Edit Sample Table"));

    dispatchMainTool(form, QStringLiteral("mnuResults"));
    ResultsWindow& window = ResultsWindow::of(form);
    QVERIFY(window.isVisible());
    StandardCurveTab* tab = window.curveTab();
    QVERIFY(tab);
    auto* pages = window.findChild<QTabWidget*>();
    QVERIFY(pages && pages->indexOf(tab) >= 0);
    pages->setCurrentWidget(tab);
    QTRY_VERIFY(tab->curve());
    QVERIFY2(tab->curve()->ok(), qPrintable(tab->curve()->reason()));

    // The read-outs: the saturated standard outside the range, the other five in it.
    const QString fit = tab->fitLine()->text();
    QVERIFY2(fit.contains(QStringLiteral("R\u00b2 0.9")) &&
                 fit.contains(QStringLiteral("linear range 4 ng to 16 ng")) &&
                 fit.contains(QStringLiteral("Mandel")),
             qPrintable(fit));
    QTableWidget* standards = tab->standardsTable();
    QCOMPARE(standards->rowCount(), 6);
    QCOMPARE(standards->item(5, 4)->text(), QStringLiteral("no"));
    QCOMPARE(standards->item(0, 4)->text(), QStringLiteral("yes"));
    QVERIFY(!standards->item(0, 3)->text().isEmpty());

    // The lane table shows the unknowns' amounts (how close they come is checked on the
    // same blot in the core's tests).
    QTableWidget* lanes = window.laneTable();
    const int amountColumn = columnNamed(lanes, QStringLiteral("AMOUNT"));
    const int rangeColumn = columnNamed(lanes, QStringLiteral("IN_RANGE"));
    QVERIFY(amountColumn >= 0 && rangeColumn >= 0);
    for (int lane : {6, 7}) {
        bool number = false;
        lanes->item(lane, amountColumn)->text().toDouble(&number);
        QVERIFY(number);
        QCOMPARE(lanes->item(lane, rangeColumn)->text(), QStringLiteral("yes"));
    }
    QCOMPARE(lanes->item(5, rangeColumn)->text(), QStringLiteral("no"));

    // A model chosen is a step of the undo history.
    QComboBox* model = tab->modelBox();
    const int quadratic = model->findData(int(CurveModel::Quadratic));
    model->setCurrentIndex(quadratic);
    Q_EMIT model->activated(quadratic);
    QVERIFY(form.session().curveOptions().model == CurveModel::Quadratic);
    QTRY_VERIFY(tab->curve() && tab->curve()->options().model == CurveModel::Quadratic);
    form.findChild<QAction*>(QStringLiteral("actionUndo"))->trigger();
    QVERIFY(form.session().curveOptions().model == CurveModel::Linear);
    QTRY_COMPARE(model->currentData().toInt(), int(CurveModel::Linear));

    // Save Curve Chart... as SVG.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("curve.svg"));
    prompts.saveAnswers << path;
    prompts.saveFilterAnswers << 1;
    tab->findChild<QPushButton*>(QStringLiteral("btnSaveCurveChart"))->click();
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.value(0).text));
    QFile svg(path);
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("<svg"));
}

QTEST_MAIN(TestStandardCurveTab)
#include "tst_standardcurvetab.moc"
