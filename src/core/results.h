#pragma once

// From bands to a result. Each lane's target band is divided by its loading control (a
// housekeeping band in the same lane, the lane's total, or the lane's total on a stain
// picture of the same membrane), relative to reference lanes; the lanes' normalized values
// are gathered by the sample table's groups into replicates with their mean and spread and
// a fold change against the reference group.
//
//   factor     = the lane's control / the mean control of the reference lanes on its blot
//   normalized = target / factor                  (times the blot's scale, see below)
//   fold       = the group's mean / the reference group's mean
//
// Across several blots (pictures measured together) the reference group is needed on
// every blot: each blot's normalized values are scaled so that its reference lanes' mean
// equals the first blot's, which puts every blot in the first blot's units.
//
// No number is made up: a lane without its target or control gets no value and a reason;
// a flagged value (saturated, a fit that failed, ...) is marked and, by choice, left out; a
// reference without a usable control is refused. Lanes whose role is ladder, standard,
// blank or excluded enter no group.

#include "core/error.h"
#include "core/sampletable.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace kesto {

// Which value of a lane to take: as target, or as loading control.
struct BandChoice
{
    enum class Kind {
        None,      // no control: every factor is 1 (not a target)
        Band,      // the k-th band from the top (from the left on lanes running across)
        Size,      // the band nearest a size, where the lane's bands have sizes
        Picked,    // the bands picked, their volumes summed
        LaneTotal, // the lane's total on the picture
        Stain,     // the lane's total on the stain picture (not a target)
    };
    Kind kind = Kind::Band;
    int band = 0;            // Band: from 0
    double size = 0;         // Size: in the ladder's unit, above 0
    std::vector<int> picked; // Picked: bands from 0, ascending, no repeats; a lane's own
                             // picks (LaneBands) come first when it has them

    friend bool operator==(const BandChoice& a, const BandChoice& b)
    {
        return a.kind == b.kind && a.band == b.band && a.size == b.size && a.picked == b.picked;
    }
    friend bool operator!=(const BandChoice& a, const BandChoice& b) { return !(a == b); }

    static BandChoice none() { return BandChoice{Kind::None, 0, 0, {}}; }
    static BandChoice nth(int band) { return BandChoice{Kind::Band, band, 0, {}}; }
    static BandChoice nearestSize(double size) { return BandChoice{Kind::Size, 0, size, {}}; }
    static BandChoice bands(std::vector<int> picked)
    {
        return BandChoice{Kind::Picked, 0, 0, std::move(picked)};
    }
    static BandChoice laneTotal() { return BandChoice{Kind::LaneTotal, 0, 0, {}}; }
    static BandChoice stain() { return BandChoice{Kind::Stain, 0, 0, {}}; }
};

// The texts, in any letter case: "band:K" (K from 1), "size:S" (S above 0), "bands:K,L,..."
// (the bands picked, from 1), "lane-total", "stain", "none". nullopt with a reason in
// *error for anything else.
std::optional<BandChoice> parseBandChoice(const QString& text, QString* error = nullptr);
QString bandChoiceText(const BandChoice& choice);
// As a person reads it: "band 2", "band nearest 42", "bands 1 + 3", "lane total",
// "stain lane total", "none".
QString bandChoiceLabel(const BandChoice& choice);

// One band of a lane as measured.
struct MeasuredBand
{
    std::optional<double> volume; // none when it could not be measured (say why in flag)
    std::optional<double> size;   // from the size calibration, when there is one
    QString flag;  // why the volume is not to be trusted ("saturated: ..."); empty when it is
    QString trace; // where it came from: frame, method ("frame 12,40 30x8, profile")
};

// One lane as measured on its picture (and on the stain picture).
struct LaneBands
{
    int lane = 0;                    // from 0
    int blot = 0;                    // from 0
    std::vector<MeasuredBand> bands; // top to bottom (left to right)
    std::optional<double> total;     // the lane's total
    QString totalFlag;
    std::optional<double> stainTotal; // the same lane's total on the stain picture
    QString stainFlag;
    QString trace;      // how the lane was read ("lane 3, profile, baseline minima")
    QString stainTrace; // how its stain total was read
    // A person's picks in this lane, for BandChoice::Picked (from 0); empty: the choice's own.
    std::vector<int> targetPicks;
    std::vector<int> controlPicks;
};

// The lanes the control of all others is measured against: a group's lanes (the default,
// the sample table's first group when no group is named), or one lane.
struct ResultReference
{
    QString group; // empty: the table's first group (when lane < 0)
    int lane = -1; // from 0; >= 0: this lane on blot `blot` instead of a group
    int blot = 0;

    friend bool operator==(const ResultReference& a, const ResultReference& b)
    {
        return a.group == b.group && a.lane == b.lane && a.blot == b.blot;
    }
    friend bool operator!=(const ResultReference& a, const ResultReference& b) { return !(a == b); }
};

// "lane:N" or "lane:N:B" (from 1) names a lane; anything else is a group's name. nullopt
// with a reason for an empty text or a lane that cannot be read.
std::optional<ResultReference> parseResultReference(const QString& text, QString* error = nullptr);
QString resultReferenceText(const ResultReference& reference);

enum class Spread { SD, SEM };
QString spreadText(Spread spread); // "sd", "sem"
std::optional<Spread> parseSpread(const QString& text, QString* error = nullptr);

struct ResultOptions
{
    BandChoice target = BandChoice::nth(0);
    BandChoice control = BandChoice::none();
    ResultReference reference;
    bool excludeFlagged = false; // leave flagged lanes out of groups (they are marked either way)
    Spread spread = Spread::SD;  // what the chart draws round each mean
    // Size choices take the band whose size is nearest, if within this share of the size
    // asked for (0.2: 20 %); none otherwise.
    double sizeTolerance = 0.2;

    friend bool operator==(const ResultOptions& a, const ResultOptions& b)
    {
        return a.target == b.target && a.control == b.control && a.reference == b.reference &&
               a.excludeFlagged == b.excludeFlagged && a.spread == b.spread &&
               a.sizeTolerance == b.sizeTolerance;
    }
    friend bool operator!=(const ResultOptions& a, const ResultOptions& b) { return !(a == b); }
};

// One lane's result.
struct LaneResult
{
    int lane = 0; // from 0
    int blot = 0;
    QString sample;
    QString group;
    int replicate = 0;
    SampleRole role = SampleRole::Sample;
    bool inTable = false;   // the sample table has a row for the lane
    bool reference = false; // one of the reference lanes
    std::optional<double> target;
    std::optional<double> control;    // none with control None
    std::optional<double> factor;     // control / mean reference control; 1 with control None
    double blotScale = 1;             // the blot's scale (1 on the first blot)
    std::optional<double> normalized; // target / factor * blotScale
    QStringList flags;    // why a value is not to be trusted ("control: saturated: ...")
    bool leftOut = false; // not counted in its group: no value, a flag with excludeFlagged,
                          // or a role that enters no group
    QString reason;       // why there is no value or why it was left out
    QString targetTrace;  // which band, frame and method gave the target
    QString controlTrace; // and the control
};

// One group's result, over its lanes that were not left out.
struct GroupResult
{
    QString group;
    bool reference = false;
    int n = 0;
    std::optional<double> mean;
    std::optional<double> sd;       // sample standard deviation (n - 1); none below n = 2
    std::optional<double> sem;      // sd / sqrt(n)
    std::optional<double> cv;       // sd / mean in per cent; none when the mean is not above 0
    std::optional<double> fold;     // mean / the reference group's mean
    std::optional<double> log2Fold; // log2(fold); none when fold is not above 0
    std::vector<double> values;     // each replicate's normalized value, in lane order
    std::vector<int> lanes;         // the index into Results::lanes of each value
    // Every lane of the group, counted or not, as indices into Results::lanes.
    std::vector<int> allLanes;

    std::optional<double> spread(Spread kind) const { return kind == Spread::SD ? sd : sem; }
};

struct Results
{
    std::vector<LaneResult> lanes;   // in blot, then lane order
    std::vector<GroupResult> groups; // in the sample table's group order
    std::optional<double>
        referenceValue; // the reference's mean normalized value: folds' denominator
    // How the result was made, a line each: target, control, reference, blots' scales,
    // lanes left out. For a table's header.
    QStringList notes;
};

// The band whose size is nearest `size` (by ratio: log distance), among the lane's bands
// with a size; -1 when none has one.
int nearestSizedBand(const LaneBands& lane, double size);

// A result that cannot be made; the message says why as a person reads it.
class ResultsError : public Error
{
public:
    explicit ResultsError(const QString& message) : Error(Error::InvalidValue, message) {}
};

// Makes the result. Throws ResultsError when: the table names a lane that was not measured
// (the message names it), the reference names a group the table does not hold or a lane
// that was not measured, no reference lane on a blot has a usable control (or target, when
// blots are scaled), a target choice is None or Stain, a Stain control without stain
// totals, a lane reference with several blots.
Results computeResults(const SampleTable& table, const std::vector<LaneBands>& lanes,
                       const ResultOptions& options);

// The tables as text cells, headings first, numbers as doubleText writes them and empty
// cells for missing values.
//   lanes:  LANE SAMPLE GROUP REPLICATE TARGET CONTROL FACTOR NORMALIZED, then with details
//           BLOT BLOT_SCALE ROLE COUNTED FLAGS NOTE TARGET_FROM CONTROL_FROM
//   groups: GROUP N MEAN SD SEM CV FOLD, then with details
//           LOG2_FOLD REFERENCE VALUES LANES (lanes from 1, "LANE:BLOT" beyond the first blot)
// withDetails false gives only the columns the command line prints.
QList<QStringList> resultLaneTable(const Results& results, bool withDetails = true);
QList<QStringList> resultGroupTable(const Results& results, bool withDetails = true);

} // namespace kesto
