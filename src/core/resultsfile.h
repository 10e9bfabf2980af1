#pragma once

// A result as sheets and files: the lanes' table and the groups' table (with every detail
// column) and how the result was made, for a workbook of two worksheets ("Lanes" and
// "Groups", the notes below the groups) or one CSV or tab-separated text holding the
// lanes' table, then the groups', then the notes, each after an empty line.
//
// With standard curves, each lane also has AMOUNT (read off its blot's curve, empty when
// there is none) and IN_RANGE (yes or no, as the batch command prints them) and, as the
// amount's note, its flags or why there is none; each blot's curve is described among the
// notes.

#include "core/results.h"
#include "core/sheetfiles.h"

namespace kesto {

class SheetData;
struct StandardResults;

// Fills the sheets (headings, cells; flagged values get the flags as their cells' notes).
// standards: the amounts of results' lanes (results being standards->raw or made alike).
void fillResultSheets(const Results& results, SheetData& lanes, SheetData& groups,
                      const StandardResults* standards = nullptr);

// Writes the result; throws Error(FileError) naming the path and the reason. The file is
// replaced atomically.
void writeResultsFile(const Results& results, const QString& path, SheetFileType type,
                      const StandardResults* standards = nullptr);

} // namespace kesto
