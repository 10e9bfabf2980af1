#pragma once

// The picture commands that need no window: inverting the picture's colours and the text
// that reports the picked background colour.

#include "core/colors.h"

#include <QImage>
#include <QString>

namespace kesto {

// Every red, green and blue byte c of the picture becomes 255 - c, in one pass over its
// memory; inverting twice restores every byte. A picture in another format than
// Format_RGB32 is converted into the working picture first. A null picture stays null.
void invertPicture(QImage& picture);

// The four lines, separated by LF, that report a background colour:
// "Background=" value " HEX: " hex, then "R=" r " (H" hex r ")", and the same for G and B.
// Decimal without leading zeros, hexadecimal in upper case without leading zeros.
QString backgroundText(ColorValue background);

} // namespace kesto
