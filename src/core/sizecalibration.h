#pragma once

// Sizes of bands from a ladder run on the same gel. A band's relative mobility (Rf) is how
// far it ran from the lane's start (the wells) as a share of the distance to the front;
// log10(size) falls with Rf, and a calibration curve through the ladder's bands gives the
// size of any band from its Rf.
//
// The curve is one of: point-to-point, a monotone interpolation through the ladder's points
// (Steffen's method, which never overshoots between points, so the size keeps falling as Rf
// rises); or a least-squares polynomial of degree 1, 2 or 3 in Rf. Both come from GSL.
//
// With ladders in two lanes (usually the outermost), a band's size is read against a ladder
// made for its own lane: each ladder band's Rf interpolated linearly across the gel to the
// lane's position. That takes out the tilt of a gel that ran unevenly, and the smile as far
// as it is linear between the ladders.

#include "core/ladders.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace kesto {

enum class SizeFit { PointToPoint, Linear, Quadratic, Cubic };

// "point-to-point", "linear", "quadratic", "cubic" in any letter case; nullopt with a
// reason in *error for anything else.
std::optional<SizeFit> parseSizeFit(const QString& text, QString* error = nullptr);
QString sizeFitText(SizeFit fit);

// (position - start) / (front - start); nullopt when the front is not past the start or a
// value is not finite. Positions are along the lane (rows of a vertical lane).
std::optional<double> relativeMobility(double position, double start, double front);

// One ladder band on the calibration: its Rf and its known size.
struct LadderPoint
{
    double rf = 0;
    double size = 0;
    friend bool operator==(const LadderPoint& a, const LadderPoint& b)
    {
        return a.rf == b.rf && a.size == b.size;
    }
};

// Which ladder size each band of a ladder lane stands for. Sizes are handed out top to
// bottom; a person can move or skip any assignment.
struct LadderAssignment
{
    static constexpr int Skipped = -1;
    std::vector<int> sizeIndex; // per band, in the order the bands were given; or Skipped
    int sizeCount = 0;          // sizes in the ladder

    int bandCount() const { return int(sizeIndex.size()); }
    // The count of bands differs from the count of sizes: a band missing or extra.
    bool countsDiffer() const { return bandCount() != sizeCount; }
    // Sizes no band stands for, and bands without a size.
    int unassignedSizes() const;
    int skippedBands() const;
    // "12 bands for 14 sizes: 2 sizes without a band", empty when every band has its size
    // and every size its band.
    QString mismatchText() const;
};

// Assigns sizes largest first to the bands in order of Rf (smallest first); bands beyond the
// ladder's sizes, and bands whose Rf is not a number, are left Skipped.
LadderAssignment assignLadder(const std::vector<double>& bandRf, int sizeCount);

// A person's choice: the band stands for size `sizeIndex`, or Skipped. A band that had that
// size before gives it up (is Skipped). False with a reason, and nothing changed, for a band
// or size that does not exist.
bool reassignLadderBand(LadderAssignment& assignment, int band, int sizeIndex,
                        QString* error = nullptr);

// The ladder points of an assignment: the assigned bands' Rf with their sizes.
std::vector<LadderPoint> ladderPoints(const std::vector<double>& bandRf,
                                      const std::vector<double>& sizes,
                                      const LadderAssignment& assignment);

// A size read off a calibration.
struct SizeEstimate
{
    std::optional<double> size; // none: outside the ladder and not extrapolating, or unusable
    bool extrapolated = false;  // the Rf lies outside the ladder's Rf range
};

// A calibration curve of log10(size) against Rf through a ladder's points.
class SizeCalibration
{
public:
    SizeCalibration() = default;
    // Fits the curve. The points may come in any order; sorted largest size first their Rf
    // must rise strictly (a smaller band runs further), else the calibration is not ok and
    // says which bands are out of order. Point-to-point needs 2 points (with 2, a straight
    // line), the polynomials one more than their degree.
    static SizeCalibration fit(std::vector<LadderPoint> points, SizeFit kind);

    bool ok() const { return m_ok; }
    QString reason() const { return m_reason; } // why not ok
    SizeFit kind() const { return m_kind; }
    const std::vector<LadderPoint>& points() const { return m_points; } // largest size first
    // The polynomials' coefficients of log10(size) = c0 + c1 Rf + c2 Rf^2 + c3 Rf^3.
    const std::vector<double>& coefficients() const { return m_coefficients; }
    double minRf() const;
    double maxRf() const;

    // The size at an Rf. Outside the ladder's Rf range there is no size unless extrapolate
    // is true; then it is marked extrapolated. Point-to-point extends the end segment of the
    // ladder as a straight line in log(size); the polynomials carry on as they are.
    SizeEstimate sizeAt(double rf, bool extrapolate = false) const;
    // log10(size) at an Rf, extending as sizeAt does; nullopt when not ok.
    std::optional<double> logSizeAt(double rf) const;

    // Per ladder point (in points() order): (fitted - known) / known, in per cent. Zero for
    // point-to-point, which passes through every point.
    std::vector<double> residualsPercent() const;
    // Per ladder point: the curve fitted without it, read at its Rf (extrapolating where it
    // was an end point), as a per cent error of its known size; none where too few points
    // remain for the fit.
    std::vector<std::optional<double>> leaveOneOutPercent() const;
    // Whether the curve falls all the way across the ladder's Rf range, so that each size
    // has one Rf. A polynomial may turn back between widely spaced points.
    bool monotone() const { return m_monotone; }

private:
    bool m_ok = false;
    QString m_reason = QStringLiteral("no ladder");
    SizeFit m_kind = SizeFit::PointToPoint;
    std::vector<LadderPoint> m_points;
    std::vector<double> m_rf;   // the points' Rf, rising
    std::vector<double> m_logs; // their log10(size)
    // Point-to-point: GSL's interpolation over m_rf and m_logs (a gsl_interp).
    std::shared_ptr<void> m_interp;
    std::vector<double> m_coefficients;
    bool m_monotone = true;
};

// A ladder lane's calibration points and where the lane lies across the gel (the centre of
// the lane, in the same units as the lanes to be sized: columns for vertical lanes).
struct SizeStandard
{
    double across = 0;
    std::vector<LadderPoint> points;
};

// The ladder for a lane at `across`: with one standard, its points; with more, the two
// standards either side of the lane, each size's Rf interpolated linearly between them (a
// size only one of them has is left out). A lane beyond the outermost standard takes that
// standard's points as they are: the tilt is not extended past the ladders.
std::vector<LadderPoint> ladderAt(const std::vector<SizeStandard>& standards, double across);

// The calibration for a lane at `across` (ladderAt, then SizeCalibration::fit); not ok, with
// a reason, when there is no standard.
SizeCalibration calibrationAt(const std::vector<SizeStandard>& standards, double across,
                              SizeFit kind);

} // namespace kesto

namespace kesto {

// Sizing every band of a gel at once, as the batch command and the window do it.

// A lane as the sizing sees it: where it lies across the gel, its start (the wells) and its
// front along, and its bands' positions along, top to bottom.
struct SizedLane
{
    double across = 0;
    double start = 0;
    double front = 0;
    std::vector<double> bands;
};

// A lane marked as a ladder lane with its ladder; without an assignment, the ladder's sizes
// are handed out top to bottom (assignLadder).
struct LadderLane
{
    int lane = 0; // index into the lanes
    Ladder ladder;
    std::optional<LadderAssignment> assignment;
};

struct BandSize
{
    std::optional<double> rf;   // none when the lane's front is not past its start
    std::optional<double> size; // none beyond the ladder unless extrapolating, or no calibration
    bool extrapolated = false;  // a size read beyond the ladder's Rf range
    bool ladder = false;        // a ladder lane's band: the size is the one assigned to it
};

struct GelSizes
{
    std::vector<std::vector<BandSize>> bands;  // per lane, per band
    std::vector<LadderAssignment> assignments; // per ladder lane, as given
    // What a person should know, one line each: ladder lanes whose bands and sizes do not
    // match, lanes without a calibration and why.
    QStringList notes;
};

// Rf of every band; sizes of the bands of every lane from the ladder lanes (ladderAt across
// the gel, then the fit). Throws Error(InvalidValue) for a ladder lane that is not one of
// the lanes, or a lane marked twice.
GelSizes sizeGelBands(const std::vector<SizedLane>& lanes, const std::vector<LadderLane>& ladders,
                      SizeFit kind, bool extrapolate);

// A band's size as the record keeps it and a plan replays it: the ladder lanes it was read on,
// the curve, and where the band lies. A ladder lane's own band keeps the size assigned to it.
struct BandSizeSource
{
    std::vector<SizeStandard> ladders; // none: the value has no size
    SizeUnit unit = SizeUnit::BasePairs;
    SizeFit fit = SizeFit::PointToPoint;
    bool extrapolate = false;
    double across = 0;                // the band's lane, across the gel
    double rf = 0;                    // the band's Rf in its lane
    std::optional<double> ladderSize; // a ladder lane's band: the size it stands for

    bool any() const { return !ladders.empty(); }
    friend bool operator==(const BandSizeSource& a, const BandSizeSource& b);
    friend bool operator!=(const BandSizeSource& a, const BandSizeSource& b) { return !(a == b); }
};

// The size the source gives: the ladder band's own, or read on the ladders' calibration at
// the band's lane; none without ladders, or where the calibration cannot be made.
BandSize bandSizeOf(const BandSizeSource& source);

} // namespace kesto
