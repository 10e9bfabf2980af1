#include "core/resultsfile.h"

#include "core/sheetdata.h"

#include <algorithm>

namespace kesto {

namespace {

// Columns wide enough for their headings and values, within reason.
void fitWidths(SheetData& sheet, const QList<QStringList>& table)
{
    for (int c = 1; c <= sheet.columnCount(); ++c) {
        qsizetype longest = 6;
        for (const QStringList& row : table)
            longest = std::max(longest, row.value(c - 1).size());
        sheet.setColumnWidth(c, int(std::min<qsizetype>(longest + 2, 60)) * 256);
    }
}

void fill(SheetData& sheet, const QList<QStringList>& table, const QString& name,
          const QStringList& notes)
{
    const int columns = int(table.constFirst().size());
    const int rows = int(table.size()) - 1 + (notes.isEmpty() ? 0 : int(notes.size()) + 1);
    sheet.resize(std::max(rows, 1), columns);
    sheet.setSheetName(name);
    for (int c = 1; c <= columns; ++c)
        sheet.setHeadingText(c, table.constFirst().at(c - 1));
    for (int r = 1; r < int(table.size()); ++r)
        for (int c = 1; c <= columns; ++c)
            sheet.setText(r, c, table[r].value(c - 1));
    for (int i = 0; i < int(notes.size()); ++i)
        sheet.setText(int(table.size()) + 1 + i, 1, notes[i]);
    fitWidths(sheet, table);
}

} // namespace

void fillResultSheets(const Results& results, SheetData& lanes, SheetData& groups)
{
    const QList<QStringList> laneTable = resultLaneTable(results);
    fill(lanes, laneTable, QStringLiteral("Lanes"), {});
    // A flagged lane's values say why where they stand.
    for (std::size_t i = 0; i < results.lanes.size(); ++i) {
        const LaneResult& r = results.lanes[i];
        const int row = int(i) + 1;
        QStringList target, control;
        for (const QString& flag : r.flags)
            (flag.startsWith(QLatin1String("target")) ? target : control) << flag;
        if (!target.isEmpty() && !lanes.text(row, 5).isEmpty())
            lanes.setNote(row, 5, target.join(QLatin1Char('\n')));
        if (!control.isEmpty() && !lanes.text(row, 6).isEmpty())
            lanes.setNote(row, 6, control.join(QLatin1Char('\n')));
    }
    fill(groups, resultGroupTable(results), QStringLiteral("Groups"), results.notes);
}

void writeResultsFile(const Results& results, const QString& path, SheetFileType type)
{
    SheetData lanes;
    SheetData groups;
    fillResultSheets(results, lanes, groups);
    if (type == SheetFileType::Excel) {
        writeSheetFile(lanes, &groups, path, type);
        return;
    }
    // One text: the tables one after the other, each with its headings.
    QList<QStringList> all = resultLaneTable(results);
    all << QStringList();
    all << resultGroupTable(results);
    all << QStringList();
    for (const QString& note : results.notes)
        all << QStringList{note};
    int columns = 1;
    for (const QStringList& row : all)
        columns = std::max(columns, int(row.size()));
    SheetData text(int(all.size()), columns);
    for (int r = 0; r < int(all.size()); ++r)
        for (int c = 0; c < int(all[r].size()); ++c)
            text.setText(r + 1, c + 1, all[r][c]);
    writeSheetFile(text, path, type);
}

} // namespace kesto
