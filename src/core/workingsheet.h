#pragma once

// The working sheet's arithmetic: the working-cell caption and the pass that fills the
// band numbers and the per cent of control after every scan.

#include "core/numbers.h"
#include "core/usablenumber.h"

#include <QString>

namespace kesto {

struct CellAddress
{
    int row = 0;
    int column = 0;
};

// "Working Cell: R" row "C" column, as the read-out shows it.
QString workingCellCaption(int row, int column);

// Parses the read-out: the row between character 16 and the first capital "C" at or after
// character 15, the column after it. A caption without that "C", or with parts that are not
// 32-bit numbers, gives {0, 0}, which names no cell.
CellAddress parseWorkingCell(const QString& caption);

// The "% to Ctrl" text for a row's band and control texts: band x 100 / control in
// "##0.0"; "" when either is empty, the control is "0", either is not a number, or the
// control reads as zero.
QString percentToControlText(const QString& band, const QString& control);

// Fills column 1 with the row number of every row with a value in column 2 or 3, and
// column 4 with the per cent of control, over every row of the sheet. Rows whose columns 2
// and 3 are both empty keep column 1 as it is. A band or control text that is no usable
// number gets a note and no percentage.
// The pass over rows first to last only (clipped to the sheet). Each row's result depends on
// that row alone, so passing the rows that changed since the last pass leaves the sheet as
// a whole pass would.
template <typename Sheet> void runWorkingSheetRows(Sheet& sheet, int first, int last)
{
    const int rows = sheet.rowCount();
    for (int i = first < 1 ? 1 : first; i <= last && i <= rows; ++i) {
        const QString band = sheet.text(i, 2);
        const QString control = sheet.text(i, 3);
        if (!control.isEmpty() || !band.isEmpty())
            sheet.setText(i, 1, QString::number(i));
        sheet.setText(i, 4, percentToControlText(band, control));
        // A value that cannot take part is marked, so it is not taken for a result.
        if (unusableNumberText(band))
            sheet.setNote(i, 2, unusableNumberNote());
        if (unusableNumberText(control))
            sheet.setNote(i, 3, unusableNumberNote());
    }
}

template <typename Sheet> void runWorkingSheetPass(Sheet& sheet)
{
    runWorkingSheetRows(sheet, 1, sheet.rowCount());
}

} // namespace kesto
