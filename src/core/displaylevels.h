#pragma once

// Display levels: how a picture's counts become the 8-bit picture on the screen. They
// change only what is shown; measurements, read-outs and saved files keep the true counts.

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kesto {

// Counts at or below black show black, at or above white show white; between them the
// fraction t = (count - black) / (white - black) shows as 255 * t^(1 / gamma), so a gamma
// above 1 lightens the middle tones. automatic marks levels taken from the picture itself.
struct DisplayLevels
{
    bool automatic = false;
    int black = 0;
    int white = 255;
    double gamma = 1.0;

    bool operator==(const DisplayLevels& other) const
    {
        return automatic == other.automatic && black == other.black && white == other.white &&
               gamma == other.gamma;
    }
    bool operator!=(const DisplayLevels& other) const { return !(*this == other); }
};

// The picture's counts as they are: 0 to its full scale, gamma 1.
DisplayLevels identityLevels(const QImage& picture);
bool isIdentity(const DisplayLevels& levels, const QImage& picture);

// The smallest count whose cumulative share of the histogram reaches percent (0 to 100);
// 0 for an empty histogram.
int histogramPercentile(const std::vector<std::uint64_t>& histogram, double percent);

// The histogram of every channel's counts (one bin per count, 0 to full scale); a grey
// picture counts each pixel once, a colour one each of its three channels.
std::vector<std::uint64_t> pictureHistogram(const QImage& picture);

// Auto levels: black and white at the low and high percentiles of the picture's own
// histogram, leaving out clipped samples (at 0 or full scale, which carry no level and
// would pin white at full scale under one saturated band). gamma 1; white is always above
// black.
inline constexpr double AutoLowPercent = 0.5;
inline constexpr double AutoHighPercent = 99.0;
DisplayLevels autoDisplayLevels(const QImage& picture, double lowPercent = AutoLowPercent,
                                double highPercent = AutoHighPercent);

// The levels a picture opens with: Auto for a 16-bit picture, the identity for any other.
DisplayLevels defaultDisplayLevels(const QImage& picture);

// The 8-bit value a count shows as.
int screenLevel(int count, const DisplayLevels& levels);

// The 8-bit picture the screen shows at the levels (Format_Grayscale8 for a 16-bit grey
// picture, Format_RGB32 for any other), inverted for a WhiteIsZero picture; null when the
// picture is shown as it is (an 8-bit picture at the identity that is not WhiteIsZero).
QImage screenRendering(const QImage& picture, const DisplayLevels& levels);

// What the screen shows, as screenRendering but without a copy of an 8-bit gray picture:
// for one, a view of its own pixels through a colour table (Format_Indexed8), each pixel
// shown as screenRendering shows it. The view keeps the pixels it shows alive; a change to
// the picture afterwards copies the picture's pixels first, so render the view again.
QImage screenView(const QImage& picture, const DisplayLevels& levels);

// A gray screen picture (Format_Grayscale8, or a view of one as screenView makes it) reduced
// to `size` for a zoom below 100 %, as Format_Grayscale8 of one byte a pixel: each pixel the
// rounded mean of the shown levels of the source pixels that fall on it. Qt's smooth scaling
// would first copy the whole picture into 32-bit pixels. Null for any other picture, or a
// size that is empty or larger than the picture.
QImage reducedGrayView(const QImage& shown, const QSize& size);

// "auto", or "BLACK WHITE" with " GAMMA" when it is not 1: what the person types.
QString levelsText(const DisplayLevels& levels);
// The levels typed as "auto" or "BLACK WHITE [GAMMA]" for the picture, or the reason
// they cannot be used (error set, nullopt returned).
std::optional<DisplayLevels> parseLevels(const QString& text, const QImage& picture,
                                         QString* error);

} // namespace kesto
