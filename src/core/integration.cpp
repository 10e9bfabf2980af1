#include "core/integration.h"

#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kesto {

namespace {

// Every term of the sum is a whole number, so it is kept exactly in a 128-bit integer
// (even a frame of 2^32 x 2^32 samples cannot overflow it) and converted once.
__extension__ typedef __int128 Int128;

bool directlyReadable(const QImage& picture)
{
    return picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
}

bool isGray8(const QImage& picture)
{
    return picture.format() == QImage::Format_Grayscale8;
}

// A sample's channel value: on the working picture the channel's byte, on an 8-bit gray
// picture the byte itself, whichever channel.
struct WorkingSample
{
    int shift;
    std::uint32_t operator()(std::uint32_t p) const { return (p >> shift) & 0xFFu; }
};
struct GraySample
{
    std::uint32_t operator()(std::uint8_t p) const { return p; }
};

// Sum of one channel over the picture rectangle [x0, x1] x [y0, y1], which lies inside the
// picture. Rows are walked in memory order; a row's sum fits 32 bits for up to 2^24
// pixels, so the inner loop works on chunks of that size and stays cheap to vectorise.
template <typename Sample, typename Value>
std::uint64_t sumSamples(const QImage& picture, Value value, int x0, int x1, int y0, int y1)
{
    constexpr int Chunk = 1 << 24;
    std::uint64_t total = 0;
    for (int y = y0; y <= y1; ++y) {
        const auto* line = reinterpret_cast<const Sample*>(picture.constScanLine(y));
        for (int start = x0; start <= x1; start += Chunk) {
            const Sample* p = line + start;
            const int count = std::min(Chunk, x1 - start + 1);
            std::uint32_t rowSum = 0;
            for (int i = 0; i < count; ++i)
                rowSum += value(p[i]);
            total += rowSum;
        }
    }
    return total;
}

std::uint64_t sumChannel(const QImage& picture, int shift, int x0, int x1, int y0, int y1)
{
    if (isGray8(picture))
        return sumSamples<std::uint8_t>(picture, GraySample{}, x0, x1, y0, y1);
    return sumSamples<std::uint32_t>(picture, WorkingSample{shift}, x0, x1, y0, y1);
}

struct Tally
{
    std::uint64_t sum = 0;
    std::uint64_t atFullScale = 0;
    std::uint64_t atZero = 0;
};

// Sum and counts of one channel over [x0, x1] x [y0, y1] inside the picture, its samples
// read by `value(p)`. Each loop keeps 32-bit partial sums over chunks short enough not to
// overflow them, so the comparisons and the sum vectorise together.
template <typename Sample, typename Value>
Tally tallyEight(const QImage& picture, Value value, int x0, int x1, int y0, int y1)
{
    constexpr int Chunk = 1 << 24;
    Tally tally;
    for (int y = y0; y <= y1; ++y) {
        const auto* line = reinterpret_cast<const Sample*>(picture.constScanLine(y));
        for (int start = x0; start <= x1; start += Chunk) {
            const Sample* p = line + start;
            const int count = std::min(Chunk, x1 - start + 1);
            std::uint32_t sum = 0, full = 0, zero = 0;
            for (int i = 0; i < count; ++i) {
                const std::uint32_t c = value(p[i]);
                sum += c;
                full += c == 0xFFu;
                zero += c == 0u;
            }
            tally.sum += sum;
            tally.atFullScale += full;
            tally.atZero += zero;
        }
    }
    return tally;
}

Tally tallyWorking(const QImage& picture, int shift, int x0, int x1, int y0, int y1)
{
    if (isGray8(picture))
        return tallyEight<std::uint8_t>(picture, GraySample{}, x0, x1, y0, y1);
    return tallyEight<std::uint32_t>(picture, WorkingSample{shift}, x0, x1, y0, y1);
}

// The same for 16-bit samples, read by `value(line, i)` from each row.
template <typename Sample, typename Value>
Tally tallyDeep(const QImage& picture, Value value, int x0, int x1, int y0, int y1)
{
    // 65536 samples of at most 65535 still fit 32 bits.
    constexpr int Chunk = 1 << 16;
    Tally tally;
    for (int y = y0; y <= y1; ++y) {
        const auto* line = reinterpret_cast<const Sample*>(picture.constScanLine(y));
        for (int start = x0; start <= x1; start += Chunk) {
            const Sample* p = line + start;
            const int count = std::min(Chunk, x1 - start + 1);
            std::uint32_t sum = 0, full = 0, zero = 0;
            for (int i = 0; i < count; ++i) {
                const std::uint32_t c = value(p[i]);
                sum += c;
                full += c == 0xFFFFu;
                zero += c == 0u;
            }
            tally.sum += sum;
            tally.atFullScale += full;
            tally.atZero += zero;
        }
    }
    return tally;
}

int deepChannelShift(Channel channel)
{
    // QRgba64 keeps red in the low 16 bits, then green, blue and alpha.
    switch (channel) {
    case Channel::Red:
        return 0;
    case Channel::Green:
        return 16;
    case Channel::Blue:
        break;
    }
    return 32;
}

Tally tallyChannel(const QImage& picture, Channel channel, int x0, int x1, int y0, int y1)
{
    if (picture.format() == QImage::Format_Grayscale16)
        return tallyDeep<std::uint16_t>(
            picture, [](std::uint16_t v) { return std::uint32_t(v); }, x0, x1, y0, y1);
    if (picture.format() == QImage::Format_RGBX64) {
        const int shift = deepChannelShift(channel);
        return tallyDeep<std::uint64_t>(
            picture, [shift](std::uint64_t v) { return std::uint32_t((v >> shift) & 0xFFFFu); }, x0,
            x1, y0, y1);
    }
    return tallyWorking(picture, channelShift(channel), x0, x1, y0, y1);
}

} // namespace

int channelShift(Channel channel)
{
    switch (channel) {
    case Channel::Red:
        return 16;
    case Channel::Green:
        return 8;
    case Channel::Blue:
        break;
    }
    return 0;
}

ColorValue pixelAt(const QImage& picture, float x, float y)
{
    if (picture.isNull())
        return -1;
    // Written so that NaN compares false and reads as outside.
    if (!(x >= 0.0f && y >= 0.0f && double(x) < double(picture.width()) &&
          double(y) < double(picture.height())))
        return -1;
    const int column = std::min(int(std::floor(x)), picture.width() - 1);
    const int row = std::min(int(std::floor(y)), picture.height() - 1);
    QRgb pixel;
    if (isGray8(picture))
        pixel = qRgb(picture.constScanLine(row)[column], picture.constScanLine(row)[column],
                     picture.constScanLine(row)[column]);
    else if (directlyReadable(picture))
        pixel = reinterpret_cast<const QRgb*>(picture.constScanLine(row))[column];
    else
        pixel = picture.pixel(column, row);
    return rgbValue(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

int channelOf(ColorValue colour, Channel channel)
{
    std::int16_t red = 0, green = 0, blue = 0;
    splitColor(red, green, blue, colour);
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

PixelSpan framePixels(const FrameGeometry& frame)
{
    const float right = frame.left + frame.width;
    const float bottom = frame.top + frame.height;
    PixelSpan span;
    span.x0 = toInt32(frame.left);
    span.x1 = toInt32(right);
    span.y0 = toInt32(frame.top);
    span.y1 = toInt32(bottom);
    return span;
}

double integrateFrame(const QImage& picture, const FrameGeometry& frame, Channel channel,
                      ColorValue background)
{
    const PixelSpan span = framePixels(frame);
    if (span.isEmpty())
        return 0.0;
    const std::int64_t x0 = span.x0, x1 = span.x1, y0 = span.y0, y1 = span.y1;

    QImage converted;
    const QImage* source = &picture;
    if (!picture.isNull() && !directlyReadable(picture) && !isGray8(picture)) {
        converted = toWorkingImage(picture);
        source = &converted;
    }

    const Int128 samples = Int128(x1 - x0 + 1) * (y1 - y0 + 1);
    Int128 insideSamples = 0;
    Int128 insideSum = 0;
    if (!source->isNull()) {
        const std::int64_t cx0 = std::max<std::int64_t>(x0, 0);
        const std::int64_t cx1 = std::min<std::int64_t>(x1, source->width() - 1);
        const std::int64_t cy0 = std::max<std::int64_t>(y0, 0);
        const std::int64_t cy1 = std::min<std::int64_t>(y1, source->height() - 1);
        if (cx0 <= cx1 && cy0 <= cy1) {
            insideSamples = Int128(cx1 - cx0 + 1) * (cy1 - cy0 + 1);
            insideSum =
                sumChannel(*source, channelShift(channel), int(cx0), int(cx1), int(cy0), int(cy1));
        }
    }
    // Samples off the picture read -1: 255 in every channel, counted without reading.
    const Int128 outsideSamples = samples - insideSamples;
    const Int128 sum = insideSum + outsideSamples * 255 - samples * channelOf(background, channel);
    return double(sum);
}

std::int32_t levelOf(const ChannelLevels& levels, Channel channel)
{
    switch (channel) {
    case Channel::Red:
        return levels.red;
    case Channel::Green:
        return levels.green;
    case Channel::Blue:
        break;
    }
    return levels.blue;
}

ScanResult integrateFrameCounted(const QImage& picture, const FrameGeometry& frame, Channel channel,
                                 const ChannelLevels& background)
{
    const PixelSpan span = framePixels(frame);
    ScanResult result;
    if (span.isEmpty())
        return result;
    const std::int64_t x0 = span.x0, x1 = span.x1, y0 = span.y0, y1 = span.y1;

    QImage converted;
    const QImage* source = &picture;
    if (!picture.isNull() && !isDeepPicture(picture) && !directlyReadable(picture) &&
        !isGray8(picture)) {
        converted = toWorkingImage(picture);
        source = &converted;
    }
    const int fullScale = channelFullScale(*source);

    // Ends come from floats below 2^31, so a frame has fewer than 2^64 samples.
    const std::uint64_t samples = std::uint64_t(x1 - x0 + 1) * std::uint64_t(y1 - y0 + 1);
    std::uint64_t insideSamples = 0;
    Tally inside;
    if (!source->isNull()) {
        const std::int64_t cx0 = std::max<std::int64_t>(x0, 0);
        const std::int64_t cx1 = std::min<std::int64_t>(x1, source->width() - 1);
        const std::int64_t cy0 = std::max<std::int64_t>(y0, 0);
        const std::int64_t cy1 = std::min<std::int64_t>(y1, source->height() - 1);
        if (cx0 <= cx1 && cy0 <= cy1) {
            insideSamples = std::uint64_t(cx1 - cx0 + 1) * std::uint64_t(cy1 - cy0 + 1);
            inside = tallyChannel(*source, channel, int(cx0), int(cx1), int(cy0), int(cy1));
        }
    }
    result.samples = samples;
    result.offPicture = samples - insideSamples;
    result.atFullScale = inside.atFullScale;
    result.atZero = inside.atZero;
    const Int128 sum = Int128(inside.sum) + Int128(result.offPicture) * fullScale -
                       Int128(samples) * levelOf(background, channel);
    result.value = double(sum);
    return result;
}

QString scanCountsText(const ScanResult& scan)
{
    return QStringLiteral("%1 of %2 samples at full scale, %3 at 0, %4 off the picture")
        .arg(scan.atFullScale)
        .arg(scan.samples)
        .arg(scan.atZero)
        .arg(scan.offPicture);
}

} // namespace kesto
