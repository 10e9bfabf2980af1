#include "core/integration.h"

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

bool directlyReadable(const QImage& picture)
{
    return picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
}

// Sum of one channel over the picture rectangle [x0, x1] x [y0, y1], which lies inside the
// picture. Rows are walked in memory order; a row's sum fits 32 bits for up to 2^24
// pixels, so the inner loop works on chunks of that size and stays cheap to vectorise.
std::uint64_t sumChannel(const QImage& picture, int shift, int x0, int x1, int y0, int y1)
{
    constexpr int Chunk = 1 << 24;
    std::uint64_t total = 0;
    for (int y = y0; y <= y1; ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(picture.constScanLine(y));
        for (int start = x0; start <= x1; start += Chunk) {
            const std::uint32_t* p = line + start;
            const int count = std::min(Chunk, x1 - start + 1);
            std::uint32_t rowSum = 0;
            for (int i = 0; i < count; ++i)
                rowSum += (p[i] >> shift) & 0xFFu;
            total += rowSum;
        }
    }
    return total;
}

} // namespace

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
    if (directlyReadable(picture))
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

double integrateFrame(const QImage& picture, const FrameGeometry& frame, Channel channel,
                      ColorValue background)
{
    // The ends are summed in single precision, as the frame's own measures are: for left
    // 0.1 and width 2.4 that gives 2.5 and column 2, where a double sum would give 3.
    const float right = frame.left + frame.width;
    const float bottom = frame.top + frame.height;
    const std::int64_t x0 = toInt32(frame.left);
    const std::int64_t x1 = toInt32(right);
    const std::int64_t y0 = toInt32(frame.top);
    const std::int64_t y1 = toInt32(bottom);
    if (x1 < x0 || y1 < y0)
        return 0.0;

    QImage converted;
    const QImage* source = &picture;
    if (!picture.isNull() && !directlyReadable(picture)) {
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

} // namespace kesto
