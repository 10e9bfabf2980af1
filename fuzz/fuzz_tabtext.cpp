// Pasting text into a worksheet: the tab-separated reader and SheetData::setTextAt /
// setSelectionText. A paste either lands whole, readable back cell by cell and through
// the sheet's own copy text, or is refused with kesto::Error and leaves the sheet as it was.

#include "core/error.h"
#include "core/sheetdata.h"
#include "fuzzsupport.h"

#include <QList>
#include <QStringList>

using namespace kesto;
using kesto::fuzz::check;

namespace {

// The sheet's texts, for comparing before and after a refused paste.
QList<QStringList> snapshot(const SheetData& sheet)
{
    QList<QStringList> rows;
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        QStringList row;
        for (int c = 1; c <= sheet.columnCount(); ++c)
            row << sheet.text(r, c);
        rows << row;
    }
    return rows;
}

// Cell (i, j) of parsed rows, empty past a short row.
QString field(const QList<QStringList>& rows, qsizetype i, qsizetype j)
{
    return rows.value(i).value(j);
}

bool hasField(const QList<QStringList>& rows, qsizetype i, qsizetype j)
{
    return i >= 0 && j >= 0 && i < rows.size() && j < rows.at(i).size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks where the paste starts, the rest is the clipboard text.
    const int startRow = 1 + (data[0] & 0x0F);
    const int startColumn = 1 + (data[0] >> 4);
    const QString text = kesto::fuzz::textOf(data + 1, size - 1);

    const QList<QStringList> parsed = parseTabText(text);
    for (const QStringList& row : parsed)
        check(!row.isEmpty(), "parseTabText gives no empty rows");

    SheetData sheet(3, 3);
    sheet.setText(1, 1, QStringLiteral("kept"));
    sheet.setText(3, 3, QStringLiteral("12.5"));
    sheet.selectRange(startRow, startColumn, startRow, startColumn);
    const QList<QStringList> before = snapshot(sheet);
    try {
        sheet.setSelectionText(text);
    } catch (const Error&) {
        check(snapshot(sheet) == before, "a refused paste leaves the sheet as it was");
        check(sheet.selection() == SheetRange({startRow, startColumn, startRow, startColumn}),
              "a refused paste keeps the selection");
        return 0;
    }
    if (parsed.isEmpty()) {
        check(snapshot(sheet) == before, "empty text changes nothing");
        return 0;
    }
    const SheetRange written = sheet.selection();
    check(written.firstRow == startRow && written.firstColumn == startColumn,
          "the paste starts at the selection");
    check(written.rows() == parsed.size(), "the paste selects every row it wrote");
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        for (int c = 1; c <= sheet.columnCount(); ++c) {
            // A short row writes only its own fields, as a spreadsheet's paste does.
            const QString expected = hasField(parsed, r - startRow, c - startColumn)
                                         ? field(parsed, r - startRow, c - startColumn)
                                         : before.value(r - 1).value(c - 1);
            check(sheet.text(r, c) == expected, "every cell holds what was pasted or what it held",
                  QStringLiteral("R%1C%2: \"%3\" instead of \"%4\"")
                      .arg(r)
                      .arg(c)
                      .arg(sheet.text(r, c), expected));
        }
    }
    // Copying the pasted range and reading it again gives the same cells (trailing empty
    // cells and rows may be left out of the text).
    const QList<QStringList> again = parseTabText(sheet.rangeText(written));
    check(again.size() <= written.rows(), "the copy text holds no extra rows");
    for (qsizetype i = 0; i < written.rows(); ++i) {
        check(again.value(i).size() <= written.columns(), "the copy text holds no extra columns");
        for (qsizetype j = 0; j < written.columns(); ++j) {
            const QString cell = sheet.text(startRow + int(i), startColumn + int(j));
            check(field(again, i, j) == cell, "the copy text reads back the same",
                  QStringLiteral("row %1 column %2: \"%3\" instead of \"%4\"")
                      .arg(i + 1)
                      .arg(j + 1)
                      .arg(field(again, i, j), cell));
        }
    }
    return 0;
}
