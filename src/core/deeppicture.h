#pragma once

// Pictures measured at their own depth. A measurement picture is either the 8-bit working
// picture (Format_RGB32, exactly as toWorkingImage makes it), an 8-bit gray one
// (Format_Grayscale8, red = green = blue, read as the working picture of the same pixels
// reads, at a quarter of its memory) or a 16-bit one: Format_Grayscale16 (red = green =
// blue) or Format_RGBX64. The screen shows an 8-bit rendering of a 16-bit picture;
// measurements never read that rendering.

#include "core/channellevels.h"

#include <QImage>
#include <QString>

namespace kesto {

// True for the two 16-bit measurement formats.
bool isDeepPicture(const QImage& picture);

// 65535 on a 16-bit picture, 255 on any other.
int channelFullScale(const QImage& picture);

// True for the formats Qt decodes 16-bit files into (grayscale, RGB with or without alpha).
bool isDeepFormat(QImage::Format format);

// True for formats with floating-point channels, which are not measured.
bool isFloatFormat(QImage::Format format);

// The measurement picture of any picture: a 16-bit or 8-bit grayscale picture stays as it
// is, an 8-bit palette picture of opaque grays becomes Format_Grayscale8 in place, a 16-bit
// colour one becomes Format_RGBX64 (alpha composited over white, at 16 bits), every other
// picture becomes the 8-bit working picture. A null picture stays null.
QImage toMeasurementImage(QImage picture);

// The channel values of the pixel at (x, y), both floored, in the picture's units; a point
// outside the picture (or not a number) reads full scale in every channel. On an 8-bit
// picture this is levelsOf(pixelAt(...)).
ChannelLevels levelsAt(const QImage& picture, float x, float y);

// What a picture carries about its file, as QImage text (kept through copies and format
// conversions): its polarity when the file stores dark as high counts, and its page in a
// file of several pages.
inline constexpr char PolarityTextKey[] = "KestoPolarity";
inline constexpr char WhiteIsZeroText[] = "WhiteIsZero";
inline constexpr char PageTextKey[] = "KestoPage";

// True for a picture whose file says 0 is white (TIFF PhotometricInterpretation 0): its
// values are the stored counts, and the screen shows it inverted.
bool isWhiteIsZero(const QImage& picture);
// "WhiteIsZero" or "BlackIsZero".
QString polarityText(const QImage& picture);
// The page of a file of several pages the picture came from (from 1), else 0.
int picturePage(const QImage& picture);

// The 8-bit picture the screen shows for a 16-bit one (Format_Grayscale8 or Format_RGB32,
// each channel's top eight bits), inverted for a WhiteIsZero picture of any depth; null
// for any other picture, which is shown as it is.
QImage screenRendering(const QImage& picture);

// 65535 when the file's header announces 16 bits per channel (on the given page, from 1;
// 0 for the first), else 255 (also when the file cannot be read: loading reports that).
int fileChannelFullScale(const QString& path, int page = 0);

} // namespace kesto
