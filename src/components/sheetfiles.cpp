#include "components/sheetfiles.h"

#include "app/error.h"

namespace kesto {

QStringList sheetFileFilters()
{
    return {QStringLiteral("Excel workbook (*.xlsx)"), QStringLiteral("CSV (*.csv)"),
            QStringLiteral("Tab-separated text (*.txt *.tsv)")};
}
QString sheetFileSuffix(SheetFileType) { return QString(); }
std::optional<SheetFileType> sheetFileTypeOf(const QString&) { return std::nullopt; }
QString withSheetFileSuffix(const QString& path, SheetFileType) { return path; }
QByteArray sheetCsv(const SheetData&) { return {}; }
QByteArray sheetTabText(const SheetData&) { return {}; }
void writeSheetFile(const SheetData&, const QString&, SheetFileType)
{
    throw Error(Error::NotAvailableAtRunTime, QStringLiteral("Saving is not available yet"));
}

} // namespace kesto
