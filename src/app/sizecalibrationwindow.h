#pragma once

// The size calibration window: a tool window plotting a ladder's bands (log10 of the size
// against Rf) with the fitted curve, and listing each ladder band's size, Rf, how far the
// curve misses it (per cent) and the error of its size read off the curve fitted without it
// (leave-one-out), which shows how far the curve can be trusted between the bands.

#include "core/ladders.h"
#include "core/sizecalibration.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QTableWidget;
class QValueAxis;

namespace kesto {

// A size as the list and the picture show it: whole base pairs with thousands apart
// ("1 520 bp"), other units to three figures ("1.52 kb", "62.5 kDa").
QString bandSizeText(double size, SizeUnit unit);

class SizeCalibrationWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SizeCalibrationWindow(QWidget* parent = nullptr);

    // The curve to show, what it is (the caption) and its sizes' unit; a calibration that is
    // not ok shows its reason.
    void setCalibration(const SizeCalibration& calibration, const QString& caption, SizeUnit unit);
    // The curve's kind and whether bands beyond the ladder are sized; set without a
    // fitChanged.
    void setFit(SizeFit fit, bool extrapolate);

    QComboBox* fitBox() const { return m_fit; }
    QCheckBox* extrapolateBox() const { return m_extrapolate; }
    QTableWidget* table() const { return m_table; }
    QString caption() const;

Q_SIGNALS:
    // The person chose another curve, or to size bands beyond the ladder or not.
    void fitChanged(SizeFit fit, bool extrapolate);

private:
    QLabel* m_caption = nullptr;
    QComboBox* m_fit = nullptr;
    QCheckBox* m_extrapolate = nullptr;
    bool m_filling = false;
    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QScatterSeries* m_points = nullptr;
    QLineSeries* m_curve = nullptr;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    QTableWidget* m_table = nullptr;
};

} // namespace kesto
