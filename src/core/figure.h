#pragma once

// Figures: the picture as measured, shown at chosen display levels, with the lanes' labels
// above them, the ladder's sizes as ticks at the side, the found bands' outlines and a scale
// of the levels, written as PNG (the picture at its own resolution), SVG or PDF (vector text
// and outlines over the picture). One drawing serves every output, so the window, the batch
// command and the report show the same figure. The picture's counts are never changed: the
// levels only decide how they are shown, on the whole picture alike, and the file says them.

#include "core/displaylevels.h"
#include "core/error.h"
#include "core/lanequant.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QPainter;

namespace kesto {

class MeasurementSession;
class SampleTable;

enum class FigureLabels { None, Numbers, Samples };

struct FigureOptions
{
    QRect region;                                // picture pixels; empty: the whole picture
    FigureLabels labels = FigureLabels::Numbers; // Samples: the sample table's names
    bool sizeTicks = true;                       // the ladder lanes' sizes at the side
    bool bandOutlines = true;                    // the found bands' frames
    bool levelsScale = true;                     // a bar of counts as the levels show them
    bool caption = true;                         // a line under the figure stating the levels
    int dpi = 300;                               // written into the file; sets the text's size

    static constexpr int MinDpi = 50;
    static constexpr int MaxDpi = 2400;
};

// A size mark at the side of the figure: a ladder band's place along the lanes.
struct FigureTick
{
    double along = 0;     // picture rows (columns for horizontal lanes), pixel centres at .5
    QString text;         // "1000 bp"
    bool farSide = false; // the second ladder lane's ticks: right of the picture
};

// What a figure shows: the session's picture and overlays, in picture pixels.
struct FigureContent
{
    QImage picture;       // the counts as measured (inverted when the session inverted it)
    DisplayLevels levels; // as used: Auto already read off the picture
    QString pictureName;  // the file's name for the caption; "" for a pasted picture
    LaneOrientation orientation = LaneOrientation::Vertical;
    std::vector<double> laneCentres; // across, per lane, pixel centres at .5
    QStringList laneLabels;          // per lane
    std::vector<QRect> bands;        // outlines, both edges included as frames keep them
    std::vector<FigureTick> ticks;
};

// A figure that cannot be made as asked: the message says why.
class FigureError : public Error
{
public:
    explicit FigureError(const QString& message) : Error(Error::InvalidValue, message) {}
};

// The session's picture with its lanes, found bands and ladder sizes. Labels come from
// samples (its first blot) when options.labels is Samples, a lane without a name keeping its
// number. levels Auto are read off the picture. Throws FigureError when the session has no
// picture, the sample table names lanes the session does not have, or the region lies off
// the picture.
FigureContent figureContent(MeasurementSession& session, const DisplayLevels& levels,
                            const FigureOptions& options, const SampleTable* samples = nullptr);

// Where everything goes, in figure pixels (the picture's own: one figure pixel per picture
// pixel).
struct FigureLayout
{
    QSize size;
    QRect pictureArea;         // where the region's pixels sit, one to one
    QRect region;              // the picture's pixels shown
    int textPixels = 0;        // the text's height
    bool labelsTurned = false; // lane labels run upwards, being wider than the lanes
    QRect scaleArea;           // the levels bar
    QRect captionArea;
    QString caption;
};
FigureLayout figureLayout(const FigureContent& content, const FigureOptions& options);

// The 8-bit picture as the figure shows it: every count through the levels.
QImage figureRendering(const FigureContent& content);

// Draws the figure onto the painter in figure pixels, its top-left corner at 0,0.
void drawFigure(QPainter& painter, const FigureContent& content, const FigureOptions& options);

// "black 0, white 255, gamma 1"
QString figureLevelsText(const DisplayLevels& levels);

// The figure as a PNG picture: the picture at its own resolution, the DPI and the levels
// (text "Display levels") written into the file.
QImage figureImage(const FigureContent& content, const FigureOptions& options);

enum class FigureFormat { Png, Svg, Pdf };
// By the file name's ending (.png, .svg, .pdf, any letter case); nullopt for others.
std::optional<FigureFormat> figureFormatOf(const QString& path);

// Writes the figure to path (atomically) in the format its ending names. Throws FigureError
// for an ending that is none of them and Error(FileError) when the file cannot be written.
void writeFigure(const QString& path, const FigureContent& content, const FigureOptions& options);

} // namespace kesto
