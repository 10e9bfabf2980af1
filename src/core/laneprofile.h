#pragma once

// The lane profile: the mean of one channel across the scan frame at each of its rows (or
// columns), read exactly as the band integration reads the frame, so that the area between
// the profile and the background times the frame's width is the scan value.

#include "core/channellevels.h"
#include "core/integration.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace kesto {

enum class ProfileDirection {
    AlongRows,    // one value per row of the frame, averaged across its columns
    AlongColumns, // one value per column, averaged across its rows
};

struct LaneProfile
{
    // Picture coordinate of the first value: the frame's first row (or column).
    std::int64_t first = 0;
    // Number of samples each mean is taken over: the frame's width in columns for rows,
    // its height in rows for columns.
    std::int64_t across = 0;
    // Channel sum over the samples at each position, off-picture samples at 255, exact.
    std::vector<std::int64_t> sums;
    // sums[i] / across.
    std::vector<double> means;
    // The background's channel value.
    double background = 0;
    // Where the background is a baseline (the lane method), its value at each position;
    // empty for a level background.
    std::vector<double> baseline;

    // Sum over positions of (mean - background), times across: the scan value, computed
    // from the exact sums (under a baseline, the baseline's value at each position).
    double area() const;
};

// The profile of the frame [toInt32(left), toInt32(left + width)] x [toInt32(top),
// toInt32(top + height)], ends included, the ends summed in single precision as the
// integration does. An empty frame, or no picture, gives no values. Throws Error(Overflow) for a
// frame whose ends do not fit 32 bits and for a profile longer than the picture could ever be (more
// than 2^26 positions).
LaneProfile laneProfile(const QImage& picture, const FrameGeometry& frame, Channel channel,
                        ColorValue background, ProfileDirection direction);

// The same on a measurement picture of any depth (see deeppicture.h): on a 16-bit
// picture the sums are in its units and samples off it read 65535.
LaneProfile laneProfile(const QImage& picture, const FrameGeometry& frame, Channel channel,
                        const ChannelLevels& background, ProfileDirection direction);

// The profile as tab-separated text: a heading line ("Row" or "Column", "Mean",
// "Background"), then one line per position, lines ended by CR LF.
QString laneProfileText(const LaneProfile& profile, ProfileDirection direction);

} // namespace kesto
