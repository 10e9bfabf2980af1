#pragma once

// Scroll-bar set-up for the picture viewport, one axis at a time. Scroll bars hold 16-bit
// values; a picture that exceeds the viewport by more than 32 767 pixels still scrolls
// over its whole extent because each scroll unit then stands for several pixels.

#include <cstdint>

namespace kesto {

struct ScrollSetup
{
    bool visible = false;
    std::int16_t maximum = 0;
    std::int16_t smallStep = 1;
    std::int16_t largeStep = 1;
    double pixelsPerUnit = 1.0; // picture pixels per scroll unit; above 1 only for d > 32767
};

// d = picture extent - viewport extent, in single precision. Hidden for d <= 0 (and NaN).
// Vertical: maximum = toInt16(d); small = toInt16(toInt32(d) / 100.0 + 1); large = the same
// with 3. Horizontal: maximum = toInt16(d); small = int(d / 100.0f) + 1; large =
// int(d / 3.0f) + 1. For d > 32767: maximum 32767, pixelsPerUnit = d / 32767, and steps in
// units that move as many pixels as the rules give (at least 1 unit). Throws
// Error(Overflow) for an infinite d.
ScrollSetup verticalScrollSetup(float d);
ScrollSetup horizontalScrollSetup(float d);

// How far the picture is moved for a scroll value, in whole pixels: value x pixelsPerUnit,
// rounded half to even; at the maximum this is the whole of d.
std::int32_t scrollOffset(const ScrollSetup& setup, int value);

} // namespace kesto
