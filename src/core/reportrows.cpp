#include "core/reportrows.h"

#include "core/expression.h"
#include "core/usablenumber.h"

#include <algorithm>

namespace kesto {

namespace {

int usedColumnCount(const SheetData& sheet, int rows)
{
    int used = 0;
    for (int row = 1; row <= rows; ++row) {
        for (int column = sheet.columnCount(); column > used; --column) {
            if (!sheet.text(row, column).isEmpty()) {
                used = column;
                break;
            }
        }
    }
    return used;
}

} // namespace

RowSort reportRowSort(const SheetData& report, const SheetRange& selection)
{
    const int rows = usedRowCount(report);
    RowSort sort;
    sort.key = std::max(selection.firstColumn, 1);
    const int columns = std::max(usedColumnCount(report, rows), sort.key);
    int first = 1;
    int last = rows;
    if (selection.lastRow > selection.firstRow) {
        first = std::max(selection.firstRow, 1);
        last = std::min(selection.lastRow, rows);
    }
    const QString scan = report.text(1, ReportScanColumn);
    if (first == 1 && !scan.isEmpty() && !usableNumber(scan))
        first = 2;
    if (first > last)
        sort.range = {1, 1, 0, columns};
    else
        sort.range = {first, 1, last, columns};
    return sort;
}

int appendScanRowsToReport(const SheetData& scan, SheetData& report)
{
    int next = usedRowCount(report) + 1;
    int sent = 0;
    for (int row = 1; row <= scan.rowCount(); ++row) {
        const QString band = scan.text(row, 2);
        const QString control = scan.text(row, 3);
        if (!usableNumber(band) || !usableNumber(control))
            continue;
        const QString description = QStringLiteral("Row %1").arg(row);
        report.setText(next, ReportDescriptionColumn, description);
        report.setText(next, ReportScanColumn, band);
        report.setText(next + 1, ReportDescriptionColumn, description);
        report.setText(next + 1, ReportTypeColumn, QStringLiteral("control"));
        report.setText(next + 1, ReportScanColumn, control);
        next += 2;
        ++sent;
    }
    return sent;
}

} // namespace kesto
