#include "core/scrollsetup.h"

#include "core/error.h"
#include "core/numbers.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

constexpr double MaxUnits = 32767.0;

enum class Axis { Vertical, Horizontal };

// The steps in pixels as each axis's rule computes them, before the 16-bit conversion:
// the vertical rule rounds half to even, the horizontal one cuts off in single precision.
double smallStepPixels(Axis axis, float d)
{
    if (axis == Axis::Vertical)
        return std::nearbyint(std::nearbyint(double(d)) / 100.0 + 1.0);
    return std::trunc(double(d / 100.0f)) + 1.0;
}

double largeStepPixels(Axis axis, float d)
{
    if (axis == Axis::Vertical)
        return std::nearbyint(std::nearbyint(double(d)) / 3.0 + 1.0);
    return std::trunc(double(d / 3.0f)) + 1.0;
}

std::int16_t unitsFor(double pixels, double pixelsPerUnit)
{
    return std::int16_t(std::clamp(std::nearbyint(pixels / pixelsPerUnit), 1.0, MaxUnits));
}

ScrollSetup scrollSetup(Axis axis, float d)
{
    ScrollSetup setup;
    if (!(d > 0.0f))
        return setup;
    if (std::isinf(d))
        throw Error(Error::Overflow,
                    QStringLiteral("Overflow: the picture is too large to scroll"));
    setup.visible = true;
    if (double(d) <= MaxUnits) {
        setup.maximum = toInt16(d);
        if (axis == Axis::Vertical) {
            setup.smallStep = toInt16(toInt32(d) / 100.0 + 1);
            setup.largeStep = toInt16(toInt32(d) / 3.0 + 1);
        } else {
            setup.smallStep = std::int16_t(int(d / 100.0f) + 1);
            setup.largeStep = std::int16_t(int(d / 3.0f) + 1);
        }
        return setup;
    }
    setup.maximum = std::int16_t(MaxUnits);
    setup.pixelsPerUnit = double(d) / MaxUnits;
    setup.smallStep = unitsFor(smallStepPixels(axis, d), setup.pixelsPerUnit);
    setup.largeStep = unitsFor(largeStepPixels(axis, d), setup.pixelsPerUnit);
    return setup;
}

} // namespace

ScrollSetup verticalScrollSetup(float d)
{
    return scrollSetup(Axis::Vertical, d);
}

ScrollSetup horizontalScrollSetup(float d)
{
    return scrollSetup(Axis::Horizontal, d);
}

std::int32_t scrollOffset(const ScrollSetup& setup, int value)
{
    return toInt32(double(value) * setup.pixelsPerUnit);
}

} // namespace kesto
