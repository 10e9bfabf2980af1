#include "core/sheetdata.h"

#include "core/error.h"
#include "core/numbers.h"

#include <QHashFunctions>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace kesto {

size_t qHash(const CellFormat& format, size_t seed) noexcept
{
    return qHashMulti(seed, format.pattern, format.patternForeground, format.patternBackground,
                      format.textColour);
}

SheetObserver::~SheetObserver() = default;
void SheetObserver::rowsAboutToChange(int, int) {}
void SheetObserver::rowsChanged() {}
void SheetObserver::columnsAboutToChange(int, int) {}
void SheetObserver::columnsChanged() {}
void SheetObserver::cellsChanged(const SheetRange&) {}
void SheetObserver::headingsChanged(int, int) {}
void SheetObserver::columnWidthChanged(int) {}
void SheetObserver::selectionChanged() {}

namespace {

QString cellName(int row, int column)
{
    return QStringLiteral("R%1C%2").arg(row).arg(column);
}

// Validates a colour before it is stored, so a bad value fails where it is given and
// not later while painting. Only the system colours the palette maps are accepted; this
// check needs no running application.
void checkColour(ColorValue colour)
{
    const auto bits = std::uint32_t(colour);
    if (!(bits & 0x80000000u))
        return;
    switch (bits & 0xFFFFFu) {
    case 5:
    case 8:
    case 13:
    case 14:
    case 15:
    case 16:
    case 18:
    case 20:
        return;
    default:
        throw Error(Error::InvalidValue,
                    QStringLiteral("Invalid value: 0x%1 is not a system colour the sheet can show")
                        .arg(bits, 8, 16, QLatin1Char('0')));
    }
}

} // namespace

QString columnLetters(int column)
{
    QString letters;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        letters.prepend(QLatin1Char(char('A' + digit)));
        column = (column - 1) / 26;
    }
    return letters;
}

bool cellNumber(const QString& text, double& value)
{
    if (text.isEmpty() || !isNumber(text))
        return false;
    try {
        value = parseDouble(text);
    } catch (const Error&) {
        return false; // too large for a double: it stays a text
    }
    return std::isfinite(value);
}

SheetData::SheetData(int rows, int columns)
{
    resize(rows, columns);
}

void SheetData::checkCell(int row, int column)
{
    if (row < 1 || column < 1)
        throw Error(Error::SubscriptOutOfRange,
                    QStringLiteral(
                        "Subscript out of range: there is no cell %1; rows and columns start at 1")
                        .arg(cellName(row, column)));
    if (row > MaxRows || column > MaxColumns)
        throw Error(Error::SubscriptOutOfRange,
                    QStringLiteral("Subscript out of range: cell %1 lies past the sheet's limit of "
                                   "%2 rows and %3 columns")
                        .arg(cellName(row, column))
                        .arg(MaxRows)
                        .arg(MaxColumns));
}

void SheetData::checkSize(std::int64_t rows, std::int64_t columns) const
{
    if (rows < 0 || columns < 0)
        throw Error(Error::InvalidValue,
                    QStringLiteral("Invalid value: a sheet cannot have %1 rows and %2 columns")
                        .arg(rows)
                        .arg(columns));
    if (rows > MaxRows || columns > MaxColumns || rows * columns > MaxCells)
        throw Error(Error::InvalidValue,
                    QStringLiteral("Invalid value: a sheet of %1 rows and %2 columns is too large "
                                   "(at most %3 rows, %4 columns and %5 cells)")
                        .arg(rows)
                        .arg(columns)
                        .arg(MaxRows)
                        .arg(MaxColumns)
                        .arg(MaxCells));
}

void SheetData::resize(int rows, int columns)
{
    checkSize(rows, columns);
    // Columns first: relaying the cells out is cheaper before rows are added.
    if (columns < m_columns) {
        setColumnCount(columns);
        setRowCount(rows);
    } else {
        setRowCount(rows);
        setColumnCount(columns);
    }
}

void SheetData::setRowCount(int rows)
{
    if (rows == m_rows)
        return;
    checkSize(rows, m_columns);
    if (m_observer)
        m_observer->rowsAboutToChange(m_rows, rows);
    m_cells.resize(std::size_t(rows) * std::size_t(m_columns));
    m_rows = rows;
    if (m_observer)
        m_observer->rowsChanged();
}

void SheetData::setColumnCount(int columns)
{
    if (columns == m_columns)
        return;
    checkSize(m_rows, columns);
    if (m_observer)
        m_observer->columnsAboutToChange(m_columns, columns);
    std::vector<Cell> cells(std::size_t(m_rows) * std::size_t(columns));
    const int kept = std::min(columns, m_columns);
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < kept; ++c)
            cells[std::size_t(r) * std::size_t(columns) + std::size_t(c)] =
                std::move(m_cells[std::size_t(r) * std::size_t(m_columns) + std::size_t(c)]);
    m_cells = std::move(cells);
    m_widths.resize(std::size_t(columns), DefaultColumnWidth);
    m_headings.resize(columns);
    m_columns = columns;
    if (m_observer)
        m_observer->columnsChanged();
}

void SheetData::ensureCell(int row, int column)
{
    checkCell(row, column);
    if (row > m_rows || column > m_columns)
        resize(std::max(row, m_rows), std::max(column, m_columns));
}

void SheetData::changed(const SheetRange& range)
{
    if (m_observer)
        m_observer->cellsChanged(range);
}

QString SheetData::text(int row, int column) const
{
    checkCell(row, column);
    return inside(row, column) ? cell(row, column).text : QString();
}

void SheetData::setText(int row, int column, const QString& text)
{
    ensureCell(row, column);
    Cell& target = cell(row, column);
    // Writing the same text again (the sheet pass rewrites whole columns) costs no repaint.
    if (target.text == text)
        return;
    target.text = text;
    target.note.clear();
    changed({row, column, row, column});
}

QString SheetData::note(int row, int column) const
{
    checkCell(row, column);
    return inside(row, column) ? cell(row, column).note : QString();
}

void SheetData::setNote(int row, int column, const QString& note)
{
    if (note.isEmpty() && !inside(row, column)) {
        checkCell(row, column);
        return;
    }
    ensureCell(row, column);
    QString& target = cell(row, column).note;
    if (target == note)
        return;
    target = note;
    changed({row, column, row, column});
}

double SheetData::number(int row, int column) const
{
    checkCell(row, column);
    if (!inside(row, column))
        return 0.0;
    double value = 0.0;
    return cellNumber(cell(row, column).text, value) ? value : 0.0;
}

void SheetData::setNumber(int row, int column, double value)
{
    if (!std::isfinite(value))
        throw Error(
            Error::InvalidValue,
            QStringLiteral("Invalid value: cell %1 cannot hold %2, which is not a finite number")
                .arg(cellName(row, column), doubleText(value)));
    setText(row, column, doubleText(value));
}

const CellFormat& SheetData::format(int row, int column) const
{
    checkCell(row, column);
    return inside(row, column) ? m_formats[cell(row, column).format] : m_formats[0];
}

std::uint32_t SheetData::internFormat(const CellFormat& format)
{
    const auto found = m_formatIndex.constFind(format);
    if (found != m_formatIndex.constEnd())
        return found.value();
    const auto index = std::uint32_t(m_formats.size());
    m_formats.push_back(format);
    m_formatIndex.insert(format, index);
    return index;
}

SheetRange SheetData::checkedRange(const SheetRange& range) const
{
    SheetRange r = range;
    if (r.firstRow > r.lastRow)
        std::swap(r.firstRow, r.lastRow);
    if (r.firstColumn > r.lastColumn)
        std::swap(r.firstColumn, r.lastColumn);
    checkCell(r.firstRow, r.firstColumn);
    checkCell(r.lastRow, r.lastColumn);
    return r;
}

bool SheetData::clip(SheetRange& range) const
{
    range.lastRow = std::min(range.lastRow, m_rows);
    range.lastColumn = std::min(range.lastColumn, m_columns);
    return range.firstRow <= range.lastRow && range.firstColumn <= range.lastColumn;
}

void SheetData::setRangePattern(const SheetRange& range, int pattern, ColorValue foreground,
                                ColorValue background)
{
    SheetRange r = checkedRange(range);
    if (pattern < 0 || pattern > MaxPattern)
        throw Error(Error::InvalidValue,
                    QStringLiteral("Invalid value: fill pattern %1 does not exist (0 to %2)")
                        .arg(pattern)
                        .arg(MaxPattern));
    checkColour(foreground);
    checkColour(background);
    if (!clip(r))
        return;
    for (int row = r.firstRow; row <= r.lastRow; ++row) {
        for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
            CellFormat f = m_formats[cell(row, column).format];
            f.pattern = pattern;
            f.patternForeground = foreground;
            f.patternBackground = background;
            cell(row, column).format = internFormat(f);
        }
    }
    changed(r);
}

void SheetData::setRangeTextColour(const SheetRange& range, ColorValue colour)
{
    SheetRange r = checkedRange(range);
    checkColour(colour);
    if (!clip(r))
        return;
    for (int row = r.firstRow; row <= r.lastRow; ++row) {
        for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
            CellFormat f = m_formats[cell(row, column).format];
            f.textColour = colour;
            cell(row, column).format = internFormat(f);
        }
    }
    changed(r);
}

int SheetData::columnWidth(int column) const
{
    checkCell(1, column);
    return column <= m_columns ? m_widths[std::size_t(column - 1)] : DefaultColumnWidth;
}

void SheetData::setColumnWidth(int column, int width)
{
    if (width < 0 || width > MaxColumnWidth)
        throw Error(Error::InvalidValue,
                    QStringLiteral("Invalid value: column width %1 is outside 0 to %2")
                        .arg(width)
                        .arg(MaxColumnWidth));
    ensureCell(1, column);
    if (m_widths[std::size_t(column - 1)] == width)
        return;
    m_widths[std::size_t(column - 1)] = width;
    if (m_observer)
        m_observer->columnWidthChanged(column);
}

QString SheetData::headingText(int column) const
{
    checkCell(1, std::min(column, MaxColumns));
    return column <= m_columns ? m_headings.at(column - 1) : QString();
}

void SheetData::setHeadingText(int column, const QString& text)
{
    ensureCell(1, column);
    m_headings[column - 1] = text;
    if (m_observer)
        m_observer->headingsChanged(column, column);
}

bool SheetData::hasHeadings() const
{
    return std::any_of(m_headings.cbegin(), m_headings.cend(),
                       [](const QString& h) { return !h.isEmpty(); });
}

void SheetData::setSheetName(const QString& name)
{
    if (name.trimmed().isEmpty())
        throw Error(Error::InvalidValue, QStringLiteral("Invalid value: a sheet needs a name"));
    m_sheetName = name;
}

void SheetData::selectRange(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    const SheetRange r = checkedRange({firstRow, firstColumn, lastRow, lastColumn});
    setSelection(r, r.firstRow, r.firstColumn);
}

void SheetData::setSelection(const SheetRange& range, int cursorRow, int cursorColumn)
{
    const SheetRange r = checkedRange(range);
    checkCell(cursorRow, cursorColumn);
    if (!r.contains(cursorRow, cursorColumn)) {
        cursorRow = r.firstRow;
        cursorColumn = r.firstColumn;
    }
    if (r == m_selection && cursorRow == m_activeRow && cursorColumn == m_activeColumn)
        return;
    m_selection = r;
    m_activeRow = cursorRow;
    m_activeColumn = cursorColumn;
    if (m_observer)
        m_observer->selectionChanged();
}

void SheetData::setActiveCell(int row, int column)
{
    setSelection({row, column, row, column}, row, column);
}

void SheetData::setSelectionPattern(int pattern, ColorValue foreground, ColorValue background)
{
    setRangePattern(m_selection, pattern, foreground, background);
}

void SheetData::setSelectionTextColour(ColorValue colour)
{
    setRangeTextColour(m_selection, colour);
}

void SheetData::clearRange(const SheetRange& range)
{
    SheetRange r = checkedRange(range);
    if (!clip(r))
        return;
    for (int row = r.firstRow; row <= r.lastRow; ++row)
        for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
            cell(row, column).text.clear();
            cell(row, column).note.clear();
        }
    changed(r);
}

void SheetData::deleteRange(const SheetRange& range)
{
    SheetRange r = checkedRange(range);
    if (!clip(r))
        return;
    const int removed = r.rows();
    for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
        for (int row = r.firstRow; row + removed <= m_rows; ++row)
            cell(row, column) = std::move(cell(row + removed, column));
        for (int row = std::max(r.firstRow, m_rows - removed + 1); row <= m_rows; ++row)
            cell(row, column) = Cell();
    }
    changed({r.firstRow, r.firstColumn, m_rows, r.lastColumn});
}

namespace {

// Sort key of one cell: its kind, then its number or its text.
struct SortKey
{
    enum Kind { Number, Text, Empty } kind;
    double value;
    QString text;
};

SortKey sortKey(const QString& text)
{
    if (text.isEmpty())
        return {SortKey::Empty, 0.0, QString()};
    double value = 0.0;
    if (cellNumber(text, value))
        return {SortKey::Number, value, QString()};
    return {SortKey::Text, 0.0, text};
}

// Negative, zero or positive, ascending order of two non-empty keys.
int compareKeys(const SortKey& a, const SortKey& b)
{
    if (a.kind != b.kind)
        return a.kind == SortKey::Number ? -1 : 1;
    if (a.kind == SortKey::Number)
        return a.value < b.value ? -1 : (a.value > b.value ? 1 : 0);
    return a.text.compare(b.text, Qt::CaseInsensitive);
}

} // namespace

void SheetData::sortRange(const SheetRange& range, bool byRows, int key)
{
    SheetRange r = checkedRange(range);
    const int keyLimit = byRows ? r.columns() : r.rows();
    if (key == 0 || std::abs(key) > keyLimit)
        throw Error(Error::InvalidValue,
                    QStringLiteral("Invalid value: sort key %1 is outside the %2 %3 of the range")
                        .arg(key)
                        .arg(keyLimit)
                        .arg(byRows ? QStringLiteral("columns") : QStringLiteral("rows")));
    // The key lies inside the range as given; cells past the sheet are empty and stay so.
    const int keyLine = (byRows ? r.firstColumn : r.firstRow) + std::abs(key) - 1;
    if (!clip(r))
        return;
    if ((byRows && keyLine > r.lastColumn) || (!byRows && keyLine > r.lastRow))
        return; // the key column (row) is empty everywhere: nothing moves

    // A "line" is a row when sorting by rows, else a column; "pos" runs along it.
    const int firstLine = byRows ? r.firstRow : r.firstColumn;
    const int lines = byRows ? r.rows() : r.columns();
    const int firstPos = byRows ? r.firstColumn : r.firstRow;
    const int positions = byRows ? r.columns() : r.rows();
    auto at = [&](int line, int pos) -> Cell& {
        return byRows ? cell(firstLine + line, firstPos + pos)
                      : cell(firstPos + pos, firstLine + line);
    };

    std::vector<SortKey> keys;
    keys.reserve(std::size_t(lines));
    for (int line = 0; line < lines; ++line)
        keys.push_back(sortKey(byRows ? cell(firstLine + line, keyLine).text
                                      : cell(keyLine, firstLine + line).text));
    std::vector<int> order(static_cast<std::size_t>(lines));
    std::iota(order.begin(), order.end(), 0);
    const bool descending = key < 0;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const SortKey& ka = keys[std::size_t(a)];
        const SortKey& kb = keys[std::size_t(b)];
        if (ka.kind == SortKey::Empty || kb.kind == SortKey::Empty)
            return ka.kind != SortKey::Empty && kb.kind == SortKey::Empty;
        const int c = compareKeys(ka, kb);
        return descending ? c > 0 : c < 0;
    });

    std::vector<Cell> moved(static_cast<std::size_t>(lines));
    for (int pos = 0; pos < positions; ++pos) {
        for (int line = 0; line < lines; ++line)
            moved[std::size_t(line)] = std::move(at(order[std::size_t(line)], pos));
        for (int line = 0; line < lines; ++line)
            at(line, pos) = std::move(moved[std::size_t(line)]);
    }
    changed(r);
}

QString SheetData::rangeText(const SheetRange& range) const
{
    const SheetRange r = checkedRange(range);
    QString out;
    for (int row = r.firstRow; row <= r.lastRow; ++row) {
        if (row > r.firstRow)
            out += QLatin1String("\r\n");
        for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
            if (column > r.firstColumn)
                out += QLatin1Char('\t');
            if (inside(row, column))
                out += tabField(cell(row, column).text);
        }
    }
    return out;
}

SheetRange SheetData::setTextAt(int row, int column, QStringView text)
{
    checkCell(row, column);
    QList<QStringList> rows = parseTabText(text);
    if (rows.isEmpty())
        return {row, column, row - 1, column - 1};
    qsizetype width = 0;
    for (const QStringList& fields : std::as_const(rows))
        width = std::max(width, fields.size());
    const std::int64_t lastRow = std::int64_t(row) + rows.size() - 1;
    const std::int64_t lastColumn = std::int64_t(column) + width - 1;
    // Refuse before anything changes, so a paste that cannot fit leaves the sheet whole.
    if (lastRow > MaxRows || lastColumn > MaxColumns)
        throw Error(
            Error::InvalidValue,
            QStringLiteral("Invalid value: the text has %1 rows and %2 columns and does not fit "
                           "from cell %3 into the sheet's limit of %4 rows and %5 columns")
                .arg(rows.size())
                .arg(width)
                .arg(cellName(row, column))
                .arg(MaxRows)
                .arg(MaxColumns));
    resize(std::max(int(lastRow), m_rows), std::max(int(lastColumn), m_columns));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QStringList& fields = rows[i];
        for (qsizetype j = 0; j < fields.size(); ++j) {
            Cell& target = cell(row + int(i), column + int(j));
            target.text = std::move(fields[j]);
            target.note.clear();
        }
    }
    const SheetRange written{row, column, int(lastRow), int(lastColumn)};
    changed(written);
    return written;
}

void SheetData::setSelectionText(QStringView text)
{
    const SheetRange written = setTextAt(m_selection.firstRow, m_selection.firstColumn, text);
    if (written.rows() > 0)
        selectRange(written.firstRow, written.firstColumn, written.lastRow, written.lastColumn);
}

QList<QStringList> parseTabText(QStringView text)
{
    QList<QStringList> rows;
    const qsizetype n = text.size();
    if (n == 0)
        return rows;
    auto isBreak = [](QChar ch) {
        return ch == QLatin1Char('\t') || ch == QLatin1Char('\n') || ch == QLatin1Char('\r');
    };
    auto fieldEnd = [&](qsizetype from) {
        while (from < n && !isBreak(text[from]))
            ++from;
        return from;
    };

    QStringList row;
    qsizetype i = 0;
    for (;;) {
        QString field;
        bool quoted = false;
        if (i < n && text[i] == QLatin1Char('"')) {
            // A quoted field ends at a quote that is not doubled.
            qsizetype j = i + 1;
            for (;;) {
                const qsizetype q = text.indexOf(QLatin1Char('"'), j);
                if (q < 0)
                    break; // never closed: read literally below
                field += text.mid(j, q - j);
                if (q + 1 < n && text[q + 1] == QLatin1Char('"')) {
                    field += QLatin1Char('"');
                    j = q + 2;
                    continue;
                }
                quoted = true;
                j = q + 1;
                break;
            }
            if (quoted) {
                // Anything between the closing quote and the next break belongs to the field.
                const qsizetype end = fieldEnd(j);
                field += text.mid(j, end - j);
                i = end;
            } else {
                field.clear();
            }
        }
        if (!quoted) {
            const qsizetype end = fieldEnd(i);
            field = text.mid(i, end - i).toString();
            i = end;
        }
        row.append(std::move(field));
        if (i >= n) {
            rows.append(std::move(row));
            break;
        }
        if (text[i] == QLatin1Char('\t')) {
            ++i;
            continue;
        }
        // A line end: CR LF, LF or CR. One after the last row ends the text.
        i +=
            (text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) ? 2 : 1;
        rows.append(std::move(row));
        row = QStringList();
        if (i >= n)
            break;
    }
    return rows;
}

namespace {

QString quoted(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar ch : text) {
        if (ch == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += ch;
    }
    out += QLatin1Char('"');
    return out;
}

} // namespace

QString tabField(const QString& text)
{
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\t') || ch == QLatin1Char('"') || ch == QLatin1Char('\n') ||
            ch == QLatin1Char('\r'))
            return quoted(text);
    }
    return text;
}

QString csvField(const QString& text)
{
    for (const QChar ch : text) {
        if (ch == QLatin1Char(',') || ch == QLatin1Char('"') || ch == QLatin1Char('\n') ||
            ch == QLatin1Char('\r'))
            return quoted(text);
    }
    return text;
}

} // namespace kesto
