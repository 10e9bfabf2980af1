#pragma once

// Writing a sheet to a file: an Excel workbook, CSV or tab-separated text. Every writer
// replaces the target atomically, so a failed save leaves any earlier file as it was.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace kesto {

class SheetData;

enum class SheetFileType : int {
    Excel = 0,   // .xlsx workbook
    Csv = 1,     // UTF-8, RFC 4180 quoting
    TabText = 2, // tab-separated text
};

// The save dialog's filters, in SheetFileType order.
QStringList sheetFileFilters();
// The suffix a file of that type gets when its name has none ("xlsx", "csv", "txt").
QString sheetFileSuffix(SheetFileType type);
// The type a file name's suffix names, if any (case-insensitive).
std::optional<SheetFileType> sheetFileTypeOf(const QString& path);
// The name to save under: a name without suffix gets the type's suffix.
QString withSheetFileSuffix(const QString& path, SheetFileType type);

// The whole sheet as text: the headings line (when the sheet has headings), then every
// row; each line ends with CR LF. UTF-8 without byte-order mark.
QByteArray sheetCsv(const SheetData& data);
QByteArray sheetTabText(const SheetData& data);

// Writes the whole sheet; throws Error(FileError) naming the path and the reason.
void writeSheetFile(const SheetData& data, const QString& path, SheetFileType type);
// The same; a workbook also gets second as its second worksheet (when given). Text files
// hold the first sheet only.
void writeSheetFile(const SheetData& data, const SheetData* second, const QString& path,
                    SheetFileType type);

} // namespace kesto
