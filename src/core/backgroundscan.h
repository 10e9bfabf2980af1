#pragma once

// A scan with the background found by the chosen method: the picked pixel (the plain
// integration), a picked area's mean, the frame's own border, or the lane's baseline
// along the frame's rows.

#include "core/backgroundmethod.h"
#include "core/integration.h"

#include <QImage>
#include <QString>

#include <vector>

namespace kesto {

// A background per channel in the picture's units; fractional where it is a mean.
struct BackgroundValues
{
    double red = 0;
    double green = 0;
    double blue = 0;

    double of(Channel channel) const;
    static BackgroundValues of(const ChannelLevels& levels);
};

// The mean of each channel over the size x size square centred on the pixel (x, y)
// (floored), clipped to the picture; the pixel's own values when size is 1. A point off
// the picture reads full scale, as a pick there does.
BackgroundValues areaMean(const QImage& picture, float x, float y, int size);

struct MethodScan
{
    ScanResult scan;
    // False when the method found no background (a border wholly off the picture); the
    // scan is then not to be used, and reason says why.
    bool ok = true;
    QString reason;
    // The background the scan subtracted from every sample (all but the lane baseline).
    double level = 0;
    // The lane baseline, one value per row of the frame (LaneBaseline only).
    std::vector<double> baseline;
};

// Scans the frame as integrateFrameCounted does, with the background the method gives:
// PickedPixel subtracts picked exactly as the plain integration does; PickedArea
// subtracts averaged (the mean taken at the pick); FrameBorder the mean or median of the
// samples in a band borderWidth wide just outside the frame, on the picture; LaneBaseline
// a baseline through the frame's row means, row by row. Samples off the picture keep
// reading full scale and are counted.
MethodScan scanWithMethod(const QImage& picture, const FrameGeometry& frame, Channel channel,
                          const ChannelLevels& picked, const BackgroundValues& averaged,
                          const BackgroundMethod& method);

} // namespace kesto
