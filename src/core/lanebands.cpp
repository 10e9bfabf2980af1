#include "core/lanebands.h"

#include "core/numbers.h"

#include <algorithm>

namespace kesto {

namespace {

// Samples of the frame clipped at the end of the scale the bands run to, as a flag.
QString clipFlag(const QImage& picture, const FoundFrame& frame, Channel channel, bool darkBands)
{
    if (frame.width <= 0 || frame.height <= 0)
        return QString();
    const ScanResult scan =
        integrateFrameCounted(picture, frame.geometry(), channel, ChannelLevels{});
    const std::uint64_t clipped = darkBands ? scan.atZero : scan.atFullScale;
    if (clipped == 0)
        return QString();
    return QStringLiteral("saturated: %1 of %2 pixels at %3")
        .arg(quint64(clipped))
        .arg(quint64(scan.samples))
        .arg(darkBands ? QStringLiteral("0") : QStringLiteral("full scale"));
}

QString methodText(const LaneReading& reading)
{
    const QString baseline = QStringLiteral("baseline ") + laneBackgroundLabel(reading.background);
    if (reading.mode == QuantifyMode::Fit)
        return QStringLiteral("fitted %1 peak area, %2")
            .arg(reading.shape == PeakShape::Gaussian
                     ? QStringLiteral("Gaussian")
                     : QStringLiteral("exponentially modified Gaussian"),
                 baseline);
    return QStringLiteral("profile volume, ") + baseline;
}

QString frameText(const FoundFrame& f)
{
    return QStringLiteral("frame %1,%2 %3x%4").arg(f.left).arg(f.top).arg(f.width).arg(f.height);
}

QString laneTrace(int lane, const LaneStrip& strip, const LaneReading& reading)
{
    return QStringLiteral("lane %1 (%2, %3 wide), %4 along its centre line, baseline %5")
        .arg(lane + 1)
        .arg(frameText(strip.bounds()))
        .arg(strip.width)
        .arg(reading.darkBands ? QStringLiteral("dark bands") : QStringLiteral("light bands"))
        .arg(laneBackgroundLabel(reading.background));
}

} // namespace

std::vector<LaneBands> readLaneBands(const QImage& picture, const std::vector<LaneStrip>& strips,
                                     const std::vector<std::vector<FoundFrame>>& bands,
                                     const LaneReading& reading, int blot)
{
    const std::vector<LaneMeasure> measures =
        measureLanes(picture, strips, reading.channel, reading.background, reading.darkBands);
    const LaneOrientation orientation =
        strips.empty() ? LaneOrientation::Vertical : strips.front().orientation;
    std::vector<LaneBands> lanes;
    for (std::size_t i = 0; i < strips.size(); ++i) {
        const LaneMeasure& measure = measures[i];
        const std::vector<FoundFrame> frames =
            i < bands.size() ? bands[i] : std::vector<FoundFrame>();
        LaneBands lane;
        lane.lane = int(i);
        lane.blot = blot;
        lane.trace = laneTrace(int(i), strips[i], reading);
        if (!measure.isEmpty()) {
            lane.total = measure.total;
            lane.totalFlag =
                clipFlag(picture, strips[i].bounds(), reading.channel, reading.darkBands);
        }
        lane.bands.resize(frames.size());
        for (std::size_t b = 0; b < frames.size(); ++b) {
            lane.bands[b].trace = frameText(frames[b]) + QStringLiteral(", ") + methodText(reading);
            lane.bands[b].flag = clipFlag(picture, frames[b], reading.channel, reading.darkBands);
        }
        if (!frames.empty() && !measure.isEmpty()) {
            const std::vector<BandBounds> bounds =
                bandBoundaries(measure, bandPeaks(measure, frames, orientation));
            if (reading.mode != QuantifyMode::Fit) {
                const LaneQuantity quantity = quantifyLane(measure, bounds, QuantifyMode::Profile);
                for (std::size_t b = 0; b < frames.size() && b < quantity.volumes.size(); ++b)
                    lane.bands[b].volume = quantity.volumes[b];
            } else {
                // Bands that touch are fitted together, bands standing apart each alone: a
                // fit that fails costs only its own bands their volumes.
                for (const auto& [first, last] : touchingGroups(bounds)) {
                    const LaneQuantity group = quantifyLane(
                        measure,
                        std::vector<BandBounds>(bounds.begin() + first, bounds.begin() + last + 1),
                        QuantifyMode::Fit, reading.shape);
                    for (int b = first; b <= last; ++b) {
                        MeasuredBand& band = lane.bands[std::size_t(b)];
                        if (group.ok && std::size_t(b - first) < group.volumes.size()) {
                            band.volume = group.volumes[std::size_t(b - first)];
                        } else {
                            const QString why = QStringLiteral("no fit: ") + group.reason;
                            band.flag =
                                band.flag.isEmpty() ? why : band.flag + QStringLiteral("; ") + why;
                        }
                    }
                }
            }
        }
        lanes.push_back(std::move(lane));
    }
    return lanes;
}

void readStainTotals(std::vector<LaneBands>& lanes, const QImage& stain, QSize size,
                     const std::vector<LaneStrip>& strips, const LaneReading& reading)
{
    if (stain.size() != size)
        throw ResultsError(
            QStringLiteral(
                "the stain picture is %1 x %2 pixels and the picture %3 x %4; the "
                "lanes are read at the same place on both, so both must be the same size")
                .arg(stain.width())
                .arg(stain.height())
                .arg(size.width())
                .arg(size.height()));
    const std::vector<LaneMeasure> measures =
        measureLanes(stain, strips, reading.channel, reading.background, reading.darkBands);
    for (std::size_t i = 0; i < lanes.size() && i < strips.size(); ++i) {
        if (measures[i].isEmpty())
            continue;
        lanes[i].stainTotal = measures[i].total;
        lanes[i].stainFlag =
            clipFlag(stain, strips[i].bounds(), reading.channel, reading.darkBands);
        lanes[i].stainTrace =
            QStringLiteral("stain picture, ") + laneTrace(int(i), strips[i], reading);
    }
}

} // namespace kesto
