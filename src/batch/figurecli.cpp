#include "batch/figurecli.h"

#include "batch/batchcommon.h"

#include "core/analysisreport.h"
#include "core/deeppicture.h"
#include "core/figure.h"
#include "core/foundbands.h"
#include "core/gelimage.h"
#include "core/ladders.h"
#include "core/lanefinder.h"
#include "core/measurementsession.h"
#include "core/sampletable.h"
#include "core/sizecalibration.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace kesto {

using namespace batch;

namespace {

const char* const FigureUsage =
    "Usage: kestoscan figure PICTURE [--plan FILE] [--labels FILE]\n"
    "                        [--levels BLACK,WHITE,GAMMA | --levels auto]\n"
    "                        [--channel red|green|blue] [--invert]\n"
    "                        [--background X,Y | --background-color R,G,B] [--horizontal]\n"
    "                        [--sensitivity S] [--page N]\n"
    "                        [--ladder-lane N --ladder SIZES]... [--size-fit F] [--extrapolate]\n"
    "                        [--region LEFT,TOP,WIDTH,HEIGHT] [--dpi N] [--no-labels]\n"
    "                        [--no-ticks] [--no-outlines] [--no-scale] [--no-caption]\n"
    "                        --output FILE.png|FILE.svg|FILE.pdf\n"
    "\n"
    "Draws the picture as a figure: the lanes found on it (as the Find Bands tool and the\n"
    "lanes command find them, with the same options) labelled above, the found bands\n"
    "outlined, the ladder lanes' sizes as ticks at the side, a bar of the display levels\n"
    "and a caption stating them. The levels apply to the whole picture; the picture's\n"
    "counts are not changed. A PNG keeps the picture's own pixels, with the DPI and the\n"
    "levels written into the file; SVG and PDF carry text and outlines as vectors.\n"
    "  --plan FILE                 replays a measurement plan on the picture first (its\n"
    "                              channel, inversion and background)\n"
    "  --labels FILE               a tab-separated table with a heading: LANE and SAMPLE\n"
    "                              give each lane's label (other columns are ignored)\n"
    "  --levels B,W,G              black point, white point and gamma (default: the\n"
    "                              picture's own range; auto levels for a 16-bit picture)\n"
    "  --ladder-lane N             lane N (from 1, as the lanes with bands are numbered)\n"
    "                              runs the ladder --ladder gives, largest size first\n"
    "  --region L,T,W,H            shows only that part of the picture\n"
    "  --dpi N                     the figure's resolution (default 300): text is 8 points\n"
    "                              high when printed at it\n"
    "\n"
    "Usage: kestoscan report-pdf --plan FILE [--labels FILE] [--levels B,W,G]\n"
    "                            --output FILE.pdf\n"
    "\n"
    "Replays the plan on the pictures it names and writes the analysis report: the\n"
    "annotated picture, each picture's file, size, depth and SHA-256, the settings that\n"
    "shaped the numbers, the sheet, the record of every value, flags and notes.\n";

QString valueOf(const QCommandLineParser& parser, const char* name)
{
    return parser.value(QLatin1String(name));
}

// The sample table of --labels, or nullopt.
std::optional<SampleTable> labelsOf(const QCommandLineParser& parser)
{
    if (!parser.isSet(QStringLiteral("labels")))
        return std::nullopt;
    const QString path = valueOf(parser, "labels");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure{1, QStringLiteral("Cannot read %1:\n%2").arg(path, file.errorString())};
    if (file.size() > 4 * 1024 * 1024)
        throw Failure{2,
                      QStringLiteral("--labels \"%1\": not a sample table (over 4 MiB)").arg(path)};
    const QByteArray bytes = file.readAll();
    const QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter) || bytes.contains('\0'))
        throw Failure{2, QStringLiteral("--labels \"%1\": not a text file").arg(path)};
    try {
        return parseSampleTable(text, path);
    } catch (const SampleTableError& error) {
        throw Failure{2, QStringLiteral("--labels: ") + error.message()};
    }
}

// --levels for the picture; its default levels when not given.
DisplayLevels levelsOf(const QCommandLineParser& parser, const QImage& picture,
                       const QString& command)
{
    if (!parser.isSet(QStringLiteral("levels")))
        return defaultDisplayLevels(picture);
    const QString text = valueOf(parser, "levels");
    QString why;
    QString words = text;
    words.replace(QLatin1Char(','), QLatin1Char(' '));
    const std::optional<DisplayLevels> levels = parseLevels(words, picture, &why);
    if (!levels)
        usage(command, QStringLiteral("--levels \"%1\": %2").arg(text, why));
    return *levels;
}

FigureOptions figureOptionsOf(const QCommandLineParser& parser, const QString& command,
                              bool labelled)
{
    FigureOptions options;
    options.labels = parser.isSet(QStringLiteral("no-labels")) ? FigureLabels::None
                     : labelled                                ? FigureLabels::Samples
                                                               : FigureLabels::Numbers;
    options.sizeTicks = !parser.isSet(QStringLiteral("no-ticks"));
    options.bandOutlines = !parser.isSet(QStringLiteral("no-outlines"));
    options.levelsScale = !parser.isSet(QStringLiteral("no-scale"));
    options.caption = !parser.isSet(QStringLiteral("no-caption"));
    if (parser.isSet(QStringLiteral("dpi"))) {
        bool ok = false;
        options.dpi = valueOf(parser, "dpi").toInt(&ok);
        if (!ok || options.dpi < FigureOptions::MinDpi || options.dpi > FigureOptions::MaxDpi)
            usage(command, QStringLiteral("--dpi \"%1\": expected a whole number from %2 to %3")
                               .arg(valueOf(parser, "dpi"))
                               .arg(FigureOptions::MinDpi)
                               .arg(FigureOptions::MaxDpi));
    }
    if (parser.isSet(QStringLiteral("region"))) {
        const QStringList parts = valueOf(parser, "region").split(QLatin1Char(','));
        int v[4] = {0, 0, 0, 0};
        bool ok = parts.size() == 4;
        for (int i = 0; ok && i < 4; ++i)
            v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || v[0] < 0 || v[1] < 0 || v[2] < 1 || v[3] < 1)
            usage(command,
                  QStringLiteral("--region \"%1\": expected LEFT,TOP,WIDTH,HEIGHT in whole "
                                 "pixels, the sizes from 1")
                      .arg(valueOf(parser, "region")));
        options.region = QRect(v[0], v[1], v[2], v[3]);
    }
    return options;
}

// The output file, its ending checked before any work is done.
QString outputOf(const QCommandLineParser& parser, const QString& command, bool pdfOnly)
{
    if (!parser.isSet(QStringLiteral("output")))
        usage(command, QStringLiteral("expected --output FILE"));
    const QString path = valueOf(parser, "output");
    const std::optional<FigureFormat> format = figureFormatOf(path);
    if (!format || (pdfOnly && *format != FigureFormat::Pdf))
        usage(command, QStringLiteral("--output \"%1\": expected a file name ending in %2")
                           .arg(path, pdfOnly ? QStringLiteral(".pdf")
                                              : QStringLiteral(".png, .svg or .pdf")));
    return path;
}

int runFigure(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    const QString command = QStringLiteral("figure");
    QCommandLineParser parser;
    const bool help = parse(
        parser, command, arguments,
        optionsNamed({QStringLiteral("plan"), QStringLiteral("labels"), QStringLiteral("levels"),
                      QStringLiteral("channel"), QStringLiteral("background"),
                      QStringLiteral("background-color"), QStringLiteral("sensitivity"),
                      QStringLiteral("page"), QStringLiteral("ladder-lane"),
                      QStringLiteral("ladder"), QStringLiteral("size-fit"),
                      QStringLiteral("region"), QStringLiteral("dpi"), QStringLiteral("output")},
                     {QStringLiteral("invert"), QStringLiteral("horizontal"),
                      QStringLiteral("extrapolate"), QStringLiteral("no-labels"),
                      QStringLiteral("no-ticks"), QStringLiteral("no-outlines"),
                      QStringLiteral("no-scale"), QStringLiteral("no-caption"),
                      QStringLiteral("ignore-hash")}));
    if (help) {
        out.write(QByteArray(FigureUsage));
        return 0;
    }
    expectOnce(parser, command,
               {QStringLiteral("plan"), QStringLiteral("labels"), QStringLiteral("levels"),
                QStringLiteral("channel"), QStringLiteral("background"),
                QStringLiteral("background-color"), QStringLiteral("sensitivity"),
                QStringLiteral("page"), QStringLiteral("size-fit"), QStringLiteral("region"),
                QStringLiteral("dpi"), QStringLiteral("output")});
    const QString picturePath = onePositional(parser, command, QStringLiteral("PICTURE"));
    const QString output = outputOf(parser, command, false);
    const std::optional<SampleTable> labels = labelsOf(parser);
    const FigureOptions options = figureOptionsOf(parser, command, labels.has_value());
    const Sizing sizing = sizingOf(parser, command);
    const double sensitivity = sensitivityOf(parser, command);
    const int page = pageOf(parser, command);
    const bool planForm = parser.isSet(QStringLiteral("plan"));
    if (planForm)
        for (const char* quick : {"channel", "invert", "background", "background-color"})
            if (parser.isSet(QLatin1String(quick)))
                throw PlanError(
                    QStringLiteral(
                        "--plan cannot be combined with --%1: put that step into the plan")
                        .arg(QLatin1String(quick)));

    const int fullScale = fileChannelFullScale(picturePath, page);
    const MeasurementPlan plan = planForm ? readMeasurementPlan(valueOf(parser, "plan"), fullScale)
                                          : pictureSteps(parser, command, fullScale);
    GelImageLoad load = checkedPicture(loadGelImage(picturePath, page), picturePath);
    if (load.lossy)
        err.write(
            QStringLiteral("warning: %1 is JPEG-compressed (lossy)\n").arg(picturePath).toUtf8());
    MeasurementSession session(load.image);
    session.setPicturePath(QFileInfo(picturePath).absoluteFilePath());
    load.image = QImage();
    ReplayOptions replay;
    replay.ignoreHash = parser.isSet(QStringLiteral("ignore-hash"));
    runMeasurementPlanCounted(session, plan, replay);
    const DisplayLevels levels = levelsOf(parser, session.picture(), command);

    // The lanes as the Find Bands tool finds them: at the highest sensitivity, then kept at
    // the one asked for; the lanes that have bands become the session's lanes.
    LaneFinderOptions finder;
    finder.channel = session.channel();
    finder.orientation = parser.isSet(QStringLiteral("horizontal")) ? LaneOrientation::Horizontal
                                                                    : LaneOrientation::Vertical;
    bool backgroundGiven = session.backgroundPicked();
    for (const PlanStep& step : plan.steps)
        backgroundGiven = backgroundGiven || step.kind == PlanStep::Kind::BackgroundColor;
    if (backgroundGiven) {
        const ChannelLevels background = session.backgroundLevels();
        finder.background = finder.channel == Channel::Red     ? background.red
                            : finder.channel == Channel::Green ? background.green
                                                               : background.blue;
    }
    finder.sensitivity = 100;
    const LaneFinding shown =
        atSensitivity(findLanesAndBands(session.picture(), QRect(), finder), sensitivity);
    session.proposals().setFinding(shown, finder.orientation);
    session.proposalsEdited();
    std::vector<LaneStrip> lanes;
    for (const FoundLane& lane : shown.lanes)
        if (!lane.bands.empty())
            lanes.push_back(LaneStrip::of(lane, finder.orientation));
    session.setLanes(std::move(lanes), shown.darkOnLight);
    for (const LadderLane& ladder : sizing.ladders)
        if (!session.setLaneLadder(ladder.lane, ladder.ladder))
            usage(command, QStringLiteral("--ladder-lane %1: the picture has %2 lanes with bands")
                               .arg(ladder.lane + 1)
                               .arg(session.lanes().size()));
    session.setSizeFit(sizing.fit);
    session.setExtrapolateSizes(sizing.extrapolate);
    if (labels && options.labels == FigureLabels::Samples) {
        const QString fault = sampleTableFault(*labels, {int(session.lanes().size())});
        if (!fault.isEmpty())
            throw Failure{
                2, QStringLiteral("--labels \"%1\": %2").arg(valueOf(parser, "labels"), fault)};
    }

    const FigureContent content =
        figureContent(session, levels, options, labels ? &*labels : nullptr);
    writeFigure(output, content, options);
    return 0;
}

int runReportPdf(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    const QString command = QStringLiteral("report-pdf");
    QCommandLineParser parser;
    const bool help = parse(parser, command, arguments,
                            optionsNamed({QStringLiteral("plan"), QStringLiteral("labels"),
                                          QStringLiteral("levels"), QStringLiteral("output")},
                                         {QStringLiteral("ignore-hash")}));
    if (help) {
        out.write(QByteArray(FigureUsage));
        return 0;
    }
    expectOnce(parser, command,
               {QStringLiteral("plan"), QStringLiteral("labels"), QStringLiteral("levels"),
                QStringLiteral("output")});
    if (!parser.positionalArguments().isEmpty())
        usage(command,
              QStringLiteral("expected no PICTURE: the plan names its pictures, found \"%1\"")
                  .arg(parser.positionalArguments().constFirst()));
    if (!parser.isSet(QStringLiteral("plan")))
        usage(command, QStringLiteral("expected --plan FILE"));
    const QString output = outputOf(parser, command, true);
    const std::optional<SampleTable> labels = labelsOf(parser);

    const QString planPath = valueOf(parser, "plan");
    const MeasurementPlan plan = readMeasurementPlan(planPath, 65535);
    bool named = false;
    for (const PlanStep& step : plan.steps)
        named = named || (step.kind == PlanStep::Kind::Picture && !step.text.isEmpty());
    if (!named)
        usage(command, QStringLiteral("the plan names no picture file"));
    MeasurementSession session;
    const QString planFolder = QFileInfo(planPath).absolutePath();
    ReplayOptions replay;
    replay.ignoreHash = parser.isSet(QStringLiteral("ignore-hash"));
    replay.openPicture = [&](const PlanStep& step) {
        const QString path = planPicturePath(step, planFolder);
        GelImageLoad loaded = checkedPicture(loadGelImage(path, step.page), path);
        if (loaded.lossy)
            err.write(
                QStringLiteral("warning: %1 is JPEG-compressed (lossy)\n").arg(path).toUtf8());
        session.setPicture(loaded.image, QFileInfo(path).absoluteFilePath());
    };
    runMeasurementPlanCounted(session, plan, replay);

    ReportInputs inputs;
    inputs.levels =
        session.hasPicture() ? levelsOf(parser, session.picture(), command) : DisplayLevels{};
    inputs.figure.labels = labels ? FigureLabels::Samples : FigureLabels::Numbers;
    inputs.samples = labels ? &*labels : nullptr;
    writeReportPdf(sessionReport(session, inputs), output);
    return 0;
}

} // namespace

bool isFigureCommand(const QString& command)
{
    return command == QLatin1String("figure") || command == QLatin1String("report-pdf");
}

bool figureCommandDraws(int argc, const char* const* argv)
{
    return argc >= 2 && argv[1] &&
           (std::strcmp(argv[1], "figure") == 0 || std::strcmp(argv[1], "report-pdf") == 0);
}

QString figureUsage()
{
    return QLatin1String(FigureUsage);
}

int runFigureCommand(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    const QString command = arguments.value(0);
    return guarded(err, [&] {
        if (command == QLatin1String("report-pdf"))
            return runReportPdf(arguments.mid(1), out, err);
        return runFigure(arguments.mid(1), out, err);
    });
}

} // namespace kesto
