#include "components/sheetmodel.h"

#include "components/module1.h"
#include "core/error.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <algorithm>

namespace kesto {

namespace {

// The mark of a cell with a note: a small amber triangle, pointing the eye to the tip.
QPixmap noteMark()
{
    static const QPixmap mark = [] {
        QPixmap pixmap(10, 10);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(140, 80, 0));
        painter.setBrush(QColor(255, 170, 0));
        const QPointF corners[] = {{5, 0.5}, {9.5, 9.5}, {0.5, 9.5}};
        painter.drawPolygon(corners, 3);
        return pixmap;
    }();
    return mark;
}

} // namespace

SheetModel::SheetModel(SheetData& data, QObject* parent) : QAbstractTableModel(parent), m_data(data)
{
    m_data.setObserver(this);
}

SheetModel::~SheetModel()
{
    m_data.setObserver(nullptr);
}

int SheetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_data.rowCount();
}

int SheetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_data.columnCount();
}

QVariant SheetModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_data.text(row, column);
    case Qt::TextAlignmentRole: {
        // Numbers line up on the right, texts on the left, as in any spreadsheet.
        double value = 0.0;
        const bool numeric = cellNumber(m_data.text(row, column), value);
        return QVariant::fromValue(
            Qt::Alignment((numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    case Qt::ForegroundRole: {
        // Black text would vanish on a dark theme's cells: there it takes the theme's text
        // colour. Other colours (the white of the working cell) are shown as set.
        const ColorValue colour = m_data.format(row, column).textColour;
        const QPalette palette = QGuiApplication::palette();
        if (colour == rgbValue(0, 0, 0) && palette.color(QPalette::Base).lightness() < 128)
            return QBrush(palette.color(QPalette::Text));
        return QBrush(toQColor(colour));
    }
    case Qt::BackgroundRole: {
        const CellFormat& f = m_data.format(row, column);
        if (f.pattern == 0)
            return QVariant();
        return QBrush(toQColor(f.patternForeground), Qt::BrushStyle(f.pattern));
    }
    case Qt::ToolTipRole: {
        QString tip = m_data.note(row, column);
        const QString more = m_tipSource ? m_tipSource(row, column) : QString();
        if (!more.isEmpty())
            tip += (tip.isEmpty() ? QString() : QStringLiteral("\n\n")) + more;
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::DecorationRole:
        return m_data.note(row, column).isEmpty() ? QVariant() : QVariant(noteMark());
    case PatternBackgroundRole: {
        const CellFormat& f = m_data.format(row, column);
        if (f.pattern < 2)
            return QVariant();
        return toQColor(f.patternBackground);
    }
    default:
        return QVariant();
    }
}

bool SheetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    const QString text = value.toString();
    // An editor closed without a change leaves the cell (and where its value came from).
    if (m_data.text(row, column) == text)
        return true;
    try {
        m_data.setText(row, column, text);
    } catch (const Error&) {
        return false;
    }
    Q_EMIT cellEdited(row, column);
    return true;
}

Qt::ItemFlags SheetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section < m_data.rowCount() ? QVariant(QString::number(section + 1)) : QVariant();
    if (section >= m_data.columnCount())
        return QVariant();
    const QString heading = m_data.headingText(section + 1);
    // A column without a heading of its own shows its letters.
    return heading.isEmpty() ? columnLetters(section + 1) : heading;
}

void SheetModel::rowsAboutToChange(int oldCount, int newCount)
{
    if (newCount > oldCount) {
        m_rowChange = Pending::Insert;
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
    } else {
        m_rowChange = Pending::Remove;
        beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
    }
}

void SheetModel::rowsChanged()
{
    if (m_rowChange == Pending::Insert)
        endInsertRows();
    else if (m_rowChange == Pending::Remove)
        endRemoveRows();
    m_rowChange = Pending::None;
}

void SheetModel::columnsAboutToChange(int oldCount, int newCount)
{
    if (newCount > oldCount) {
        m_columnChange = Pending::Insert;
        beginInsertColumns(QModelIndex(), oldCount, newCount - 1);
    } else {
        m_columnChange = Pending::Remove;
        beginRemoveColumns(QModelIndex(), newCount, oldCount - 1);
    }
}

void SheetModel::columnsChanged()
{
    if (m_columnChange == Pending::Insert)
        endInsertColumns();
    else if (m_columnChange == Pending::Remove)
        endRemoveColumns();
    m_columnChange = Pending::None;
    Q_EMIT columnsReshaped();
}

void SheetModel::cellsChanged(const SheetRange& range)
{
    const int lastRow = std::min(range.lastRow, m_data.rowCount());
    const int lastColumn = std::min(range.lastColumn, m_data.columnCount());
    if (range.firstRow > lastRow || range.firstColumn > lastColumn)
        return;
    Q_EMIT dataChanged(index(range.firstRow - 1, range.firstColumn - 1),
                       index(lastRow - 1, lastColumn - 1));
}

void SheetModel::headingsChanged(int firstColumn, int lastColumn)
{
    Q_EMIT headerDataChanged(Qt::Horizontal, firstColumn - 1, lastColumn - 1);
}

void SheetModel::columnWidthChanged(int column)
{
    Q_EMIT widthChanged(column);
}

void SheetModel::selectionChanged()
{
    Q_EMIT sheetSelectionChanged();
}

} // namespace kesto
