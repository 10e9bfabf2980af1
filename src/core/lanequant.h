#pragma once

// Quantifying bands the way a lane really looks: the lane is a strip with a width that
// runs along a centre line (found by the lane finder or drawn by a person); its profile
// runs over the lane's whole extent and its baseline is taken on that whole profile once,
// so a band's volume does not depend on how tightly a frame was drawn round it. Each band
// is integrated between its boundaries on the profile (drop lines at the valleys between
// neighbours), or fitted as a peak where bands overlap.

#include "core/backgroundscan.h"
#include "core/integration.h"
#include "core/lanefinder.h"
#include "core/peakfit.h"

#include <QImage>
#include <QPoint>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace kesto {

// A lane as an object: where it runs and how wide it is. Positions "along" are picture
// rows for vertical lanes and columns for horizontal ones; "across" the other way.
struct LaneStrip
{
    LaneOrientation orientation = LaneOrientation::Vertical;
    int first = 0; // along: the lane's first row (column), included
    int last = -1; // along: its last, included
    int width = 0; // across, in pixels
    // The centre line, in picture pixels, ordered along; straight between points and level
    // beyond its ends. At least one point for a lane that is not empty.
    std::vector<QPoint> path;

    bool isEmpty() const { return last < first || width <= 0 || path.empty(); }
    int length() const { return last - first + 1; }
    // The centre across at a position along.
    double centreAt(int along) const;
    // The first pixel across read at a position along: ceil(centre - width / 2).
    int acrossStart(int along) const;
    // The smallest frame (both edges included, as the window keeps frames) holding the strip;
    // all zeros for an empty strip.
    FoundFrame bounds() const;
    // Whether the frame lies in the lane: its pixels along within the lane's ends, and its
    // centre across within the strip at the frame's middle position along.
    bool holds(const FrameGeometry& frame) const;

    // A straight lane filling the frame.
    static LaneStrip straight(const FoundFrame& frame, LaneOrientation orientation);
    // The lane the finder found, following its path.
    static LaneStrip of(const FoundLane& lane, LaneOrientation orientation);

    friend bool operator==(const LaneStrip& a, const LaneStrip& b)
    {
        return a.orientation == b.orientation && a.first == b.first && a.last == b.last &&
               a.width == b.width && a.path == b.path;
    }
    friend bool operator!=(const LaneStrip& a, const LaneStrip& b) { return !(a == b); }
};

// The baseline under a lane's whole profile.
struct LaneBackground
{
    enum class Kind { Minima, RollingBall, None };
    Kind kind = Kind::Minima;
    int ballRadius = 300; // RollingBall, in positions along

    friend bool operator==(const LaneBackground& a, const LaneBackground& b)
    {
        return a.kind == b.kind && (a.kind != Kind::RollingBall || a.ballRadius == b.ballRadius);
    }
    friend bool operator!=(const LaneBackground& a, const LaneBackground& b) { return !(a == b); }
};

// "minima", "ball:R" (R from 1 to 10000), "none", in any letter case; nullopt with a reason
// in *error for anything else.
std::optional<LaneBackground> parseLaneBackground(const QString& text, QString* error = nullptr);
QString laneBackgroundText(const LaneBackground& background);
// As a person reads it: "minima", "rolling ball 50", "none".
QString laneBackgroundLabel(const LaneBackground& background);

// One lane's profile and baseline.
struct LaneMeasure
{
    int first = 0;  // the position along of profile[0]
    int across = 0; // samples across each position: the lane's width
    // Whether the profile was read as full scale less each value, so that dark bands on a
    // light background stand high.
    bool darkBands = false;
    // The mean across the strip at each position along, in the picture's units (0-255, or
    // 0-65535 on a 16-bit picture); samples off the picture read full scale, as scans do.
    std::vector<double> profile;
    // Same length: never above the profile (minima: never above the profile smoothed over
    // five samples, so noise may dip below it); None: 0.
    std::vector<double> baseline;
    // Sum of (profile - baseline) times across over the whole lane.
    double total = 0;

    bool isEmpty() const { return profile.empty(); }
    int last() const { return first + int(profile.size()) - 1; }
    // profile - baseline at a position along; 0 outside the lane.
    double signalAt(int along) const;
};

// Reads the lane's profile and its baseline on the whole profile. darkBands reads full
// scale less each value. Throws Error(Overflow) for a lane longer than a picture could be.
LaneMeasure measureLane(const QImage& picture, const LaneStrip& lane, Channel channel,
                        const LaneBackground& background, bool darkBands = false);
// The same for several lanes of one picture, read in one pass over its rows: faster than
// lane by lane on a large picture. One measure per lane, in the lanes' order.
std::vector<LaneMeasure> measureLanes(const QImage& picture, const std::vector<LaneStrip>& lanes,
                                      Channel channel, const LaneBackground& background,
                                      bool darkBands = false);

// A band's boundaries along the lane, both included.
struct BandBounds
{
    int from = 0;
    int to = -1;
    friend bool operator==(const BandBounds& a, const BandBounds& b)
    {
        return a.from == b.from && a.to == b.to;
    }
};

// Where each band peaks: the position of the highest signal inside each band's span along
// (its frame's rows for vertical lanes), clipped to the lane.
std::vector<int> bandPeaks(const LaneMeasure& measure, const std::vector<FoundFrame>& bands,
                           LaneOrientation orientation);

// Boundaries round peaks given in order along: between two neighbours at the lowest
// signal between their peaks (a drop line to the baseline; the earlier band keeps the
// valley's sample), unless the signal falls to the baseline (<= 0) between them, when each
// band ends where it does; the outer ends where the signal first falls to the baseline,
// or the lane's end. A band's samples at or below the baseline at its ends are left out;
// a band always holds its peak, but where two bands share a peak the later one starts
// after it (and may hold nothing).
std::vector<BandBounds> bandBoundaries(const LaneMeasure& measure, const std::vector<int>& peaks);

// Sum of (profile - baseline) times the width between the boundaries (clipped to the lane).
double bandVolume(const LaneMeasure& measure, const BandBounds& bounds);

enum class QuantifyMode {
    Frame,   // each band's frame scanned, as the scan frame does
    Profile, // volumes between boundaries on the lane's profile
    Fit,     // areas of peaks fitted to the profile
};
std::optional<QuantifyMode> parseQuantifyMode(const QString& text, QString* error = nullptr);
QString quantifyModeText(QuantifyMode mode); // "frame", "profile", "fit"

// The volumes of a lane's bands, in the picture's channel units.
struct LaneQuantity
{
    bool ok = true;
    QString reason;                 // why not, when not ok
    std::vector<BandBounds> bounds; // per band
    std::vector<double> volumes;    // per band: between its boundaries, or its fitted area
    std::vector<double> errors;     // Fit: each area's standard error; else zeros
    double total = 0;               // the lane's total (LaneMeasure::total)
    double residual = 0;            // Fit: the residual's standard deviation, profile units
    PeakFit fit;                    // Fit: the fit itself
};

// Quantifies the bands between the given boundaries: Profile sums each band's span; Fit
// fits one peak per band (its guess from the span) with a linear baseline to the signal
// over the spans' whole extent, widened by half of it on either side (within the lane) so
// the fit sees the baseline round the bands, and each volume is the fitted area times the
// width. Fit the bands that touch together and bands standing apart alone
// (touchingGroups): one fit of a whole lane's bands fails far more often on real gels.
// The fit's x are positions along, so peakModelAt(fit, options, along) draws it over the
// signal (profile - baseline); it starts each band at its span's highest signal with the
// span's signal sum as its area. A fit that cannot be made gives ok false, with the fit's
// reason, and no volumes. Frame is not measured here (the caller scans each frame): it
// gives what Profile gives.
LaneQuantity quantifyLane(const LaneMeasure& measure, const std::vector<BandBounds>& bounds,
                          QuantifyMode mode, PeakShape shape = PeakShape::Gaussian);

// Runs of neighbouring bands that touch (no gap between one's last position and the
// next's first), as the first and last band of each, in order: the groups of bands to fit
// together, bands standing apart each alone.
std::vector<std::pair<int, int>> touchingGroups(const std::vector<BandBounds>& bounds);

// A band's volume as a per cent of its lane's total; nullopt when the total is not above 0.
std::optional<double> percentOfLane(double volume, double total);

// A frame scanned on a lane's baseline: every sample of the frame less the lane's baseline
// at its position along, as the lane methods scan (row by row for vertical lanes, column
// by column for horizontal ones), but with the baseline taken on the whole lane. The
// baseline is in the picture's values: a measure read with darkBands has its baseline
// turned back (full scale less it), so dark bands scan negative as they do over a picked
// light background. Beyond the lane's ends the baseline stays level with its end values.
// Counts as integrateFrameCounted counts; ok is false (with a reason) for an empty
// measure. MethodScan::baseline holds the level subtracted at each row (column).
MethodScan scanOnLaneBaseline(const QImage& picture, const FrameGeometry& frame, Channel channel,
                              const LaneMeasure& measure, LaneOrientation orientation);

} // namespace kesto
