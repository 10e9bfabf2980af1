#include "app/scrollsetup.h"

#include "app/numbers.h"

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

constexpr double MaxUnits = 32767.0;

ScrollSetup scaled(float d, double smallPixels, double largePixels)
{
    ScrollSetup s;
    s.visible = true;
    if (double(d) <= MaxUnits) {
        s.maximum = toInt16(double(d));
        s.smallStep = toInt16(smallPixels);
        s.largeStep = toInt16(largePixels);
        return s;
    }
    // Too far for 16 bits: each unit stands for several pixels, so the whole picture
    // still scrolls and the steps move as many pixels as they would otherwise.
    s.pixelsPerUnit = double(d) / MaxUnits;
    s.maximum = std::int16_t(MaxUnits);
    s.smallStep = toInt16(std::clamp(smallPixels / s.pixelsPerUnit, 1.0, MaxUnits));
    s.largeStep = toInt16(std::clamp(largePixels / s.pixelsPerUnit, 1.0, MaxUnits));
    return s;
}

} // namespace

ScrollSetup verticalScrollSetup(float d)
{
    if (!(d > 0))
        return {};
    const double whole = double(toInt32(double(d)));
    return scaled(d, double(toInt32(whole / 100.0 + 1)), double(toInt32(whole / 3.0 + 1)));
}

ScrollSetup horizontalScrollSetup(float d)
{
    if (!(d > 0))
        return {};
    return scaled(d, std::trunc(double(d / 100.0f)) + 1, std::trunc(double(d / 3.0f)) + 1);
}

} // namespace kesto
