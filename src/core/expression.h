#pragma once

// The report sheet's expression calculation: every band of a series in per cent of the
// series' control band, written into the "Expression (%)" column. Widget-free: it runs
// over anything with the worksheet's rowCount/columnCount/text/number/setNumber/setNote calls.

#include "core/error.h"
#include "core/usablenumber.h"

#include <QHash>
#include <QString>

#include <cmath>
#include <utility>
#include <vector>

namespace kesto {

// Columns of the report sheet.
enum ReportColumn : int {
    ReportNumberColumn = 1,
    ReportDescriptionColumn = 2,
    ReportTypeColumn = 3,
    ReportScanColumn = 4,
    ReportExpressionColumn = 5,
};

// The type cell marks a control band when, in lower case, it is exactly "control".
// Blanks count: " control" is an ordinary band.
bool isControlType(const QString& type);

// The series key of a description: descriptions that differ only in letter case name the
// same series; nothing is trimmed.
QString seriesKey(const QString& description);

// value x 100 / control, rounded to two decimals the way the "0.00" format shows it.
// Throws Error(Overflow) when the result is not a finite number.
double expressionPercent(double value, double control);

// The last row holding any text, 0 for an empty sheet: the sheet's used rows.
template <typename Sheet> int usedRowCount(const Sheet& sheet)
{
    const int columns = sheet.columnCount();
    for (int row = sheet.rowCount(); row >= 1; --row) {
        for (int column = 1; column <= columns; ++column) {
            if (!sheet.text(row, column).isEmpty())
                return row;
        }
    }
    return 0;
}

// For every control row whose scan is not 0, writes value x 100 / control into column 5
// of every other row of its series that is not itself a control. Controls are taken in
// row order, so when a series has several, the one lowest in the sheet decides. Control
// rows, rows of series without a usable control and rows past the used rows are left
// as they are.
//
// A scan text that is no usable number gets a note and takes no part: a control with one
// decides nothing, a band with one gets no value. Every value is worked out before the
// first one is written, so a failure leaves the sheet unchanged.
template <typename Sheet> void calculateExpression(Sheet& sheet)
{
    const int rows = usedRowCount(sheet);

    std::vector<QString> keys(std::size_t(rows) + 1);
    std::vector<bool> controls(std::size_t(rows) + 1, false);
    // The deciding control value of each series: the later control row overwrites an
    // earlier one, exactly as a later pass over the series would overwrite its results.
    QHash<QString, double> deciding;
    // Scan texts that are no usable number: marked, never counted as 0.
    std::vector<int> unusable;
    for (int row = 1; row <= rows; ++row) {
        keys[std::size_t(row)] = seriesKey(sheet.text(row, ReportDescriptionColumn));
        controls[std::size_t(row)] = isControlType(sheet.text(row, ReportTypeColumn));
        if (unusableNumberText(sheet.text(row, ReportScanColumn))) {
            unusable.push_back(row);
            continue;
        }
        if (controls[std::size_t(row)]) {
            const double control = sheet.number(row, ReportScanColumn);
            if (control != 0)
                deciding.insert(keys[std::size_t(row)], control);
        }
    }
    if (deciding.isEmpty()) {
        for (const int row : unusable)
            sheet.setNote(row, ReportScanColumn, unusableNumberNote());
        return;
    }

    std::vector<std::pair<int, double>> results;
    for (int row = 1; row <= rows; ++row) {
        if (controls[std::size_t(row)] || unusableNumberText(sheet.text(row, ReportScanColumn)))
            continue;
        const auto found = deciding.constFind(keys[std::size_t(row)]);
        if (found == deciding.constEnd())
            continue;
        try {
            results.emplace_back(row,
                                 expressionPercent(sheet.number(row, ReportScanColumn), *found));
        } catch (const Error& error) {
            throw Error(error.number(), QStringLiteral("Row %1: %2").arg(row).arg(error.message()));
        }
    }
    for (const int row : unusable)
        sheet.setNote(row, ReportScanColumn, unusableNumberNote());
    for (const auto& [row, value] : results)
        sheet.setNumber(row, ReportExpressionColumn, value);
}

} // namespace kesto
