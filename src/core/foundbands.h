#pragma once

// The frames the lane finder proposes, as the person checks them: each numbered by its lane
// and its place along the lane, and moved, resized, deleted or drawn anew. Numbers follow
// the frames: a frame moved across to another lane joins it, a lane whose last frame is
// deleted goes, and the rest close up.

#include "core/integration.h"
#include "core/lanefinder.h"
#include "core/measurementrecord.h"

#include <QString>

#include <optional>
#include <vector>

namespace kesto {

class SheetData;

struct BandProposal
{
    int lane = 0; // from 1, left to right (top to bottom for horizontal lanes)
    int band = 0; // from 1 along the lane, top to bottom (left to right)
    FoundFrame frame;
    int id = 0; // stays with the frame while numbers change
};

class BandProposals
{
public:
    // Takes the finding's bands; lanes without bands are left out.
    void setFinding(const LaneFinding& finding, LaneOrientation orientation);
    void clear();

    LaneOrientation orientation() const { return m_orientation; }
    const std::vector<BandProposal>& items() const { return m_items; }
    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    int laneCount() const;
    // The most bands any lane has.
    int mostBands() const;

    // The frame under a point, edges included; on overlapping frames the smallest. -1 for none.
    int indexAt(float x, float y) const;
    // Whether the point lies in the frame's resize corner: its inner lower-right 5 x 5
    // pixels, as the scan frame's handle sits.
    bool onCorner(int index, float x, float y) const;

    // These renumber and return the frame's index afterwards.
    int setFrame(int index, const FoundFrame& frame);
    int add(const FoundFrame& frame);
    void remove(int index);

    int indexOfId(int id) const;
    // "2.3": lane 2, band 3.
    QString label(int index) const;
    // The frame that is band `band` of lane `lane`; nullptr when that lane has no such band.
    const BandProposal* find(int lane, int band) const;

private:
    struct LaneSpan
    {
        int first = 0; // columns (rows for horizontal lanes) across the lane
        int last = 0;
    };
    int acrossStart(const FoundFrame& f) const;
    int acrossEnd(const FoundFrame& f) const;
    int alongStart(const FoundFrame& f) const;
    // Which lane span holds the frame's centre across; a new span when none does.
    int laneOf(const FoundFrame& frame);
    void renumber();

    LaneOrientation m_orientation = LaneOrientation::Vertical;
    std::vector<LaneSpan> m_lanes;
    std::vector<int> m_laneOf; // per item: its index into m_lanes
    std::vector<BandProposal> m_items;
    int m_nextId = 1;
};

// One scanned proposal.
struct FoundBandScan
{
    int lane = 0;
    int band = 0;
    ScanResult scan;
    FrameGeometry frame; // the frame scanned, for the measurement record
    // A value taken on a lane (a volume, or a lane method's scan): how.
    LaneSource source = {};
};

// The sheet rows for one band and one control per lane: for each lane from 1 to lanes, the
// scan of band `band` into "Band" and of band `control` into "Int.Ctrl" (none when control
// is 0), written from firstRow on, with the counts as notes on flagged cells. A lane
// without that band keeps its cell empty. The sheet grows to hold the rows. Returns the
// lanes that miss the band or the control, in order.
std::vector<int> writeLaneRows(SheetData& sheet, const std::vector<FoundBandScan>& scans, int lanes,
                               int band, int control, int firstRow);

// Appends every scan below the report's used rows, as Send Rows to Report writes its rows:
// the description "Lane N", the type "control" for band `control` (others have none), and
// the scan value, with the counts as a note when flagged. With sizes (one per scan, "" for
// none), a band's size follows its lane: "Lane 2, 1 520 bp". Returns the rows appended.
int appendFoundBandsToReport(const std::vector<FoundBandScan>& scans, int control,
                             SheetData& report, const QStringList& sizes = {});

// The band number lane totals take in writeLaneRows: no lane has this many bands.
inline constexpr int LaneTotalBand = 1 << 20;

// Each lane's total as a scan of band LaneTotalBand, taken from the lane's volumes (a band
// volume over the whole lane, so that it replays): one per lane that has a volume.
std::vector<FoundBandScan> laneTotalScans(const std::vector<FoundBandScan>& volumes);

// A band number as typed: a whole number from 1; nullopt for anything else. allowEmpty
// reads an empty text as 0, "none".
std::optional<int> bandNumberText(const QString& text, bool allowEmpty);

} // namespace kesto
