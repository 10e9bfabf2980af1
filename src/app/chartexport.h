#pragma once

// Saving a chart as a picture or a document: PNG (at twice the size shown, for print),
// SVG or PDF, chosen by the file's suffix. Any chart the program shows (results, size
// calibration, standard curves) saves the same way. The file is replaced atomically, so a
// failed save leaves an earlier one as it was.

#include <QString>
#include <QStringList>

class QChart;
class QChartView;

namespace kesto {

// The save dialog's filters: "PNG picture (*.png)", "SVG drawing (*.svg)", "PDF
// document (*.pdf)", in that order.
QStringList chartFileFilters();
// The suffix a file of the filter at index gets when its name has none ("png", ...).
QString chartFileSuffix(int filter);

// Saves the chart as it is drawn in its view. False with a reason in *error (when given)
// for a suffix that is not png, svg or pdf, a chart that is not shown in a view, or a file
// that cannot be written.
bool saveChart(QChart* chart, const QString& path, QString* error = nullptr);
bool saveChart(QChartView* view, const QString& path, QString* error = nullptr);

} // namespace kesto
