#pragma once

// Measurement plans: a small text format that replays what a person does in the main
// window, one instruction a line, so that a gel can be measured again from a script.
//
//   # comment (also after an instruction)
//   channel red|green|blue       the channel tool
//   invert                       the Invert command (rescans the current frame)
//   background X Y               a click outside the frame: picks that pixel's colour
//                                and rescans the current frame
//   background-color R G B       the background colour given directly
//   cell ROW COLUMN              picks the working cell (COLUMN 2 "Band" or 3 "Int.Ctrl")
//   frame LEFT TOP WIDTH HEIGHT  places the scan frame and scans it into the working cell
//   background-method METHOD     how scans find their background: pixel, area:N,
//                                border:W:mean, border:W:median, lane:minima, lane:ball:R
//   picture "PATH" | clipboard   the picture the plan was made on (where to find it)
//   picture "PATH" page N        ... on page N (from 1) of a file of several pages
//   picture-sha256 HEX           its SHA-256: of the file's bytes, or of a pasted
//                                picture's pixels; replay refuses another picture
//   value ROW COLUMN "TEXT"      a value typed into a cell by hand
//   pasted-value ROW COLUMN "TEXT"  a value pasted into a cell
//   lane vertical|horizontal FIRST LAST WIDTH X,Y [X,Y ...]
//                                the lane the following lane scans and band volumes
//                                are taken on: its ends along, its width and the
//                                points of its centre line, in order along
//   no-lane                      no lane: lane methods take the frame's own rows
//   band-volume BACKGROUND light|dark FROM TO
//                                the volume of the band between FROM and TO on the
//                                lane's profile, over its baseline (minima, ball:R or
//                                none), into the working cell
//   fit-band BACKGROUND light|dark gaussian|emg K FROM TO [FROM TO ...]
//                                fits one peak per band given, together, and writes
//                                the K-th band's area into the working cell
//   ladder-lane ACROSS bp|kb|kDa RF:SIZE [RF:SIZE ...]
//                                a ladder lane at ACROSS across the gel: the Rf of each
//                                of its bands that stands for a size, with that size;
//                                each line adds a ladder lane
//   no-ladder                    no ladder lanes
//   size-fit point-to-point|linear|quadratic|cubic [extrapolate]
//                                the curve sizes are read on, and whether beyond the
//                                ladder
//   band-size ACROSS RF [ladder SIZE]
//                                the next value written is a band at RF in a lane at
//                                ACROSS (a ladder lane's band: the size it stands for);
//                                its size is read on the ladder lanes and kept with it
//   sample LANE "SAMPLE" "GROUP" REPLICATE ROLE [...]
//                                a row of the sample table (see core/resultsplan.h)
//   results KEY VALUE ...        how results are made: target, control, reference, ...
//   curve KEY VALUE ...          how the standards' curve is fitted: model, weighting, limit
//
// A value in double quotes may hold blanks and '#'; inside it \" is a quote, \\ a
// backslash, \t, \n and \r a tab, line feed and carriage return.
// Values are separated by blanks; frame measures and background points are singles,
// as the frame keeps them.

#include "core/backgroundmethod.h"
#include "core/channellevels.h"
#include "core/error.h"
#include "core/integration.h"
#include "core/lanequant.h"
#include "core/results.h"
#include "core/sampletable.h"
#include "core/sizecalibration.h"
#include "core/standardcurve.h"
#include "core/workingsheet.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace kesto {

// A plan line or a command-line value that cannot be used. The message starts with where
// it came from (file and line, or the option) and says what was expected.
class PlanError : public Error
{
public:
    explicit PlanError(const QString& message) : Error(Error::InvalidValue, message) {}
};

// A plan made on another picture than the one it is replayed on.
class PictureHashError : public PlanError
{
public:
    PictureHashError(const QString& message, const QByteArray& planned, const QByteArray& actual)
        : PlanError(message), expected(planned), found(actual)
    {
    }
    QByteArray expected;
    QByteArray found;
};

struct PlanStep
{
    enum class Kind {
        Channel,
        Invert,
        Background,
        BackgroundColor,
        Cell,
        Frame,
        BackgroundMethod,
        Picture,
        PictureSha256,
        Value,
        PastedValue,
        Lane,
        NoLane,
        BandVolume,
        FitBand,
        LadderLane,
        NoLadder,
        SizeFit,
        BandSize,
        Sample,
        Results,
        Stain,
        Pick,
        Curve
    };

    Kind kind = Kind::Frame;
    // "gel.plan:4" or "--frame 1,2,3,4": the prefix of every message about this step.
    QString where;
    Channel channel = Channel::Red;
    float x = 0; // background pick
    float y = 0;
    ColorValue colour = 0; // background-color
    ChannelLevels levels;  // background-color in picture units (on 8-bit pictures, colour's bytes)
    CellAddress cell;      // working cell
    FrameGeometry frame;
    BackgroundMethod method;       // background-method
    QString text; // picture, stain: the path ("" for clipboard); value: the cell's text
    QByteArray sha256;             // picture-sha256, lower-case hex
    int page = 0;                  // picture: the page of a file of several, from 1; 0 unsaid
    LaneStrip lane;                // lane
    LaneBackground laneBackground; // band-volume, fit-band
    bool darkBands = false;
    std::vector<BandBounds> bounds;
    int band = 0; // fit-band: which of the bands fitted, from 1
    PeakShape shape = PeakShape::Gaussian;
    SizeStandard standard; // ladder-lane
    SizeUnit unit = SizeUnit::BasePairs;
    kesto::SizeFit sizeFit = kesto::SizeFit::PointToPoint; // size-fit
    bool extrapolate = false;
    double across = 0; // band-size
    double rf = 0;
    std::optional<double> ladderSize;
    SampleRow sample;      // sample
    ResultOptions results; // results
    std::pair<int, std::vector<int>> pick; // pick: the lane and its bands, from 0
    CurveOptions curve;                    // curve
};

// The largest page number a plan or the command line names.
inline constexpr int MaxPicturePage = 65535;

struct MeasurementPlan
{
    std::vector<PlanStep> steps;
};

// The plan instructions' names, in the order the help lists them.
QStringList planInstructionNames();

// One instruction with its values, checked: numbers that are numbers, frames with finite
// non-negative sizes whose ends fit 32 bits, colour bytes 0 to 255, a working cell in
// column 2 or 3 of a row the sheet can hold. Throws PlanError prefixed with where.
// fullScale is the largest background-color value: 255, or 65535 for a 16-bit picture.
PlanStep parsePlanStep(const QString& instruction, const QStringList& values, const QString& where,
                       int fullScale = 255);

// The words of one plan line: blanks separate them, '#' outside quotes starts a comment,
// a quoted part keeps blanks and '#' and reads the escapes above. Throws PlanError
// prefixed with where for a quote that is not closed.
QStringList planLineWords(QStringView line, const QString& where);

// A lane's words after "lane": vertical|horizontal FIRST LAST WIDTH X,Y [X,Y ...]. Throws
// PlanError prefixed with where.
LaneStrip parseLaneStrip(const QStringList& values, const QString& where);

// Parses a whole plan; source names the file in messages. Throws PlanError naming the
// line of the first fault; a plan without instructions is refused too.
MeasurementPlan parseMeasurementPlan(QStringView text, const QString& source, int fullScale = 255);

// Reads and parses a plan file (UTF-8). Throws PlanError when it cannot be read.
MeasurementPlan readMeasurementPlan(const QString& path, int fullScale = 255);

// The largest plan file read, so that a picture passed by mistake is refused quickly.
inline constexpr qint64 MaxPlanBytes = 16 * 1024 * 1024;

} // namespace kesto
