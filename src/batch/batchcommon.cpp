#include "batch/batchcommon.h"

#include "batch/batchcli.h"
#include "core/figure.h"
#include "core/measurementsession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>

#include <new>

namespace kesto::batch {

void say(QIODevice& device, const QString& text)
{
    device.write(text.toUtf8());
}

QString tryHelp(const QString& command)
{
    return QStringLiteral("\nTry \"kestoscan %1 --help\".").arg(command);
}

void usage(const QString& command, const QString& message)
{
    throw Failure{BatchUsage, message + tryHelp(command)};
}

QList<QCommandLineOption> optionsNamed(const QStringList& valued, const QStringList& flags)
{
    QList<QCommandLineOption> options;
    for (const QString& name : valued)
        options << QCommandLineOption(name, QString(), QStringLiteral("value"));
    for (const QString& name : flags)
        options << QCommandLineOption(name);
    return options;
}

bool parse(QCommandLineParser& parser, const QString& command, const QStringList& arguments,
           const QList<QCommandLineOption>& options)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions(options);
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(QStringList{QStringLiteral("kestoscan ") + command} + arguments))
        usage(command, parser.errorText());
    return parser.isSet(QStringLiteral("help"));
}

void expectOnce(const QCommandLineParser& parser, const QString& command, const QStringList& names)
{
    for (const QString& name : names) {
        const qsizetype count = parser.values(name).size();
        if (count > 1)
            usage(command,
                  QStringLiteral("expected --%1 once, found it %2 times").arg(name).arg(count));
    }
}

std::optional<QString> once(const QCommandLineParser& parser, const QString& command,
                            const QString& name)
{
    expectOnce(parser, command, {name});
    if (!parser.isSet(name))
        return std::nullopt;
    return parser.value(name);
}

QString onePositional(const QCommandLineParser& parser, const QString& command, const QString& name)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        usage(command, QStringLiteral("expected a %1 file").arg(name));
    if (positional.size() > 1)
        usage(
            command,
            QStringLiteral("expected one %1 file, found also \"%2\"").arg(name, positional.at(1)));
    return positional.constFirst();
}

int pageOf(const QCommandLineParser& parser, const QString& command)
{
    const auto text = once(parser, command, QStringLiteral("page"));
    if (!text)
        return 0;
    bool ok = false;
    const int page = text->toInt(&ok);
    if (!ok || page < 1 || page > MaxPicturePage)
        usage(command, QStringLiteral("--page \"%1\": expected a page number from 1 to %2")
                           .arg(*text)
                           .arg(MaxPicturePage));
    return page;
}

double sensitivityOf(const QCommandLineParser& parser, const QString& command)
{
    const auto text = once(parser, command, QStringLiteral("sensitivity"));
    if (!text)
        return LaneFinderOptions::DefaultSensitivity;
    bool ok = false;
    const double sensitivity = text->toDouble(&ok);
    if (!ok || !(sensitivity >= 0 && sensitivity <= 100))
        usage(command,
              QStringLiteral("--sensitivity \"%1\": expected a number from 0 to 100").arg(*text));
    return sensitivity;
}

MeasurementPlan pictureSteps(const QCommandLineParser& parser, const QString& command,
                             int fullScale)
{
    const auto where = [](const QString& name, const QString& value) {
        return QStringLiteral("--%1 \"%2\"").arg(name, value);
    };
    const QString channel = QStringLiteral("channel");
    const QString background = QStringLiteral("background");
    const QString colour = QStringLiteral("background-color");
    MeasurementPlan plan;
    if (const auto value = once(parser, command, channel))
        plan.steps.push_back(parsePlanStep(channel, {*value}, where(channel, *value)));
    if (parser.isSet(QStringLiteral("invert")))
        plan.steps.push_back(
            parsePlanStep(QStringLiteral("invert"), {}, QStringLiteral("--invert")));
    const auto picked = once(parser, command, background);
    const auto given = once(parser, command, colour);
    if (picked && given)
        throw PlanError(
            QStringLiteral("expected either --background or --background-color, not both"));
    if (picked)
        plan.steps.push_back(
            parsePlanStep(background, picked->split(QLatin1Char(',')), where(background, *picked)));
    if (given)
        plan.steps.push_back(parsePlanStep(colour, given->split(QLatin1Char(',')),
                                           where(colour, *given), fullScale));
    return plan;
}

GelImageLoad checkedPicture(GelImageLoad load, const QString& path)
{
    if (!load.ok()) {
        QString message = QStringLiteral("Cannot load image:\n") + path;
        if (!load.reason.isEmpty())
            message += QLatin1Char('\n') + load.reason;
        throw Failure{BatchFailed, message};
    }
    return load;
}

Sizing sizingOf(const QCommandLineParser& parser, const QString& command)
{
    Sizing sizing;
    const QString laneName = QStringLiteral("ladder-lane");
    const QString ladderName = QStringLiteral("ladder");
    // Each --ladder belongs to the --ladder-lane before it: the options in the order given
    // must alternate, a lane first.
    QStringList order;
    for (const QString& name : parser.optionNames())
        if (name == laneName || name == ladderName)
            order << name;
    for (qsizetype i = 0; i < order.size(); ++i)
        if (order[i] != (i % 2 == 0 ? laneName : ladderName) ||
            (i % 2 == 0 && i + 1 == order.size()))
            usage(command, QStringLiteral("each --ladder-lane needs its --ladder after it"));
    const QStringList lanes = parser.values(laneName);
    const QStringList ladders = parser.values(ladderName);
    if (lanes.size() > 2)
        usage(command, QStringLiteral("expected --ladder-lane at most twice, found it %1 times")
                           .arg(lanes.size()));
    for (qsizetype i = 0; i < lanes.size(); ++i) {
        bool ok = false;
        const int lane = lanes[i].toInt(&ok);
        if (!ok || lane < 1)
            usage(command, QStringLiteral("--ladder-lane \"%1\": expected a lane number from 1")
                               .arg(lanes[i]));
        for (const LadderLane& other : sizing.ladders)
            if (other.lane == lane - 1)
                usage(command, QStringLiteral("--ladder-lane %1 is given twice").arg(lane));
        LadderLane ladder;
        ladder.lane = lane - 1;
        try {
            ladder.ladder = parseLadderSizes(ladders[i]);
        } catch (const LadderError& error) {
            usage(command, QStringLiteral("--ladder: ") + error.message());
        }
        sizing.ladders.push_back(ladder);
    }
    if (const auto text = once(parser, command, QStringLiteral("size-fit"))) {
        QString why;
        const std::optional<SizeFit> fit = parseSizeFit(*text, &why);
        if (!fit)
            usage(command, QStringLiteral("--size-fit ") + why);
        sizing.fit = *fit;
    }
    sizing.extrapolate = parser.isSet(QStringLiteral("extrapolate"));
    if (sizing.ladders.empty() && (parser.isSet(QStringLiteral("size-fit")) || sizing.extrapolate))
        usage(command, QStringLiteral("--size-fit and --extrapolate go with --ladder-lane"));
    return sizing;
}

LaneFinderOptions finderOptionsOf(const QCommandLineParser& parser,
                                  const MeasurementSession& session, double sensitivity)
{
    LaneFinderOptions options;
    options.channel = session.channel();
    options.sensitivity = sensitivity;
    if (parser.isSet(QStringLiteral("horizontal")))
        options.orientation = LaneOrientation::Horizontal;
    if (parser.isSet(QStringLiteral("background")) ||
        parser.isSet(QStringLiteral("background-color"))) {
        const ChannelLevels levels = session.backgroundLevels();
        options.background = session.channel() == Channel::Red     ? levels.red
                             : session.channel() == Channel::Green ? levels.green
                                                                   : levels.blue;
    }
    return options;
}

std::vector<SizedLane> sizedLanes(const LaneFinding& finding, LaneOrientation orientation)
{
    const bool across = orientation == LaneOrientation::Horizontal;
    std::vector<SizedLane> sized;
    for (const FoundLane& found : finding.lanes) {
        const FoundFrame& f = found.frame;
        SizedLane lane;
        lane.across = across ? f.top + f.height / 2.0 : f.left + f.width / 2.0;
        lane.start = across ? f.left : f.top;
        lane.front = across ? f.left + f.width : f.top + f.height;
        for (const FoundFrame& band : found.bands)
            lane.bands.push_back(across ? band.left + band.width / 2.0
                                        : band.top + band.height / 2.0);
        sized.push_back(lane);
    }
    return sized;
}

QString planPicturePath(const PlanStep& step, const QString& planFolder)
{
    QString path = step.text;
    if (QFileInfo(path).isRelative() && !QFileInfo::exists(path))
        path = QDir(planFolder).filePath(path);
    if (!QFileInfo::exists(path))
        throw PlanError(step.where +
                        QStringLiteral(": the picture \"%1\" is not there").arg(step.text));
    return path;
}

int guarded(QIODevice& err, const std::function<int()>& command)
{
    const auto tell = [&err](const QString& text) {
        say(err, QStringLiteral("kestoscan: ") + text + QLatin1Char('\n'));
    };
    try {
        return command();
    } catch (const Failure& failure) {
        tell(failure.message);
        return failure.status;
    } catch (const PictureHashError& error) {
        tell(error.message() + QStringLiteral(" (--ignore-hash replays it anyway)"));
        return BatchUsage;
    } catch (const PlanError& error) {
        tell(error.message());
        return BatchUsage;
    } catch (const FigureError& error) {
        tell(error.message());
        return BatchUsage;
    } catch (const Error& error) {
        tell(error.message());
        return BatchFailed;
    } catch (const std::bad_alloc&) {
        tell(QStringLiteral("not enough memory"));
        return BatchFailed;
    }
}

} // namespace kesto::batch
