#include "batch/resultscli.h"

#include "batch/batchcli.h"
#include "batch/batchcommon.h"
#include "core/deeppicture.h"
#include "core/gelimage.h"
#include "core/ladders.h"
#include "core/lanebands.h"
#include "core/lanefinder.h"
#include "core/measurementplan.h"
#include "core/measurementsession.h"
#include "core/results.h"
#include "core/resultsfile.h"
#include "core/sampletable.h"
#include "core/sizecalibration.h"
#include "core/standardresults.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QIODevice>

#include <cmath>
#include <new>
#include <optional>

namespace kesto {

using namespace batch;

namespace {

const char* const ResultsUsage =
    "Usage: kestoscan results PICTURE [--stain PICTURE2] --samples FILE\n"
    "                         [--target band:K|size:S] [--control "
    "band:K|size:S|lane-total|stain|none]\n"
    "                         [--reference GROUP] [--exclude-flagged] [--output FILE]\n"
    "                         [--channel red|green|blue] [--invert]\n"
    "                         [--background X,Y | --background-color R,G,B] [--horizontal]\n"
    "                         [--sensitivity S] [--page N] [--quantify profile|fit]\n"
    "                         [--lane-background minima|ball:R|none]\n"
    "                         [--ladder-lane N --ladder SIZES]... [--extrapolate]\n"
    "                         [--size-fit point-to-point|linear|quadratic|cubic]\n"
    "                         [--standards [--curve linear|linear-origin|quadratic|4pl]\n"
    "                          [--weighting none|1/amount] [--range-limit PERCENT]]\n"
    "\n"
    "From bands to a result. Finds the lanes and their bands as the lanes command does\n"
    "(the same options), measures each band's volume on its lane's profile, divides each\n"
    "lane's target by its loading control relative to the reference lanes, and gathers\n"
    "the lanes by the sample table's groups. Prints one tab-separated line per lane:\n"
    "  LANE SAMPLE GROUP REPLICATE TARGET CONTROL FACTOR NORMALIZED\n"
    "then one per group:\n"
    "  GROUP N MEAN SD SEM CV FOLD\n"
    "where FACTOR = the lane's control / the mean control of the reference lanes,\n"
    "NORMALIZED = TARGET / FACTOR, N counts the group's lanes with a value, SD is the sample\n"
    "standard deviation (n - 1), SEM = SD / sqrt(N), CV = SD / MEAN in per cent and FOLD =\n"
    "MEAN / the reference group's mean. A value that cannot be made is left empty: a lane\n"
    "without its target or control band has no NORMALIZED, and is not counted.\n"
    "  --samples FILE              the sample table: tab-separated text with a heading,\n"
    "                              LANE SAMPLE GROUP REPLICATE ROLE (columns in any order;\n"
    "                              ROLE sample, ladder, standard, blank or excluded; only\n"
    "                              samples with a group are counted), lanes from 1. A table\n"
    "                              naming a lane that was not found is refused\n"
    "  --target T                  band:K, the K-th band from the top (the default band:1);\n"
    "                              size:S, the band nearest size S (within 20 %), with\n"
    "                              --ladder-lane; bands:K,L,..., those bands summed; or\n"
    "                              lane-total\n"
    "  --control C                 the loading control: band:K, size:S or bands:K,L,... in\n"
    "                              the same lane (a housekeeping protein), lane-total (the\n"
    "                              lane's whole content), stain (the lane's whole content\n"
    "                              on the --stain picture) or none (the default: every\n"
    "                              factor is 1)\n"
    "  --stain PICTURE2            a picture of the same membrane's total-protein stain,\n"
    "                              the same size as PICTURE: the lanes found on PICTURE are\n"
    "                              read at the same place on it\n"
    "  --reference R               the reference: a group's name (the default: the table's\n"
    "                              first group), or lane:N for one lane\n"
    "  --exclude-flagged           leaves out lanes whose target or control is flagged\n"
    "                              (saturated: samples at the end of the scale); they are\n"
    "                              counted otherwise. Either way a warning on standard\n"
    "                              error names each flagged lane and why\n"
    "  --standards                 fits a standard curve to the table's rows with ROLE\n"
    "                              standard (their AMOUNT column the amount loaded; their\n"
    "                              band chosen as --target chooses) and adds AMOUNT (read\n"
    "                              off the curve; empty beyond the standards or with no\n"
    "                              curve) and IN_RANGE (yes or no: no when outside the\n"
    "                              linear range or the standards, or saturated) to each\n"
    "                              lane's line, then prints one line after the groups:\n"
    "                                CURVE MODEL R2 LOW HIGH\n"
    "                              LOW and HIGH the lowest and highest standard amount of\n"
    "                              the linear range (empty when there is none): the widest\n"
    "                              run of at least 3 unsaturated standards whose straight\n"
    "                              line keeps every residual within the limit. Refused\n"
    "                              when the table has no standards or too few for the model\n"
    "  --curve M                   the curve: linear (the default), linear-origin,\n"
    "                              quadratic or 4pl (four-parameter logistic)\n"
    "  --weighting W               none (the default) or 1/amount\n"
    "  --range-limit PERCENT       the largest residual in the linear range (default 15)\n"
    "  --quantify Q                profile (the default): volumes between the bands'\n"
    "                              boundaries on the lane's profile; fit: areas of\n"
    "                              Gaussian peaks fitted to the profile\n"
    "  --lane-background B         the baseline under each lane's profile (see lanes)\n"
    "  --output FILE               also writes both tables with every detail (blot scale,\n"
    "                              role, flags, where each value came from, log2 of the\n"
    "                              fold, each replicate's value) and how the result was\n"
    "                              made: .xlsx (sheets Lanes and Groups), or .csv or\n"
    "                              .txt/.tsv (the tables one after the other)\n"
    "The channel, invert, background, horizontal, sensitivity, page and ladder options\n"
    "are those of the lanes command (kestoscan lanes --help).\n"
    "\n"
    "Notes on standard error say how the result was made. Exit status: 0 done, 1 a\n"
    "picture or file could not be read or written, 2 bad arguments, a sample table that\n"
    "cannot be read or does not fit the lanes, or a result that cannot be made (a\n"
    "reference without a usable control, ...). Nothing is written when anything fails.\n";

constexpr qint64 MaxSampleFileBytes = 16 * 1024 * 1024;

[[noreturn]] void usage(const QString& message)
{
    batch::usage(QStringLiteral("results"), message);
}

// One value of an option given at most once, or none.
std::optional<QString> once(const QCommandLineParser& parser, const QString& name)
{
    return batch::once(parser, QStringLiteral("results"), name);
}

BandChoice choiceOf(const QCommandLineParser& parser, const QString& name,
                    const BandChoice& otherwise)
{
    const auto text = once(parser, name);
    if (!text)
        return otherwise;
    QString why;
    const std::optional<BandChoice> choice = parseBandChoice(*text, &why);
    if (!choice)
        usage(QStringLiteral("--%1 ").arg(name) + why);
    return *choice;
}

SampleTable readSamples(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure{
            BatchFailed,
            QStringLiteral("Cannot read the sample table:\n%1\n%2").arg(path, file.errorString())};
    if (file.size() > MaxSampleFileBytes)
        throw Failure{BatchUsage, QStringLiteral("%1: the sample table is larger than %2 MB")
                                      .arg(path)
                                      .arg(MaxSampleFileBytes >> 20)};
    const QByteArray bytes = file.read(MaxSampleFileBytes + 1);
    if (bytes.size() > MaxSampleFileBytes)
        throw Failure{BatchUsage, QStringLiteral("%1: the sample table is larger than %2 MB")
                                      .arg(path)
                                      .arg(MaxSampleFileBytes >> 20)};
    return parseSampleTable(QString::fromUtf8(bytes), path);
}

QString cell(const std::optional<double>& value)
{
    return value ? doubleText(*value) : QString();
}

// How the standard curve came out, for standard error.
QString standardCurveNote(const StandardCurve& curve)
{
    const CurveFit& fit = curve.curve();
    QString note = QStringLiteral("note: standard curve: %1, weighting %2, fitted to %3 standards")
                       .arg(curveModelText(curve.options().model),
                            curveWeightingText(curve.options().weighting))
                       .arg(fit.points);
    const LinearRange& range = curve.linearRange();
    note += range.found ? QStringLiteral("; linear range %1 to %2 (residuals within %3 %)")
                              .arg(doubleText(range.low), doubleText(range.high),
                                   doubleText(curve.options().residualLimitPercent))
                        : QStringLiteral("; no linear range: ") + range.reason;
    const LackOfFit& mandel = curve.lackOfFit();
    if (mandel.ok)
        note += QStringLiteral("; Mandel's test p = %1").arg(doubleText(mandel.p));
    note += QLatin1Char('\n');
    for (const CurveStandardResult& s : curve.standards())
        if (!s.inLinearRange)
            note += QStringLiteral("note: standard %1 (amount %2) is outside the linear range%3\n")
                        .arg(s.standard.label, doubleText(s.standard.amount),
                             s.standard.saturated ? QStringLiteral(": saturated") : QString());
    return note;
}

QByteArray run(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QString value = QStringLiteral("value");
    for (const char* name :
         {"channel", "background", "background-color", "sensitivity", "page", "quantify",
          "lane-background", "ladder-lane", "ladder", "size-fit", "stain", "samples", "target",
          "control", "reference", "output", "curve", "weighting", "range-limit"})
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), value));
    for (const char* name : {"invert", "horizontal", "extrapolate", "exclude-flagged", "standards"})
        parser.addOption(QCommandLineOption(QLatin1String(name)));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(QStringList{QStringLiteral("kestoscan results")} + arguments))
        usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        say(out, QLatin1String(ResultsUsage));
        return QByteArray();
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        usage(QStringLiteral("expected a PICTURE file"));
    if (positional.size() > 1)
        usage(QStringLiteral("expected one PICTURE file, found also \"%1\"").arg(positional.at(1)));
    const QString picturePath = positional.constFirst();
    const auto samplesPath = once(parser, QStringLiteral("samples"));
    if (!samplesPath)
        usage(QStringLiteral("expected --samples FILE, the sample table"));
    const auto stainPath = once(parser, QStringLiteral("stain"));

    ResultOptions options;
    options.target = choiceOf(parser, QStringLiteral("target"), BandChoice::nth(0));
    options.control = choiceOf(parser, QStringLiteral("control"), BandChoice::none());
    if (options.target.kind == BandChoice::Kind::None ||
        options.target.kind == BandChoice::Kind::Stain)
        usage(QStringLiteral("--target: the target is a band, bands or the lane total"));
    if (options.control.kind == BandChoice::Kind::Stain && !stainPath)
        usage(QStringLiteral("--control stain needs --stain PICTURE2"));
    if (stainPath && options.control.kind != BandChoice::Kind::Stain)
        usage(QStringLiteral("--stain goes with --control stain"));
    if (const auto text = once(parser, QStringLiteral("reference"))) {
        QString why;
        const std::optional<ResultReference> reference = parseResultReference(*text, &why);
        if (!reference)
            usage(QStringLiteral("--reference ") + why);
        options.reference = *reference;
    }
    options.excludeFlagged = parser.isSet(QStringLiteral("exclude-flagged"));

    const bool withStandards = parser.isSet(QStringLiteral("standards"));
    StandardResultOptions curveOptions;
    if (const auto text = once(parser, QStringLiteral("curve"))) {
        QString why;
        const std::optional<CurveModel> model = parseCurveModel(*text, &why);
        if (!model)
            usage(QStringLiteral("--curve: ") + why);
        curveOptions.curve.model = *model;
    }
    if (const auto text = once(parser, QStringLiteral("weighting"))) {
        QString why;
        const std::optional<CurveWeighting> weighting = parseCurveWeighting(*text, &why);
        if (!weighting)
            usage(QStringLiteral("--weighting: ") + why);
        curveOptions.curve.weighting = *weighting;
    }
    if (const auto text = once(parser, QStringLiteral("range-limit"))) {
        bool ok = false;
        const double limit = text->trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(limit) || !(limit > 0) || limit > MaxResidualLimitPercent)
            usage(QStringLiteral(
                      "--range-limit: expected a per cent above 0 and at most 1000, not \"%1\"")
                      .arg(*text));
        curveOptions.curve.residualLimitPercent = limit;
    }
    for (const char* name : {"curve", "weighting", "range-limit"})
        if (!withStandards && parser.isSet(QLatin1String(name)))
            usage(QStringLiteral("--%1 goes with --standards").arg(QLatin1String(name)));

    const Sizing sizing = sizingOf(parser, QStringLiteral("results"));
    const bool wantsSizes = options.target.kind == BandChoice::Kind::Size ||
                            options.control.kind == BandChoice::Kind::Size;
    if (wantsSizes && sizing.ladders.empty())
        usage(QStringLiteral("size:S needs the bands' sizes: give --ladder-lane N --ladder SIZES"));

    LaneReading reading;
    if (const auto text = once(parser, QStringLiteral("quantify"))) {
        QString why;
        const std::optional<QuantifyMode> mode = parseQuantifyMode(*text, &why);
        if (!mode)
            usage(QStringLiteral("--quantify: ") + why);
        if (*mode == QuantifyMode::Frame)
            usage(QStringLiteral("--quantify frame: results read bands on their lanes' profiles; "
                                 "use profile (the default) or fit"));
        reading.mode = *mode;
    }
    if (const auto text = once(parser, QStringLiteral("lane-background"))) {
        QString why;
        const std::optional<LaneBackground> background = parseLaneBackground(*text, &why);
        if (!background)
            usage(QStringLiteral("--lane-background \"%1\": ").arg(*text) + why);
        reading.background = *background;
    }
    const double sensitivity = sensitivityOf(parser, QStringLiteral("results"));
    const int page = pageOf(parser, QStringLiteral("results"));
    std::optional<std::pair<QString, SheetFileType>> output;
    if (const auto path = once(parser, QStringLiteral("output"))) {
        const std::optional<SheetFileType> type = sheetFileTypeOf(*path);
        if (!type)
            usage(QStringLiteral(
                      "--output \"%1\": expected a file name ending in .xlsx, .csv, .txt or .tsv")
                      .arg(*path));
        output = std::make_pair(*path, *type);
    }

    // Everything given is read before any picture is: a table that cannot be read is
    // refused at once.
    SampleTable table;
    try {
        table = readSamples(*samplesPath);
    } catch (const SampleTableError& error) {
        throw Failure{BatchUsage, error.message()};
    }

    const int fullScale = fileChannelFullScale(picturePath, page);
    const MeasurementPlan plan = pictureSteps(parser, QStringLiteral("results"), fullScale);
    GelImageLoad load = checkedPicture(loadGelImage(picturePath, page), picturePath);
    MeasurementSession session(load.image);
    load.image = QImage();
    runMeasurementPlan(session, plan);

    const LaneFinderOptions finder = finderOptionsOf(parser, session, sensitivity);
    const LaneFinding finding = findLanesAndBands(session.picture(), QRect(), finder);
    std::vector<LaneStrip> strips;
    std::vector<std::vector<FoundFrame>> bands;
    for (const FoundLane& lane : finding.lanes) {
        strips.push_back(LaneStrip::of(lane, finder.orientation));
        bands.push_back(lane.bands);
    }
    reading.channel = session.channel();
    reading.darkBands = finding.darkOnLight;
    std::vector<LaneBands> lanes = readLaneBands(session.picture(), strips, bands, reading);

    if (!sizing.ladders.empty()) {
        for (const LadderLane& ladder : sizing.ladders)
            if (std::size_t(ladder.lane) >= finding.lanes.size())
                usage(QStringLiteral("--ladder-lane %1: only %2 lanes were found")
                          .arg(ladder.lane + 1)
                          .arg(finding.lanes.size()));
        const std::vector<SizedLane> sized = sizedLanes(finding, finder.orientation);
        const GelSizes sizes = sizeGelBands(sized, sizing.ladders, sizing.fit, sizing.extrapolate);
        for (const QString& note : sizes.notes)
            say(err, QStringLiteral("warning: ") + note + QLatin1Char('\n'));
        for (std::size_t lane = 0; lane < lanes.size() && lane < sizes.bands.size(); ++lane)
            for (std::size_t band = 0;
                 band < lanes[lane].bands.size() && band < sizes.bands[lane].size(); ++band)
                lanes[lane].bands[band].size = sizes.bands[lane][band].size;
    }

    if (stainPath) {
        GelImageLoad stainLoad = checkedPicture(loadGelImage(*stainPath, 0), *stainPath);
        MeasurementSession stain(stainLoad.image);
        stainLoad.image = QImage();
        MeasurementPlan stainPlan =
            pictureSteps(parser, QStringLiteral("results"), fileChannelFullScale(*stainPath, 0));
        runMeasurementPlan(stain, stainPlan);
        // The stain's own contrast: a stain may be dark on light where the picture is not.
        LaneFinderOptions stainFinder;
        stainFinder.channel = stain.channel();
        LaneReading stainReading = reading;
        stainReading.darkBands =
            findLanesAndBands(stain.picture(), QRect(), stainFinder).darkOnLight;
        try {
            readStainTotals(lanes, stain.picture(), session.picture().size(), strips, stainReading);
        } catch (const ResultsError& error) {
            usage(QStringLiteral("--stain \"%1\": ").arg(*stainPath) + error.message());
        }
    }

    Results results;
    StandardResults standards;
    try {
        if (withStandards) {
            standards = computeStandardResults(table, lanes, options, curveOptions);
            results = standards.raw;
        } else {
            results = computeResults(table, lanes, options);
        }
    } catch (const ResultsError& error) {
        throw Failure{BatchUsage, *samplesPath + QStringLiteral(": ") + error.message()};
    }
    const StandardCurve* curve = withStandards ? standards.curve(0) : nullptr;
    if (withStandards && !curve)
        throw Failure{BatchUsage,
                      *samplesPath + QStringLiteral(": --standards needs rows with role standard "
                                                    "and their AMOUNT, and the table has none")};
    if (curve && !curve->ok())
        throw Failure{BatchUsage, *samplesPath +
                                      QStringLiteral(": the standard curve cannot be made: ") +
                                      curve->reason()};

    QString messages;
    for (const QString& note : results.notes)
        messages += QStringLiteral("note: ") + note + QLatin1Char('\n');
    if (curve) {
        for (const QString& note : standards.notes)
            messages += QStringLiteral("note: ") + note + QLatin1Char('\n');
        messages += standardCurveNote(*curve);
    }
    QByteArray lines;
    for (const LaneResult& r : results.lanes) {
        const bool counted = r.inTable && r.role == SampleRole::Sample && !r.group.isEmpty();
        if (!r.flags.isEmpty())
            messages +=
                QStringLiteral("warning: lane %1: %2%3\n")
                    .arg(r.lane + 1)
                    .arg(r.flags.join(QStringLiteral("; ")),
                         !counted ? QString()
                         : r.leftOut
                             ? QStringLiteral(" (left out)")
                             : QStringLiteral(" (counted; --exclude-flagged leaves it out)"));
        else if (counted && r.leftOut)
            messages += QStringLiteral("warning: lane %1 is not counted: %2\n")
                            .arg(r.lane + 1)
                            .arg(r.reason);
        QStringList row{QString::number(r.lane + 1),
                        r.sample,
                        r.group,
                        r.replicate > 0 ? QString::number(r.replicate) : QString(),
                        cell(r.target),
                        cell(r.control),
                        cell(r.factor),
                        cell(r.normalized)};
        if (curve) {
            const CurveAmount& amount =
                standards.lanes[std::size_t(&r - results.lanes.data())].amount;
            row << cell(amount.amount)
                << (amount.inLinearRange() ? QStringLiteral("yes") : QStringLiteral("no"));
            if (!amount.inLinearRange() && r.inTable && r.role == SampleRole::Sample)
                messages += QStringLiteral("warning: lane %1: amount not in the linear range: %2\n")
                                .arg(r.lane + 1)
                                .arg(amount.amount ? amount.flagsText() : amount.reason);
        }
        lines += row.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    for (const GroupResult& g : results.groups) {
        const QStringList row{g.group,     QString::number(g.n), cell(g.mean), cell(g.sd),
                              cell(g.sem), cell(g.cv),           cell(g.fold)};
        lines += row.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    if (curve) {
        const LinearRange& range = curve->linearRange();
        const QStringList row{QStringLiteral("CURVE"), curveModelText(curve->options().model),
                              std::isfinite(curve->curve().rSquared)
                                  ? doubleText(curve->curve().rSquared)
                                  : QString(),
                              range.found ? doubleText(range.low) : QString(),
                              range.found ? doubleText(range.high) : QString()};
        lines += row.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    if (output)
        writeResultsFile(results, output->first, output->second, curve ? &standards : nullptr);
    say(err, messages);
    return lines;
}

} // namespace

QString resultsUsage()
{
    return QLatin1String(ResultsUsage);
}

int runResultsCommand(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    return guarded(err, [&] {
        const QByteArray result = run(arguments, out, err);
        // Results reach standard output only once everything has worked.
        if (!result.isEmpty() && out.write(result) != result.size())
            throw Failure{BatchFailed,
                          QStringLiteral("the results could not be written to standard output")};
        return int(BatchOk);
    });
}

} // namespace kesto
