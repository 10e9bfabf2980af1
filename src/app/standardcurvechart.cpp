#include "app/standardcurvechart.h"

#include <QAreaSeries>
#include <QBrush>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 4);
}

QScatterSeries* scatter(const QString& name, const QString& objectName,
                        QScatterSeries::MarkerShape shape, const QColor& colour, bool hollow)
{
    auto* series = new QScatterSeries;
    series->setName(name);
    series->setObjectName(objectName);
    series->setMarkerShape(shape);
    series->setMarkerSize(9);
    series->setColor(hollow ? QColor(Qt::white) : colour);
    series->setBorderColor(colour);
    return series;
}

QLineSeries* line(const QString& name, const QString& objectName, const QPen& pen)
{
    auto* series = new QLineSeries;
    series->setName(name);
    series->setObjectName(objectName);
    series->setPen(pen);
    return series;
}

// The fitted curve sampled from one amount to another.
void sample(QLineSeries* series, const StandardCurve& curve, double from, double to)
{
    constexpr int Steps = 100;
    if (!(to > from))
        return;
    for (int i = 0; i <= Steps; ++i) {
        const double amount = from + (to - from) * i / Steps;
        const double signal = curve.signalAt(amount);
        if (std::isfinite(signal))
            series->append(amount, signal);
    }
}

QString chartTitle(const StandardCurve& curve)
{
    QString title = QStringLiteral("%1 fit, weighting %2")
                        .arg(curveModelText(curve.options().model),
                             curveWeightingText(curve.options().weighting));
    if (std::isfinite(curve.curve().rSquared))
        title +=
            QStringLiteral(", R\u00b2 = %1").arg(QString::number(curve.curve().rSquared, 'f', 4));
    const LinearRange& range = curve.linearRange();
    title +=
        range.found
            ? QStringLiteral("; linear from %1 to %2").arg(number(range.low), number(range.high))
            : QStringLiteral("; no linear range");
    return title;
}

} // namespace

QChart* buildStandardCurveChart(const StandardCurve& curve,
                                const std::vector<ChartUnknown>& unknowns, const QString& unit)
{
    auto* chart = new QChart;
    // Beside the plot: below it, seven names in a row were cut short at the tab's width.
    chart->legend()->setAlignment(Qt::AlignRight);
    if (!curve.ok()) {
        chart->setTitle(QStringLiteral("No standard curve: %1").arg(curve.reason()));
        return chart;
    }
    chart->setTitle(chartTitle(curve));

    const QColor standardColour(0, 70, 160);
    const QColor flagColour(200, 30, 30);
    auto* inRange = scatter(QStringLiteral("Standards"), QStringLiteral("standardsInRange"),
                            QScatterSeries::MarkerShapeCircle, standardColour, false);
    auto* outside = scatter(QStringLiteral("Outside range"), QStringLiteral("standardsOutside"),
                            QScatterSeries::MarkerShapeRectangle, flagColour, true);
    auto* placed = scatter(QStringLiteral("Unknowns"), QStringLiteral("unknowns"),
                           QScatterSeries::MarkerShapeTriangle, QColor(20, 140, 60), false);
    auto* flagged = scatter(QStringLiteral("Flagged"), QStringLiteral("flaggedUnknowns"),
                            QScatterSeries::MarkerShapeTriangle, flagColour, true);

    // The axes take in every point and the curve from no amount to the largest one.
    double maxAmount = 0;
    double lowSignal = std::min(0.0, curve.signalAt(0));
    double highSignal = 0;
    const auto take = [&](double amount, double signal) {
        maxAmount = std::max(maxAmount, amount);
        if (std::isfinite(signal)) {
            lowSignal = std::min(lowSignal, signal);
            highSignal = std::max(highSignal, signal);
        }
    };
    for (const CurveStandardResult& s : curve.standards()) {
        (s.inLinearRange ? inRange : outside)->append(s.standard.amount, s.standard.signal);
        take(s.standard.amount, s.standard.signal);
    }
    for (const ChartUnknown& u : unknowns) {
        if (!u.read.amount || !std::isfinite(u.signal))
            continue;
        (u.read.inLinearRange() ? placed : flagged)->append(*u.read.amount, u.signal);
        take(*u.read.amount, u.signal);
    }

    auto* fitted =
        line(QStringLiteral("Curve"), QStringLiteral("curve"), QPen(standardColour, 1.5));
    auto* beyond = line(QStringLiteral("Extended"), QStringLiteral("curveBeyond"),
                        QPen(standardColour, 1.0, Qt::DashLine));
    sample(fitted, curve, curve.lowAmount(), curve.highAmount());
    // Dashed from no amount to the largest, under the solid stretch of the fitted standards.
    sample(beyond, curve, 0, maxAmount);
    for (const QPointF& p : fitted->points())
        take(p.x(), p.y());
    for (const QPointF& p : beyond->points())
        take(p.x(), p.y());

    auto* axisX = new QValueAxis;
    axisX->setTitleText(unit.isEmpty() ? QStringLiteral("Amount")
                                       : QStringLiteral("Amount (%1)").arg(unit));
    axisX->setRange(0, maxAmount > 0 ? maxAmount * 1.05 : 1);
    axisX->applyNiceNumbers();
    // Round ticks read as written ("200000", "12.5"), not with a fixed decimal.
    axisX->setLabelFormat(QStringLiteral("%.10g"));
    auto* axisY = new QValueAxis;
    axisY->setTitleText(QStringLiteral("Signal"));
    const double padY = std::max(1e-12, (highSignal - lowSignal) * 0.05);
    axisY->setRange(lowSignal >= 0 ? 0 : lowSignal - padY, highSignal + padY);
    axisY->applyNiceNumbers();
    axisY->setLabelFormat(QStringLiteral("%.10g"));
    // The shading runs the chart's whole height.
    const double yFrom = axisY->min();
    const double yTo = axisY->max();

    QAreaSeries* band = nullptr;
    const LinearRange& range = curve.linearRange();
    if (range.found) {
        band = new QAreaSeries;
        auto* upper = new QLineSeries(band);
        auto* lower = new QLineSeries(band);
        upper->append(range.low, yTo);
        upper->append(range.high, yTo);
        lower->append(range.low, yFrom);
        lower->append(range.high, yFrom);
        band->setUpperSeries(upper);
        band->setLowerSeries(lower);
        band->setName(QStringLiteral("Linear range"));
        band->setObjectName(QStringLiteral("linearRange"));
        band->setBrush(QColor(0, 120, 215, 40));
        band->setPen(Qt::NoPen);
        chart->addSeries(band);
    }
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(beyond), static_cast<QAbstractSeries*>(fitted),
          static_cast<QAbstractSeries*>(inRange), static_cast<QAbstractSeries*>(outside),
          static_cast<QAbstractSeries*>(placed), static_cast<QAbstractSeries*>(flagged)})
        chart->addSeries(series);

    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(axisX);
        series->attachAxis(axisY);
    }
    // The legend names only what the chart shows.
    for (QXYSeries* series : {static_cast<QXYSeries*>(outside), static_cast<QXYSeries*>(placed),
                              static_cast<QXYSeries*>(flagged)})
        for (QLegendMarker* marker : chart->legend()->markers(series))
            marker->setVisible(series->count() > 0);
    return chart;
}

StandardCurveChart::StandardCurveChart(QWidget* parent) : QChartView(parent)
{
    setObjectName(QStringLiteral("chartStandardCurve"));
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(360, 260);
}

void StandardCurveChart::setCurve(const StandardCurve& curve,
                                  const std::vector<ChartUnknown>& unknowns, const QString& unit)
{
    QChart* old = chart();
    setChart(buildStandardCurveChart(curve, unknowns, unit));
    // The view owns the chart it was given and leaves the one it replaces to us.
    delete old;
}

} // namespace kesto
