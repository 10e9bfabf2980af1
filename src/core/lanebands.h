#pragma once

// Reading lanes for a result: each lane's bands quantified as lane quantification does
// them, each value flagged where the picture cannot be trusted (samples clipped at the
// band's end of the scale), with a trace of where it came from; and the same lanes' totals
// read on a stain picture of the same membrane.

#include "core/lanequant.h"
#include "core/results.h"

#include <QImage>
#include <QSize>

#include <vector>

namespace kesto {

struct LaneReading
{
    Channel channel = Channel::Red;
    QuantifyMode mode =
        QuantifyMode::Profile; // Frame reads as Profile: values on the lane's baseline
    LaneBackground background;
    PeakShape shape = PeakShape::Gaussian;
    // Whether bands are darker than the background (read as full scale less each value).
    bool darkBands = true;
};

// The lanes' bands (per lane, in order along it) quantified on the picture: one LaneBands
// per strip, lane numbers from 0 in the strips' order, on the blot given. A band with a
// sample at the end of the scale its bands run to (0 for dark bands, full scale for light
// ones) is flagged saturated, and so is the lane's total when any of its samples is; a band
// a fit could not be made for has no volume and says why. Throws Error(Overflow) as
// measureLanes does.
std::vector<LaneBands> readLaneBands(const QImage& picture, const std::vector<LaneStrip>& strips,
                                     const std::vector<std::vector<FoundFrame>>& bands,
                                     const LaneReading& reading, int blot = 0);

// The same strips' totals read on the stain picture, into each lane's stainTotal (lanes and
// strips in the same order), flagged as lane totals are. The stain is read at the same
// place, so it must be the picture's size: throws ResultsError when its size is not
// `size`.
void readStainTotals(std::vector<LaneBands>& lanes, const QImage& stain, QSize size,
                     const std::vector<LaneStrip>& strips, const LaneReading& reading);

} // namespace kesto
