#pragma once

// A result as sheets and files: the lanes' table and the groups' table (with every detail
// column) and how the result was made, for a workbook of two worksheets ("Lanes" and
// "Groups", the notes below the groups) or one CSV or tab-separated text holding the
// lanes' table, then the groups', then the notes, each after an empty line.

#include "core/results.h"
#include "core/sheetfiles.h"

namespace kesto {

class SheetData;

// Fills the sheets (headings, cells; flagged values get the flags as their cells' notes).
void fillResultSheets(const Results& results, SheetData& lanes, SheetData& groups);

// Writes the result; throws Error(FileError) naming the path and the reason. The file is
// replaced atomically.
void writeResultsFile(const Results& results, const QString& path, SheetFileType type);

} // namespace kesto
