#pragma once

// Whole rows of the report table: which rows and columns a Sort reorders, and the rows the
// main sheet sends to the report.

#include "core/sheetdata.h"

namespace kesto {

struct RowSort
{
    SheetRange range; // no rows when there is nothing to sort
    int key = 1;      // the sort column, counted from the range's first column
};

// Sorting from a selection keeps every row whole: the range spans every used column and
// is keyed on the selection's first column. A selection of several rows sorts those rows
// (down to the last used one); a selection within one row sorts every used row. A first
// row whose scan cell holds a text that is no number is a header and stays on top.
RowSort reportRowSort(const SheetData& report, const SheetRange& selection);

// For each row of the main sheet whose "Band" and "Int.Ctrl" cells both hold usable
// numbers, appends below the report's used rows a band row and a control row, both with
// the description "Row N", the type "control" on the second, and the scan values as
// their texts. Returns the number of main-sheet rows sent.
int appendScanRowsToReport(const SheetData& scan, SheetData& report);

} // namespace kesto
