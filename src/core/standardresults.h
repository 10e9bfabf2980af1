#pragma once

// Standard curves on a result: the sample table's standards (rows with role standard and
// the amount loaded) give a curve of each standard's target signal against its amount, one
// curve per blot (each picture has its own exposure), and each lane's target is read off its
// blot's curve as an amount, flagged where it lies outside the linear range, beyond the
// standards, or on saturated samples.
//
// A standard's signal is its target as the result takes it (the same band choice, the same
// lane picks); it is saturated when its target is flagged so. A standard without a target
// value is in no curve, and a note says so.
//
// The result can count amounts instead of raw volumes: amountLanes() gives the lanes with
// each target band's volume replaced by its amount (a band outside the linear range keeps its
// amount but is flagged, a band with no amount has no volume and says why), so that
// computeResults() normalizes, groups and flags amounts just as it does volumes, and
// excludeFlagged leaves out the lanes outside the linear range.

#include "core/results.h"
#include "core/standardcurve.h"

#include <QStringList>

#include <map>
#include <vector>

namespace kesto {

struct StandardResultOptions
{
    CurveOptions curve;
    bool extrapolate = false; // read amounts beyond the standards (marked as such)
};

// One lane's amount, read off its blot's curve.
struct LaneAmount
{
    int lane = 0; // from 0
    int blot = 0;
    bool standard = false; // a standard of the curve
    CurveAmount amount;    // none with a reason when the lane has no target or its blot no curve
};

struct StandardResults
{
    Results raw;                         // the result on raw volumes, whose targets the curves use
    std::map<int, StandardCurve> curves; // by blot: every blot that has standards
    std::vector<LaneAmount> lanes;       // as raw.lanes
    QStringList notes;                   // standards left out and why, blots without a curve

    // The blot's curve, or nullptr when it has no standards.
    const StandardCurve* curve(int blot) const;
};

// The standards of each blot as the results take their targets.
std::map<int, std::vector<CurveStandard>>
curveStandards(const SampleTable& table, const Results& raw, QStringList* notes = nullptr);

// Computes the raw result (computeResults, which throws ResultsError as it does), fits each
// blot's standards and reads every lane's amount. A blot's curve that cannot be fitted is
// kept not ok with its reason.
StandardResults computeStandardResults(const SampleTable& table,
                                       const std::vector<LaneBands>& lanes,
                                       const ResultOptions& options,
                                       const StandardResultOptions& standards);

// The lanes with each target band's volume (or the lane total, for a lane-total target)
// replaced by its amount on the lane's blot's curve, flagged as the amount is: for
// computeResults() to count amounts. Targets chosen by size pick the band computeResults
// would. A lane on a blot without a usable curve has no target volume.
std::vector<LaneBands> amountLanes(const std::vector<LaneBands>& lanes,
                                   const StandardResults& standards, const ResultOptions& options,
                                   const StandardResultOptions& standardOptions);

} // namespace kesto
