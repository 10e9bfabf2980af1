#pragma once

// Finding lanes and their bands on a gel picture without a person placing frames: the
// picture is projected across the lanes to find them, and each lane's profile along it
// gives its bands as peaks above the lane's own baseline. Works on 8-bit pictures and on
// 16-bit ones (Grayscale16, RGBX64) at their full depth.

#include "core/integration.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <optional>
#include <vector>

namespace kesto {

enum class LaneOrientation { Vertical, Horizontal };
enum class BandContrast { Detect, DarkOnLight, LightOnDark };

// A frame as the window keeps it: both edges included, so width 39 covers 40 columns.
struct FoundFrame
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    FrameGeometry geometry() const
    {
        return FrameGeometry{float(left), float(top), float(width), float(height)};
    }
    friend bool operator==(const FoundFrame& a, const FoundFrame& b)
    {
        return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
    }
};

struct FoundLane
{
    FoundFrame frame;              // the lane from end to end
    std::vector<FoundFrame> bands; // in order along the lane
    // Per band: how many times its lane's noise the band stands above the lane's
    // background around it.
    std::vector<double> scores = {};
    // The lane's centre from end to end, through the middle of each band: a lane that
    // tilts or curves is followed.
    std::vector<QPoint> path = {};
};

struct LaneFinderOptions
{
    Channel channel = Channel::Red;
    LaneOrientation orientation = LaneOrientation::Vertical;
    // Detect: a picked background decides when there is one, else the picture's majority
    // level does; bands lie on the side of it the picture's far values lie on.
    BandContrast contrast = BandContrast::Detect;
    // The background's channel value in the picture's own units (0-255, or 0-65535 for a
    // 16-bit picture), when one was picked.
    std::optional<int> background;
    // A band's peak must stand this many times the profile's noise above its baseline.
    double bandThreshold = 6.0;
    // From 0 to 100: higher proposes fainter bands. A band is proposed when its score
    // reaches minimumBandScore(sensitivity).
    double sensitivity = DefaultSensitivity;
    static constexpr double DefaultSensitivity = 50;
};

struct LaneFinding
{
    std::vector<FoundLane> lanes; // left to right (top to bottom for horizontal lanes)
    bool darkOnLight = true;
    int background = 0; // the level that decided the contrast
};

// The channel's value of the pixel in the picture's own units, 0 to channelMaximum();
// -1 for a point outside the picture.
int channelValueAt(const QImage& picture, int x, int y, Channel channel);
// 65535 for a 16-bit picture, 255 otherwise.
int channelMaximum(const QImage& picture);

// The score a band needs at the sensitivity: halved for every 12.5 the sensitivity rises.
double minimumBandScore(double sensitivity);

// The finding with only the bands that reach the sensitivity's score; lanes left without
// bands stay, empty. A finding made at sensitivity 100 can be filtered so again and
// again without searching the picture again.
LaneFinding atSensitivity(const LaneFinding& finding, double sensitivity);

// A lane's whole profile along its path, less its background: at each position along the
// lane, the mean across the lane's width centred on its path (the path's points joined by
// straight lines), read so that bands are high whichever their contrast; the background
// is the same rolling baseline the finder measures bands from.
struct LaneTotal
{
    int first = 0;               // picture row (column for horizontal lanes) of profile[0]
    std::vector<double> profile; // the means, bands high
    std::vector<double> baseline;
    // The sum of profile - baseline times the lane's width: the lane's content in the
    // picture's channel units.
    double total = 0;
};

// The lane total of a lane the finder found on this picture, with the finding's contrast.
LaneTotal laneTotal(const QImage& picture, const FoundLane& lane, const LaneFinderOptions& options,
                    bool darkOnLight);

// Finds the lanes and bands inside the region (clipped to the picture; the whole picture
// for an empty region). Frames are in picture pixels. A picture with nothing standing
// out of its background gives no lanes. The gel itself is found inside the region first:
// dark borders around a light-on-dark gel (or light ones around a dark-on-light gel) and
// the gel's edges are left out. A band is proposed only where it stands out of its lane's
// own background by its score, reaches across most of the lane's width, and is not a
// line running through the spaces between the lanes as well (wells, the gel's edges).
LaneFinding findLanesAndBands(const QImage& picture, const QRect& region,
                              const LaneFinderOptions& options);

} // namespace kesto
