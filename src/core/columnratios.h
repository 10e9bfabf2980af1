#pragma once

// Column widths that keep their share of the window width: the ratios are taken once,
// when the window loads, and applied to every later inner width.

#include <cstdint>
#include <vector>

namespace kesto {

// Rounds half to even and holds the result in 16 bits, clamping instead of overflowing
// (NaN gives 0).
std::int16_t clampedInt16(double value);

// width / innerWidth for each width, each width first held in 16 bits. An inner width
// of 0 or less gives no ratios, so nothing is resized from a meaningless table.
std::vector<double> columnRatios(const std::vector<int>& widths, int innerWidth);

// The width of a column with that ratio in a window of that inner width.
std::int16_t scaledColumnWidth(int innerWidth, double ratio);

} // namespace kesto
