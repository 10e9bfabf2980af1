#include "batch/figurecli.h"

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

struct Failure
{
    int status;
    QString message;
};

QString tryHelp(const QString& command)
{
    return QStringLiteral("\nTry \"kestoscan %1 --help\".").arg(command);
}

[[noreturn]] void usage(const QString& command, const QString& message)
{
    throw Failure{2, message + tryHelp(command)};
}

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

GelImageLoad loadPicture(const QString& path, int page)
{
    GelImageLoad load = loadGelImage(path, page);
    if (!load.ok()) {
        QString message = QStringLiteral("Cannot load image:\n") + path;
        if (!load.reason.isEmpty())
            message += QLatin1Char('\n') + load.reason;
        throw Failure{1, message};
    }
    return load;
}

// The ladder lanes of --ladder-lane N --ladder SIZES, in pairs as given.
std::vector<LadderLane> laddersOf(const QCommandLineParser& parser, const QString& command)
{
    const QString laneName = QStringLiteral("ladder-lane");
    const QString ladderName = QStringLiteral("ladder");
    QStringList order;
    for (const QString& name : parser.optionNames())
        if (name == laneName || name == ladderName)
            order << name;
    for (qsizetype i = 0; i < order.size(); ++i)
        if (order[i] != (i % 2 == 0 ? laneName : ladderName) ||
            (i % 2 == 0 && i + 1 == order.size()))
            usage(command, QStringLiteral("each --ladder-lane needs its --ladder after it"));
    const QStringList lanes = parser.values(laneName);
    const QStringList sizes = parser.values(ladderName);
    if (lanes.size() > 2)
        usage(command, QStringLiteral("expected --ladder-lane at most twice, found it %1 times")
                           .arg(lanes.size()));
    std::vector<LadderLane> ladders;
    for (qsizetype i = 0; i < lanes.size(); ++i) {
        bool ok = false;
        const int lane = lanes[i].toInt(&ok);
        if (!ok || lane < 1)
            usage(command, QStringLiteral("--ladder-lane \"%1\": expected a lane number from 1")
                               .arg(lanes[i]));
        for (const LadderLane& other : ladders)
            if (other.lane == lane - 1)
                usage(command, QStringLiteral("--ladder-lane %1 is given twice").arg(lane));
        LadderLane ladder;
        ladder.lane = lane - 1;
        try {
            ladder.ladder = parseLadderSizes(sizes[i]);
        } catch (const LadderError& error) {
            usage(command, QStringLiteral("--ladder: ") + error.message());
        }
        ladders.push_back(ladder);
    }
    return ladders;
}

// The channel, invert and background options as plan steps.
MeasurementPlan pictureSteps(const QCommandLineParser& parser, int fullScale)
{
    const auto where = [](const char* name, const QString& value) {
        return QStringLiteral("--%1 \"%2\"").arg(QLatin1String(name), value);
    };
    MeasurementPlan plan;
    if (parser.isSet(QStringLiteral("channel")))
        plan.steps.push_back(parsePlanStep(QStringLiteral("channel"), {valueOf(parser, "channel")},
                                           where("channel", valueOf(parser, "channel"))));
    if (parser.isSet(QStringLiteral("invert")))
        plan.steps.push_back(
            parsePlanStep(QStringLiteral("invert"), {}, QStringLiteral("--invert")));
    if (parser.isSet(QStringLiteral("background")) &&
        parser.isSet(QStringLiteral("background-color")))
        throw PlanError(
            QStringLiteral("expected either --background or --background-color, not both"));
    for (const char* name : {"background", "background-color"})
        if (parser.isSet(QLatin1String(name)))
            plan.steps.push_back(parsePlanStep(QLatin1String(name),
                                               valueOf(parser, name).split(QLatin1Char(',')),
                                               where(name, valueOf(parser, name)), fullScale));
    return plan;
}

int runFigure(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    const QString command = QStringLiteral("figure");
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QString value = QStringLiteral("value");
    for (const char* name :
         {"plan", "labels", "levels", "channel", "background", "background-color", "sensitivity",
          "page", "ladder-lane", "ladder", "size-fit", "region", "dpi", "output"})
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), value));
    for (const char* name : {"invert", "horizontal", "extrapolate", "no-labels", "no-ticks",
                             "no-outlines", "no-scale", "no-caption", "ignore-hash"})
        parser.addOption(QCommandLineOption(QLatin1String(name)));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(QStringList{QStringLiteral("kestoscan figure")} + arguments))
        usage(command, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out.write(QByteArray(FigureUsage));
        return 0;
    }
    for (const char* name :
         {"plan", "labels", "levels", "channel", "background", "background-color", "sensitivity",
          "page", "size-fit", "region", "dpi", "output"})
        if (parser.values(QLatin1String(name)).size() > 1)
            usage(command, QStringLiteral("expected --%1 once").arg(QLatin1String(name)));
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        usage(command, positional.isEmpty()
                           ? QStringLiteral("expected a PICTURE file")
                           : QStringLiteral("expected one PICTURE file, found also \"%1\"")
                                 .arg(positional.at(1)));
    const QString picturePath = positional.constFirst();
    const QString output = outputOf(parser, command, false);
    const std::optional<SampleTable> labels = labelsOf(parser);
    const FigureOptions options = figureOptionsOf(parser, command, labels.has_value());
    const std::vector<LadderLane> ladders = laddersOf(parser, command);
    SizeFit fit = SizeFit::PointToPoint;
    if (parser.isSet(QStringLiteral("size-fit"))) {
        QString why;
        const std::optional<SizeFit> parsed = parseSizeFit(valueOf(parser, "size-fit"), &why);
        if (!parsed)
            usage(command, QStringLiteral("--size-fit ") + why);
        fit = *parsed;
    }
    if (ladders.empty() &&
        (parser.isSet(QStringLiteral("size-fit")) || parser.isSet(QStringLiteral("extrapolate"))))
        usage(command, QStringLiteral("--size-fit and --extrapolate go with --ladder-lane"));
    double sensitivity = LaneFinderOptions::DefaultSensitivity;
    if (parser.isSet(QStringLiteral("sensitivity"))) {
        bool ok = false;
        sensitivity = valueOf(parser, "sensitivity").toDouble(&ok);
        if (!ok || !(sensitivity >= 0 && sensitivity <= 100))
            usage(command, QStringLiteral("--sensitivity \"%1\": expected a number from 0 to 100")
                               .arg(valueOf(parser, "sensitivity")));
    }
    int page = 0;
    if (parser.isSet(QStringLiteral("page"))) {
        bool ok = false;
        page = valueOf(parser, "page").toInt(&ok);
        if (!ok || page < 1 || page > MaxPicturePage)
            usage(command, QStringLiteral("--page \"%1\": expected a page number from 1 to %2")
                               .arg(valueOf(parser, "page"))
                               .arg(MaxPicturePage));
    }
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
                                          : pictureSteps(parser, fullScale);
    GelImageLoad load = loadPicture(picturePath, page);
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
    for (const LadderLane& ladder : ladders)
        if (!session.setLaneLadder(ladder.lane, ladder.ladder))
            usage(command, QStringLiteral("--ladder-lane %1: the picture has %2 lanes with bands")
                               .arg(ladder.lane + 1)
                               .arg(session.lanes().size()));
    session.setSizeFit(fit);
    session.setExtrapolateSizes(parser.isSet(QStringLiteral("extrapolate")));
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
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QString value = QStringLiteral("value");
    for (const char* name : {"plan", "labels", "levels", "output"})
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), value));
    parser.addOption(QCommandLineOption(QStringLiteral("ignore-hash")));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(QStringList{QStringLiteral("kestoscan report-pdf")} + arguments))
        usage(command, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out.write(QByteArray(FigureUsage));
        return 0;
    }
    for (const char* name : {"plan", "labels", "levels", "output"})
        if (parser.values(QLatin1String(name)).size() > 1)
            usage(command, QStringLiteral("expected --%1 once").arg(QLatin1String(name)));
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
        QString path = step.text;
        // A relative path is looked for where the command runs, then beside the plan.
        if (QFileInfo(path).isRelative() && !QFileInfo::exists(path))
            path = QDir(planFolder).filePath(path);
        if (!QFileInfo::exists(path))
            throw PlanError(step.where +
                            QStringLiteral(": the picture \"%1\" is not there").arg(step.text));
        GelImageLoad loaded = loadPicture(path, step.page);
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
    const auto say = [&err](const QString& text) {
        err.write((QStringLiteral("kestoscan: ") + text + QLatin1Char('\n')).toUtf8());
    };
    try {
        if (command == QLatin1String("report-pdf"))
            return runReportPdf(arguments.mid(1), out, err);
        return runFigure(arguments.mid(1), out, err);
    } catch (const Failure& failure) {
        say(failure.message);
        return failure.status;
    } catch (const PictureHashError& error) {
        say(error.message() + QStringLiteral(" (--ignore-hash replays it anyway)"));
        return 2;
    } catch (const PlanError& error) {
        say(error.message());
        return 2;
    } catch (const FigureError& error) {
        say(error.message());
        return 2;
    } catch (const Error& error) {
        say(error.message());
        return 1;
    } catch (const std::bad_alloc&) {
        say(QStringLiteral("not enough memory"));
        return 1;
    }
}

} // namespace kesto
