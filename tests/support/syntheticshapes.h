#pragma once

// The shapes every generated gel and blot is drawn with, so the two makers draw bands
// alike: a seeded normal deviate for noise, a lane's flat profile across with soft edges,
// and a raised-cosine bell along it.

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace kesto::test {

constexpr double Pi = 3.14159265358979323846;

// A normal deviate by the Box-Muller transform, from the seeded generator only, so a
// picture is the same on every machine.
inline double gaussian(QRandomGenerator& random)
{
    const double u = std::max(random.generateDouble(), 1e-12);
    const double v = random.generateDouble();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2 * Pi * v);
}

// Across a lane: flat, with edges that soften over a pixel and a half either side.
inline double acrossWeight(double distanceFromCentre, double halfWidth)
{
    const double outside = std::abs(distanceFromCentre) - halfWidth;
    if (outside <= -1.5)
        return 1;
    if (outside >= 1.5)
        return 0;
    return 0.5 * (1 - std::sin(Pi / 2 * outside / 1.5));
}

// Along a lane: a raised-cosine bell from its first row over its length, zero at both feet.
inline double alongWeight(double row, double top, double length)
{
    const double t = (row - top) / length;
    if (t <= 0 || t >= 1)
        return 0;
    return 0.5 * (1 - std::cos(2 * Pi * t));
}

} // namespace kesto::test
