#pragma once

// The numbers of a finished workbook in the digits the sheet shows. libxlsxwriter writes
// every number with 16 significant digits, so 90.9 is stored as 90.90000000000001 and
// 0.30000000000000004 as 0.3; the workbook is copied with each number cell's value
// replaced by its text from the sheet, which reads back as the same number.

#include <QHash>
#include <QString>

#include <vector>

namespace kesto {

// The texts to store, by cell reference ("B2"), one table per worksheet in the order
// the worksheets were added (xl/worksheets/sheet1.xml first).
using ShownNumbers = std::vector<QHash<QString, QString>>;

// Copies the workbook at `from` to `to` with the number cells named in `shown` holding
// those texts; every other part is copied unchanged. Throws Error(FileError) when either
// file cannot be read or written.
void copyWithShownNumbers(const QString& from, const QString& to, const ShownNumbers& shown);

// One worksheet's XML with the value of each number cell named in `shown` replaced.
QByteArray withShownNumbers(const QByteArray& sheetXml, const QHash<QString, QString>& shown);

} // namespace kesto
