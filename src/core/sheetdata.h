#pragma once

// The worksheet's cell store and every operation on it that needs no widget: size, cell
// text and number, per-cell fill and text colour, column widths and headings, the
// selection and the cell cursor, deleting with rows moving up, sorting, and the
// tab-separated text that spreadsheets exchange through the clipboard.
//
// Rows and columns are numbered from 1. Reading outside the sheet gives an empty cell;
// writing outside it grows the sheet, so nothing written is dropped. A row or column
// below 1, or a size past the limits below, is refused with kesto::Error and leaves the
// sheet as it was.

#include "core/colors.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace kesto {

// A rectangle of cells, bounds included.
struct SheetRange
{
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;

    int rows() const { return lastRow - firstRow + 1; }
    int columns() const { return lastColumn - firstColumn + 1; }
    bool contains(int row, int column) const
    {
        return row >= firstRow && row <= lastRow && column >= firstColumn && column <= lastColumn;
    }
    friend bool operator==(const SheetRange& a, const SheetRange& b)
    {
        return a.firstRow == b.firstRow && a.firstColumn == b.firstColumn &&
               a.lastRow == b.lastRow && a.lastColumn == b.lastColumn;
    }
    friend bool operator!=(const SheetRange& a, const SheetRange& b) { return !(a == b); }
};

// How one cell is painted. Pattern 0 is no fill, 1 a solid fill in the foreground colour,
// 2 to 14 the hatch patterns of Qt::BrushStyle (Dense1Pattern ... DiagCrossPattern) drawn
// in the foreground colour over the background colour.
struct CellFormat
{
    int pattern = 0;
    ColorValue patternForeground = SystemWindowBackground;
    ColorValue patternBackground = rgbValue(0, 0, 0);
    ColorValue textColour = rgbValue(0, 0, 0);

    friend bool operator==(const CellFormat& a, const CellFormat& b)
    {
        return a.pattern == b.pattern && a.patternForeground == b.patternForeground &&
               a.patternBackground == b.patternBackground && a.textColour == b.textColour;
    }
};

size_t qHash(const CellFormat& format, size_t seed = 0) noexcept;

// Page setup that travels with the sheet. Header and footer use the codes &A (sheet
// name), &P (page number), &N (page count), &B (bold on/off) and && (an ampersand).
struct SheetPrintSetup
{
    QString header = QStringLiteral("&A");
    QString footer = QStringLiteral("Page &P");
    bool gridlines = false;
    bool rowHeadings = false;
    bool columnHeadings = true; // the sheet's named headings head every printed page
};

// Told about every change, so a view can follow without polling. All calls come after
// the change except the *AboutToChange pair, which brackets a change of size.
class SheetObserver
{
public:
    virtual ~SheetObserver();
    virtual void rowsAboutToChange(int oldCount, int newCount);
    virtual void rowsChanged();
    virtual void columnsAboutToChange(int oldCount, int newCount);
    virtual void columnsChanged();
    virtual void cellsChanged(const SheetRange& range);
    virtual void headingsChanged(int firstColumn, int lastColumn);
    virtual void columnWidthChanged(int column);
    virtual void selectionChanged();
};

class SheetData
{
public:
    // Limits keep every sheet storable as a workbook and within memory.
    static constexpr int MaxRows = 1000000;
    static constexpr int MaxColumns = 16384;
    static constexpr std::int64_t MaxCells = 20000000;
    static constexpr int DefaultColumnWidth = 9 * 256;
    static constexpr int MaxColumnWidth = 255 * 256;
    static constexpr int MaxPattern = 14;

    SheetData() = default;
    SheetData(int rows, int columns);
    SheetData(const SheetData&) = delete;
    SheetData& operator=(const SheetData&) = delete;

    // One observer at a time (the view's model); nullptr for none. Not owned.
    void setObserver(SheetObserver* observer) { m_observer = observer; }

    int rowCount() const { return m_rows; }
    int columnCount() const { return m_columns; }
    void setRowCount(int rows);
    void setColumnCount(int columns);
    void resize(int rows, int columns);

    QString text(int row, int column) const;
    void setText(int row, int column, const QString& text);
    // A note flags a cell's value for the reader (a scan with saturated samples, a text
    // that is no usable number); views show it as a mark with the note as its tip, and
    // workbooks keep it as a cell comment. Any new text clears the cell's note, so a note
    // never outlives the value it describes; set it after the text. Empty clears.
    QString note(int row, int column) const;
    void setNote(int row, int column, const QString& note);

    // The cell read as a number; 0 when empty or not a number.
    double number(int row, int column) const;
    // Writes the plain decimal text of a finite value.
    void setNumber(int row, int column, double value);

    const CellFormat& format(int row, int column) const;
    void setRangePattern(const SheetRange& range, int pattern, ColorValue foreground,
                         ColorValue background);
    void setRangeTextColour(const SheetRange& range, ColorValue colour);

    // Widths in 1/256 of a character width of the sheet's default font.
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);

    // "" for a column without heading and for an index past the last column.
    QString headingText(int column) const;
    void setHeadingText(int column, const QString& text);
    bool hasHeadings() const;

    QString sheetName() const { return m_sheetName; }
    void setSheetName(const QString& name);

    SheetPrintSetup& printSetup() { return m_print; }
    const SheetPrintSetup& printSetup() const { return m_print; }

    // The selection is one rectangle; the cell cursor lies inside it.
    SheetRange selection() const { return m_selection; }
    // Bounds in any order; the cursor moves to the range's top-left cell.
    void selectRange(int firstRow, int firstColumn, int lastRow, int lastColumn);
    // Selection and cursor as one call, for a view that tracks the user's choice.
    void setSelection(const SheetRange& range, int cursorRow, int cursorColumn);
    int activeRow() const { return m_activeRow; }
    int activeColumn() const { return m_activeColumn; }
    // Selects just that cell.
    void setActiveCell(int row, int column);

    void setSelectionPattern(int pattern, ColorValue foreground, ColorValue background);
    void setSelectionTextColour(ColorValue colour);

    // Empties the texts of the range (formats stay).
    void clearRange(const SheetRange& range);
    // Removes the range's cells; the cells below it in the same columns move up and the
    // bottom rows of those columns become empty. The sheet keeps its size.
    void deleteRange(const SheetRange& range);
    // Reorders the rows (byRows) or columns of the range on the key-th column (row) of the
    // range, counted from 1; a negative key sorts descending. Numbers come before texts in
    // ascending order, numbers by value, texts case-insensitively; empty cells always last;
    // equal keys keep their order. Cells move with their formats.
    void sortRange(const SheetRange& range, bool byRows, int key);

    // The range as tab-separated text: TAB between cells, CR LF between rows, no line end
    // after the last row; cells holding a tab, quote or line break are quoted.
    QString rangeText(const SheetRange& range) const;
    QString selectionText() const { return rangeText(m_selection); }
    // Writes tab-separated text with its first cell at (row, column), growing the sheet as
    // needed; returns the range written (no rows for empty text).
    SheetRange setTextAt(int row, int column, QStringView text);
    // Writes at the selection's top-left cell and selects what was written.
    void setSelectionText(QStringView text);

    // Throws unless (row, column) may address a cell.
    static void checkCell(int row, int column);

private:
    struct Cell
    {
        QString text;
        QString note;
        std::uint32_t format = 0;
    };

    Cell& cell(int row, int column) { return m_cells[index(row, column)]; }
    const Cell& cell(int row, int column) const { return m_cells[index(row, column)]; }
    std::size_t index(int row, int column) const
    {
        return std::size_t(row - 1) * std::size_t(m_columns) + std::size_t(column - 1);
    }
    bool inside(int row, int column) const
    {
        return row >= 1 && row <= m_rows && column >= 1 && column <= m_columns;
    }
    void ensureCell(int row, int column);
    void checkSize(std::int64_t rows, std::int64_t columns) const;
    SheetRange checkedRange(const SheetRange& range) const;
    // The part of the range inside the sheet; false when nothing is.
    bool clip(SheetRange& range) const;
    std::uint32_t internFormat(const CellFormat& format);
    void changed(const SheetRange& range);

    int m_rows = 0;
    int m_columns = 0;
    std::vector<Cell> m_cells; // row-major, m_rows * m_columns
    std::vector<int> m_widths;
    QStringList m_headings;
    std::vector<CellFormat> m_formats{CellFormat()};
    QHash<CellFormat, std::uint32_t> m_formatIndex{{CellFormat(), 0}};
    QString m_sheetName = QStringLiteral("Sheet1");
    SheetPrintSetup m_print;
    SheetRange m_selection;
    int m_activeRow = 1;
    int m_activeColumn = 1;
    SheetObserver* m_observer = nullptr;
};

// The spreadsheet name of a column: A ... Z, AA, AB, ...
QString columnLetters(int column);

// Reads text as a cell number: true and the value when the text is a finite number.
bool cellNumber(const QString& text, double& value);

// Tab-separated text as spreadsheet programs exchange it. The reader accepts CR LF, LF or
// CR line ends, a trailing line end, and quoted fields ("a""b" for a"b) that may hold
// tabs and line breaks; a quote that is never closed is read as an ordinary character.
QList<QStringList> parseTabText(QStringView text);
// One field of tab-separated text, quoted when it holds a tab, quote or line break.
QString tabField(const QString& text);
// One field of RFC 4180 CSV, quoted when it holds a comma, quote or line break.
QString csvField(const QString& text);

} // namespace kesto
