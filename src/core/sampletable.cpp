#include "core/sampletable.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace kesto {

namespace {

struct RoleName
{
    SampleRole role;
    const char* text;
};

constexpr RoleName RoleNames[] = {
    {SampleRole::Sample, "sample"},     {SampleRole::Ladder, "ladder"},
    {SampleRole::Standard, "standard"}, {SampleRole::Blank, "blank"},
    {SampleRole::Excluded, "excluded"},
};

enum Column { Lane, Blot, Sample, Group, Replicate, Role, Amount, Unit, Notes, ColumnCount };

constexpr const char* ColumnNames[ColumnCount] = {"LANE", "BLOT",   "SAMPLE", "GROUP", "REPLICATE",
                                                  "ROLE", "AMOUNT", "UNIT",   "NOTES"};

bool holdsBreak(const QString& text)
{
    for (QChar c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return true;
    return false;
}

QString textFault(const QString& text, const char* what)
{
    if (text.size() > MaxSampleTextLength)
        return QStringLiteral("the %1 is longer than %2 characters")
            .arg(QLatin1String(what))
            .arg(MaxSampleTextLength);
    if (holdsBreak(text))
        return QStringLiteral("the %1 holds a tab or a line break").arg(QLatin1String(what));
    return {};
}

// A whole number from `low` to `high` written as plain digits; nullopt otherwise.
std::optional<int> wholeNumber(const QString& text, int low, int high)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

QString amountText(double amount)
{
    return QString::number(amount, 'g', QLocale::FloatingPointShortest);
}

// Sorts rows by blot, then lane.
bool laneOrder(const SampleRow& a, const SampleRow& b)
{
    return std::make_pair(a.blot, a.lane) < std::make_pair(b.blot, b.lane);
}

} // namespace

QString sampleRoleText(SampleRole role)
{
    for (const RoleName& name : RoleNames)
        if (name.role == role)
            return QLatin1String(name.text);
    return {};
}

std::optional<SampleRole> parseSampleRole(const QString& text, QString* error)
{
    const QString wanted = text.trimmed();
    for (const RoleName& name : RoleNames)
        if (wanted.compare(QLatin1String(name.text), Qt::CaseInsensitive) == 0)
            return name.role;
    if (error)
        *error = QStringLiteral("the role \"%1\" is not one of sample, ladder, standard, blank, "
                                "excluded")
                     .arg(text);
    return std::nullopt;
}

QString sampleRowFault(const SampleRow& row)
{
    if (row.lane < 0 || row.lane >= MaxSampleLane)
        return QStringLiteral("the lane is not a number from 1 to %1").arg(MaxSampleLane);
    if (row.blot < 0 || row.blot >= MaxSampleBlot)
        return QStringLiteral("the blot is not a number from 1 to %1").arg(MaxSampleBlot);
    for (const auto& [text, what] :
         {std::pair{&row.sample, "sample name"}, std::pair{&row.group, "group"},
          std::pair{&row.unit, "unit"}, std::pair{&row.notes, "note"}}) {
        const QString fault = textFault(*text, what);
        if (!fault.isEmpty())
            return fault;
    }
    if (row.replicate < 0 || row.replicate > MaxSampleLane)
        return QStringLiteral("the replicate is not a number from 0 to %1").arg(MaxSampleLane);
    if (row.amount &&
        (!std::isfinite(*row.amount) || *row.amount < 0 || *row.amount > MaxSampleAmount))
        return QStringLiteral("the amount is not a number from 0 to %1")
            .arg(amountText(MaxSampleAmount));
    if (row.role == SampleRole::Standard && !row.amount)
        return QStringLiteral("a standard needs its amount");
    return {};
}

SampleTable::SampleTable(std::vector<SampleRow> rows) : m_rows(std::move(rows))
{
    if (m_rows.size() > std::size_t(MaxSampleRows))
        throw SampleTableError(
            QStringLiteral("a sample table holds at most %1 rows").arg(MaxSampleRows));
    for (const SampleRow& row : m_rows) {
        const QString fault = sampleRowFault(row);
        if (!fault.isEmpty())
            throw SampleTableError(QStringLiteral("lane %1: %2").arg(row.lane + 1).arg(fault));
    }
    std::stable_sort(m_rows.begin(), m_rows.end(), laneOrder);
    for (std::size_t i = 1; i < m_rows.size(); ++i)
        if (m_rows[i].lane == m_rows[i - 1].lane && m_rows[i].blot == m_rows[i - 1].blot)
            throw SampleTableError(QStringLiteral("lane %1 of blot %2 is given twice")
                                       .arg(m_rows[i].lane + 1)
                                       .arg(m_rows[i].blot + 1));
}

const SampleRow* SampleTable::rowFor(int lane, int blot) const
{
    SampleRow key;
    key.lane = lane;
    key.blot = blot;
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), key, laneOrder);
    if (it == m_rows.end() || it->lane != lane || it->blot != blot)
        return nullptr;
    return &*it;
}

QStringList SampleTable::groups() const
{
    QStringList groups;
    for (const SampleRow& row : m_rows)
        if (!row.group.isEmpty() && !groups.contains(row.group))
            groups.append(row.group);
    return groups;
}

int SampleTable::blotCount() const
{
    int count = 0;
    for (const SampleRow& row : m_rows)
        count = std::max(count, row.blot + 1);
    return count;
}

SampleTable parseSampleTable(const QString& text, const QString& source)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    int column[ColumnCount];
    std::fill(std::begin(column), std::end(column), -1);
    qsizetype headingLine = -1;
    std::vector<SampleRow> rows;
    std::set<std::pair<int, int>> seen;

    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const QString where = QStringLiteral("%1:%2: ").arg(source).arg(i + 1);
        const QStringList cells = line.split(QLatin1Char('\t'));
        if (headingLine < 0) {
            for (qsizetype c = 0; c < cells.size(); ++c)
                for (int k = 0; k < ColumnCount; ++k)
                    if (cells[c].trimmed().compare(QLatin1String(ColumnNames[k]),
                                                   Qt::CaseInsensitive) == 0) {
                        if (column[k] >= 0)
                            throw SampleTableError(where +
                                                   QStringLiteral("the heading names %1 twice")
                                                       .arg(QLatin1String(ColumnNames[k])));
                        column[k] = int(c);
                    }
            if (column[Lane] < 0)
                throw SampleTableError(where + QStringLiteral("the first line is no heading with a "
                                                              "LANE column (tab-separated)"));
            headingLine = i;
            continue;
        }
        if (rows.size() >= std::size_t(MaxSampleRows))
            throw SampleTableError(
                where + QStringLiteral("a sample table holds at most %1 rows").arg(MaxSampleRows));
        auto cell = [&](Column k) {
            return column[k] >= 0 && column[k] < cells.size() ? cells[column[k]].trimmed()
                                                              : QString();
        };
        SampleRow row;
        const std::optional<int> lane = wholeNumber(cell(Lane), 1, MaxSampleLane);
        if (!lane)
            throw SampleTableError(where +
                                   QStringLiteral("the lane \"%1\" is not a number from 1 to %2")
                                       .arg(cell(Lane))
                                       .arg(MaxSampleLane));
        row.lane = *lane - 1;
        if (!cell(Blot).isEmpty()) {
            const std::optional<int> blot = wholeNumber(cell(Blot), 1, MaxSampleBlot);
            if (!blot)
                throw SampleTableError(
                    where + QStringLiteral("the blot \"%1\" is not a number from 1 to %2")
                                .arg(cell(Blot))
                                .arg(MaxSampleBlot));
            row.blot = *blot - 1;
        }
        row.sample = cell(Sample);
        row.group = cell(Group);
        if (!cell(Replicate).isEmpty()) {
            const std::optional<int> replicate = wholeNumber(cell(Replicate), 0, MaxSampleLane);
            if (!replicate)
                throw SampleTableError(
                    where + QStringLiteral("the replicate \"%1\" is not a number from 0 to %2")
                                .arg(cell(Replicate))
                                .arg(MaxSampleLane));
            row.replicate = *replicate;
        }
        if (!cell(Role).isEmpty()) {
            QString error;
            const std::optional<SampleRole> role = parseSampleRole(cell(Role), &error);
            if (!role)
                throw SampleTableError(where + error);
            row.role = *role;
        }
        if (!cell(Amount).isEmpty()) {
            bool ok = false;
            const double amount = cell(Amount).toDouble(&ok);
            if (!ok)
                throw SampleTableError(
                    where + QStringLiteral("the amount \"%1\" is not a number").arg(cell(Amount)));
            row.amount = amount;
        }
        row.unit = cell(Unit);
        row.notes = cell(Notes);
        const QString fault = sampleRowFault(row);
        if (!fault.isEmpty())
            throw SampleTableError(where + fault);
        if (!seen.insert({row.blot, row.lane}).second)
            throw SampleTableError(where + QStringLiteral("lane %1 of blot %2 is given twice")
                                               .arg(row.lane + 1)
                                               .arg(row.blot + 1));
        rows.push_back(row);
    }
    if (headingLine < 0)
        throw SampleTableError(source + QStringLiteral(": the table is empty"));
    if (rows.empty())
        throw SampleTableError(source + QStringLiteral(": the table has a heading but no lanes"));
    return SampleTable(std::move(rows));
}

QString sampleTableText(const SampleTable& table)
{
    const bool blots = table.blotCount() > 1;
    QString text = blots ? QStringLiteral("LANE\tBLOT") : QStringLiteral("LANE");
    text += QStringLiteral("\tSAMPLE\tGROUP\tREPLICATE\tROLE\tAMOUNT\tUNIT\tNOTES\n");
    for (const SampleRow& row : table.rows()) {
        QStringList cells{QString::number(row.lane + 1)};
        if (blots)
            cells << QString::number(row.blot + 1);
        cells << row.sample << row.group << QString::number(row.replicate)
              << sampleRoleText(row.role) << (row.amount ? amountText(*row.amount) : QString())
              << row.unit << row.notes;
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QString sampleTableFault(const SampleTable& table, const std::vector<int>& laneCounts)
{
    int index = 0;
    for (const SampleRow& row : table.rows()) {
        ++index;
        const int lanes = row.blot < int(laneCounts.size()) ? laneCounts[std::size_t(row.blot)] : 0;
        if (row.lane < lanes)
            continue;
        if (row.blot >= int(laneCounts.size()))
            return QStringLiteral("row %1 names blot %2, but there %3")
                .arg(index)
                .arg(row.blot + 1)
                .arg(laneCounts.size() == 1
                         ? QStringLiteral("is 1 picture")
                         : QStringLiteral("are %1 pictures").arg(laneCounts.size()));
        const QString found =
            lanes == 1 ? QStringLiteral("1 lane") : QStringLiteral("%1 lanes").arg(lanes);
        if (laneCounts.size() > 1)
            return QStringLiteral("row %1 names lane %2, but blot %3 has %4")
                .arg(index)
                .arg(row.lane + 1)
                .arg(row.blot + 1)
                .arg(found);
        return QStringLiteral("row %1 names lane %2, but the picture has %3")
            .arg(index)
            .arg(row.lane + 1)
            .arg(found);
    }
    return {};
}

SampleTable samplePattern(int groups, int replicates, int firstLane, SampleOrder order,
                          const QStringList& groupNames, int blot)
{
    if (groups < 1 || replicates < 1)
        throw SampleTableError(
            QStringLiteral("a pattern needs at least one group and one replicate"));
    if (firstLane < 0 || qint64(firstLane) + qint64(groups) * replicates > MaxSampleLane)
        throw SampleTableError(QStringLiteral("the pattern runs past lane %1").arg(MaxSampleLane));
    std::vector<SampleRow> rows;
    for (int g = 0; g < groups; ++g) {
        const QString group = g < groupNames.size() && !groupNames[g].trimmed().isEmpty()
                                  ? groupNames[g].trimmed()
                                  : QStringLiteral("Group %1").arg(g + 1);
        for (int r = 0; r < replicates; ++r) {
            SampleRow row;
            row.lane = firstLane +
                       (order == SampleOrder::GroupsTogether ? g * replicates + r : r * groups + g);
            row.blot = blot;
            row.group = group;
            row.replicate = r + 1;
            row.sample = QStringLiteral("%1 %2").arg(group).arg(r + 1);
            rows.push_back(row);
        }
    }
    return SampleTable(std::move(rows));
}

} // namespace kesto
