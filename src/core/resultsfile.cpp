#include "core/resultsfile.h"

#include "core/numbers.h"
#include "core/sheetdata.h"
#include "core/standardresults.h"

#include <algorithm>
#include <cmath>

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

// The amount read for a lane, or nullptr.
const CurveAmount* amountOf(const StandardResults& standards, const LaneResult& lane)
{
    for (const LaneAmount& read : standards.lanes)
        if (read.lane == lane.lane && read.blot == lane.blot)
            return &read.amount;
    return nullptr;
}

// The lanes' table, with AMOUNT and IN_RANGE after the other columns when there are
// standards.
QList<QStringList> laneTableOf(const Results& results, const StandardResults* standards)
{
    QList<QStringList> table = resultLaneTable(results);
    if (!standards)
        return table;
    table[0] << QStringLiteral("AMOUNT") << QStringLiteral("IN_RANGE");
    for (std::size_t i = 0; i < results.lanes.size(); ++i) {
        const CurveAmount* read = amountOf(*standards, results.lanes[i]);
        table[int(i) + 1] << (read && read->amount ? doubleText(*read->amount) : QString())
                          << (read && read->inLinearRange() ? QStringLiteral("yes")
                                                            : QStringLiteral("no"));
    }
    return table;
}

// The result's notes, then each blot's curve in a line.
QStringList notesOf(const Results& results, const StandardResults* standards)
{
    QStringList notes = results.notes;
    if (!standards)
        return notes;
    notes << standards->notes;
    for (const auto& [blot, curve] : standards->curves) {
        const QString which = standards->curves.size() > 1
                                  ? QStringLiteral("Blot %1's standard curve").arg(blot + 1)
                                  : QStringLiteral("Standard curve");
        if (!curve.ok()) {
            notes << QStringLiteral("%1: none, %2").arg(which, curve.reason());
            continue;
        }
        const LinearRange& range = curve.linearRange();
        const double rSquared = curve.curve().rSquared;
        notes << QStringLiteral("%1: %2, weighting %3, R2 %4, linear range %5")
                     .arg(which, curveModelText(curve.options().model),
                          curveWeightingText(curve.options().weighting),
                          std::isfinite(rSquared) ? doubleText(rSquared) : QStringLiteral("none"),
                          range.found ? QStringLiteral("%1 to %2")
                                            .arg(doubleText(range.low), doubleText(range.high))
                                      : QStringLiteral("none (") + range.reason + QLatin1Char(')'));
    }
    return notes;
}

} // namespace

void fillResultSheets(const Results& results, SheetData& lanes, SheetData& groups,
                      const StandardResults* standards)
{
    const QList<QStringList> laneTable = laneTableOf(results, standards);
    fill(lanes, laneTable, QStringLiteral("Lanes"), {});
    // An amount that is not to be trusted, or missing, says why.
    if (standards) {
        const int amountColumn = int(laneTable.constFirst().size()) - 1;
        for (std::size_t i = 0; i < results.lanes.size(); ++i) {
            const CurveAmount* read = amountOf(*standards, results.lanes[i]);
            if (!read)
                continue;
            const QString why = read->amount ? read->flagsText() : read->reason;
            if (!why.isEmpty())
                lanes.setNote(int(i) + 1, amountColumn, why);
        }
    }
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
    fill(groups, resultGroupTable(results), QStringLiteral("Groups"), notesOf(results, standards));
}

void writeResultsFile(const Results& results, const QString& path, SheetFileType type,
                      const StandardResults* standards)
{
    SheetData lanes;
    SheetData groups;
    fillResultSheets(results, lanes, groups, standards);
    if (type == SheetFileType::Excel) {
        writeSheetFile(lanes, &groups, path, type);
        return;
    }
    // One text: the tables one after the other, each with its headings.
    QList<QStringList> all = laneTableOf(results, standards);
    all << QStringList();
    all << resultGroupTable(results);
    all << QStringList();
    for (const QString& note : notesOf(results, standards))
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
