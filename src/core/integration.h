#pragma once

// Band integration: how much one colour channel under the scan frame differs from the
// picked background, summed over every sample of the frame, edges included.

#include "core/colors.h"

#include <QImage>

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

// Colour value (0x00BBGGRR) of the picture's pixel at (x, y), both floored; -1 for a point
// outside the picture (or not a number).
ColorValue pixelAt(const QImage& picture, float x, float y);

// The channel's byte of a colour value; -1 gives 255 in every channel.
int channelOf(ColorValue colour, Channel channel);

// Sums (channel of sample - channel of background) over columns x0 = toInt32(left) to
// x1 = toInt32(left + width) and rows y0 = toInt32(top) to y1 = toInt32(top + height),
// both ends included, the ends summed in single precision first. Samples outside the
// picture read -1, that is 255 in every channel. The sum is exact while it stays below
// 2^53 in size. Throws Error(Overflow) for a frame whose ends do not fit 32 bits.
double integrateFrame(const QImage& picture, const FrameGeometry& frame, Channel channel,
                      ColorValue background);

} // namespace kesto
