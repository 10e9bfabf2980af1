#pragma once

// The picture commands that need no window: inverting the picture's colours and the text
// that reports the picked background colour.

#include "core/channellevels.h"
#include "core/colors.h"

#include <QImage>
#include <QString>

namespace kesto {

// Every red, green and blue byte c of the picture becomes 255 - c, in one pass over its
// memory; inverting twice restores every byte. A picture in another format than
// Format_RGB32 is converted into the working picture first. A null picture stays null.
// A 16-bit measurement picture (Format_Grayscale16, Format_RGBX64) stays at its depth and
// every channel value v becomes 65535 - v.
void invertPicture(QImage& picture);

// The four lines, separated by LF, that report a background colour:
// "Background=" value " HEX: " hex, then "R=" r " (H" hex r ")", and the same for G and B.
// Decimal without leading zeros, hexadecimal in upper case without leading zeros.
QString backgroundText(ColorValue background);

// The same report for the background of a 16-bit picture, whose channels a colour value
// cannot hold: "Background (16 bits per channel)=" r "," g "," b, then "R=" r " (H" hex
// r ")" and the same for G and B.
QString backgroundText(const ChannelLevels& background);

} // namespace kesto
