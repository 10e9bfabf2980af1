#pragma once

// What each lane holds: the sample table. One row per lane of a picture (or of several
// pictures, "blots", measured together): the sample's name, its group (the condition), its
// replicate, its role, for standards the amount loaded, and free notes.
//
// The table's text is tab-separated with a heading line naming the columns, as a
// spreadsheet copies it:
//
//     LANE	SAMPLE	GROUP	REPLICATE	ROLE	AMOUNT	UNIT	NOTES
//     1	ladder		0	ladder
//     2	ctrl-1	control	1	sample
//     5	std 10	std	1	standard	10	ng
//
// Only LANE is required; the heading's columns may come in any order and in any letter
// case, and columns the table does not know (a spreadsheet's own) are ignored. BLOT numbers
// the picture a lane is on when several are measured together (1, the default, for the
// first). Missing cells take their defaults: no name, no group, replicate 0 (not given),
// role sample, no amount. Lanes and blots are numbered from 1 in the text and from 0 in the
// code.

#include "core/error.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kesto {

enum class SampleRole { Sample, Ladder, Standard, Blank, Excluded };

QString sampleRoleText(SampleRole role); // "sample", "ladder", "standard", "blank", "excluded"
// Those texts in any letter case; nullopt with a reason in *error for anything else.
std::optional<SampleRole> parseSampleRole(const QString& text, QString* error = nullptr);

struct SampleRow
{
    int lane = 0; // from 0
    int blot = 0; // from 0: which picture of several
    QString sample;
    QString group;
    int replicate = 0; // from 1; 0 when not given
    SampleRole role = SampleRole::Sample;
    std::optional<double> amount; // standards: the amount loaded, in unit
    QString unit;
    QString notes;

    friend bool operator==(const SampleRow& a, const SampleRow& b)
    {
        return a.lane == b.lane && a.blot == b.blot && a.sample == b.sample && a.group == b.group &&
               a.replicate == b.replicate && a.role == b.role && a.amount == b.amount &&
               a.unit == b.unit && a.notes == b.notes;
    }
    friend bool operator!=(const SampleRow& a, const SampleRow& b) { return !(a == b); }
};

// Limits the text form and the table keep to.
constexpr int MaxSampleRows = 10000;
constexpr int MaxSampleLane = 10000;
constexpr int MaxSampleBlot = 100;
constexpr int MaxSampleTextLength = 200;
constexpr double MaxSampleAmount = 1e15;

// A table that cannot be read, or does not fit the lanes it is for; the message names the
// place.
class SampleTableError : public Error
{
public:
    explicit SampleTableError(const QString& message) : Error(Error::InvalidValue, message) {}
};

class SampleTable
{
public:
    SampleTable() = default;
    // Rows in lane order within each blot; throws SampleTableError for a row that
    // rowFault refuses or a lane given twice on one blot.
    explicit SampleTable(std::vector<SampleRow> rows);

    const std::vector<SampleRow>& rows() const { return m_rows; }
    bool isEmpty() const { return m_rows.empty(); }
    int size() const { return int(m_rows.size()); }
    // The row of the lane on the blot, or nullptr.
    const SampleRow* rowFor(int lane, int blot = 0) const;
    // The groups in the order they first appear.
    QStringList groups() const;
    // The blots the table names, counted: the highest blot + 1, 0 for an empty table.
    int blotCount() const;

    friend bool operator==(const SampleTable& a, const SampleTable& b)
    {
        return a.m_rows == b.m_rows;
    }
    friend bool operator!=(const SampleTable& a, const SampleTable& b) { return !(a == b); }

private:
    std::vector<SampleRow> m_rows;
};

// Why the row cannot be kept, as a person reads it; empty when it can: lane and blot within
// their limits, texts of at most 200 characters without tabs or line breaks, a replicate of
// 0 to 10000, an amount finite and not below 0, and a standard with its amount.
QString sampleRowFault(const SampleRow& row);

// Reads the tab-separated text; source names the file in messages ("samples.tsv:4: ...").
// Throws SampleTableError naming the line and the fault: no heading with LANE, a lane that
// is not a whole number from 1, a role or amount that cannot be read, a lane given twice,
// more than MaxSampleRows rows. Blank lines are skipped; a text with no row is refused.
SampleTable parseSampleTable(const QString& text, const QString& source);
// The text form, every column in the heading's usual order; parseSampleTable reads it back
// as it was.
QString sampleTableText(const SampleTable& table);

// Why the table does not fit the lanes found on each blot (laneCounts[blot] lanes), naming
// the first row out of place ("row 9 names lane 9, but blot 1 has 8 lanes"); empty when
// every row's lane is there.
QString sampleTableFault(const SampleTable& table, const std::vector<int>& laneCounts);

// Filling the table by pattern: `groups` groups of `replicates` lanes each, from lane
// `firstLane` on. GroupsTogether runs a group's replicates side by side (A1 A2 A3 B1 ...);
// Interleaved runs one replicate of each group in turn (A1 B1 C1 A2 ...). Groups take the
// names given, or "Group 1", "Group 2", ...; each sample is named "GROUP REPLICATE".
enum class SampleOrder { GroupsTogether, Interleaved };
// Throws SampleTableError when groups or replicates are below 1 or the lanes run past
// MaxSampleLane.
SampleTable samplePattern(int groups, int replicates, int firstLane = 0,
                          SampleOrder order = SampleOrder::GroupsTogether,
                          const QStringList& groupNames = {}, int blot = 0);

} // namespace kesto
