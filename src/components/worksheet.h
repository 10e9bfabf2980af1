#pragma once

// The worksheet: a grid of text cells with a spreadsheet's operations (counts, cell text
// and number, widths, selection, fills, sort, delete, text in and out, files, printing).
// Rows and columns are numbered from 1. Both windows keep their results in one.
//
// The cell store and every operation that needs no widget live in SheetData
// (components/sheetdata.h); Worksheet is the view and the file/print front end over it.

#include "components/module1.h"
#include "core/sheetfiles.h" // SheetFileType

#include <QFont>
#include <QWidget>

#include <functional>
#include <memory>

class QTableView;

namespace kesto {

class SheetData;
class SheetModel;

class Worksheet : public QWidget
{
    Q_OBJECT
public:
    explicit Worksheet(QWidget* parent = nullptr);
    ~Worksheet() override;

    SheetData& data();
    const SheetData& data() const;

    // The sheet's size: reading gives the number of rows (columns); writing grows or
    // shrinks the sheet. A new sheet has none; writing a cell past the edge grows it.
    // Rows or columns below 1 raise Error (subscript out of range).
    int rowCount() const;
    void setRowCount(int rows);
    int columnCount() const;
    void setColumnCount(int columns);

    QString text(int row, int column) const; // "" when empty
    void setText(int row, int column, const QString& text);
    double number(int row, int column) const; // 0 when empty or not a number
    void setNumber(int row, int column, double value);
    // A flag on a cell's value, shown as a mark with the note as its tip; new text clears it.
    QString note(int row, int column) const;
    void setNote(int row, int column, const QString& note);

    // Column widths in 1/256 of a character width of the sheet's default font.
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);

    // Column heading for an index; "" past the last column.
    QString headingText(int index) const;
    void setHeadingText(int column, const QString& text);

    QString sheetName() const;
    void setSheetName(const QString& name);

    void activeCell(int& row, int& column) const;
    void setActiveCell(int row, int column);

    void selectRange(int firstRow, int firstColumn, int lastRow, int lastColumn);
    // Pattern 0 = no fill, 1 = solid fill in the first colour.
    void setSelectionPattern(int pattern, ColorValue foreground, ColorValue background);
    void setSelectionTextColor(ColorValue colour);

    void redraw();
    // After cells were written from code; leaves the cells as written.
    void updateSheet();

    enum class Shift { RowsUp = 3 };
    void deleteRange(int firstRow, int firstColumn, int lastRow, int lastColumn, Shift shift);

    // Sorts the current selection by rows, ascending on its first column (when every bound
    // is -1), or the given range: numbers in numeric order before texts, texts
    // case-insensitively, empty cells last; stable.
    void sort(int firstRow, int firstColumn, int lastRow, int lastColumn, bool byRows, int key);

    // The selection as tab-separated text (cells joined by TAB, rows by CR LF).
    QString selectionText() const;
    // Fills the cells from the selection's top-left corner; grows the sheet as needed.
    void setSelectionText(const QString& text);

    // Save-file chooser through the Prompts seam; path "" on cancel, and when the name
    // with its added extension names an existing file the user chose not to replace.
    void saveDialog(const QString& title, QString& path, SheetFileType& fileType);
    // Writes the whole sheet atomically; throws Error with a clear message on failure.
    void write(const QString& path, SheetFileType fileType) const;

    // Header and footer with the codes &A (sheet name), &P (page number), &B (bold on/off).
    void setPrintHeader(const QString& text);
    QString printHeader() const;
    void setPrintFooter(const QString& text);
    QString printFooter() const;
    // Gridlines and row headings are off and column headings on until set.
    void setPrintGridlines(bool on);
    void setPrintRowHeadings(bool on);
    void setPrintColumnHeadings(bool on);
    bool printGridlines() const;
    bool printRowHeadings() const;
    bool printColumnHeadings() const;
    // Prints the sheet; with showDialog the print dialog comes first (through Prompts).
    // Throws Error when printing fails or is cancelled.
    void print(bool showDialog);
    // Prints without a dialog to a PDF file (tests and batch use).
    void printToPdf(const QString& path);

    // More for a cell's tip, after its note.
    void setCellTipSource(std::function<QString(int, int)> source);

    QTableView* view() const;
    SheetModel* model() const;

    // The default font (Arial 10 pt) and the width in pixels of one of its characters,
    // the unit of the column widths (256 per character).
    QFont defaultFont() const;
    double characterWidth() const;

    // The error number of a cancelled print dialog.
    static constexpr int PrintCancelled = 32755;

Q_SIGNALS:
    // The user clicked a cell (1-based).
    void cellClicked(int row, int column);
    // The user pressed a mouse button on the sheet; the values carry no meaning for callers.
    void sheetMouseDown(int button, int modifiers, int x, int y);
    // The user changed cells by hand: typed into one (pasted false), pasted text, or
    // deleted a range (pasted false, the cells now empty).
    void cellsEdited(int firstRow, int firstColumn, int lastRow, int lastColumn, bool pasted);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyAllWidths();
    void showSelection(); // sheet selection -> view
    void takeSelection(); // view selection -> sheet

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kesto
