#pragma once

// The program's shared procedures: colour arithmetic, centring a window and ending
// the program. They keep no state of their own.

#include "core/colors.h"

#include <QColor>

#include <cstdint>

class QWidget;

namespace kesto {

namespace Module1 {

// Splits a colour into its red, green and blue bytes (see splitColor).
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

// Twips per screen pixel (1440 / logical dpi, 15 at 96 dpi), horizontal and vertical.
double twipsPerPixelX(const QWidget* widget = nullptr);
double twipsPerPixelY(const QWidget* widget = nullptr);

} // namespace kesto
