#include "core/laneprofile.h"

#include "core/deeppicture.h"
#include "core/error.h"
#include "core/gelimage.h"
#include "core/numbers.h"

#include <QString>

#include <algorithm>
#include <cstdint>

namespace kesto {

namespace {

constexpr std::int64_t MaxPositions = std::int64_t(1) << 26;

} // namespace

double LaneProfile::area() const
{
    if (!baseline.empty()) {
        double total = 0;
        for (std::size_t i = 0; i < sums.size() && i < baseline.size(); ++i)
            total += double(sums[i]) - double(across) * baseline[i];
        return total;
    }
    __extension__ typedef __int128 Int128;
    Int128 total = 0;
    for (const std::int64_t sum : sums)
        total += sum;
    const auto backgroundValue = std::int64_t(background);
    total -= Int128(sums.size()) * across * backgroundValue;
    return double(total);
}

LaneProfile laneProfile(const QImage& picture, const FrameGeometry& frame, Channel channel,
                        ColorValue background, ProfileDirection direction)
{
    // The same pixels as the integration.
    const PixelSpan span = framePixels(frame);
    const std::int64_t x0 = span.x0, x1 = span.x1, y0 = span.y0, y1 = span.y1;

    LaneProfile profile;
    profile.background = channelOf(background, channel);
    const bool rows = direction == ProfileDirection::AlongRows;
    profile.first = rows ? y0 : x0;
    // Without a picture there is nothing to profile: no values, rather than a line of
    // off-picture samples.
    if (x1 < x0 || y1 < y0 || picture.isNull())
        return profile;
    const std::int64_t count = rows ? y1 - y0 + 1 : x1 - x0 + 1;
    profile.across = rows ? x1 - x0 + 1 : y1 - y0 + 1;
    if (count > MaxPositions)
        throw Error(Error::Overflow,
                    QStringLiteral("Overflow: the frame is too long for a profile"));

    QImage converted;
    const QImage* source = &picture;
    if (!picture.isNull() && picture.format() != QImage::Format_RGB32 &&
        picture.format() != QImage::Format_ARGB32 &&
        picture.format() != QImage::Format_Grayscale8) {
        converted = toWorkingImage(picture);
        source = &converted;
    }

    // Every position starts as if all its samples were off the picture (255 each); the
    // samples that lie on the picture then replace their 255 with what they read.
    profile.sums.assign(std::size_t(count), profile.across * 255);
    if (!source->isNull()) {
        const std::int64_t cx0 = std::max<std::int64_t>(x0, 0);
        const std::int64_t cx1 = std::min<std::int64_t>(x1, source->width() - 1);
        const std::int64_t cy0 = std::max<std::int64_t>(y0, 0);
        const std::int64_t cy1 = std::min<std::int64_t>(y1, source->height() - 1);
        const int shift = channelShift(channel);
        // A row's samples: the channel's byte of the working picture, or the gray byte.
        const auto addRows = [&]([[maybe_unused]] auto sample, auto value) {
            using Sample = decltype(sample);
            for (std::int64_t y = cy0; y <= cy1 && cx0 <= cx1; ++y) {
                const auto* line = reinterpret_cast<const Sample*>(source->constScanLine(int(y)));
                if (rows) {
                    // 32-bit partial sums over chunks of 2^24 pixels, as the integration adds
                    // them, so the loop vectorises the same way.
                    constexpr std::int64_t Chunk = std::int64_t(1) << 24;
                    std::uint64_t sum = 0;
                    for (std::int64_t start = cx0; start <= cx1; start += Chunk) {
                        const Sample* p = line + start;
                        const int n = int(std::min(Chunk, cx1 - start + 1));
                        std::uint32_t part = 0;
                        for (int i = 0; i < n; ++i)
                            part += value(p[i]);
                        sum += part;
                    }
                    profile.sums[std::size_t(y - y0)] += std::int64_t(sum) - (cx1 - cx0 + 1) * 255;
                } else {
                    std::int64_t* out = profile.sums.data() + (cx0 - x0);
                    for (std::int64_t x = cx0; x <= cx1; ++x)
                        out[x - cx0] += std::int64_t(value(line[x])) - 255;
                }
            }
        };
        if (source->format() == QImage::Format_Grayscale8)
            addRows(std::uint8_t(0), [](std::uint8_t v) { return std::uint32_t(v); });
        else
            addRows(std::uint32_t(0), [shift](std::uint32_t v) { return (v >> shift) & 0xFFu; });
    }
    profile.means.resize(profile.sums.size());
    for (std::size_t i = 0; i < profile.sums.size(); ++i)
        profile.means[i] = double(profile.sums[i]) / double(profile.across);
    return profile;
}

LaneProfile laneProfile(const QImage& picture, const FrameGeometry& frame, Channel channel,
                        const ChannelLevels& background, ProfileDirection direction)
{
    if (!isDeepPicture(picture))
        return laneProfile(picture, frame, channel,
                           rgbValue(background.red, background.green, background.blue), direction);
    // A 16-bit picture: each position is a one-row (or one-column) frame, summed by the
    // integration itself, so its reading rules hold by construction.
    LaneProfile profile;
    const PixelSpan span = framePixels(frame);
    const std::int64_t x0 = span.x0, x1 = span.x1, y0 = span.y0, y1 = span.y1;
    const bool rows = direction == ProfileDirection::AlongRows;
    profile.first = rows ? y0 : x0;
    profile.background = levelOf(background, channel);
    if (x1 < x0 || y1 < y0)
        return profile;
    const std::int64_t count = rows ? y1 - y0 + 1 : x1 - x0 + 1;
    profile.across = rows ? x1 - x0 + 1 : y1 - y0 + 1;
    if (count > MaxPositions)
        throw Error(Error::Overflow,
                    QStringLiteral("Overflow: the frame is too long for a profile"));
    profile.sums.reserve(std::size_t(count));
    for (std::int64_t i = 0; i < count; ++i) {
        const FrameGeometry line = rows ? FrameGeometry{frame.left, float(y0 + i), frame.width, 0}
                                        : FrameGeometry{float(x0 + i), frame.top, 0, frame.height};
        profile.sums.push_back(
            std::int64_t(integrateFrameCounted(picture, line, channel, ChannelLevels{}).value));
    }
    profile.means.resize(profile.sums.size());
    for (std::size_t i = 0; i < profile.sums.size(); ++i)
        profile.means[i] = double(profile.sums[i]) / double(profile.across);
    return profile;
}

QString laneProfileText(const LaneProfile& profile, ProfileDirection direction)
{
    const QString tab = QStringLiteral("\t");
    const QString end = QStringLiteral("\r\n");
    QString text = (direction == ProfileDirection::AlongRows ? QStringLiteral("Row")
                                                             : QStringLiteral("Column")) +
                   tab + QStringLiteral("Mean") + tab + QStringLiteral("Background") + end;
    const QString background = doubleText(profile.background);
    for (std::size_t i = 0; i < profile.means.size(); ++i)
        text += QString::number(profile.first + std::int64_t(i)) + tab +
                doubleText(profile.means[i]) + tab +
                (i < profile.baseline.size() ? doubleText(profile.baseline[i]) : background) + end;
    return text;
}

} // namespace kesto
