#pragma once

// The standard curve as a chart: signal against amount, the standards as points (those
// outside the linear range drawn as hollow squares), the fitted curve (solid over the
// standards it was fitted to, dashed from no amount to the largest), the linear range
// shaded across the whole height, and the unknowns placed on the curve at the amounts read
// off it (flagged ones apart).

#include "core/standardcurve.h"

#include <QChartView>
#include <QString>

#include <vector>

class QChart;

namespace kesto {

// A band whose amount was read off the curve.
struct ChartUnknown
{
    QString label;
    double signal = 0;
    CurveAmount read; // StandardCurve::amountFor(signal, ...)
};

// The series' object names, for whoever looks them up (tests, saving): "linearRange" (a
// QAreaSeries), "curve", "curveBeyond" (QLineSeries), "standardsInRange",
// "standardsOutside", "unknowns", "flaggedUnknowns" (QScatterSeries). Only unknowns with
// an amount are placed; the flagged ones are those not inLinearRange(). A curve that is not
// ok gives an empty chart titled with its reason. unit names the amounts ("ng"); empty: no
// unit on the axis.
QChart* buildStandardCurveChart(const StandardCurve& curve,
                                const std::vector<ChartUnknown>& unknowns, const QString& unit);

class StandardCurveChart : public QChartView
{
    Q_OBJECT
public:
    explicit StandardCurveChart(QWidget* parent = nullptr);

    // Replaces the chart with one of this curve.
    void setCurve(const StandardCurve& curve, const std::vector<ChartUnknown>& unknowns,
                  const QString& unit);
};

} // namespace kesto
