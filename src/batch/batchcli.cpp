#include "batch/batchcli.h"
#include "batch/batchcommon.h"
#include "batch/figurecli.h"
#include "batch/resultscli.h"

#include "core/deeppicture.h"
#include "core/expression.h"
#include "core/gelimage.h"
#include "core/ladders.h"
#include "core/lanefinder.h"
#include "core/lanequant.h"
#include "core/measurementplan.h"
#include "core/measurementsession.h"
#include "core/numbers.h"
#include "core/reporttable.h"
#include "core/sheetdata.h"
#include "core/sheetfiles.h"
#include "core/sheetlayout.h"
#include "core/sizecalibration.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <utility>

namespace kesto {

using namespace batch;

namespace {

const char* const MeasureUsage =
    "Usage: kestoscan measure PICTURE [--channel red|green|blue] [--invert]\n"
    "                         [--background X,Y | --background-color R,G,B]\n"
    "                         [--background-method METHOD]\n"
    "                         --frame LEFT,TOP,WIDTH,HEIGHT [--frame ...] [--output FILE]\n"
    "                         [--details] [--page N]\n"
    "       kestoscan measure [PICTURE] --plan FILE [--ignore-hash] [--output FILE]\n"
    "                         [--details] [--page N]\n"
    "\n"
    "Measures bands on a gel picture without opening a window, with the same arithmetic\n"
    "as the window.\n"
    "\n"
    "Quick form: prints the scan value of each frame on its own line. The picture is\n"
    "inverted first (--invert), then the background is picked, then the frames are\n"
    "scanned in order into the Band column of rows 1, 2, ...\n"
    "  --channel C                 red (the default), green or blue\n"
    "  --invert                    inverts the picture's colours\n"
    "  --background X,Y            the background is the colour of pixel X,Y\n"
    "  --background-color R,G,B    the background colour itself (default 0,0,0)\n"
    "  --background-method METHOD  how scans find their background: pixel (the picked\n"
    "                              colour, the default), area:N (the mean of the N x N\n"
    "                              square around the picked pixel, N odd), border:W:mean\n"
    "                              or border:W:median (the band W pixels wide, 1 to 10,\n"
    "                              just outside each frame), lane:minima or lane:ball:R\n"
    "                              (a baseline along each frame's row means, through its\n"
    "                              minima or under a ball of radius R)\n"
    "  --frame L,T,W,H             a scan frame; both edges are included, so width 39\n"
    "                              covers 40 columns\n"
    "\n"
    "A 16-bit picture is measured at 16 bits: scan values, picked backgrounds and\n"
    "background colours are in its units (0 to 65535). A TIFF is measured in the\n"
    "values it stores, also one whose 0 is white (WhiteIsZero, as many imagers write).\n"
    "  --page N                    measures page N (from 1) of a file of several pages,\n"
    "                              such as a multi-page TIFF; a plan made on a page\n"
    "                              says which, and is replayed on that page\n"
    "\n"
    "Plan form: replays a plan file, one instruction a line (# starts a comment):\n"
    "  channel red|green|blue, invert, background X Y, background-color R G B,\n"
    "  cell ROW COLUMN (COLUMN 2 = Band, 3 = Int.Ctrl), frame LEFT TOP WIDTH HEIGHT,\n"
    "  background-method METHOD, picture \"PATH\" [page N], picture-sha256 HEX,\n"
    "  value ROW COLUMN \"TEXT\", pasted-value ROW COLUMN \"TEXT\"\n"
    "and prints the resulting sheet (#, Band, Int.Ctrl, % to Ctrl) as tab-separated text.\n"
    "A plan saved by the window (File > Save Measurement Plan) replays its sheet; one\n"
    "made on another picture (another SHA-256) is refused. Without PICTURE the plan's\n"
    "own pictures are opened in turn, each checked against its SHA-256 (a relative path\n"
    "is looked for beside the plan too); with PICTURE, a plan of one picture is replayed\n"
    "on it.\n"
    "\n"
    "  --ignore-hash               replays a plan on a picture whose SHA-256 differs\n"
    "  --output FILE               writes the sheet to FILE instead: .xlsx, .csv, or\n"
    "                              .txt/.tsv for tab-separated text; a workbook also\n"
    "                              gets the sheet \"Measurements\": where each value came\n"
    "                              from (picture, SHA-256, channel, background, frame)\n"
    "  --details                   prints instead, for each frame, one tab-separated line:\n"
    "                              the scan value, the frame's samples, the samples at\n"
    "                              full scale, at 0, and off the picture\n"
    "\n"
    "A JPEG picture gives a warning on standard error: its values are approximate.\n"
    "Exit status: 0 done, 1 a picture or file could not be read or written, 2 bad\n"
    "arguments or a bad plan. Nothing is written when anything fails.\n";

const char* const ReportUsage =
    "Usage: kestoscan report INPUT [--output FILE]\n"
    "\n"
    "Reads a report table (#, Description, Type, Scan (rel.units), and optionally\n"
    "Expression (%)) from a CSV file (.csv) or tab-separated text (any other name),\n"
    "fills Expression (%) for every band in per cent of its series' control row, as the\n"
    "report window's Calculate does, and prints the table as tab-separated text. A first\n"
    "line whose Scan column is not a number is a header and is kept.\n"
    "\n"
    "  --output FILE               writes the table to FILE instead: .xlsx, .csv, or\n"
    "                              .txt/.tsv for tab-separated text\n"
    "\n"
    "Exit status: 0 done, 1 the table could not be read or written, 2 bad arguments or\n"
    "a file that is not a report table. Nothing is written when anything fails.\n";

const char* const LanesUsage =
    "Usage: kestoscan lanes PICTURE [--channel red|green|blue] [--invert]\n"
    "                       [--background X,Y | --background-color R,G,B] [--horizontal]\n"
    "                       [--control-band K] [--sensitivity S] [--output FILE]\n"
    "                       [--page N] [--quantify frame|profile|fit]\n"
    "                       [--lane-background minima|ball:R|none]\n"
    "                       [--ladder-lane N --ladder SIZES]... [--extrapolate]\n"
    "                       [--size-fit point-to-point|linear|quadratic|cubic]\n"
    "\n"
    "Finds the lanes on a gel picture and the bands in each lane, and scans every band\n"
    "found with the same arithmetic as the window. Prints one tab-separated line per band:\n"
    "  LANE BAND LEFT TOP WIDTH HEIGHT SCAN\n"
    "lanes numbered from 1 left to right (top to bottom with --horizontal), bands from 1\n"
    "top to bottom (left to right). LEFT TOP WIDTH HEIGHT is the band's frame with both\n"
    "edges included, as --frame of the measure command takes it; SCAN its scan value.\n"
    "  --channel C                 red (the default), green or blue\n"
    "  --invert                    inverts the picture's colours first\n"
    "  --background X,Y            the background is the colour of pixel X,Y\n"
    "  --background-color R,G,B    the background colour itself\n"
    "                              Either tells the finder which side of the background\n"
    "                              the bands lie on; without one it takes the picture's\n"
    "                              most common level. Scans subtract the background as\n"
    "                              measure does (0,0,0 when none is given).\n"
    "  --horizontal                lanes run from left to right\n"
    "  --page N                    reads page N (from 1) of a file of several pages\n"
    "  --control-band K            marks the K-th band of every lane as its control in\n"
    "                              the report table (default: no control)\n"
    "  --sensitivity S             from 0 to 100 (default 50): higher proposes fainter\n"
    "                              bands. A band is proposed where it stands out of its\n"
    "                              lane's background by a score of its lane's noise; the\n"
    "                              score needed halves for every 12.5 the sensitivity\n"
    "                              rises\n"
    "  --quantify Q                frame (the default): SCAN is the band's frame scanned\n"
    "                              over the background, as above. profile: SCAN is the\n"
    "                              band's volume on its lane's profile, the sum of\n"
    "                              (profile - the lane's baseline) times the lane's width\n"
    "                              between the band's boundaries (drop lines at the\n"
    "                              valleys between neighbouring bands, or where the\n"
    "                              profile meets the baseline). fit: SCAN is the area of\n"
    "                              a Gaussian peak fitted to each band, times the lane's\n"
    "                              width. Bands count high whichever their contrast (dark\n"
    "                              bands on a light gel give positive volumes), in the\n"
    "                              picture's units. Each line then has two more columns:\n"
    "                              LANE_TOTAL, the lane's whole content above its\n"
    "                              baseline, and PERCENT_OF_LANE, the band's volume in\n"
    "                              per cent of it (empty when the total is not above 0).\n"
    "                              Bands that touch are fitted together, bands standing\n"
    "                              apart each alone. Where a fit cannot be made, its\n"
    "                              bands' SCAN and PERCENT_OF_LANE are empty (in the report\n"
    "                              table too) and a warning on standard error names the\n"
    "                              lane, the bands and why; the other bands are measured\n"
    "                              and the exit status stays 0\n"
    "  --lane-background B         the baseline under each lane's whole profile, with\n"
    "                              profile or fit: minima (the default, straight lines\n"
    "                              through the profile's valleys), ball:R (a ball of\n"
    "                              radius R rows, 1 to 10000, rolled under it) or none\n"
    "  --ladder-lane N             lane N (from 1) holds a size ladder, whose sizes the\n"
    "  --ladder SIZES              --ladder after it gives: sizes largest first separated\n"
    "                              by commas (10000,8000,6000) or a ladder's name (\"1 kb\n"
    "                              DNA\", \"100 bp DNA\", \"Broad-range protein\"). Up to two\n"
    "                              ladder lanes, each with its own --ladder. Each line then\n"
    "                              has two more columns: RF, how far the band's middle ran\n"
    "                              from the lane's first row as a share of the lane's\n"
    "                              length, and SIZE, read off a curve of log(size) against\n"
    "                              RF through the ladder's bands (with two ladder lanes,\n"
    "                              each ladder band's RF is interpolated across the gel to\n"
    "                              the lane's place first, which takes out a tilt). A\n"
    "                              ladder lane's bands take its sizes top to bottom: SIZE\n"
    "                              is the one assigned, empty for a band left over. A\n"
    "                              warning on standard error says where the count of\n"
    "                              bands differs from the count of sizes\n"
    "  --size-fit F                the curve: point-to-point (the default, a monotone\n"
    "                              interpolation through every ladder band), linear,\n"
    "                              quadratic or cubic (least squares)\n"
    "  --extrapolate               also sizes bands beyond the ladder's first and last\n"
    "                              bands (SIZE is otherwise empty for them); a note on\n"
    "                              standard error names each lane's extrapolated bands\n"
    "  --output FILE               also writes the report table (#, Description \"Lane N\",\n"
    "                              Type, Scan (rel.units), Expression (%)) to FILE:\n"
    "                              .xlsx, .csv, or .txt/.tsv for tab-separated text; its\n"
    "                              Scan is SCAN\n"
    "\n"
    "Exit status: 0 done (also when no band is found), 1 a picture or file could not be\n"
    "read or written, 2 bad arguments. Nothing is written when anything fails.\n";

// The --output file and the type its name asks for; none for standard output.
std::optional<std::pair<QString, SheetFileType>> outputOf(const QCommandLineParser& parser,
                                                          const QString& command)
{
    if (!parser.isSet(QStringLiteral("output")))
        return std::nullopt;
    const QString path = parser.value(QStringLiteral("output"));
    const std::optional<SheetFileType> type = sheetFileTypeOf(path);
    if (!type)
        throw Failure{BatchUsage,
                      QStringLiteral("--output \"%1\": expected a file name ending in .xlsx, "
                                     ".csv, .txt or .tsv")
                              .arg(path) +
                          tryHelp(command)};
    return std::make_pair(path, *type);
}

// The page to replay a plan on: the one its picture line names (a plan made on a file's
// first picture names none), which a --page given too must agree with unless the plan is
// replayed on another picture.
int planPage(const MeasurementPlan& plan, int given, bool ignoreHash)
{
    for (const PlanStep& step : plan.steps) {
        if (step.kind != PlanStep::Kind::Picture)
            continue;
        const int made = step.page;
        if (given != 0 && qMax(1, made) != given && !ignoreHash)
            throw PlanError(step.where +
                            QStringLiteral(": the plan was made on page %1 of its picture, not "
                                           "on page %2 (--page); --ignore-hash replays it on "
                                           "another picture")
                                .arg(qMax(1, made))
                                .arg(given));
        return given != 0 ? given : made;
    }
    return given;
}

// The quick form's options as the plan a person's clicks would make.
MeasurementPlan quickPlan(const QCommandLineParser& parser, int fullScale)
{
    auto option = [&](const char* name) { return QLatin1String(name); };
    auto where = [](const char* name, const QString& value) {
        return QStringLiteral("--%1 \"%2\"").arg(QLatin1String(name), value);
    };
    auto values = [](const QString& value) { return value.split(QLatin1Char(',')); };
    MeasurementPlan plan = pictureSteps(parser, QStringLiteral("measure"), fullScale);
    // The method first: a pick takes the picked area's mean with it.
    if (parser.isSet(option("background-method"))) {
        const QString value = parser.value(option("background-method"));
        plan.steps.insert(plan.steps.begin(),
                          parsePlanStep(QStringLiteral("background-method"), {value},
                                        where("background-method", value)));
    }
    const QStringList frames = parser.values(option("frame"));
    if (frames.isEmpty())
        throw PlanError(
            QStringLiteral("expected at least one --frame LEFT,TOP,WIDTH,HEIGHT, or --plan FILE"));
    int row = 0;
    for (const QString& value : frames) {
        ++row;
        const QString at = where("frame", value);
        plan.steps.push_back(
            parsePlanStep(QStringLiteral("cell"), {QString::number(row), QStringLiteral("2")}, at));
        plan.steps.push_back(parsePlanStep(QStringLiteral("frame"), values(value), at));
    }
    return plan;
}

// Writes the sheet to the output file, or returns its tab-separated text for standard
// output. Throws Error when the file cannot be written.
QByteArray deliver(const SheetData& sheet,
                   const std::optional<std::pair<QString, SheetFileType>>& output)
{
    if (!output)
        return sheetTabText(sheet);
    writeSheetFile(sheet, output->first, output->second);
    return QByteArray();
}

// One line per scan: value, samples, at full scale, at 0, off the picture.
QByteArray detailLines(const std::vector<ScanResult>& scans)
{
    QByteArray lines;
    for (const ScanResult& scan : scans) {
        lines += doubleText(scan.value).toLatin1();
        for (std::uint64_t count : {scan.samples, scan.atFullScale, scan.atZero, scan.offPicture})
            lines += '\t' + QByteArray::number(quint64(count));
        lines += '\n';
    }
    return lines;
}

QByteArray runMeasure(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    const QString command = QStringLiteral("measure");
    QCommandLineParser parser;
    const QString value = QStringLiteral("value");
    const bool help =
        parse(parser, command, arguments,
              {QCommandLineOption(QStringLiteral("channel"), QString(), value),
               QCommandLineOption(QStringLiteral("invert")),
               QCommandLineOption(QStringLiteral("background"), QString(), value),
               QCommandLineOption(QStringLiteral("background-color"), QString(), value),
               QCommandLineOption(QStringLiteral("background-method"), QString(), value),
               QCommandLineOption(QStringLiteral("frame"), QString(), value),
               QCommandLineOption(QStringLiteral("plan"), QString(), value),
               QCommandLineOption(QStringLiteral("output"), QString(), value),
               QCommandLineOption(QStringLiteral("details")),
               QCommandLineOption(QStringLiteral("ignore-hash")),
               QCommandLineOption(QStringLiteral("page"), QString(), value)});
    if (help) {
        say(out, QLatin1String(MeasureUsage));
        return QByteArray();
    }
    expectOnce(parser, command,
               {QStringLiteral("channel"), QStringLiteral("background"),
                QStringLiteral("background-color"), QStringLiteral("background-method"),
                QStringLiteral("plan"), QStringLiteral("output"), QStringLiteral("page")});
    const bool planForm = parser.isSet(QStringLiteral("plan"));
    // A plan opens its own pictures when no PICTURE is named.
    const bool ownPictures = planForm && parser.positionalArguments().isEmpty();
    const QString picturePath =
        ownPictures ? QString() : onePositional(parser, command, QStringLiteral("PICTURE"));
    const auto output = outputOf(parser, command);

    const bool details = parser.isSet(QStringLiteral("details"));
    const bool ignoreHash = parser.isSet(QStringLiteral("ignore-hash"));
    int page = pageOf(parser, command);
    if (ownPictures && page != 0)
        throw Failure{BatchUsage, QStringLiteral("--page goes with a PICTURE: a plan opening its "
                                                 "own pictures names their pages") +
                                      tryHelp(command)};
    if (planForm && !ownPictures) {
        // The page a plan was made on decides before the picture's units are read.
        const MeasurementPlan pages =
            readMeasurementPlan(parser.value(QStringLiteral("plan")), 65535);
        page = planPage(pages, page, ignoreHash);
    }
    // Background colours are read in the picture's units, which its header tells; a plan
    // over its own pictures is read in 16-bit units and checked against each picture.
    const int fullScale = ownPictures ? 65535 : fileChannelFullScale(picturePath, page);
    MeasurementPlan plan;
    if (planForm) {
        for (const char* quick : {"channel", "invert", "background", "background-color",
                                  "background-method", "frame"}) {
            if (parser.isSet(QLatin1String(quick)))
                throw PlanError(QStringLiteral("--plan cannot be combined with --%1: put that step "
                                               "into the plan")
                                    .arg(QLatin1String(quick)));
        }
        plan = readMeasurementPlan(parser.value(QStringLiteral("plan")), fullScale);
    } else {
        plan = quickPlan(parser, fullScale);
    }

    const auto load = [&](const QString& path, int pageOfFile) {
        GelImageLoad loaded = checkedPicture(loadMeasurementPicture(path, pageOfFile), path);
        // Said, not refused: the numbers are still the ones the window gives on this picture.
        if (loaded.lossy)
            say(err, QStringLiteral("warning: %1 is JPEG-compressed (lossy): scan values are "
                                    "approximate\n")
                         .arg(path));
        return loaded;
    };
    ReplayOptions replay;
    replay.ignoreHash = ignoreHash;
    std::unique_ptr<MeasurementSession> owned;
    if (ownPictures) {
        owned = std::make_unique<MeasurementSession>();
        const QString planFolder = QFileInfo(parser.value(QStringLiteral("plan"))).absolutePath();
        replay.openPicture = [&](const PlanStep& step) {
            const QString path = planPicturePath(step, planFolder);
            GelImageLoad loaded = load(path, step.page);
            owned->setPicture(loaded.image, QFileInfo(path).absoluteFilePath());
        };
        bool named = false;
        for (const PlanStep& step : plan.steps)
            named = named || (step.kind == PlanStep::Kind::Picture && !step.text.isEmpty());
        if (!named)
            throw Failure{BatchUsage, QStringLiteral("the plan names no picture file: name the "
                                                     "PICTURE to replay it on") +
                                          tryHelp(command)};
    } else {
        GelImageLoad loaded = load(picturePath, page);
        owned = std::make_unique<MeasurementSession>(loaded.image);
        owned->setPicturePath(QFileInfo(picturePath).absoluteFilePath());
    }
    MeasurementSession& session = *owned;
    // Only a workbook carries the record, and with it the picture's hash: other outputs
    // take no hash unless the plan checks one.
    if (!output || output->second != SheetFileType::Excel)
        session.setRecording(false);
    const std::vector<ScanResult> counted = runMeasurementPlanCounted(session, plan, replay);

    // A workbook carries where every value came from as its second sheet.
    const auto deliverMeasured = [&]() -> QByteArray {
        if (!output || output->second != SheetFileType::Excel)
            return deliver(session.sheet(), output);
        SheetData measurements;
        fillMeasurementSheet(measurements, session.record());
        writeSheetFile(session.sheet(), &measurements, output->first, output->second);
        return QByteArray();
    };
    if (details) {
        deliverMeasured();
        return detailLines(counted);
    }
    if (planForm)
        return deliverMeasured();
    deliverMeasured();
    std::vector<double> scans;
    for (const ScanResult& scan : counted)
        scans.push_back(scan.value);
    QByteArray lines;
    for (double scan : scans)
        lines += doubleText(scan).toLatin1() + '\n';
    return lines;
}

QByteArray runLanes(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    const QString command = QStringLiteral("lanes");
    QCommandLineParser parser;
    const QString value = QStringLiteral("value");
    const bool help =
        parse(parser, command, arguments,
              {QCommandLineOption(QStringLiteral("channel"), QString(), value),
               QCommandLineOption(QStringLiteral("invert")),
               QCommandLineOption(QStringLiteral("background"), QString(), value),
               QCommandLineOption(QStringLiteral("background-color"), QString(), value),
               QCommandLineOption(QStringLiteral("horizontal")),
               QCommandLineOption(QStringLiteral("control-band"), QString(), value),
               QCommandLineOption(QStringLiteral("sensitivity"), QString(), value),
               QCommandLineOption(QStringLiteral("output"), QString(), value),
               QCommandLineOption(QStringLiteral("page"), QString(), value),
               QCommandLineOption(QStringLiteral("quantify"), QString(), value),
               QCommandLineOption(QStringLiteral("lane-background"), QString(), value),
               QCommandLineOption(QStringLiteral("ladder-lane"), QString(), value),
               QCommandLineOption(QStringLiteral("ladder"), QString(), value),
               QCommandLineOption(QStringLiteral("size-fit"), QString(), value),
               QCommandLineOption(QStringLiteral("extrapolate"))});
    if (help) {
        say(out, QLatin1String(LanesUsage));
        return QByteArray();
    }
    expectOnce(parser, command,
               {QStringLiteral("channel"), QStringLiteral("background"),
                QStringLiteral("background-color"), QStringLiteral("control-band"),
                QStringLiteral("sensitivity"), QStringLiteral("output"), QStringLiteral("page"),
                QStringLiteral("quantify"), QStringLiteral("lane-background"),
                QStringLiteral("size-fit")});
    const QString picturePath = onePositional(parser, command, QStringLiteral("PICTURE"));
    const Sizing sizing = sizingOf(parser, command);
    QuantifyMode mode = QuantifyMode::Frame;
    if (parser.isSet(QStringLiteral("quantify"))) {
        const QString text = parser.value(QStringLiteral("quantify"));
        QString why;
        const std::optional<QuantifyMode> parsed = parseQuantifyMode(text, &why);
        if (!parsed)
            throw Failure{BatchUsage, QStringLiteral("--quantify: ") + why + tryHelp(command)};
        mode = *parsed;
    }
    LaneBackground laneBackground;
    if (parser.isSet(QStringLiteral("lane-background"))) {
        const QString text = parser.value(QStringLiteral("lane-background"));
        QString why;
        const std::optional<LaneBackground> parsed = parseLaneBackground(text, &why);
        if (!parsed)
            throw Failure{BatchUsage, QStringLiteral("--lane-background \"%1\": ").arg(text) + why +
                                          tryHelp(command)};
        if (mode == QuantifyMode::Frame)
            throw Failure{BatchUsage,
                          QStringLiteral("--lane-background goes with --quantify profile or fit") +
                              tryHelp(command)};
        laneBackground = *parsed;
    }
    const double sensitivity = sensitivityOf(parser, command);
    const auto output = outputOf(parser, command);
    int controlBand = 0;
    if (parser.isSet(QStringLiteral("control-band"))) {
        const QString text = parser.value(QStringLiteral("control-band"));
        bool ok = false;
        controlBand = text.toInt(&ok);
        if (!ok || controlBand < 1)
            throw Failure{
                BatchUsage,
                QStringLiteral("--control-band \"%1\": expected a band number from 1").arg(text) +
                    tryHelp(command)};
    }
    const int page = pageOf(parser, command);
    const int fullScale = fileChannelFullScale(picturePath, page);
    const MeasurementPlan plan = pictureSteps(parser, command, fullScale);

    GelImageLoad load = checkedPicture(loadMeasurementPicture(picturePath, page), picturePath);
    MeasurementSession session(load.image);
    load.image = QImage();
    runMeasurementPlan(session, plan);

    const LaneFinderOptions options = finderOptionsOf(parser, session, sensitivity);
    const LaneFinding finding = findLanesAndBands(session.picture(), QRect(), options);

    // Sizes: each lane runs from its first row (the wells' end) to its last; a band's
    // place is its frame's middle. Positions are columns for lanes that run across.
    GelSizes sizes;
    if (!sizing.ladders.empty()) {
        for (const LadderLane& ladder : sizing.ladders)
            if (std::size_t(ladder.lane) >= finding.lanes.size())
                throw Failure{BatchUsage,
                              QStringLiteral("--ladder-lane %1: %2 %3 found")
                                  .arg(ladder.lane + 1)
                                  .arg(finding.lanes.size() == 0
                                           ? QStringLiteral("no")
                                           : QStringLiteral("only %1").arg(finding.lanes.size()))
                                  .arg(finding.lanes.size() == 1 ? QStringLiteral("lane was")
                                                                 : QStringLiteral("lanes were"))};
        const std::vector<SizedLane> sized = sizedLanes(finding, options.orientation);
        sizes = sizeGelBands(sized, sizing.ladders, sizing.fit, sizing.extrapolate);
        for (const QString& note : sizes.notes)
            say(err, QStringLiteral("warning: ") + note + QLatin1Char('\n'));
        for (std::size_t lane = 0; lane < sizes.bands.size(); ++lane) {
            QStringList beyond;
            for (std::size_t band = 0; band < sizes.bands[lane].size(); ++band)
                if (sizes.bands[lane][band].size && sizes.bands[lane][band].extrapolated)
                    beyond << QString::number(band + 1);
            if (!beyond.isEmpty())
                say(err, QStringLiteral("note: lane %1: %2 %3 extrapolated beyond the ladder\n")
                             .arg(lane + 1)
                             .arg(beyond.size() == 1 ? QStringLiteral("the size of band")
                                                     : QStringLiteral("the sizes of bands"))
                             .arg(beyond.join(QStringLiteral(", "))));
        }
    }

    QByteArray lines;
    QList<QStringList> table{{QStringLiteral("#"), QStringLiteral("Description"),
                              QStringLiteral("Type"), QStringLiteral("Scan (rel.units)"),
                              QStringLiteral("Expression (%)")}};
    // Every lane's profile, read in one pass over the picture.
    std::vector<LaneMeasure> measures;
    if (mode != QuantifyMode::Frame) {
        std::vector<LaneStrip> strips;
        for (const FoundLane& found : finding.lanes)
            strips.push_back(LaneStrip::of(found, options.orientation));
        measures = measureLanes(session.picture(), strips, session.channel(), laneBackground,
                                finding.darkOnLight);
    }
    for (std::size_t lane = 0; lane < finding.lanes.size(); ++lane) {
        const FoundLane& found = finding.lanes[lane];
        const std::vector<FoundFrame>& bands = found.bands;
        // On the lane's profile: volumes between the bands' boundaries, or fitted areas.
        LaneQuantity quantity;
        if (mode != QuantifyMode::Frame && !bands.empty()) {
            const LaneMeasure& measure = measures[lane];
            const std::vector<BandBounds> bounds =
                bandBoundaries(measure, bandPeaks(measure, bands, options.orientation));
            if (mode == QuantifyMode::Profile) {
                quantity = quantifyLane(measure, bounds, mode);
            } else {
                // Bands that touch are fitted together, bands standing apart each alone: a
                // band that cannot be fitted costs only its own group its volumes.
                quantity.total = measure.total;
                quantity.volumes.assign(bands.size(), std::numeric_limits<double>::quiet_NaN());
                for (const auto& [first, last] : touchingGroups(bounds)) {
                    const LaneQuantity group = quantifyLane(
                        measure,
                        std::vector<BandBounds>(bounds.begin() + first, bounds.begin() + last + 1),
                        mode);
                    if (group.ok) {
                        std::copy(group.volumes.begin(), group.volumes.end(),
                                  quantity.volumes.begin() + first);
                        continue;
                    }
                    say(err, QStringLiteral("warning: lane %1, %2 no volume: %3\n")
                                 .arg(lane + 1)
                                 .arg(first == last ? QStringLiteral("band %1 has").arg(first + 1)
                                                    : QStringLiteral("bands %1 to %2 have")
                                                          .arg(first + 1)
                                                          .arg(last + 1))
                                 .arg(group.reason));
                }
            }
        }
        for (std::size_t band = 0; band < bands.size(); ++band) {
            const FoundFrame& f = bands[band];
            QString scan;
            QString extra;
            if (mode == QuantifyMode::Frame) {
                scan =
                    doubleText(integrateFrameCounted(session.picture(), f.geometry(),
                                                     session.channel(), session.backgroundLevels())
                                   .value);
            } else {
                QString percent;
                if (quantity.ok && band < quantity.volumes.size() &&
                    !std::isnan(quantity.volumes[band])) {
                    scan = doubleText(quantity.volumes[band]);
                    if (const std::optional<double> p =
                            percentOfLane(quantity.volumes[band], quantity.total))
                        percent = doubleText(*p);
                }
                extra =
                    QLatin1Char('\t') + doubleText(quantity.total) + QLatin1Char('\t') + percent;
            }
            if (!sizing.ladders.empty()) {
                const BandSize& size = sizes.bands[lane][band];
                extra += QLatin1Char('\t') + (size.rf ? doubleText(*size.rf) : QString()) +
                         QLatin1Char('\t') + (size.size ? doubleText(*size.size) : QString());
            }
            lines += (QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
                          .arg(lane + 1)
                          .arg(band + 1)
                          .arg(f.left)
                          .arg(f.top)
                          .arg(f.width)
                          .arg(f.height)
                          .arg(scan) +
                      extra + QLatin1Char('\n'))
                         .toLatin1();
            const bool control = int(band) + 1 == controlBand;
            table << QStringList{QString::number(table.size()),
                                 QStringLiteral("Lane %1").arg(lane + 1),
                                 control ? QStringLiteral("control") : QString(), scan};
        }
    }
    if (output) {
        SheetData sheet;
        if (table.size() > 1) {
            loadReportTable(sheet, table, output->first);
        } else {
            // Nothing found: the report's headings alone.
            sheet.resize(0, ReportSheet::Columns);
            for (int c = 1; c <= ReportSheet::Columns; ++c) {
                sheet.setHeadingText(c, table.constFirst().at(c - 1));
                sheet.setColumnWidth(c, ReportSheet::StartColumnWidths[c - 1]);
            }
        }
        writeSheetFile(sheet, output->first, output->second);
    }
    return lines;
}

QByteArray runReport(const QStringList& arguments, QIODevice& out)
{
    const QString command = QStringLiteral("report");
    QCommandLineParser parser;
    const bool help =
        parse(parser, command, arguments,
              {QCommandLineOption(QStringLiteral("output"), QString(), QStringLiteral("value"))});
    if (help) {
        say(out, QLatin1String(ReportUsage));
        return QByteArray();
    }
    expectOnce(parser, command, {QStringLiteral("output")});
    const QString input = onePositional(parser, command, QStringLiteral("INPUT"));
    const auto output = outputOf(parser, command);
    SheetData sheet;
    readReportTable(input, sheet);
    try {
        calculateExpression(sheet);
    } catch (const Error& error) {
        // A value that cannot be stored is the table's fault, not the program's.
        throw PlanError(input + QStringLiteral(": ") + error.message());
    }
    return deliver(sheet, output);
}

} // namespace

bool isBatchCommand(int argc, const char* const* argv)
{
    return argc >= 2 && argv[1] &&
           (std::strcmp(argv[1], "measure") == 0 || std::strcmp(argv[1], "report") == 0 ||
            std::strcmp(argv[1], "lanes") == 0 || std::strcmp(argv[1], "results") == 0 ||
            figureCommandDraws(argc, argv));
}

QString batchUsage()
{
    return QLatin1String(MeasureUsage) + QLatin1Char('\n') + QLatin1String(ReportUsage) +
           QLatin1Char('\n') + QLatin1String(LanesUsage) + QLatin1Char('\n') + resultsUsage() +
           QLatin1Char('\n') + figureUsage();
}

int runBatchCommand(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    const QString command = arguments.value(0);
    if (command == QLatin1String("results"))
        return runResultsCommand(arguments.mid(1), out, err);
    if (isFigureCommand(command))
        return runFigureCommand(arguments, out, err);
    return guarded(err, [&] {
        QByteArray result;
        if (command == QLatin1String("measure"))
            result = runMeasure(arguments.mid(1), out, err);
        else if (command == QLatin1String("report"))
            result = runReport(arguments.mid(1), out);
        else if (command == QLatin1String("lanes"))
            result = runLanes(arguments.mid(1), out, err);
        else
            throw Failure{BatchUsage, QStringLiteral("expected the command measure, report, lanes, "
                                                     "results, figure or report-pdf, found \"%1\"")
                                          .arg(command)};
        // Results reach standard output only once everything has worked.
        if (!result.isEmpty() && out.write(result) != result.size())
            throw Failure{BatchFailed,
                          QStringLiteral("the results could not be written to standard output")};
        return int(BatchOk);
    });
}

} // namespace kesto
