#include "core/sizecalibration.h"

#include "core/polynomialfit.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_interp.h>

#include <QtNumeric>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

// GSL's own handler aborts the program on an error; with it off (as for the peak fits),
// every call returns its status and the calibration reports it as a reason instead.
const bool gslHandlerOff = [] {
    gsl_set_error_handler_off();
    return true;
}();

// Two ladder bands closer than this in Rf are taken as the same place: no curve can tell
// their sizes apart.
constexpr double MinRfStep = 1e-9;

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

int degreeOf(SizeFit kind)
{
    switch (kind) {
    case SizeFit::Linear:
        return 1;
    case SizeFit::Quadratic:
        return 2;
    case SizeFit::Cubic:
        return 3;
    case SizeFit::PointToPoint:
        break;
    }
    return 0;
}

// Smallest number of points each curve is fitted through.
std::size_t pointsNeeded(SizeFit kind)
{
    return kind == SizeFit::PointToPoint ? 2 : std::size_t(degreeOf(kind)) + 1;
}

double polynomialAt(const std::vector<double>& c, double x)
{
    double value = 0;
    for (auto it = c.rbegin(); it != c.rend(); ++it)
        value = value * x + *it;
    return value;
}

} // namespace

std::optional<SizeFit> parseSizeFit(const QString& text, QString* error)
{
    for (SizeFit fit : {SizeFit::PointToPoint, SizeFit::Linear, SizeFit::Quadratic, SizeFit::Cubic})
        if (text.compare(sizeFitText(fit), Qt::CaseInsensitive) == 0)
            return fit;
    if (error)
        *error = QStringLiteral("\"%1\": expected point-to-point, linear, quadratic or cubic")
                     .arg(text.left(40));
    return std::nullopt;
}

QString sizeFitText(SizeFit fit)
{
    switch (fit) {
    case SizeFit::PointToPoint:
        return QStringLiteral("point-to-point");
    case SizeFit::Linear:
        return QStringLiteral("linear");
    case SizeFit::Quadratic:
        return QStringLiteral("quadratic");
    case SizeFit::Cubic:
        return QStringLiteral("cubic");
    }
    return QString();
}

std::optional<double> relativeMobility(double position, double start, double front)
{
    if (!std::isfinite(position) || !std::isfinite(start) || !std::isfinite(front) ||
        !(front > start))
        return std::nullopt;
    const double rf = (position - start) / (front - start);
    if (!std::isfinite(rf))
        return std::nullopt;
    return rf;
}

int LadderAssignment::unassignedSizes() const
{
    std::vector<bool> used(std::size_t(std::max(sizeCount, 0)), false);
    for (int index : sizeIndex)
        if (index >= 0 && index < sizeCount)
            used[std::size_t(index)] = true;
    return int(std::count(used.begin(), used.end(), false));
}

int LadderAssignment::skippedBands() const
{
    return int(std::count(sizeIndex.begin(), sizeIndex.end(), Skipped));
}

QString LadderAssignment::mismatchText() const
{
    const int sizesLeft = unassignedSizes();
    const int bandsLeft = skippedBands();
    if (sizesLeft == 0 && bandsLeft == 0 && !countsDiffer())
        return QString();
    QStringList parts;
    if (sizesLeft > 0)
        parts << (sizesLeft == 1 ? QStringLiteral("1 size without a band")
                                 : QStringLiteral("%1 sizes without a band").arg(sizesLeft));
    if (bandsLeft > 0)
        parts << (bandsLeft == 1 ? QStringLiteral("1 band without a size")
                                 : QStringLiteral("%1 bands without a size").arg(bandsLeft));
    return QStringLiteral("%1 %2 for %3 %4: %5")
        .arg(bandCount())
        .arg(bandCount() == 1 ? QStringLiteral("band") : QStringLiteral("bands"))
        .arg(sizeCount)
        .arg(sizeCount == 1 ? QStringLiteral("size") : QStringLiteral("sizes"))
        .arg(parts.join(QStringLiteral(", ")));
}

LadderAssignment assignLadder(const std::vector<double>& bandRf, int sizeCount)
{
    LadderAssignment assignment;
    assignment.sizeCount = std::max(sizeCount, 0);
    assignment.sizeIndex.assign(bandRf.size(), LadderAssignment::Skipped);
    // Bands without an Rf get no size, and stay out of the ordering.
    std::vector<std::size_t> order;
    for (std::size_t band = 0; band < bandRf.size(); ++band)
        if (std::isfinite(bandRf[band]))
            order.push_back(band);
    std::stable_sort(order.begin(), order.end(),
                     [&bandRf](std::size_t a, std::size_t b) { return bandRf[a] < bandRf[b]; });
    for (std::size_t k = 0; k < order.size() && int(k) < assignment.sizeCount; ++k)
        assignment.sizeIndex[order[k]] = int(k);
    return assignment;
}

bool reassignLadderBand(LadderAssignment& assignment, int band, int sizeIndex, QString* error)
{
    if (band < 0 || band >= assignment.bandCount()) {
        if (error)
            *error = QStringLiteral("there is no band %1 in the ladder lane").arg(band + 1);
        return false;
    }
    if (sizeIndex != LadderAssignment::Skipped &&
        (sizeIndex < 0 || sizeIndex >= assignment.sizeCount)) {
        if (error)
            *error = QStringLiteral("the ladder has no size %1").arg(sizeIndex + 1);
        return false;
    }
    if (sizeIndex != LadderAssignment::Skipped)
        for (int& other : assignment.sizeIndex)
            if (other == sizeIndex)
                other = LadderAssignment::Skipped;
    assignment.sizeIndex[std::size_t(band)] = sizeIndex;
    return true;
}

std::vector<LadderPoint> ladderPoints(const std::vector<double>& bandRf,
                                      const std::vector<double>& sizes,
                                      const LadderAssignment& assignment)
{
    std::vector<LadderPoint> points;
    for (std::size_t band = 0; band < bandRf.size() && band < assignment.sizeIndex.size(); ++band) {
        const int index = assignment.sizeIndex[band];
        if (index >= 0 && std::size_t(index) < sizes.size())
            points.push_back({bandRf[band], sizes[std::size_t(index)]});
    }
    return points;
}

SizeCalibration SizeCalibration::fit(std::vector<LadderPoint> points, SizeFit kind)
{
    SizeCalibration c;
    c.m_kind = kind;
    for (const LadderPoint& p : points) {
        if (!std::isfinite(p.rf) || !std::isfinite(p.size) || !(p.size > 0)) {
            c.m_reason = QStringLiteral("a ladder band has no usable Rf or size (Rf %1, size %2)")
                             .arg(number(p.rf), number(p.size));
            return c;
        }
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const LadderPoint& a, const LadderPoint& b) { return a.size > b.size; });
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].size == points[i - 1].size) {
            c.m_reason = QStringLiteral("two ladder bands are given the same size %1")
                             .arg(number(points[i].size));
            return c;
        }
        if (!(points[i].rf - points[i - 1].rf > MinRfStep)) {
            c.m_reason =
                QStringLiteral("the ladder bands are out of order: the %1 band (Rf %2) does not "
                               "run below the %3 band (Rf %4)")
                    .arg(number(points[i].size), number(points[i].rf), number(points[i - 1].size),
                         number(points[i - 1].rf));
            return c;
        }
    }
    if (points.size() < pointsNeeded(kind)) {
        c.m_reason = QStringLiteral("a %1 fit needs at least %2 ladder bands, there %3 %4")
                         .arg(sizeFitText(kind))
                         .arg(pointsNeeded(kind))
                         .arg(points.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                         .arg(points.size());
        return c;
    }
    c.m_points = points;
    for (const LadderPoint& p : points) {
        c.m_rf.push_back(p.rf);
        c.m_logs.push_back(std::log10(p.size));
    }
    if (kind == SizeFit::PointToPoint) {
        // Steffen's method keeps the curve monotone between points and needs 3; through 2
        // points the curve is their straight line.
        const gsl_interp_type* type = points.size() >= 3 ? gsl_interp_steffen : gsl_interp_linear;
        gsl_interp* interp = gsl_interp_alloc(type, points.size());
        if (!interp) {
            c.m_reason = QStringLiteral("not enough memory for the point-to-point curve");
            return c;
        }
        c.m_interp = std::shared_ptr<void>(
            interp, [](void* p) { gsl_interp_free(static_cast<gsl_interp*>(p)); });
        if (gsl_interp_init(interp, c.m_rf.data(), c.m_logs.data(), points.size()) != GSL_SUCCESS) {
            c.m_reason = QStringLiteral("the point-to-point curve could not be made");
            return c;
        }
    } else {
        c.m_coefficients = polynomialLeastSquares(c.m_rf, c.m_logs, {}, degreeOf(kind));
        if (c.m_coefficients.empty()) {
            c.m_reason = QStringLiteral("the %1 fit did not give a curve").arg(sizeFitText(kind));
            return c;
        }
        for (double coefficient : c.m_coefficients) {
            if (!std::isfinite(coefficient)) {
                c.m_reason =
                    QStringLiteral("the %1 fit did not give a curve").arg(sizeFitText(kind));
                return c;
            }
        }
        // The slope of log(size) must stay below 0 across the ladder, or two Rf give one size.
        const int steps = 200;
        const double from = c.m_rf.front();
        const double to = c.m_rf.back();
        double previous = polynomialAt(c.m_coefficients, from);
        for (int s = 1; s <= steps; ++s) {
            const double value = polynomialAt(c.m_coefficients, from + (to - from) * s / steps);
            if (!(value < previous))
                c.m_monotone = false;
            previous = value;
        }
    }
    c.m_ok = true;
    c.m_reason.clear();
    return c;
}

double SizeCalibration::minRf() const
{
    return m_rf.empty() ? 0 : m_rf.front();
}

double SizeCalibration::maxRf() const
{
    return m_rf.empty() ? 0 : m_rf.back();
}

std::optional<double> SizeCalibration::logSizeAt(double rf) const
{
    if (!m_ok || !std::isfinite(rf))
        return std::nullopt;
    if (m_kind != SizeFit::PointToPoint)
        return polynomialAt(m_coefficients, rf);
    const std::size_t n = m_rf.size();
    // Beyond the ends: the end segment's straight line in log(size).
    if (rf < m_rf.front() || rf > m_rf.back()) {
        const std::size_t a = rf < m_rf.front() ? 0 : n - 2;
        const double slope = (m_logs[a + 1] - m_logs[a]) / (m_rf[a + 1] - m_rf[a]);
        return m_logs[a] + slope * (rf - m_rf[a]);
    }
    // GSL's evaluation refuses any x outside the points (through its error handler), which
    // the test above rules out.
    return gsl_interp_eval(static_cast<const gsl_interp*>(m_interp.get()), m_rf.data(),
                           m_logs.data(), rf, nullptr);
}

SizeEstimate SizeCalibration::sizeAt(double rf, bool extrapolate) const
{
    SizeEstimate estimate;
    if (!m_ok || !std::isfinite(rf))
        return estimate;
    estimate.extrapolated = rf < m_rf.front() || rf > m_rf.back();
    if (estimate.extrapolated && !extrapolate)
        return estimate;
    const std::optional<double> log = logSizeAt(rf);
    if (!log)
        return estimate;
    const double size = std::pow(10.0, *log);
    if (std::isfinite(size) && size > 0)
        estimate.size = size;
    return estimate;
}

std::vector<double> SizeCalibration::residualsPercent() const
{
    std::vector<double> residuals;
    for (const LadderPoint& p : m_points) {
        const std::optional<double> log = logSizeAt(p.rf);
        residuals.push_back(log ? (std::pow(10.0, *log) - p.size) / p.size * 100.0 : 0.0);
    }
    if (m_kind == SizeFit::PointToPoint)
        std::fill(residuals.begin(), residuals.end(), 0.0);
    return residuals;
}

std::vector<std::optional<double>> SizeCalibration::leaveOneOutPercent() const
{
    std::vector<std::optional<double>> errors(m_points.size());
    if (!m_ok)
        return errors;
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        std::vector<LadderPoint> others = m_points;
        others.erase(others.begin() + std::ptrdiff_t(i));
        if (others.size() < pointsNeeded(m_kind))
            continue;
        const SizeCalibration without = fit(others, m_kind);
        const SizeEstimate estimate = without.sizeAt(m_points[i].rf, true);
        if (estimate.size)
            errors[i] = (*estimate.size - m_points[i].size) / m_points[i].size * 100.0;
    }
    return errors;
}

std::vector<LadderPoint> ladderAt(const std::vector<SizeStandard>& standards, double across)
{
    if (standards.empty())
        return {};
    std::vector<SizeStandard> sorted = standards;
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const SizeStandard& a, const SizeStandard& b) { return a.across < b.across; });
    if (!(across > sorted.front().across))
        return sorted.front().points;
    if (!(across < sorted.back().across))
        return sorted.back().points;
    std::size_t right = 1;
    while (right + 1 < sorted.size() && sorted[right].across < across)
        ++right;
    const SizeStandard& a = sorted[right - 1];
    const SizeStandard& b = sorted[right];
    const double span = b.across - a.across;
    const double t = span > 0 ? (across - a.across) / span : 0.5;
    std::vector<LadderPoint> points;
    for (const LadderPoint& p : a.points) {
        for (const LadderPoint& q : b.points) {
            if (std::abs(p.size - q.size) <= 1e-9 * std::max(p.size, q.size)) {
                points.push_back({p.rf + (q.rf - p.rf) * t, p.size});
                break;
            }
        }
    }
    return points;
}

SizeCalibration calibrationAt(const std::vector<SizeStandard>& standards, double across,
                              SizeFit kind)
{
    if (standards.empty())
        return SizeCalibration();
    return SizeCalibration::fit(ladderAt(standards, across), kind);
}

} // namespace kesto

namespace kesto {

GelSizes sizeGelBands(const std::vector<SizedLane>& lanes, const std::vector<LadderLane>& ladders,
                      SizeFit kind, bool extrapolate)
{
    GelSizes result;
    result.bands.resize(lanes.size());
    std::vector<std::vector<double>> rf(lanes.size());
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        const SizedLane& l = lanes[lane];
        for (double position : l.bands) {
            BandSize band;
            band.rf = relativeMobility(position, l.start, l.front);
            result.bands[lane].push_back(band);
            rf[lane].push_back(band.rf.value_or(qQNaN()));
        }
    }

    std::vector<SizeStandard> standards;
    std::vector<bool> marked(lanes.size(), false);
    for (const LadderLane& ladder : ladders) {
        if (ladder.lane < 0 || std::size_t(ladder.lane) >= lanes.size())
            throw Error(
                Error::InvalidValue,
                QStringLiteral("there is no lane %1 to hold a ladder (%2 %3 found)")
                    .arg(ladder.lane + 1)
                    .arg(lanes.size())
                    .arg(lanes.size() == 1 ? QStringLiteral("lane") : QStringLiteral("lanes")));
        const std::size_t lane = std::size_t(ladder.lane);
        if (marked[lane])
            throw Error(Error::InvalidValue,
                        QStringLiteral("lane %1 is marked as a ladder lane twice").arg(lane + 1));
        marked[lane] = true;
        LadderAssignment assignment =
            ladder.assignment.value_or(assignLadder(rf[lane], int(ladder.ladder.sizes.size())));
        // An assignment made for other bands would point at the wrong ones: start afresh.
        if (assignment.bandCount() != int(rf[lane].size()) ||
            assignment.sizeCount != int(ladder.ladder.sizes.size()))
            assignment = assignLadder(rf[lane], int(ladder.ladder.sizes.size()));
        const QString mismatch = assignment.mismatchText();
        if (!mismatch.isEmpty())
            result.notes << QStringLiteral("ladder lane %1: %2").arg(lane + 1).arg(mismatch);
        for (std::size_t band = 0; band < rf[lane].size(); ++band) {
            BandSize& b = result.bands[lane][band];
            b.ladder = true;
            const int index = assignment.sizeIndex[band];
            if (index != LadderAssignment::Skipped)
                b.size = ladder.ladder.sizes[std::size_t(index)];
        }
        SizeStandard standard{lanes[lane].across, {}};
        for (const LadderPoint& p : ladderPoints(rf[lane], ladder.ladder.sizes, assignment))
            if (std::isfinite(p.rf))
                standard.points.push_back(p);
        standards.push_back(standard);
        result.assignments.push_back(assignment);
    }
    if (standards.empty())
        return result;

    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        if (marked[lane] || result.bands[lane].empty())
            continue;
        const SizeCalibration c = calibrationAt(standards, lanes[lane].across, kind);
        if (!c.ok()) {
            result.notes << QStringLiteral("lane %1: no sizes, %2").arg(lane + 1).arg(c.reason());
            continue;
        }
        if (!c.monotone())
            result.notes << QStringLiteral("lane %1: the %2 fit turns back inside the ladder, so "
                                           "some sizes are uncertain")
                                .arg(lane + 1)
                                .arg(sizeFitText(kind));
        for (BandSize& band : result.bands[lane]) {
            if (!band.rf)
                continue;
            const SizeEstimate e = c.sizeAt(*band.rf, extrapolate);
            band.size = e.size;
            band.extrapolated = e.extrapolated;
        }
    }
    return result;
}

bool operator==(const BandSizeSource& a, const BandSizeSource& b)
{
    if (a.ladders.size() != b.ladders.size())
        return false;
    for (std::size_t i = 0; i < a.ladders.size(); ++i)
        if (a.ladders[i].across != b.ladders[i].across ||
            a.ladders[i].points != b.ladders[i].points)
            return false;
    return a.unit == b.unit && a.fit == b.fit && a.extrapolate == b.extrapolate &&
           a.across == b.across && a.rf == b.rf && a.ladderSize == b.ladderSize;
}

BandSize bandSizeOf(const BandSizeSource& source)
{
    BandSize band;
    if (!source.any())
        return band;
    band.rf = source.rf;
    if (source.ladderSize) {
        band.ladder = true;
        band.size = source.ladderSize;
        return band;
    }
    const SizeCalibration c = calibrationAt(source.ladders, source.across, source.fit);
    if (!c.ok())
        return band;
    const SizeEstimate e = c.sizeAt(source.rf, source.extrapolate);
    band.size = e.size;
    band.extrapolated = e.extrapolated;
    return band;
}

} // namespace kesto
