#pragma once

// The program's shared procedures: colour arithmetic, centring a window and ending
// the program. They keep no state of their own.

#include <QColor>

#include <cstdint>

class QWidget;

namespace kesto {

// Colour values are 32-bit integers 0x00BBGGRR; a value with the top bit set names a
// system colour by its index in the low bits.
using ColorValue = std::int32_t;

inline constexpr ColorValue SystemWindowBackground = ColorValue(0x80000005u);
inline constexpr ColorValue SystemWindowText = ColorValue(0x80000008u);
inline constexpr ColorValue SystemHighlight = ColorValue(0x8000000Du);
inline constexpr ColorValue SystemHighlightText = ColorValue(0x8000000Eu);
inline constexpr ColorValue SystemButtonFace = ColorValue(0x8000000Fu);
inline constexpr ColorValue SystemButtonShadow = ColorValue(0x80000010u);
inline constexpr ColorValue SystemButtonText = ColorValue(0x80000012u);
inline constexpr ColorValue System3DHighlight = ColorValue(0x80000014u);

namespace Module1 {

// Splits a colour into its red, green and blue bytes; bits 24-31 are ignored, so -1
// (a read outside the picture) gives 255, 255, 255.
void SplitColor(std::int16_t& red, std::int16_t& green, std::int16_t& blue, ColorValue colour);

// The current colour of a system-colour constant, taken from the application palette
// so that a palette change is followed. Throws Error for an index the program never uses.
ColorValue SystemColorToRGB(ColorValue colour);

// Centres the window on its screen (in twips, as the window's outer size is kept).
void CenterForm(QWidget* window);

// Unloads every top-level window in the application's window list order and ends the
// event loop. Safe to call again while it runs.
void EndProgram();

} // namespace Module1

// Colour-value helpers for the widgets: a system colour is resolved first.
QColor toQColor(ColorValue colour);
ColorValue fromQColor(const QColor& colour);
inline constexpr ColorValue rgbValue(int red, int green, int blue)
{
    return ColorValue((blue & 0xFF) << 16 | (green & 0xFF) << 8 | (red & 0xFF));
}

// Twips per screen pixel (1440 / logical dpi, 15 at 96 dpi), horizontal and vertical.
double twipsPerPixelX(const QWidget* widget = nullptr);
double twipsPerPixelY(const QWidget* widget = nullptr);

} // namespace kesto
