#pragma once

// Finding lanes and their bands on a gel picture without a person placing frames: the
// picture is projected across the lanes to find them, and each lane's profile along it
// gives its bands as peaks above the lane's own baseline. Works on 8-bit pictures and on
// 16-bit ones (Grayscale16, RGBX64) at their full depth.

#include "core/integration.h"

#include <QImage>
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
    FoundFrame frame;               // the lane from end to end
    std::vector<FoundFrame> bands;  // in order along the lane
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
};

struct LaneFinding
{
    std::vector<FoundLane> lanes;  // left to right (top to bottom for horizontal lanes)
    bool darkOnLight = true;
    int background = 0;            // the level that decided the contrast
};

// The channel's value of the pixel in the picture's own units, 0 to channelMaximum();
// -1 for a point outside the picture.
int channelValueAt(const QImage& picture, int x, int y, Channel channel);
// 65535 for a 16-bit picture, 255 otherwise.
int channelMaximum(const QImage& picture);

// Finds the lanes and bands inside the region (clipped to the picture; the whole picture
// for an empty region). Frames are in picture pixels. A picture with nothing standing
// out of its background gives no lanes.
LaneFinding findLanesAndBands(const QImage& picture, const QRect& region,
                              const LaneFinderOptions& options);

} // namespace kesto
