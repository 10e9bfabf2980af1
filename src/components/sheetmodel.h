#pragma once

// The item model that shows a SheetData in a QTableView. It follows every change of the
// data through SheetObserver, so code may write the data directly or through the model.

#include "core/sheetdata.h"

#include <QAbstractTableModel>

#include <functional>

namespace kesto {

class SheetModel : public QAbstractTableModel, private SheetObserver
{
    Q_OBJECT
public:
    // The second pattern colour of a hatched fill, painted under the pattern.
    static constexpr int PatternBackgroundRole = Qt::UserRole + 1;

    explicit SheetModel(SheetData& data, QObject* parent = nullptr);
    ~SheetModel() override;

    SheetData& sheet() { return m_data; }
    // More for a cell's tip, shown after its note (row and column from 1).
    void setTipSource(std::function<QString(int, int)> source) { m_tipSource = std::move(source); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // 1-based column whose stored width changed.
    void widthChanged(int column);
    // The column count changed: every width should be applied again.
    void columnsReshaped();
    void sheetSelectionChanged();
    // The editor gave a cell a new text (1-based).
    void cellEdited(int row, int column);

private:
    void rowsAboutToChange(int oldCount, int newCount) override;
    void rowsChanged() override;
    void columnsAboutToChange(int oldCount, int newCount) override;
    void columnsChanged() override;
    void cellsChanged(const SheetRange& range) override;
    void headingsChanged(int firstColumn, int lastColumn) override;
    void columnWidthChanged(int column) override;
    void selectionChanged() override;

    enum class Pending { None, Insert, Remove };

    SheetData& m_data;
    Pending m_rowChange = Pending::None;
    Pending m_columnChange = Pending::None;
    std::function<QString(int, int)> m_tipSource;
};

} // namespace kesto
