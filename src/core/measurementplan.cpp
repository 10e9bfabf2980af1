#include "core/measurementplan.h"

#include "core/numbers.h"
#include "core/resultsplan.h"
#include "core/sheetdata.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>

namespace kesto {

namespace {

// The working-cell read-out carries the row as a 16-bit number, so a higher row could be
// picked but never written: such rows are refused up front.
constexpr int MaxCellRow = std::numeric_limits<std::int16_t>::max();

// A value as the message shows it: quoted, and cut short when it is long.
QString shown(const QString& value)
{
    constexpr int Longest = 40;
    if (value.size() <= Longest)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return QLatin1Char('"') + value.left(Longest) + QStringLiteral("...\"");
}

[[noreturn]] void fail(const QString& where, const QString& what)
{
    throw PlanError(where + QStringLiteral(": ") + what);
}

double number(const QString& where, const QString& name, const QString& value)
{
    if (!isNumber(value))
        fail(where, QStringLiteral("expected a number for %1, found %2").arg(name, shown(value)));
    try {
        return parseDouble(value);
    } catch (const Error&) {
        fail(where, QStringLiteral("expected a number for %1 that is not so large, found %2")
                        .arg(name, shown(value)));
    }
}

float single(const QString& where, const QString& name, const QString& value)
{
    const float result = float(number(where, name, value));
    if (!std::isfinite(result))
        fail(where,
             QStringLiteral("expected a number for %1 within the range of a single, found %2")
                 .arg(name, shown(value)));
    return result;
}

int whole(const QString& where, const QString& name, const QString& value, int lowest, int highest,
          const QString& range)
{
    const double result = number(where, name, value);
    if (result != std::floor(result) || result < lowest || result > highest)
        fail(where, QStringLiteral("expected %1 %2, found %3").arg(name, range, shown(value)));
    return int(result);
}

// A place across the gel or an Rf: a finite number of moderate size.
double sizePlace(const QString& where, const QString& name, const QString& value)
{
    constexpr double Largest = 1e7;
    const double result = number(where, name, value);
    if (!std::isfinite(result) || std::abs(result) > Largest)
        fail(where,
             QStringLiteral("expected %1 from -1e7 to 1e7, found %2").arg(name, shown(value)));
    return result;
}

double ladderSizeOf(const QString& where, const QString& value)
{
    const double result = number(where, QStringLiteral("SIZE"), value);
    if (!(result > 0) || result > MaxLadderSize)
        fail(where,
             QStringLiteral("expected a SIZE above 0 and at most 1e9, found %1").arg(shown(value)));
    return result;
}

void expectCount(const QString& where, const QString& instruction, const QStringList& values,
                 const QStringList& names)
{
    if (values.size() == names.size())
        return;
    if (names.isEmpty())
        fail(where, QStringLiteral("expected nothing after \"%1\", found %2")
                        .arg(instruction, shown(values.join(QLatin1Char(' ')))));
    fail(where, QStringLiteral("expected %1 value%2 for \"%3\" (%4), found %5")
                    .arg(names.size())
                    .arg(names.size() == 1 ? QString() : QStringLiteral("s"))
                    .arg(instruction, names.join(QStringLiteral(", ")))
                    .arg(values.size()));
}

// The band integration rounds each frame end to a 32-bit column or row; an end that does
// not fit cannot be scanned.
void expectEndFits(const QString& where, const QString& name, float start, float size)
{
    try {
        (void)toInt32(double(start));
        (void)toInt32(double(start + size));
    } catch (const Error&) {
        fail(where, QStringLiteral("expected the frame's %1 and its far edge within -2147483648 to "
                                   "2147483647")
                        .arg(name));
    }
}

// Positions along and across a lane: on a picture, which is never this large.
constexpr int MaxLanePosition = (1 << 26) - 1;
constexpr int MaxFitBands = 100;

int position(const QString& where, const QString& name, const QString& value)
{
    return whole(where, name, value, 0, MaxLanePosition,
                 QStringLiteral("from 0 to %1").arg(MaxLanePosition));
}

// "FROM TO FROM TO ...": band boundaries, each from no later than its to.
std::vector<BandBounds> boundsOf(const QString& where, const QStringList& values, int start)
{
    if (values.size() <= start || (values.size() - start) % 2 != 0)
        fail(where, QStringLiteral("expected the band's boundaries as FROM TO pairs, found %1")
                        .arg(shown(values.mid(start).join(QLatin1Char(' ')))));
    std::vector<BandBounds> bounds;
    for (int i = start; i + 1 < values.size(); i += 2) {
        BandBounds b{position(where, QStringLiteral("FROM"), values.at(i)),
                     position(where, QStringLiteral("TO"), values.at(i + 1))};
        if (b.to < b.from)
            fail(where, QStringLiteral("expected a band's FROM no later than its TO, found %1 %2")
                            .arg(b.from)
                            .arg(b.to));
        bounds.push_back(b);
    }
    return bounds;
}

void laneBackgroundOf(const QString& where, const QString& value, PlanStep& step)
{
    QString why;
    const auto background = parseLaneBackground(value, &why);
    if (!background)
        fail(where, why);
    step.laneBackground = *background;
}

void contrastOf(const QString& where, const QString& value, PlanStep& step)
{
    if (value != QLatin1String("light") && value != QLatin1String("dark"))
        fail(where, QStringLiteral("expected light or dark as the bands' contrast, found %1")
                        .arg(shown(value)));
    step.darkBands = value == QLatin1String("dark");
}

} // namespace

LaneStrip parseLaneStrip(const QStringList& values, const QString& where)
{
    if (values.size() < 5)
        fail(where, QStringLiteral("expected a lane as vertical|horizontal FIRST LAST WIDTH X,Y "
                                   "[X,Y ...], found %1")
                        .arg(shown(values.join(QLatin1Char(' ')))));
    LaneStrip lane;
    if (values.at(0) == QLatin1String("horizontal"))
        lane.orientation = LaneOrientation::Horizontal;
    else if (values.at(0) != QLatin1String("vertical"))
        fail(where,
             QStringLiteral("expected vertical or horizontal, found %1").arg(shown(values.at(0))));
    lane.first = position(where, QStringLiteral("FIRST"), values.at(1));
    lane.last = position(where, QStringLiteral("LAST"), values.at(2));
    if (lane.last < lane.first)
        fail(where, QStringLiteral("expected the lane's FIRST no later than its LAST, found %1 %2")
                        .arg(lane.first)
                        .arg(lane.last));
    lane.width = whole(where, QStringLiteral("WIDTH"), values.at(3), 1, MaxLanePosition,
                       QStringLiteral("from 1 to %1").arg(MaxLanePosition));
    int previous = -1;
    for (int i = 4; i < values.size(); ++i) {
        const QStringList xy = values.at(i).split(QLatin1Char(','));
        if (xy.size() != 2)
            fail(where, QStringLiteral("expected a point of the lane's path as X,Y, found %1")
                            .arg(shown(values.at(i))));
        const QPoint p(position(where, QStringLiteral("X"), xy.at(0)),
                       position(where, QStringLiteral("Y"), xy.at(1)));
        const int along = lane.orientation == LaneOrientation::Horizontal ? p.x() : p.y();
        if (along < previous)
            fail(where, QStringLiteral("expected the lane's path in order along the lane, found %1 "
                                       "after a later point")
                            .arg(shown(values.at(i))));
        previous = along;
        lane.path.push_back(p);
    }
    return lane;
}

QStringList planInstructionNames()
{
    return {
        QStringLiteral("channel"),          QStringLiteral("invert"), QStringLiteral("background"),
        QStringLiteral("background-color"), QStringLiteral("cell"),   QStringLiteral("frame"),
        QStringLiteral("background-method")};
}

PlanStep parsePlanStep(const QString& instruction, const QStringList& values, const QString& where,
                       int fullScale)
{
    PlanStep step;
    step.where = where;
    if (instruction == QLatin1String("channel")) {
        step.kind = PlanStep::Kind::Channel;
        expectCount(where, instruction, values, {QStringLiteral("red|green|blue")});
        const QString& name = values.constFirst();
        if (name == QLatin1String("red"))
            step.channel = Channel::Red;
        else if (name == QLatin1String("green"))
            step.channel = Channel::Green;
        else if (name == QLatin1String("blue"))
            step.channel = Channel::Blue;
        else
            fail(where, QStringLiteral("expected red, green or blue as the channel, found %1")
                            .arg(shown(name)));
    } else if (instruction == QLatin1String("invert")) {
        step.kind = PlanStep::Kind::Invert;
        expectCount(where, instruction, values, {});
    } else if (instruction == QLatin1String("background")) {
        step.kind = PlanStep::Kind::Background;
        expectCount(where, instruction, values, {QStringLiteral("X"), QStringLiteral("Y")});
        step.x = single(where, QStringLiteral("X"), values.at(0));
        step.y = single(where, QStringLiteral("Y"), values.at(1));
    } else if (instruction == QLatin1String("background-color")) {
        step.kind = PlanStep::Kind::BackgroundColor;
        const QStringList names{QStringLiteral("RED"), QStringLiteral("GREEN"),
                                QStringLiteral("BLUE")};
        expectCount(where, instruction, values, names);
        int bytes[3];
        for (int i = 0; i < 3; ++i)
            bytes[i] = whole(where, names.at(i), values.at(i), 0, fullScale,
                             QStringLiteral("from 0 to %1").arg(fullScale));
        step.colour = rgbValue(bytes[0], bytes[1], bytes[2]);
        step.levels = ChannelLevels{bytes[0], bytes[1], bytes[2]};
    } else if (instruction == QLatin1String("cell")) {
        step.kind = PlanStep::Kind::Cell;
        expectCount(where, instruction, values, {QStringLiteral("ROW"), QStringLiteral("COLUMN")});
        step.cell.row = whole(where, QStringLiteral("ROW"), values.at(0), 1, MaxCellRow,
                              QStringLiteral("from 1 to %1").arg(MaxCellRow));
        step.cell.column = whole(where, QStringLiteral("COLUMN"), values.at(1), 2, 3,
                                 QStringLiteral("2 (Band) or 3 (Int.Ctrl)"));
    } else if (instruction == QLatin1String("frame")) {
        step.kind = PlanStep::Kind::Frame;
        const QStringList names{QStringLiteral("LEFT"), QStringLiteral("TOP"),
                                QStringLiteral("WIDTH"), QStringLiteral("HEIGHT")};
        expectCount(where, instruction, values, names);
        float measures[4];
        for (int i = 0; i < 4; ++i)
            measures[i] = single(where, names.at(i), values.at(i));
        for (int i = 2; i < 4; ++i) {
            if (measures[i] < 0)
                fail(where, QStringLiteral("expected a %1 of 0 or more, found %2")
                                .arg(names.at(i), shown(values.at(i))));
        }
        step.frame = FrameGeometry{measures[0], measures[1], measures[2], measures[3]};
        expectEndFits(where, QStringLiteral("LEFT"), step.frame.left, step.frame.width);
        expectEndFits(where, QStringLiteral("TOP"), step.frame.top, step.frame.height);
    } else if (instruction == QLatin1String("background-method")) {
        step.kind = PlanStep::Kind::BackgroundMethod;
        expectCount(where, instruction, values, {QStringLiteral("METHOD")});
        QString why;
        const auto method = parseBackgroundMethod(values.constFirst(), &why);
        if (!method)
            fail(where, why);
        step.method = *method;
    } else if (instruction == QLatin1String("picture")) {
        step.kind = PlanStep::Kind::Picture;
        if (values.size() == 3 && values.at(1) == QLatin1String("page"))
            step.page = whole(where, QStringLiteral("PAGE"), values.at(2), 1, MaxPicturePage,
                              QStringLiteral("from 1 to %1").arg(MaxPicturePage));
        else
            expectCount(where, instruction, values, {QStringLiteral("\"PATH\" or clipboard")});
        // A bare clipboard names a pasted picture; a file of that name is written quoted.
        step.text =
            values.constFirst() == QLatin1String("clipboard") ? QString() : values.constFirst();
        if (values.constFirst().isEmpty())
            fail(where, QStringLiteral("expected a file path or clipboard, found \"\""));
    } else if (instruction == QLatin1String("picture-sha256")) {
        step.kind = PlanStep::Kind::PictureSha256;
        expectCount(where, instruction, values, {QStringLiteral("HEX")});
        static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}$"));
        if (!hex.match(values.constFirst()).hasMatch())
            fail(where, QStringLiteral("expected 64 hexadecimal digits for the SHA-256, found %1")
                            .arg(shown(values.constFirst())));
        step.sha256 = values.constFirst().toLower().toLatin1();
    } else if (instruction == QLatin1String("value") ||
               instruction == QLatin1String("pasted-value")) {
        step.kind = instruction == QLatin1String("value") ? PlanStep::Kind::Value
                                                          : PlanStep::Kind::PastedValue;
        expectCount(where, instruction, values,
                    {QStringLiteral("ROW"), QStringLiteral("COLUMN"), QStringLiteral("\"TEXT\"")});
        step.cell.row = whole(where, QStringLiteral("ROW"), values.at(0), 1, SheetData::MaxRows,
                              QStringLiteral("from 1 to %1").arg(SheetData::MaxRows));
        step.cell.column =
            whole(where, QStringLiteral("COLUMN"), values.at(1), 1, SheetData::MaxColumns,
                  QStringLiteral("from 1 to %1").arg(SheetData::MaxColumns));
        step.text = values.at(2);
    } else if (instruction == QLatin1String("lane")) {
        step.kind = PlanStep::Kind::Lane;
        step.lane = parseLaneStrip(values, where);
    } else if (instruction == QLatin1String("no-lane")) {
        step.kind = PlanStep::Kind::NoLane;
        expectCount(where, instruction, values, {});
    } else if (instruction == QLatin1String("band-volume")) {
        step.kind = PlanStep::Kind::BandVolume;
        if (values.size() != 4)
            expectCount(where, instruction, values,
                        {QStringLiteral("BACKGROUND"), QStringLiteral("light|dark"),
                         QStringLiteral("FROM"), QStringLiteral("TO")});
        laneBackgroundOf(where, values.at(0), step);
        contrastOf(where, values.at(1), step);
        step.bounds = boundsOf(where, values, 2);
    } else if (instruction == QLatin1String("fit-band")) {
        step.kind = PlanStep::Kind::FitBand;
        if (values.size() < 6)
            fail(where, QStringLiteral("expected BACKGROUND light|dark gaussian|emg K FROM TO "
                                       "[FROM TO ...] for \"fit-band\", found %1 values")
                            .arg(values.size()));
        laneBackgroundOf(where, values.at(0), step);
        contrastOf(where, values.at(1), step);
        if (values.at(2) == QLatin1String("emg"))
            step.shape = PeakShape::ExponentiallyModified;
        else if (values.at(2) != QLatin1String("gaussian"))
            fail(where, QStringLiteral("expected gaussian or emg as the peak shape, found %1")
                            .arg(shown(values.at(2))));
        step.bounds = boundsOf(where, values, 4);
        if (int(step.bounds.size()) > MaxFitBands)
            fail(where, QStringLiteral("expected at most %1 bands to fit together, found %2")
                            .arg(MaxFitBands)
                            .arg(step.bounds.size()));
        step.band =
            whole(where, QStringLiteral("K"), values.at(3), 1, int(step.bounds.size()),
                  QStringLiteral("from 1 to %1, one of the bands fitted").arg(step.bounds.size()));
    } else if (instruction == QLatin1String("ladder-lane")) {
        step.kind = PlanStep::Kind::LadderLane;
        if (values.size() < 4)
            fail(where, QStringLiteral("expected ACROSS UNIT RF:SIZE RF:SIZE [RF:SIZE ...] for "
                                       "\"ladder-lane\", found %1 values")
                            .arg(values.size()));
        if (values.size() - 2 > MaxLadderSizes)
            fail(where, QStringLiteral("expected at most %1 ladder bands, found %2")
                            .arg(MaxLadderSizes)
                            .arg(values.size() - 2));
        step.standard.across = sizePlace(where, QStringLiteral("ACROSS"), values.at(0));
        QString reason;
        const std::optional<SizeUnit> unit = parseSizeUnit(values.at(1), &reason);
        if (!unit)
            fail(where, reason);
        step.unit = *unit;
        for (qsizetype i = 2; i < values.size(); ++i) {
            const QStringList pair = values.at(i).split(QLatin1Char(':'));
            if (pair.size() != 2)
                fail(where, QStringLiteral("expected RF:SIZE for a ladder band, found %1")
                                .arg(shown(values.at(i))));
            LadderPoint point;
            point.rf = sizePlace(where, QStringLiteral("RF"), pair.at(0));
            point.size = ladderSizeOf(where, pair.at(1));
            step.standard.points.push_back(point);
        }
    } else if (instruction == QLatin1String("no-ladder")) {
        step.kind = PlanStep::Kind::NoLadder;
        expectCount(where, instruction, values, {});
    } else if (instruction == QLatin1String("size-fit")) {
        step.kind = PlanStep::Kind::SizeFit;
        if (values.isEmpty() || values.size() > 2 ||
            (values.size() == 2 && values.at(1) != QLatin1String("extrapolate")))
            fail(where, QStringLiteral("expected point-to-point, linear, quadratic or cubic and "
                                       "perhaps \"extrapolate\" for \"size-fit\", found %1")
                            .arg(shown(values.join(QLatin1Char(' ')))));
        QString reason;
        const std::optional<SizeFit> fit = parseSizeFit(values.at(0), &reason);
        if (!fit)
            fail(where, reason);
        step.sizeFit = *fit;
        step.extrapolate = values.size() == 2;
    } else if (instruction == QLatin1String("band-size")) {
        step.kind = PlanStep::Kind::BandSize;
        if (values.size() != 2 && (values.size() != 4 || values.at(2) != QLatin1String("ladder")))
            fail(where, QStringLiteral("expected ACROSS RF [ladder SIZE] for \"band-size\", "
                                       "found %1")
                            .arg(shown(values.join(QLatin1Char(' ')))));
        step.across = sizePlace(where, QStringLiteral("ACROSS"), values.at(0));
        step.rf = sizePlace(where, QStringLiteral("RF"), values.at(1));
        if (values.size() == 4)
            step.ladderSize = ladderSizeOf(where, values.at(3));
    } else if (instruction == QLatin1String("sample")) {
        step.kind = PlanStep::Kind::Sample;
        step.sample = parseSamplePlanValues(values, where);
    } else if (instruction == QLatin1String("results")) {
        step.kind = PlanStep::Kind::Results;
        step.results = parseResultsPlanValues(values, where);
    } else if (instruction == QLatin1String("stain")) {
        step.kind = PlanStep::Kind::Stain;
        std::tie(step.text, step.sha256) = parseStainPlanValues(values, where);
    } else if (instruction == QLatin1String("pick")) {
        step.kind = PlanStep::Kind::Pick;
        step.pick = parsePickPlanValues(values, where);
    } else if (instruction == QLatin1String("curve")) {
        step.kind = PlanStep::Kind::Curve;
        step.curve = parseCurvePlanValues(values, where);
    } else {
        fail(where,
             QStringLiteral("unknown instruction %1; expected one of %2")
                 .arg(shown(instruction), planInstructionNames().join(QStringLiteral(", "))));
    }
    return step;
}

QStringList planLineWords(QStringView line, const QString& where)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar ch = line.at(i);
        if (ch == QLatin1Char('#'))
            break;
        if (ch.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (ch != QLatin1Char('"')) {
            word += ch;
            continue;
        }
        // A quoted part: up to the next quote that is not escaped.
        bool closed = false;
        for (++i; i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (c == QLatin1Char('"')) {
                closed = true;
                break;
            }
            if (c == QLatin1Char('\\') && i + 1 < line.size()) {
                const QChar next = line.at(++i);
                switch (next.unicode()) {
                case 't':
                    word += QLatin1Char('\t');
                    break;
                case 'n':
                    word += QLatin1Char('\n');
                    break;
                case 'r':
                    word += QLatin1Char('\r');
                    break;
                default:
                    word += next;
                }
                continue;
            }
            word += c;
        }
        if (!closed)
            fail(where, QStringLiteral("expected a closing quote (\") at the end of the line"));
    }
    if (inWord)
        words << word;
    return words;
}

MeasurementPlan parseMeasurementPlan(QStringView text, const QString& source, int fullScale)
{
    MeasurementPlan plan;
    int lineNumber = 0;
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        ++lineNumber;
        const QString where = source + QLatin1Char(':') + QString::number(lineNumber);
        QStringList words = planLineWords(line, where);
        if (words.isEmpty())
            continue;
        const QString instruction = words.takeFirst();
        plan.steps.push_back(parsePlanStep(instruction, words, where, fullScale));
    }
    if (plan.steps.empty())
        throw PlanError(source + QStringLiteral(": the plan holds no instructions; expected lines "
                                                "such as \"cell 1 2\" and \"frame 20 50 39 15\""));
    return plan;
}

MeasurementPlan readMeasurementPlan(const QString& path, int fullScale)
{
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir())
        throw PlanError(path + QStringLiteral(": expected a plan file, found a folder"));
    if (!file.open(QIODevice::ReadOnly))
        throw PlanError(path +
                        QStringLiteral(": the plan cannot be read (%1)").arg(file.errorString()));
    if (file.size() > MaxPlanBytes)
        throw PlanError(
            path + QStringLiteral(": expected a plan of at most %1 MiB, found a file of %2 bytes")
                       .arg(MaxPlanBytes / (1024 * 1024))
                       .arg(file.size()));
    const QByteArray bytes = file.read(MaxPlanBytes + 1);
    if (bytes.size() > MaxPlanBytes)
        throw PlanError(path + QStringLiteral(": expected a plan of at most %1 MiB")
                                   .arg(MaxPlanBytes / (1024 * 1024)));
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return parseMeasurementPlan(text, path, fullScale);
}

} // namespace kesto
