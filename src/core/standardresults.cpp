#include "core/standardresults.h"

#include "core/numbers.h"

#include <QRegularExpression>

#include <cmath>

namespace kesto {

namespace {

// Whether a value's flag says its band reached the end of the scale: the batch's lanes say
// "saturated: ...", the session's scans give their counts ("N of M samples at full scale,
// K at 0, ..."), where any sample at either end is one cut off.
bool flagSaysSaturated(const QString& flag)
{
    if (flag.contains(QLatin1String("saturated")))
        return true;
    static const QRegularExpression counts(
        QStringLiteral("(\\d+) of \\d+ samples at full scale, (\\d+) at 0"));
    for (auto it = counts.globalMatch(flag); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(1).toULongLong() > 0 || match.captured(2).toULongLong() > 0)
            return true;
    }
    return false;
}

bool targetSaturated(const LaneResult& lane)
{
    for (const QString& flag : lane.flags)
        if (flag.startsWith(QLatin1String("target: ")) && flagSaysSaturated(flag))
            return true;
    return false;
}

// Why a blot has no amounts, or an empty text when its curve is usable.
QString curveFault(const StandardResults& standards, int blot)
{
    const StandardCurve* curve = standards.curve(blot);
    if (!curve)
        return QStringLiteral("blot %1 has no standards").arg(blot + 1);
    if (!curve->ok())
        return QStringLiteral("no standard curve: ") + curve->reason();
    return QString();
}

// The band a size choice takes, as the result picks it; -1 for none.
int bandNearestSize(const LaneBands& lane, double size, double tolerance)
{
    const int nearest = nearestSizedBand(lane, size);
    if (nearest < 0 || std::abs(*lane.bands[std::size_t(nearest)].size - size) > tolerance * size)
        return -1;
    return nearest;
}

// Replaces a measured value by its amount on the curve (or by none, when the curve or the
// reading fails), with the amount's flags joined to the value's own.
void toAmount(std::optional<double>& value, QString& flag, const StandardCurve* curve,
              const QString& fault, bool extrapolate)
{
    if (!value)
        return;
    if (!fault.isEmpty()) {
        value.reset();
        flag = QStringLiteral("no amount: ") + fault;
        return;
    }
    const bool saturated = flagSaysSaturated(flag);
    CurveAmount amount = curve->amountFor(*value, saturated, extrapolate);
    if (!amount.amount) {
        value.reset();
        const QString flags = amount.flagsText();
        flag = QStringLiteral("no amount: ") + amount.reason +
               (flags.isEmpty() ? QString() : QStringLiteral(" (") + flags + QLatin1Char(')'));
        return;
    }
    value = *amount.amount;
    amount.saturated = false; // the value's own flag says so already
    const QString flags = amount.flagsText();
    if (!flags.isEmpty())
        flag = flag.isEmpty() ? flags : flag + QStringLiteral("; ") + flags;
}

} // namespace

const StandardCurve* StandardResults::curve(int blot) const
{
    const auto found = curves.find(blot);
    return found == curves.end() ? nullptr : &found->second;
}

std::map<int, std::vector<CurveStandard>> curveStandards(const SampleTable& table,
                                                         const Results& raw, QStringList* notes)
{
    std::map<int, std::vector<CurveStandard>> standards;
    for (const LaneResult& lane : raw.lanes) {
        if (!lane.inTable || lane.role != SampleRole::Standard)
            continue;
        const SampleRow* row = table.rowFor(lane.lane, lane.blot);
        const QString label =
            QStringLiteral("lane %1").arg(lane.lane + 1) +
            (lane.blot > 0 ? QStringLiteral(" of blot %1").arg(lane.blot + 1) : QString());
        if (!row || !row->amount) {
            if (notes)
                *notes << label + QStringLiteral(": a standard without an amount is in no curve");
            continue;
        }
        if (!lane.target) {
            if (notes)
                *notes << label +
                              QStringLiteral(
                                  ": a standard without a target value is in no curve (") +
                              lane.reason + QLatin1Char(')');
            continue;
        }
        CurveStandard s;
        s.amount = *row->amount;
        s.signal = *lane.target;
        s.saturated = targetSaturated(lane);
        s.label = lane.sample.isEmpty()
                      ? label
                      : label + QStringLiteral(" (") + lane.sample + QLatin1Char(')');
        standards[lane.blot].push_back(s);
    }
    return standards;
}

StandardResults computeStandardResults(const SampleTable& table,
                                       const std::vector<LaneBands>& lanes,
                                       const ResultOptions& options,
                                       const StandardResultOptions& standards)
{
    StandardResults out;
    out.raw = computeResults(table, lanes, options);
    for (auto& [blot, series] : curveStandards(table, out.raw, &out.notes)) {
        StandardCurve curve = StandardCurve::fit(std::move(series), standards.curve);
        if (!curve.ok())
            out.notes << QStringLiteral("blot %1: no standard curve: %2")
                             .arg(blot + 1)
                             .arg(curve.reason());
        out.curves.emplace(blot, std::move(curve));
    }
    for (const LaneResult& lane : out.raw.lanes) {
        LaneAmount a;
        a.lane = lane.lane;
        a.blot = lane.blot;
        a.standard = lane.inTable && lane.role == SampleRole::Standard;
        const QString fault = curveFault(out, lane.blot);
        if (!fault.isEmpty()) {
            a.amount.outsideLinearRange = true;
            a.amount.reason = fault;
        } else if (!lane.target) {
            a.amount.outsideLinearRange = true;
            a.amount.reason = QStringLiteral("no target value");
        } else {
            a.amount = out.curve(lane.blot)->amountFor(*lane.target, targetSaturated(lane),
                                                       standards.extrapolate);
        }
        out.lanes.push_back(a);
    }
    return out;
}

std::vector<LaneBands> amountLanes(const std::vector<LaneBands>& lanes,
                                   const StandardResults& standards, const ResultOptions& options,
                                   const StandardResultOptions& standardOptions)
{
    std::vector<LaneBands> out = lanes;
    const QString trace = QStringLiteral(", amount on the standard curve");
    for (LaneBands& lane : out) {
        const StandardCurve* curve = standards.curve(lane.blot);
        const QString fault = curveFault(standards, lane.blot);
        std::vector<int> bands;
        switch (options.target.kind) {
        case BandChoice::Kind::Band:
            bands = {options.target.band};
            break;
        case BandChoice::Kind::Size: {
            const int band = bandNearestSize(lane, options.target.size, options.sizeTolerance);
            if (band >= 0)
                bands = {band};
            break;
        }
        case BandChoice::Kind::Picked:
            bands = lane.targetPicks.empty() ? options.target.picked : lane.targetPicks;
            break;
        case BandChoice::Kind::LaneTotal:
            toAmount(lane.total, lane.totalFlag, curve, fault, standardOptions.extrapolate);
            lane.trace += trace;
            break;
        case BandChoice::Kind::None:
        case BandChoice::Kind::Stain:
            break;
        }
        for (int b : bands) {
            if (b < 0 || b >= int(lane.bands.size()))
                continue;
            MeasuredBand& band = lane.bands[std::size_t(b)];
            toAmount(band.volume, band.flag, curve, fault, standardOptions.extrapolate);
            band.trace += trace;
        }
    }
    return out;
}

} // namespace kesto
