#pragma once

// Gels drawn with their truth, to test the lane and band finder against: lanes with
// bell-shaped bands and soft edges, an uneven background, noise, lanes that tilt and
// curve by a few pixels, faint bands and touching ones, in 8 or 16 bits, dark bands on a
// light background or light bands on a dark one. Uses Qt Gui only, so the sample
// generator can draw the same gels.

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

namespace kesto::test {

struct SyntheticGelLayout
{
    enum class Depth { Rgb8, Gray16, Rgb16 };

    int width = 640;
    int height = 420;
    int lanes = 10;
    int laneWidth = 40;
    Depth depth = Depth::Rgb8;
    bool darkOnLight = true;
    double noise = 0.012;     // standard deviation, in parts of the full scale
    double unevenness = 0.06; // the background's rise and fall, in parts of the full scale
    double tilt = 3;          // pixels the lanes lean from top to bottom
    double curve = 3;         // pixels the outer lanes bow out at their ends
    double smile = 0;         // rows the middle lanes' bands run further than the outer ones'
    quint32 seed = 1;
};

struct SyntheticGel
{
    QImage picture;
    QList<QRect> lanes;        // each lane's columns from its top to its bottom
    QList<QList<QRect>> bands; // per lane, top to bottom; each the band's bounding box
    QList<QRect> cut;          // bands cut by the picture's edge: neither to find nor false
};

SyntheticGel makeSyntheticGel(const SyntheticGelLayout& layout);

// A dilution series: one band per lane, each band's height proportional to its lane's amount
// (heightPerAmount parts of the full scale per unit of amount), a raised-cosine bell of
// bandLength rows, flat across the lane with soft edges, on a flat background 0.1 of the full
// scale from its end (0.9 for dark bands on light, 0.1 for light bands on dark). A band
// higher than the 0.9 left to the scale's end is cut off there: it saturates. Lanes are
// laneWidth wide, 1.5 laneWidth apart; bands[lane] holds the band's box.
struct DilutionLayout
{
    QList<double> amounts;
    double heightPerAmount = 0.05;
    int laneWidth = 24;
    int bandLength = 30;
    SyntheticGelLayout::Depth depth = SyntheticGelLayout::Depth::Rgb8;
    bool darkOnLight = true;
    double noise = 0.002;
    quint32 seed = 1;
};

SyntheticGel makeDilutionGel(const DilutionLayout& layout);

// The gel turned by the angle (clockwise, in degrees) about its centre and cut to the part
// the turned picture covers throughout. The truth is the bounding boxes of the turned
// bands the cut leaves whole, those it cuts go to `cut`; a lane the cut leaves less than
// half of is left out.
SyntheticGel rotated(const SyntheticGel& gel, double degrees);

// The gel turned a quarter so its lanes run left to right; the truth turns with it.
SyntheticGel transposed(const SyntheticGel& gel);

// The truth as tab-separated text: a header, then LANE BAND LEFT TOP WIDTH HEIGHT per band,
// frames with both edges included.
QString truthText(const SyntheticGel& gel);

} // namespace kesto::test
