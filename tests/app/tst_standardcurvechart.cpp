// The standard-curve chart built from a known curve: standards split by the linear range,
// the range shaded over its amounts, unknowns placed at their amounts.

#include "app/standardcurvechart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTest>
#include <QValueAxis>

#include <memory>

using namespace kesto;

class TestStandardCurveChart : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chartOfACurve();
};

namespace {

template <typename Series> Series* seriesNamed(QChart* chart, const QString& name)
{
    for (QAbstractSeries* series : chart->series())
        if (series->objectName() == name)
            return qobject_cast<Series*>(series);
    return nullptr;
}

} // namespace

void TestStandardCurveChart::chartOfACurve()
{
    // On signal = 5 + 10 amount up to 16; 32 saturated and short of the line.
    std::vector<CurveStandard> standards;
    for (double amount : {1.0, 2.0, 4.0, 8.0, 16.0})
        standards.push_back({amount, 5 + 10 * amount, false, QString()});
    standards.push_back({32, 250, true, QString()});
    const StandardCurve curve = StandardCurve::fit(standards, CurveOptions());
    QVERIFY(curve.ok());
    const std::vector<ChartUnknown> unknowns{
        {QStringLiteral("a"), 105, curve.amountFor(105)},
        {QStringLiteral("b"), 305, curve.amountFor(305, false, true)},
        {QStringLiteral("c"), 900, curve.amountFor(900)}};

    const std::unique_ptr<QChart> chart(
        buildStandardCurveChart(curve, unknowns, QStringLiteral("ng")));
    QCOMPARE(chart->series().size(), 7);
    QCOMPARE(seriesNamed<QScatterSeries>(chart.get(), QStringLiteral("standardsInRange"))->count(),
             5);
    QCOMPARE(seriesNamed<QScatterSeries>(chart.get(), QStringLiteral("standardsOutside"))->points(),
             QList<QPointF>{QPointF(32, 250)});
    const auto* band = seriesNamed<QAreaSeries>(chart.get(), QStringLiteral("linearRange"));
    QVERIFY(band);
    QCOMPARE(band->upperSeries()->at(0).x(), 1.0);
    QCOMPARE(band->upperSeries()->at(1).x(), 16.0);
    // The one read inside is placed on the curve; the extrapolated one apart; the one with no
    // amount not at all.
    const QList<QPointF> placed =
        seriesNamed<QScatterSeries>(chart.get(), QStringLiteral("unknowns"))->points();
    QCOMPARE(placed.size(), 1);
    QVERIFY(std::abs(placed.front().x() - 10) < 1e-9);
    QCOMPARE(seriesNamed<QScatterSeries>(chart.get(), QStringLiteral("flaggedUnknowns"))->count(),
             1);
    const auto* fitted = seriesNamed<QLineSeries>(chart.get(), QStringLiteral("curve"));
    QCOMPARE(fitted->at(0).x(), 1.0);
    QCOMPARE(fitted->at(fitted->count() - 1).x(), 16.0);
    const QList<QAbstractAxis*> axes = chart->axes(Qt::Horizontal);
    QCOMPARE(axes.size(), 1);
    QCOMPARE(axes.front()->titleText(), QStringLiteral("Amount (ng)"));

    // A curve that cannot be made: no series, its reason in the title.
    StandardCurveChart view;
    view.setCurve(StandardCurve::fit({}, CurveOptions()), {}, QString());
    QVERIFY(view.chart()->series().isEmpty());
    QVERIFY(view.chart()->title().contains(QStringLiteral("no standards")));
    view.setCurve(curve, unknowns, QString());
    QCOMPARE(view.chart()->series().size(), 7);
}

QTEST_MAIN(TestStandardCurveChart)
#include "tst_standardcurvechart.moc"
