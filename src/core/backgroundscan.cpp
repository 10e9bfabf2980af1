#include "core/backgroundscan.h"

#include "core/deeppicture.h"
#include "core/error.h"
#include "core/numbers.h"

#include <QRect>

#include <algorithm>
#include <cmath>

namespace kesto {

double BackgroundValues::of(Channel channel) const
{
    switch (channel) {
    case Channel::Red:
        return red;
    case Channel::Green:
        return green;
    case Channel::Blue:
        break;
    }
    return blue;
}

BackgroundValues BackgroundValues::of(const ChannelLevels& levels)
{
    return BackgroundValues{double(levels.red), double(levels.green), double(levels.blue)};
}

namespace {

// A rectangle of whole pixels as a frame: both ends included.
FrameGeometry pixelFrame(const QRect& r)
{
    return FrameGeometry{float(r.left()), float(r.top()), float(r.width() - 1),
                         float(r.height() - 1)};
}

// The frame's pixels, clamped to a little past the picture so that a border around it
// stays within int: beyond that margin nothing the border takes changes.
QRect frameSpan(const FrameGeometry& frame, const QImage& picture)
{
    const PixelSpan span = framePixels(frame);
    if (span.isEmpty())
        return QRect();
    const std::int64_t x0 = span.x0, x1 = span.x1, y0 = span.y0, y1 = span.y1;
    constexpr std::int64_t margin = BackgroundMethod::MaxBorder + 1;
    const auto clampX = [&](std::int64_t x) {
        return int(std::clamp<std::int64_t>(x, -margin, picture.width() + margin));
    };
    const auto clampY = [&](std::int64_t y) {
        return int(std::clamp<std::int64_t>(y, -margin, picture.height() + margin));
    };
    return QRect(QPoint(clampX(x0), clampY(y0)), QPoint(clampX(x1), clampY(y1)));
}

MethodScan subtractLevel(const QImage& picture, const FrameGeometry& frame, Channel channel,
                         double level)
{
    MethodScan result;
    result.scan = integrateFrameCounted(picture, frame, channel, ChannelLevels{});
    result.level = level;
    result.scan.value -= double(result.scan.samples) * level;
    return result;
}

MethodScan borderScan(const QImage& picture, const FrameGeometry& frame, Channel channel,
                      const BackgroundMethod& method)
{
    const QRect span = frameSpan(frame, picture);
    const int w = method.borderWidth;
    const QRect outer = span.adjusted(-w, -w, w, w);
    const QRect strips[] = {
        QRect(QPoint(outer.left(), outer.top()), QPoint(outer.right(), span.top() - 1)),
        QRect(QPoint(outer.left(), span.bottom() + 1), QPoint(outer.right(), outer.bottom())),
        QRect(QPoint(outer.left(), span.top()), QPoint(span.left() - 1, span.bottom())),
        QRect(QPoint(span.right() + 1, span.top()), QPoint(outer.right(), span.bottom())),
    };
    double sum = 0;
    std::uint64_t count = 0;
    std::vector<double> values;
    for (const QRect& strip : strips) {
        const QRect on = span.isNull() ? QRect() : strip.intersected(picture.rect());
        if (on.isEmpty())
            continue;
        if (method.statistic == BackgroundMethod::Statistic::Mean) {
            const ScanResult part =
                integrateFrameCounted(picture, pixelFrame(on), channel, ChannelLevels{});
            sum += part.value;
            count += part.samples;
        } else {
            for (int y = on.top(); y <= on.bottom(); ++y)
                for (int x = on.left(); x <= on.right(); ++x)
                    values.push_back(levelOf(levelsAt(picture, float(x), float(y)), channel));
            count += std::uint64_t(on.width()) * std::uint64_t(on.height());
        }
    }
    if (count == 0) {
        MethodScan refused;
        refused.ok = false;
        refused.reason =
            QStringLiteral("The frame's border lies wholly off the picture: there is no "
                           "background to take.");
        return refused;
    }
    const double level = method.statistic == BackgroundMethod::Statistic::Mean ? sum / double(count)
                                                                               : medianOf(values);
    return subtractLevel(picture, frame, channel, level);
}

MethodScan laneScan(const QImage& picture, const FrameGeometry& frame, Channel channel,
                    const BackgroundMethod& method)
{
    MethodScan result;
    const PixelSpan span = framePixels(frame);
    const std::int64_t x0 = span.x0, x1 = span.x1, y0 = span.y0, y1 = span.y1;
    if (span.isEmpty()) {
        result.scan = integrateFrameCounted(picture, frame, channel, ChannelLevels{});
        return result;
    }
    // A baseline needs a value per row; single-precision rows are exact up to 2^24.
    if (y1 - y0 >= (std::int64_t(1) << 24))
        throw Error(Error::Overflow,
                    QStringLiteral("Overflow: the frame is too tall for a lane baseline"));
    // Each row summed as the integration sums it, with the frame's own column ends.
    std::vector<double> sums(std::size_t(y1 - y0 + 1));
    std::vector<double> means(sums.size());
    const double across = double(x1 - x0 + 1);
    for (std::int64_t y = y0; y <= y1; ++y) {
        const FrameGeometry row{frame.left, float(y), frame.width, 0};
        const ScanResult part = integrateFrameCounted(picture, row, channel, ChannelLevels{});
        const std::size_t i = std::size_t(y - y0);
        sums[i] = part.value;
        means[i] = part.value / across;
        result.scan.samples += part.samples;
        result.scan.atFullScale += part.atFullScale;
        result.scan.atZero += part.atZero;
        result.scan.offPicture += part.offPicture;
    }
    result.baseline =
        method.baseline == BackgroundMethod::Baseline::Minima
            ? minimaBaseline(means)
            : rollingBallBaseline(means, method.ballRadius, channelFullScale(picture) / 255.0);
    double value = 0;
    for (std::size_t i = 0; i < sums.size(); ++i)
        value += sums[i] - across * result.baseline[i];
    result.scan.value = value;
    return result;
}

} // namespace

BackgroundValues areaMean(const QImage& picture, float x, float y, int size)
{
    if (!(x >= 0 && y >= 0 && double(x) < picture.width() && double(y) < picture.height()) ||
        size <= 1)
        return BackgroundValues::of(levelsAt(picture, x, y));
    const int half = size / 2;
    const QRect square = QRect(int(std::floor(x)) - half, int(std::floor(y)) - half, size, size)
                             .intersected(picture.rect());
    const FrameGeometry area = pixelFrame(square);
    const double count = double(square.width()) * double(square.height());
    return BackgroundValues{
        integrateFrameCounted(picture, area, Channel::Red, ChannelLevels{}).value / count,
        integrateFrameCounted(picture, area, Channel::Green, ChannelLevels{}).value / count,
        integrateFrameCounted(picture, area, Channel::Blue, ChannelLevels{}).value / count};
}

MethodScan scanWithMethod(const QImage& picture, const FrameGeometry& frame, Channel channel,
                          const ChannelLevels& picked, const BackgroundValues& averaged,
                          const BackgroundMethod& method)
{
    switch (method.kind) {
    case BackgroundMethod::Kind::PickedPixel: {
        MethodScan result;
        result.scan = integrateFrameCounted(picture, frame, channel, picked);
        result.level = levelOf(picked, channel);
        return result;
    }
    case BackgroundMethod::Kind::PickedArea:
        return subtractLevel(picture, frame, channel, averaged.of(channel));
    case BackgroundMethod::Kind::FrameBorder:
        return borderScan(picture, frame, channel, method);
    case BackgroundMethod::Kind::LaneBaseline:
        return laneScan(picture, frame, channel, method);
    }
    return {};
}

} // namespace kesto
