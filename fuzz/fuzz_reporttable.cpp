// Report tables for the report command: the CSV reader, the tab-separated reader and
// loadReportTable. A table either loads or is refused with a PlanError naming the source;
// what loads is what the rows said, and the sheet's own CSV reads back the same cells.

#include "core/reporttable.h"
#include "core/sheetdata.h"
#include "core/sheetfiles.h"
#include "fuzzsupport.h"

#include <QList>
#include <QStringList>

using namespace kesto;
using kesto::fuzz::check;

namespace {

const QString Source = QStringLiteral("fuzz.csv");

QString joinedCsv(const QList<QStringList>& rows)
{
    QString text;
    for (const QStringList& row : rows) {
        for (qsizetype j = 0; j < row.size(); ++j) {
            if (j > 0)
                text += QLatin1Char(',');
            text += csvField(row.at(j));
        }
        text += QStringLiteral("\r\n");
    }
    return text;
}

void loadAndCheck(const QList<QStringList>& rows)
{
    SheetData sheet;
    try {
        loadReportTable(sheet, rows, Source);
    } catch (const PlanError& error) {
        check(error.message().startsWith(Source + QLatin1Char(':')),
              "a refused table names its source", error.message());
        return;
    }
    const bool header = isReportHeader(rows.constFirst());
    const qsizetype first = header ? 1 : 0;
    check(sheet.rowCount() == rows.size() - first, "one sheet row for every band row");
    check(sheet.columnCount() >= 5, "the sheet has the five report columns");
    check(sheet.hasHeadings() == header, "a header becomes the headings");
    for (qsizetype r = first; r < rows.size(); ++r) {
        for (int c = 1; c <= sheet.columnCount(); ++c)
            check(sheet.text(int(r - first + 1), c) == rows.at(r).value(c - 1),
                  "every cell holds its field");
    }
    // The sheet saved as CSV reads back as its headings and cells.
    const QList<QStringList> saved = parseCsvText(QString::fromUtf8(sheetCsv(sheet)), Source);
    // Every line up to the last row that holds anything.
    int used = 0;
    for (int r = 1; r <= sheet.rowCount(); ++r)
        for (int c = 1; c <= sheet.columnCount(); ++c)
            if (!sheet.text(r, c).isEmpty())
                used = r;
    check(saved.size() == used + (header ? 1 : 0), "the saved CSV has every used line");
    const qsizetype offset = header ? 1 : 0;
    for (qsizetype i = 0; i < saved.size(); ++i) {
        check(saved.at(i).size() == sheet.columnCount(), "every saved line has every column");
        for (int c = 1; c <= sheet.columnCount(); ++c) {
            const QString expected =
                i < offset ? sheet.headingText(c) : sheet.text(int(i - offset + 1), c);
            check(saved.at(i).at(c - 1) == expected, "the saved CSV reads back the same",
                  QStringLiteral("line %1 column %2").arg(i + 1).arg(c));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = kesto::fuzz::textOf(data, size);

    try {
        const QList<QStringList> rows = parseCsvText(text, Source);
        for (const QStringList& row : rows)
            check(!row.isEmpty(), "parseCsvText gives no empty rows");
        // Writing the rows as CSV and reading them again gives the same rows.
        check(parseCsvText(joinedCsv(rows), Source) == rows,
              "CSV written from rows reads back the same");
        loadAndCheck(rows);
    } catch (const PlanError& error) {
        check(error.message().startsWith(Source + QLatin1Char(':')), "a CSV error names its source",
              error.message());
    }

    loadAndCheck(parseTabText(text));
    return 0;
}
