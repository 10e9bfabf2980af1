#pragma once

// Report tables read from files for the report command: the report window's columns
// "#", "Description", "Type", "Scan (rel.units)" and "Expression (%)", as CSV or as
// tab-separated text, with or without a header line.

#include "core/measurementplan.h" // PlanError

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace kesto {

class SheetData;

enum class TableFormat { Csv, TabText };

// CSV when the file name ends in .csv (any case), tab-separated text otherwise.
TableFormat tableFormatOf(const QString& path);

// RFC 4180 CSV: CR LF, LF or CR line ends, an optional line end after the last row,
// fields in double quotes ("" for a quote) that may hold commas and line breaks. A quote
// inside an unquoted field is an ordinary character. Throws PlanError "source:line: ..."
// for a quoted field that is never closed or is followed by more text.
QList<QStringList> parseCsvText(QStringView text, const QString& source);

// True when the first row is a header: its Scan cell (column 4) holds text that is not a
// number, and its Type cell does not mark a control band.
bool isReportHeader(const QStringList& row);

// Fills the sheet with the rows: a header becomes the sheet's headings (with
// "Expression (%)" for a fifth heading it lacks), every other row a sheet row. The sheet
// gets at least the five report columns. Throws PlanError naming source when there is no
// band row or no row reaches the Scan column.
void loadReportTable(SheetData& sheet, const QList<QStringList>& rows, const QString& source);

// Reads the file (UTF-8, a byte-order mark allowed) into the sheet. Throws Error(FileError)
// when it cannot be read and PlanError when its content is not a report table.
void readReportTable(const QString& path, SheetData& sheet);

// The largest report table read.
inline constexpr qint64 MaxReportBytes = 64 * 1024 * 1024;

} // namespace kesto
