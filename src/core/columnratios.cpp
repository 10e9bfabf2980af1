#include "core/columnratios.h"

#include <cmath>
#include <limits>

namespace kesto {

std::int16_t clampedInt16(double value)
{
    if (std::isnan(value))
        return 0;
    // nearbyint follows the default rounding mode, round half to even.
    const double rounded = std::nearbyint(value);
    if (rounded <= double(std::numeric_limits<std::int16_t>::min()))
        return std::numeric_limits<std::int16_t>::min();
    if (rounded >= double(std::numeric_limits<std::int16_t>::max()))
        return std::numeric_limits<std::int16_t>::max();
    return std::int16_t(rounded);
}

std::vector<double> columnRatios(const std::vector<int>& widths, int innerWidth)
{
    std::vector<double> ratios;
    if (innerWidth <= 0)
        return ratios;
    ratios.reserve(widths.size());
    for (const int width : widths)
        ratios.push_back(double(clampedInt16(double(width))) / double(innerWidth));
    return ratios;
}

std::int16_t scaledColumnWidth(int innerWidth, double ratio)
{
    return clampedInt16(double(innerWidth) * ratio);
}

} // namespace kesto
