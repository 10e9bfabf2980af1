#pragma once

// Printing a sheet through Qt's printing: letter paper, portrait, 100 %, margins of
// 0.75 inch left and right and 1 inch top and bottom, header and footer 0.5 inch from the
// paper's edge. Cells are laid out page by page, down the rows first, then across.

#include <QList>
#include <QString>

class QFont;
class QPrinter;

namespace kesto {

class SheetData;

// A piece of header or footer text in one weight.
struct PrintTextRun
{
    QString text;
    bool bold = false;
    friend bool operator==(const PrintTextRun& a, const PrintTextRun& b)
    {
        return a.text == b.text && a.bold == b.bold;
    }
};

// Expands the header and footer codes: &A the sheet name, &P the page number, &N the
// page count, &B bold on/off, && one ampersand. Any other & is printed as it stands.
QList<PrintTextRun> expandPrintCodes(const QString& codes, const QString& sheetName, int page,
                                     int pages);

// Letter, portrait, 100 %, the sheet margins, high resolution.
void applySheetPageLayout(QPrinter& printer);

// Prints the sheet with its print setup and returns the number of pages. Throws
// Error(FileError) when the printer cannot start or a page cannot be added.
int printSheet(const SheetData& data, QPrinter& printer, const QFont& font);

} // namespace kesto
