#pragma once

// Results from a measuring session: each found lane's bands as the session measures them
// (volumes or frame scans as its Measure setting says, sizes from its ladder lanes, flags
// for saturated samples and fits that failed, the lane's total on its baseline) gathered
// into the results' input, and the result made with the session's sample table and
// choices. The window's results and a replayed plan's are the same numbers.

#include "core/results.h"

#include <QStringList>

#include <vector>

namespace kesto {

class MeasurementSession;

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
// table, or what computeResults refuses.
Results sessionResults(const MeasurementSession& session);

} // namespace kesto
