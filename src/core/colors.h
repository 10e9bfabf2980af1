#pragma once

// Colour values as the program keeps them: 32-bit integers 0x00BBGGRR; a value with the
// top bit set names a system colour by its index in the low bits.

#include <cstdint>

namespace kesto {

using ColorValue = std::int32_t;

inline constexpr ColorValue SystemWindowBackground = ColorValue(0x80000005u);
inline constexpr ColorValue SystemWindowText = ColorValue(0x80000008u);
inline constexpr ColorValue SystemHighlight = ColorValue(0x8000000Du);
inline constexpr ColorValue SystemHighlightText = ColorValue(0x8000000Eu);
inline constexpr ColorValue SystemButtonFace = ColorValue(0x8000000Fu);
inline constexpr ColorValue SystemButtonShadow = ColorValue(0x80000010u);
inline constexpr ColorValue SystemButtonText = ColorValue(0x80000012u);
inline constexpr ColorValue System3DHighlight = ColorValue(0x80000014u);

inline constexpr ColorValue rgbValue(int red, int green, int blue)
{
    return ColorValue((blue & 0xFF) << 16 | (green & 0xFF) << 8 | (red & 0xFF));
}

// Splits a colour into its red, green and blue bytes; bits 24-31 are ignored, so -1
// (a read outside the picture) gives 255, 255, 255.
void splitColor(std::int16_t& red, std::int16_t& green, std::int16_t& blue, ColorValue colour);

} // namespace kesto
