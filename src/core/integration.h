#pragma once

// Band integration: how much one colour channel under the scan frame differs from the
// picked background, summed over every sample of the frame, edges included.

#include "core/channellevels.h"
#include "core/colors.h"

#include <QImage>
#include <QString>

#include <cstdint>

namespace kesto {

enum class Channel { Red, Green, Blue };

// The scan frame in picture pixels, single precision as the frame shape keeps it.
struct FrameGeometry
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// The pixels a frame covers: columns x0 = toInt32(left) to x1 = toInt32(left + width) and
// rows y0 = toInt32(top) to y1 = toInt32(top + height), both ends included. The far ends
// are summed in single precision first, as the frame's own measures are: left 0.1 and
// width 2.4 give 2.5 and column 2, where a double sum would give 3. Every measurement
// (integration, profiles, background methods) takes its pixels from here.
struct PixelSpan
{
    std::int64_t x0 = 0;
    std::int64_t x1 = -1;
    std::int64_t y0 = 0;
    std::int64_t y1 = -1;

    bool isEmpty() const { return x1 < x0 || y1 < y0; }
    std::int64_t columns() const { return x1 - x0 + 1; }
    std::int64_t rows() const { return y1 - y0 + 1; }
};
// Throws Error(Overflow) for a frame whose ends do not fit 32 bits.
PixelSpan framePixels(const FrameGeometry& frame);

// Colour value (0x00BBGGRR) of the picture's pixel at (x, y), both floored; -1 for a point
// outside the picture (or not a number).
ColorValue pixelAt(const QImage& picture, float x, float y);

// Where the channel's byte sits in a pixel of the 8-bit working picture (0xAARRGGBB).
int channelShift(Channel channel);

// The channel's byte of a colour value; -1 gives 255 in every channel.
int channelOf(ColorValue colour, Channel channel);

// Sums (channel of sample - channel of background) over columns x0 = toInt32(left) to
// x1 = toInt32(left + width) and rows y0 = toInt32(top) to y1 = toInt32(top + height),
// both ends included, the ends summed in single precision first. Samples outside the
// picture read -1, that is 255 in every channel. The sum is exact while it stays below
// 2^53 in size. Throws Error(Overflow) for a frame whose ends do not fit 32 bits.
double integrateFrame(const QImage& picture, const FrameGeometry& frame, Channel channel,
                      ColorValue background);

// The channel's value in a set of levels.
std::int32_t levelOf(const ChannelLevels& levels, Channel channel);

// One scan of a frame: the sum and what the samples were. Samples on the picture at the
// channel's full scale (255, or 65535 on a 16-bit picture) or at 0 say the true signal
// there may lie beyond what the picture recorded; samples off the picture count as full
// scale in the sum without being read.
struct ScanResult
{
    double value = 0;          // the sum, as integrateFrame gives it
    std::uint64_t samples = 0; // every sample of the frame, on and off the picture
    std::uint64_t atFullScale = 0;
    std::uint64_t atZero = 0;
    std::uint64_t offPicture = 0;

    bool flagged() const { return atFullScale != 0 || atZero != 0 || offPicture != 0; }
};

// integrateFrame with the counts, on a measurement picture of any depth (see
// deeppicture.h): the 8-bit working picture, Format_Grayscale16 (every channel reads the
// gray value) or Format_RGBX64, read at 16 bits. The background is in the picture's units.
// On an 8-bit picture, value equals integrateFrame(picture, frame, channel, colour) for
// levels == levelsOf(colour). Throws Error(Overflow) as integrateFrame does.
ScanResult integrateFrameCounted(const QImage& picture, const FrameGeometry& frame, Channel channel,
                                 const ChannelLevels& background);

// The counts as the window's tip and the sheet's note show them.
QString scanCountsText(const ScanResult& scan);

} // namespace kesto
