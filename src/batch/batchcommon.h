#pragma once

// What the batch commands share: failures with their exit status, the GNU-style option
// parsing with our own checks of every value, the picture options as plan steps, the lane
// finder's and the ladders' options, and the one place where what a command throws becomes
// a message and an exit status.

#include "core/gelimage.h"
#include "core/ladders.h"
#include "core/lanefinder.h"
#include "core/measurementplan.h"
#include "core/sizecalibration.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QCommandLineOption;
class QCommandLineParser;
class QIODevice;

namespace kesto {

class MeasurementSession;

namespace batch {

// A failure with the exit status (BatchStatus) it ends the command with.
struct Failure
{
    int status;
    QString message;
};

void say(QIODevice& device, const QString& text);

// "Try "kestoscan COMMAND --help"." on a line of its own.
QString tryHelp(const QString& command);

// Throws a usage failure: the message and the hint to the command's help.
[[noreturn]] void usage(const QString& command, const QString& message);

// Reads the arguments the GNU way with the options and -h/--help; every value is checked
// afterwards by the command. True when help is asked for.
bool parse(QCommandLineParser& parser, const QString& command, const QStringList& arguments,
           const QList<QCommandLineOption>& options);
// Options by name: those that take a value, then the flags.
QList<QCommandLineOption> optionsNamed(const QStringList& valued, const QStringList& flags);

// An option that takes one value, given twice, is more likely a slip than a choice.
void expectOnce(const QCommandLineParser& parser, const QString& command, const QStringList& names);
// The value of an option given at most once, or none.
std::optional<QString> once(const QCommandLineParser& parser, const QString& command,
                            const QString& name);

// The one positional argument, a file the help calls NAME.
QString onePositional(const QCommandLineParser& parser, const QString& command,
                      const QString& name);

// --page from 1; 0 when not given (the file's first picture).
int pageOf(const QCommandLineParser& parser, const QString& command);
// --sensitivity from 0 to 100, or the finder's default.
double sensitivityOf(const QCommandLineParser& parser, const QString& command);

// The channel, invert and background options as the steps a person's clicks would make.
// Both backgrounds at once are refused (PlanError).
MeasurementPlan pictureSteps(const QCommandLineParser& parser, const QString& command,
                             int fullScale);

// The picture as loaded, or a failure naming the file and why it cannot be read.
GelImageLoad checkedPicture(GelImageLoad load, const QString& path);

// The ladder lanes (--ladder-lane N, from 1, each with the --ladder SIZES after it; kept
// here from 0), --size-fit and --extrapolate.
struct Sizing
{
    std::vector<LadderLane> ladders;
    SizeFit fit = SizeFit::PointToPoint;
    bool extrapolate = false;
};
Sizing sizingOf(const QCommandLineParser& parser, const QString& command);

// The finder's options as the lanes command takes them: the session's channel and
// background, --horizontal and the sensitivity.
LaneFinderOptions finderOptionsOf(const QCommandLineParser& parser,
                                  const MeasurementSession& session, double sensitivity);

// The found lanes as the size calibration takes them: where each lane lies across, where
// it starts and ends along, and its bands' middles.
std::vector<SizedLane> sizedLanes(const LaneFinding& finding, LaneOrientation orientation);

// A plan's picture: a relative path is looked for where the command runs, then beside the
// plan; a PlanError names the step when it is in neither place.
QString planPicturePath(const PlanStep& step, const QString& planFolder);

// Runs a command and turns what it throws into a line on err and the exit status.
int guarded(QIODevice& err, const std::function<int()>& command);

} // namespace batch
} // namespace kesto
