#pragma once

// Results from a measuring session: each found lane's bands as the session measures them
// (volumes or frame scans as its Measure setting says, sizes from its ladder lanes, flags
// for saturated samples and fits that failed, the lane's total on its baseline) gathered
// into the results' input, and the result made with the session's sample table and
// choices. The window's results and a replayed plan's are the same numbers.

#include "core/lanequant.h"
#include "core/results.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace kesto {

class MeasurementSession;

// The session's stain picture: a total-protein stain of the same membrane as the picture,
// whose lanes, read where the picture's lanes lie, give the loading control "stain".
struct StainPicture
{
    QImage image;          // in the form pictures are measured in; null: none
    QString path;          // where it was opened from
    QByteArray sha256;     // of its file, lower-case hex; empty when not known
    bool darkBands = true; // its lanes are darker than its background
    int lanes = 0;         // the lanes the lane finder sees on it, to compare with the picture's

    bool isNull() const { return image.isNull(); }
    friend bool operator==(const StainPicture& a, const StainPicture& b)
    {
        return a.path == b.path && a.sha256 == b.sha256 &&
               a.image.cacheKey() == b.image.cacheKey() && a.darkBands == b.darkBands &&
               a.lanes == b.lanes;
    }
    friend bool operator!=(const StainPicture& a, const StainPicture& b) { return !(a == b); }
};

// A stain picture for a session on `picture`, looked at once: its contrast and its lanes.
// Throws ResultsError when it is not the picture's size (its lanes are read at the same
// place), or is empty.
StainPicture makeStainPicture(const QImage& stain, const QString& path, const QImage& picture,
                              Channel channel);

// The bands a person picked as the target of single lanes: lane (from 0, on the session's
// one blot) to its bands (from 0, ascending). They take the place of a "bands" target's
// own bands in their lanes.
using LanePicks = std::map<int, std::vector<int>>;

// Lanes are numbered as the found bands are ("2.3": lane 2 from 1, here 1 from 0), all on
// blot 0. Values are the bands' volumes as the session's Measure says; while it scans
// frames, volumes between the bands' boundaries on the lane's profile (a frame's sum
// depends on the background picked, which a ratio between lanes must not). A lane's total is taken
// on the session's lane holding its bands (none when no lane holds them). Bands that cannot be
// measured have no volume and say why in their flag. Throws Error when a frame cannot be scanned at
// all (as Scan Found Bands does).
std::vector<LaneBands> measuredLanes(const MeasurementSession& session);

// computeResults over the session's sample table, measured lanes and result options.
// Throws ResultsError (or Error) with a message for a person: no found bands, no sample
// table, a stain control without a stain picture, or what computeResults refuses. A stain
// picture on which the lane finder saw another number of lanes than the picture has is
// said in the notes.
Results sessionResults(const MeasurementSession& session);

} // namespace kesto
