#include "core/lanequant.h"

#include "core/backgroundmethod.h"
#include "core/deeppicture.h"
#include "core/error.h"
#include "core/gelimage.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kesto {

namespace {

// A profile longer than this is longer than any picture could be.
constexpr std::int64_t MaxPositions = std::int64_t(1) << 26;

int alongOf(const QPoint& p, LaneOrientation orientation)
{
    return orientation == LaneOrientation::Horizontal ? p.x() : p.y();
}

int acrossOf(const QPoint& p, LaneOrientation orientation)
{
    return orientation == LaneOrientation::Horizontal ? p.y() : p.x();
}

// The picture as the integration reads it: the 8-bit working picture, or a 16-bit one.
const QImage* measurable(const QImage& picture, QImage& converted)
{
    if (picture.isNull() || isDeepPicture(picture) || picture.format() == QImage::Format_RGB32 ||
        picture.format() == QImage::Format_ARGB32 || picture.format() == QImage::Format_Grayscale8)
        return &picture;
    converted = toWorkingImage(picture);
    return &converted;
}

int deepShift(Channel channel)
{
    // QRgba64 keeps red in the low 16 bits, then green and blue.
    return channel == Channel::Red ? 0 : channel == Channel::Green ? 16 : 32;
}

// Calls visit(line, value) with row y's first sample and a reader of the channel's value
// of the i-th sample from there, in the picture's units, whatever its format.
template <typename Visit> void withRow(const QImage& picture, int y, Channel channel, Visit visit)
{
    const uchar* line = picture.constScanLine(y);
    if (picture.format() == QImage::Format_Grayscale16) {
        visit(reinterpret_cast<const std::uint16_t*>(line),
              [](std::uint16_t v) { return std::uint32_t(v); });
    } else if (picture.format() == QImage::Format_Grayscale8) {
        visit(line, [](std::uint8_t v) { return std::uint32_t(v); });
    } else if (picture.format() == QImage::Format_RGBX64) {
        const int shift = deepShift(channel);
        visit(reinterpret_cast<const std::uint64_t*>(line),
              [shift](std::uint64_t v) { return std::uint32_t((v >> shift) & 0xFFFFu); });
    } else {
        const int shift = channelShift(channel);
        visit(reinterpret_cast<const std::uint32_t*>(line),
              [shift](std::uint32_t v) { return (v >> shift) & 0xFFu; });
    }
}

// The first pixel across at positions along a strip, taken in order: walks its path once.
class StartWalker
{
public:
    explicit StartWalker(const LaneStrip& lane) : m_lane(lane) {}

    // along never below the one before.
    std::int64_t at(int along)
    {
        const std::vector<QPoint>& path = m_lane.path;
        const LaneOrientation o = m_lane.orientation;
        double centre;
        if (along <= alongOf(path.front(), o)) {
            centre = acrossOf(path.front(), o);
        } else {
            while (m_segment < path.size() && along > alongOf(path[m_segment], o))
                ++m_segment;
            if (m_segment >= path.size()) {
                centre = acrossOf(path.back(), o);
            } else {
                const int a0 = alongOf(path[m_segment - 1], o), a1 = alongOf(path[m_segment], o);
                const double c0 = acrossOf(path[m_segment - 1], o);
                const double c1 = acrossOf(path[m_segment], o);
                const double t = a1 > a0 ? double(along - a0) / (a1 - a0) : 1.0;
                centre = c0 + t * (c1 - c0);
            }
        }
        return std::int64_t(std::ceil(centre - 0.5 * m_lane.width));
    }

private:
    const LaneStrip& m_lane;
    std::size_t m_segment = 1;
};

std::vector<std::int64_t> acrossStarts(const LaneStrip& lane)
{
    std::vector<std::int64_t> starts(std::size_t(lane.length()));
    StartWalker walker(lane);
    for (int i = 0; i < lane.length(); ++i)
        starts[std::size_t(i)] = walker.at(lane.first + i);
    return starts;
}

// Sum of the channel over row y's columns [x0, x1], which lie on the picture.
std::uint64_t rowSum(const QImage& picture, int y, Channel channel, std::int64_t x0,
                     std::int64_t x1)
{
    std::uint64_t sum = 0;
    withRow(picture, y, channel, [&](const auto* line, auto value) {
        // 32-bit partial sums over chunks that cannot overflow them vectorise.
        constexpr int Chunk = 1 << 16;
        for (std::int64_t start = x0; start <= x1; start += Chunk) {
            const auto* p = line + start;
            const int n = int(std::min<std::int64_t>(Chunk, x1 - start + 1));
            std::uint32_t part = 0;
            for (int k = 0; k < n; ++k)
                part += value(p[k]);
            sum += part;
        }
    });
    return sum;
}

// Each lane's channel sum over its strip at each position, into its profile: whole
// numbers below 2^53, so exact. Samples off the picture read full scale. The picture's
// rows are read in memory order, once for all the vertical lanes together.
void readStrips(const QImage& picture, const std::vector<LaneStrip>& lanes, Channel channel,
                std::vector<LaneMeasure>& measures)
{
    const double fullScale = channelFullScale(picture);
    std::vector<StartWalker> walkers;
    walkers.reserve(lanes.size());
    int top = std::numeric_limits<int>::max(), bottom = std::numeric_limits<int>::min();
    for (std::size_t l = 0; l < lanes.size(); ++l) {
        walkers.emplace_back(lanes[l]);
        if (lanes[l].isEmpty())
            continue;
        // Every sample starts as off the picture; those on it replace full scale with their value.
        measures[l].profile.assign(std::size_t(lanes[l].length()), lanes[l].width * fullScale);
        if (lanes[l].orientation == LaneOrientation::Vertical) {
            top = std::min(top, lanes[l].first);
            bottom = std::max(bottom, lanes[l].last);
        }
    }
    if (picture.isNull())
        return;
    const int w = picture.width(), h = picture.height();
    for (int y = std::max(top, 0); y <= std::min(bottom, h - 1); ++y) {
        for (std::size_t l = 0; l < lanes.size(); ++l) {
            const LaneStrip& lane = lanes[l];
            if (lane.isEmpty() || lane.orientation != LaneOrientation::Vertical || y < lane.first ||
                y > lane.last)
                continue;
            const std::int64_t start = walkers[l].at(y);
            const std::int64_t x0 = std::max<std::int64_t>(start, 0);
            const std::int64_t x1 = std::min<std::int64_t>(start + lane.width - 1, w - 1);
            if (x0 <= x1)
                measures[l].profile[std::size_t(y - lane.first)] +=
                    double(rowSum(picture, y, channel, x0, x1)) - double(x1 - x0 + 1) * fullScale;
        }
    }
    // A horizontal lane: each picture row the strip crosses adds to the columns whose
    // stretch across holds it.
    for (std::size_t l = 0; l < lanes.size(); ++l) {
        const LaneStrip& lane = lanes[l];
        if (lane.isEmpty() || lane.orientation != LaneOrientation::Horizontal)
            continue;
        const std::vector<std::int64_t> at = acrossStarts(lane);
        const std::int64_t width = lane.width;
        const std::int64_t low = *std::min_element(at.begin(), at.end());
        const std::int64_t high = *std::max_element(at.begin(), at.end()) + width - 1;
        const int y0 = int(std::max<std::int64_t>(low, 0));
        const int y1 = int(std::min<std::int64_t>(high, h - 1));
        const int x0 = std::max(lane.first, 0), x1 = std::min(lane.last, w - 1);
        std::vector<double>& sums = measures[l].profile;
        for (int y = y0; y <= y1 && x0 <= x1; ++y) {
            withRow(picture, y, channel, [&](const auto* line, auto value) {
                for (int x = x0; x <= x1; ++x) {
                    const std::size_t i = std::size_t(x - lane.first);
                    if (y >= at[i] && y < at[i] + width)
                        sums[i] += double(value(line[x])) - fullScale;
                }
            });
        }
    }
}

template <typename T> std::optional<T> refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

} // namespace

double LaneStrip::centreAt(int along) const
{
    if (path.empty())
        return 0;
    if (along <= alongOf(path.front(), orientation))
        return acrossOf(path.front(), orientation);
    for (std::size_t i = 1; i < path.size(); ++i) {
        const int a0 = alongOf(path[i - 1], orientation), a1 = alongOf(path[i], orientation);
        if (along <= a1) {
            const double t = a1 > a0 ? double(along - a0) / (a1 - a0) : 1.0;
            const double c0 = acrossOf(path[i - 1], orientation);
            return c0 + t * (acrossOf(path[i], orientation) - c0);
        }
    }
    return acrossOf(path.back(), orientation);
}

int LaneStrip::acrossStart(int along) const
{
    return int(std::ceil(centreAt(along) - 0.5 * width));
}

FoundFrame LaneStrip::bounds() const
{
    if (isEmpty())
        return FoundFrame{};
    // The centre line is straight between its points, so it lies furthest to either side
    // at the lane's ends or at a point.
    std::vector<int> alongs{first, last};
    for (const QPoint& p : path) {
        if (alongOf(p, orientation) > first && alongOf(p, orientation) < last)
            alongs.push_back(alongOf(p, orientation));
    }
    int low = std::numeric_limits<int>::max(), high = std::numeric_limits<int>::min();
    for (int along : alongs) {
        low = std::min(low, acrossStart(along));
        high = std::max(high, acrossStart(along) + width - 1);
    }
    if (orientation == LaneOrientation::Horizontal)
        return FoundFrame{first, low, last - first, high - low};
    return FoundFrame{low, first, high - low, last - first};
}

bool LaneStrip::holds(const FrameGeometry& frame) const
{
    if (isEmpty())
        return false;
    const PixelSpan span = framePixels(frame);
    if (span.isEmpty())
        return false;
    const bool horizontal = orientation == LaneOrientation::Horizontal;
    const std::int64_t a0 = horizontal ? span.x0 : span.y0, a1 = horizontal ? span.x1 : span.y1;
    const std::int64_t c0 = horizontal ? span.y0 : span.x0, c1 = horizontal ? span.y1 : span.x1;
    if (a0 < first || a1 > last)
        return false;
    const int middle = int((a0 + a1) / 2);
    const double centre = 0.5 * double(c0 + c1);
    const int start = acrossStart(middle);
    return centre >= start && centre <= start + width - 1;
}

LaneStrip LaneStrip::straight(const FoundFrame& frame, LaneOrientation orientation)
{
    LaneStrip lane;
    lane.orientation = orientation;
    const bool horizontal = orientation == LaneOrientation::Horizontal;
    lane.first = horizontal ? frame.left : frame.top;
    lane.last = lane.first + (horizontal ? frame.width : frame.height);
    lane.width = (horizontal ? frame.height : frame.width) + 1;
    // ceil(centre - width / 2) is the frame's first pixel across for a whole centre.
    const int centre = (horizontal ? frame.top : frame.left) + lane.width / 2;
    lane.path = horizontal
                    ? std::vector<QPoint>{QPoint(lane.first, centre), QPoint(lane.last, centre)}
                    : std::vector<QPoint>{QPoint(centre, lane.first), QPoint(centre, lane.last)};
    return lane;
}

LaneStrip LaneStrip::of(const FoundLane& found, LaneOrientation orientation)
{
    LaneStrip lane = straight(found.frame, orientation);
    if (!found.path.empty())
        lane.path = found.path;
    return lane;
}

std::optional<LaneBackground> parseLaneBackground(const QString& text, QString* error)
{
    const QStringList parts = text.toLower().split(QLatin1Char(':'));
    LaneBackground background;
    if (parts.size() == 1 && parts.at(0) == QLatin1String("minima")) {
        background.kind = LaneBackground::Kind::Minima;
        return background;
    }
    if (parts.size() == 1 && parts.at(0) == QLatin1String("none")) {
        background.kind = LaneBackground::Kind::None;
        return background;
    }
    if (parts.size() == 2 && parts.at(0) == QLatin1String("ball")) {
        bool ok = false;
        const int radius = parts.at(1).toInt(&ok);
        if (!ok || radius < BackgroundMethod::MinBallRadius ||
            radius > BackgroundMethod::MaxBallRadius)
            return refuse<LaneBackground>(error,
                                          QStringLiteral("the ball's radius must be from %1 to %2")
                                              .arg(BackgroundMethod::MinBallRadius)
                                              .arg(BackgroundMethod::MaxBallRadius));
        background.kind = LaneBackground::Kind::RollingBall;
        background.ballRadius = radius;
        return background;
    }
    return refuse<LaneBackground>(
        error, QStringLiteral("unknown lane background \"%1\" (minima, ball:R or none)").arg(text));
}

QString laneBackgroundText(const LaneBackground& background)
{
    switch (background.kind) {
    case LaneBackground::Kind::Minima:
        return QStringLiteral("minima");
    case LaneBackground::Kind::RollingBall:
        return QStringLiteral("ball:%1").arg(background.ballRadius);
    case LaneBackground::Kind::None:
        break;
    }
    return QStringLiteral("none");
}

QString laneBackgroundLabel(const LaneBackground& background)
{
    if (background.kind == LaneBackground::Kind::RollingBall)
        return QStringLiteral("rolling ball %1").arg(background.ballRadius);
    return laneBackgroundText(background);
}

double LaneMeasure::signalAt(int along) const
{
    if (along < first || along > last())
        return 0;
    const std::size_t i = std::size_t(along - first);
    return profile[i] - baseline[i];
}

std::vector<LaneMeasure> measureLanes(const QImage& picture, const std::vector<LaneStrip>& lanes,
                                      Channel channel, const LaneBackground& background,
                                      bool darkBands)
{
    for (const LaneStrip& lane : lanes) {
        if (!lane.isEmpty() && std::int64_t(lane.last) - lane.first >= MaxPositions)
            throw Error(Error::Overflow,
                        QStringLiteral("Overflow: the lane is too long for a profile"));
    }
    QImage converted;
    const QImage& source = *measurable(picture, converted);
    const int fullScale = channelFullScale(source);
    std::vector<LaneMeasure> measures(lanes.size());
    readStrips(source, lanes, channel, measures);
    for (std::size_t l = 0; l < lanes.size(); ++l) {
        LaneMeasure& measure = measures[l];
        measure.first = lanes[l].first;
        measure.darkBands = darkBands;
        if (lanes[l].isEmpty())
            continue;
        measure.across = lanes[l].width;
        for (double& value : measure.profile) {
            // The mean as the lane scans take it: the exact sum over the samples across.
            const double mean = value / double(measure.across);
            value = darkBands ? fullScale - mean : mean;
        }
        switch (background.kind) {
        case LaneBackground::Kind::Minima:
            measure.baseline = minimaBaseline(measure.profile);
            break;
        case LaneBackground::Kind::RollingBall:
            measure.baseline =
                rollingBallBaseline(measure.profile, background.ballRadius, fullScale / 255.0);
            break;
        case LaneBackground::Kind::None:
            measure.baseline.assign(measure.profile.size(), 0.0);
            break;
        }
        // Summed as a band's volume is, so the whole lane's volume is its total exactly.
        double sum = 0;
        for (std::size_t i = 0; i < measure.profile.size(); ++i)
            sum += measure.profile[i] - measure.baseline[i];
        measure.total = sum * measure.across;
    }
    return measures;
}

LaneMeasure measureLane(const QImage& picture, const LaneStrip& lane, Channel channel,
                        const LaneBackground& background, bool darkBands)
{
    return measureLanes(picture, {lane}, channel, background, darkBands).front();
}

std::vector<int> bandPeaks(const LaneMeasure& measure, const std::vector<FoundFrame>& bands,
                           LaneOrientation orientation)
{
    std::vector<int> peaks;
    peaks.reserve(bands.size());
    const bool horizontal = orientation == LaneOrientation::Horizontal;
    for (const FoundFrame& band : bands) {
        if (measure.isEmpty()) {
            peaks.push_back(measure.first);
            continue;
        }
        const std::int64_t from = horizontal ? band.left : band.top;
        const std::int64_t to = from + (horizontal ? band.width : band.height);
        const int a = int(std::clamp<std::int64_t>(from, measure.first, measure.last()));
        const int b = int(std::clamp<std::int64_t>(to, measure.first, measure.last()));
        int best = a;
        for (int k = a + 1; k <= b; ++k) {
            if (measure.signalAt(k) > measure.signalAt(best))
                best = k;
        }
        peaks.push_back(best);
    }
    return peaks;
}

std::vector<BandBounds> bandBoundaries(const LaneMeasure& measure, const std::vector<int>& peaks)
{
    std::vector<BandBounds> bounds(peaks.size());
    if (measure.isEmpty())
        return bounds;
    const int n = int(peaks.size());
    // Where the signal first falls to the baseline from a peak, walking one way: the band
    // ends at the sample before.
    auto fall = [&](int peak, int step, int limit) {
        int k = peak;
        while (k != limit && measure.signalAt(k + step) > 0)
            k += step;
        return k;
    };
    for (int i = 0; i < n; ++i) {
        const int peak = std::clamp(peaks[std::size_t(i)], measure.first, measure.last());
        bounds[std::size_t(i)].from =
            i == 0 ? fall(peak, -1, measure.first) : bounds[std::size_t(i)].from;
        if (i + 1 == n) {
            bounds[std::size_t(i)].to = fall(peak, 1, measure.last());
            continue;
        }
        const int next = std::clamp(peaks[std::size_t(i + 1)], peak, measure.last());
        // The lowest signal between the two peaks.
        int valley = peak;
        for (int k = peak + 1; k <= next; ++k) {
            if (measure.signalAt(k) < measure.signalAt(valley))
                valley = k;
        }
        if (valley != peak && valley != next && measure.signalAt(valley) <= 0) {
            // The signal meets the baseline between them: each band ends where it does.
            bounds[std::size_t(i)].to = fall(peak, 1, valley);
            bounds[std::size_t(i + 1)].from = fall(next, -1, valley);
        } else {
            // Bands that touch: a drop line at the valley, which the earlier band keeps.
            bounds[std::size_t(i)].to = valley;
            bounds[std::size_t(i + 1)].from = valley + 1;
        }
    }
    return bounds;
}

double bandVolume(const LaneMeasure& measure, const BandBounds& bounds)
{
    const int from = std::max(bounds.from, measure.first);
    const int to = std::min(bounds.to, measure.last());
    double sum = 0;
    for (int k = from; k <= to; ++k)
        sum += measure.signalAt(k);
    return sum * measure.across;
}

std::optional<QuantifyMode> parseQuantifyMode(const QString& text, QString* error)
{
    const QString name = text.toLower();
    if (name == QLatin1String("frame"))
        return QuantifyMode::Frame;
    if (name == QLatin1String("profile"))
        return QuantifyMode::Profile;
    if (name == QLatin1String("fit"))
        return QuantifyMode::Fit;
    return refuse<QuantifyMode>(
        error, QStringLiteral("unknown quantification \"%1\" (frame, profile or fit)").arg(text));
}

QString quantifyModeText(QuantifyMode mode)
{
    switch (mode) {
    case QuantifyMode::Frame:
        return QStringLiteral("frame");
    case QuantifyMode::Profile:
        return QStringLiteral("profile");
    case QuantifyMode::Fit:
        break;
    }
    return QStringLiteral("fit");
}

namespace {

// One peak per band fitted to the signal over the bands' whole extent and half as much
// again on either side, positions along as x, with a linear baseline for what the lane's
// baseline left.
LaneQuantity fitLane(const LaneMeasure& measure, LaneQuantity quantity, PeakShape shape)
{
    const std::vector<BandBounds>& bounds = quantity.bounds;
    if (bounds.empty())
        return quantity;
    const auto refuse = [&](const QString& reason) {
        quantity.ok = false;
        quantity.reason = reason;
        quantity.errors.clear();
        return quantity;
    };
    int from = std::numeric_limits<int>::max(), to = std::numeric_limits<int>::min();
    for (const BandBounds& band : bounds) {
        from = std::min(from, band.from);
        to = std::max(to, band.to);
    }
    // The fit sees the baseline on either side: the spans end where the signal meets it.
    const int margin = (to - from + 1) / 2;
    from = std::max(from - margin, measure.first);
    to = std::min(to + margin, measure.last());
    if (measure.isEmpty() || to < from)
        return refuse(QStringLiteral("The bands lie outside their lane's profile."));
    std::vector<double> x, y;
    x.reserve(std::size_t(to - from + 1));
    y.reserve(x.capacity());
    for (int k = from; k <= to; ++k) {
        x.push_back(k);
        y.push_back(measure.signalAt(k));
    }
    // Each band starts at its span's highest signal with its span's signal as its area.
    std::vector<PeakGuess> guesses;
    for (std::size_t b = 0; b < bounds.size(); ++b) {
        const int a0 = std::max(bounds[b].from, from), a1 = std::min(bounds[b].to, to);
        if (a1 < a0)
            return refuse(QStringLiteral("Band %1 lies outside its lane's profile.").arg(b + 1));
        PeakGuess guess;
        guess.centre = a0;
        double area = 0;
        for (int k = a0; k <= a1; ++k) {
            if (measure.signalAt(k) > measure.signalAt(int(guess.centre)))
                guess.centre = k;
            area += measure.signalAt(k);
        }
        // A span without signal above the baseline: the fit guesses from the height.
        guess.area = std::max(area, 0.0);
        guesses.push_back(guess);
    }
    PeakFitOptions options;
    options.shape = shape;
    options.baseline = FitBaseline::Linear;
    quantity.fit = fitPeaks(x, y, guesses, options);
    if (!quantity.fit.ok)
        return refuse(quantity.fit.reason);
    quantity.volumes.clear();
    quantity.errors.clear();
    for (const FittedPeak& peak : quantity.fit.peaks) {
        quantity.volumes.push_back(peak.area * measure.across);
        quantity.errors.push_back(peak.areaError * measure.across);
    }
    quantity.residual = quantity.fit.residualDeviation;
    return quantity;
}

} // namespace

LaneQuantity quantifyLane(const LaneMeasure& measure, const std::vector<BandBounds>& bounds,
                          QuantifyMode mode, PeakShape shape)
{
    LaneQuantity quantity;
    quantity.bounds = bounds;
    quantity.total = measure.total;
    quantity.errors.assign(bounds.size(), 0.0);
    if (mode == QuantifyMode::Fit)
        return fitLane(measure, quantity, shape);
    quantity.volumes.reserve(bounds.size());
    for (const BandBounds& band : bounds)
        quantity.volumes.push_back(bandVolume(measure, band));
    return quantity;
}

std::vector<std::pair<int, int>> touchingGroups(const std::vector<BandBounds>& bounds)
{
    std::vector<std::pair<int, int>> groups;
    for (int i = 0; i < int(bounds.size()); ++i) {
        if (!groups.empty() && bounds[std::size_t(i - 1)].to + 1 >= bounds[std::size_t(i)].from)
            groups.back().second = i;
        else
            groups.emplace_back(i, i);
    }
    return groups;
}

std::optional<double> percentOfLane(double volume, double total)
{
    if (!(total > 0))
        return std::nullopt;
    return 100.0 * volume / total;
}

MethodScan scanOnLaneBaseline(const QImage& picture, const FrameGeometry& frame, Channel channel,
                              const LaneMeasure& measure, LaneOrientation orientation)
{
    MethodScan result;
    const PixelSpan span = framePixels(frame);
    if (span.isEmpty()) {
        result.scan = integrateFrameCounted(picture, frame, channel, ChannelLevels{});
        return result;
    }
    if (measure.isEmpty()) {
        result.ok = false;
        result.reason = QStringLiteral("The lane has no profile to take a baseline from.");
        return result;
    }
    const bool horizontal = orientation == LaneOrientation::Horizontal;
    const std::int64_t a0 = horizontal ? span.x0 : span.y0, a1 = horizontal ? span.x1 : span.y1;
    // A baseline needs a value per position; single-precision positions are exact up to 2^24.
    if (a1 - a0 >= (std::int64_t(1) << 24))
        throw Error(Error::Overflow,
                    QStringLiteral("Overflow: the frame is too long for a lane baseline"));
    const double across = double(horizontal ? span.rows() : span.columns());
    const double fullScale = channelFullScale(picture);
    result.baseline.reserve(std::size_t(a1 - a0 + 1));
    double value = 0;
    for (std::int64_t a = a0; a <= a1; ++a) {
        // Each row (column) summed as the integration sums it, with the frame's own ends
        // across.
        const FrameGeometry line = horizontal ? FrameGeometry{float(a), frame.top, 0, frame.height}
                                              : FrameGeometry{frame.left, float(a), frame.width, 0};
        const ScanResult part = integrateFrameCounted(picture, line, channel, ChannelLevels{});
        result.scan.samples += part.samples;
        result.scan.atFullScale += part.atFullScale;
        result.scan.atZero += part.atZero;
        result.scan.offPicture += part.offPicture;
        // The lane's baseline here, level beyond its ends, in the picture's values.
        const int along = int(std::clamp<std::int64_t>(a, measure.first, measure.last()));
        const double b = measure.baseline[std::size_t(along - measure.first)];
        const double level = measure.darkBands ? fullScale - b : b;
        result.baseline.push_back(level);
        value += part.value - across * level;
    }
    result.scan.value = value;
    return result;
}

} // namespace kesto
