#include "core/resultsplan.h"

#include "core/measurementplan.h"
#include "core/measurementrecord.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

[[noreturn]] void fail(const QString& where, const QString& what)
{
    throw PlanError(where + QStringLiteral(": ") + what);
}

QString shortText(const QString& value)
{
    constexpr int Longest = 40;
    return QLatin1Char('"') +
           (value.size() <= Longest ? value : value.left(Longest) + QStringLiteral("...")) +
           QLatin1Char('"');
}

int wholeValue(const QString& where, const QString& name, const QString& value, int lowest,
               int highest)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < lowest || number > highest)
        fail(where, QStringLiteral("expected %1 from %2 to %3, found %4")
                        .arg(name)
                        .arg(lowest)
                        .arg(highest)
                        .arg(shortText(value)));
    return number;
}

double realValue(const QString& where, const QString& name, const QString& value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        fail(where,
             QStringLiteral("expected a number for %1, found %2").arg(name, shortText(value)));
    return number;
}

QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

SampleRow parseSamplePlanValues(const QStringList& values, const QString& where)
{
    if (values.size() < 5)
        fail(where,
             QStringLiteral("expected LANE \"SAMPLE\" \"GROUP\" REPLICATE ROLE after \"sample\", "
                            "found %1 values")
                 .arg(values.size()));
    SampleRow row;
    row.lane = wholeValue(where, QStringLiteral("LANE"), values.at(0), 1, MaxSampleLane) - 1;
    row.sample = values.at(1);
    row.group = values.at(2);
    row.replicate = wholeValue(where, QStringLiteral("REPLICATE"), values.at(3), 0, MaxSampleLane);
    QString why;
    const std::optional<SampleRole> role = parseSampleRole(values.at(4), &why);
    if (!role)
        fail(where, why);
    row.role = *role;
    bool blot = false, amount = false, notes = false;
    for (int i = 5; i < values.size();) {
        const QString& key = values.at(i);
        const auto need = [&](int count, bool& seen) {
            if (seen)
                fail(where, QStringLiteral("\"%1\" is given twice").arg(key));
            seen = true;
            if (i + count >= values.size())
                fail(where, QStringLiteral("expected %1 value%2 after \"%3\"")
                                .arg(count)
                                .arg(count == 1 ? QString() : QStringLiteral("s"))
                                .arg(key));
        };
        if (key == QLatin1String("blot")) {
            need(1, blot);
            row.blot =
                wholeValue(where, QStringLiteral("BLOT"), values.at(i + 1), 1, MaxSampleBlot) - 1;
            i += 2;
        } else if (key == QLatin1String("amount")) {
            need(2, amount);
            row.amount = realValue(where, QStringLiteral("AMOUNT"), values.at(i + 1));
            row.unit = values.at(i + 2);
            i += 3;
        } else if (key == QLatin1String("notes")) {
            need(1, notes);
            row.notes = values.at(i + 1);
            i += 2;
        } else {
            fail(where,
                 QStringLiteral("expected blot, amount or notes, found %1").arg(shortText(key)));
        }
    }
    const QString fault = sampleRowFault(row);
    if (!fault.isEmpty())
        fail(where, fault);
    return row;
}

namespace {

// Calls take(key, value) for each KEY VALUE pair after the instruction, refusing an odd
// count and a key given twice.
template <typename Take>
void forEachPair(const QStringList& values, const QString& where, const char* instruction,
                 Take take)
{
    if (values.size() % 2 != 0)
        fail(where, QStringLiteral("expected KEY VALUE pairs after \"%1\", found %2 values")
                        .arg(QLatin1String(instruction))
                        .arg(values.size()));
    QStringList seen;
    for (int i = 0; i + 1 < values.size(); i += 2) {
        const QString& key = values.at(i);
        if (seen.contains(key))
            fail(where, QStringLiteral("\"%1\" is given twice").arg(key));
        seen << key;
        take(key, values.at(i + 1));
    }
}

} // namespace

ResultOptions parseResultsPlanValues(const QStringList& values, const QString& where)
{
    ResultOptions options;
    forEachPair(values, where, "results", [&](const QString& key, const QString& value) {
        QString why;
        if (key == QLatin1String("target") || key == QLatin1String("control")) {
            const std::optional<BandChoice> choice = parseBandChoice(value, &why);
            if (!choice)
                fail(where, QStringLiteral("%1: %2").arg(key, why));
            (key == QLatin1String("target") ? options.target : options.control) = *choice;
        } else if (key == QLatin1String("reference")) {
            const std::optional<ResultReference> reference = parseResultReference(value, &why);
            if (!reference)
                fail(where, QStringLiteral("reference: %1").arg(why));
            options.reference = *reference;
        } else if (key == QLatin1String("flagged")) {
            if (value != QLatin1String("keep") && value != QLatin1String("exclude"))
                fail(where, QStringLiteral("expected keep or exclude after \"flagged\", found %1")
                                .arg(shortText(value)));
            options.excludeFlagged = value == QLatin1String("exclude");
        } else if (key == QLatin1String("spread")) {
            const std::optional<Spread> spread = parseSpread(value, &why);
            if (!spread)
                fail(where, QStringLiteral("spread: %1").arg(why));
            options.spread = *spread;
        } else if (key == QLatin1String("tolerance")) {
            const double share = realValue(where, QStringLiteral("the tolerance"), value);
            if (share <= 0 || share > 1)
                fail(where, QStringLiteral("expected a tolerance above 0 and at most 1, found %1")
                                .arg(shortText(value)));
            options.sizeTolerance = share;
        } else {
            fail(where, QStringLiteral("expected target, control, reference, flagged, spread or "
                                       "tolerance, found %1")
                            .arg(shortText(key)));
        }
    });
    return options;
}

CurveOptions parseCurvePlanValues(const QStringList& values, const QString& where)
{
    CurveOptions options;
    forEachPair(values, where, "curve", [&](const QString& key, const QString& value) {
        QString why;
        if (key == QLatin1String("model")) {
            const std::optional<CurveModel> model = parseCurveModel(value, &why);
            if (!model)
                fail(where, QStringLiteral("model: %1").arg(why));
            options.model = *model;
        } else if (key == QLatin1String("weighting")) {
            const std::optional<CurveWeighting> weighting = parseCurveWeighting(value, &why);
            if (!weighting)
                fail(where, QStringLiteral("weighting: %1").arg(why));
            options.weighting = *weighting;
        } else if (key == QLatin1String("limit")) {
            const double percent = realValue(where, QStringLiteral("the limit"), value);
            if (!(percent > 0) || percent > MaxResidualLimitPercent)
                fail(where, QStringLiteral("expected a limit above 0 and at most %1 per cent, "
                                           "found %2")
                                .arg(MaxResidualLimitPercent)
                                .arg(shortText(value)));
            options.residualLimitPercent = percent;
        } else {
            fail(
                where,
                QStringLiteral("expected model, weighting or limit, found %1").arg(shortText(key)));
        }
    });
    return options;
}

QString samplePlanLine(const SampleRow& row)
{
    // Joined, not arg()ed: a name may hold "%1".
    QStringList words{QStringLiteral("sample"),       QString::number(row.lane + 1),
                      quotedPlanText(row.sample),     quotedPlanText(row.group),
                      QString::number(row.replicate), sampleRoleText(row.role)};
    if (row.blot != 0)
        words << QStringLiteral("blot") << QString::number(row.blot + 1);
    if (row.amount)
        words << QStringLiteral("amount") << numberText(*row.amount) << quotedPlanText(row.unit);
    if (!row.notes.isEmpty())
        words << QStringLiteral("notes") << quotedPlanText(row.notes);
    return words.join(QLatin1Char(' '));
}

QString resultsPlanLine(const ResultOptions& options)
{
    QStringList words{QStringLiteral("results"), QStringLiteral("target"),
                      bandChoiceText(options.target), QStringLiteral("control"),
                      bandChoiceText(options.control)};
    if (options.reference != ResultReference())
        words << QStringLiteral("reference")
              << quotedPlanText(resultReferenceText(options.reference));
    words << QStringLiteral("flagged")
          << (options.excludeFlagged ? QStringLiteral("exclude") : QStringLiteral("keep"))
          << QStringLiteral("spread") << spreadText(options.spread) << QStringLiteral("tolerance")
          << numberText(options.sizeTolerance);
    return words.join(QLatin1Char(' '));
}

std::pair<QString, QByteArray> parseStainPlanValues(const QStringList& values, const QString& where)
{
    if ((values.size() != 1 && values.size() != 3) || values.constFirst().isEmpty())
        fail(where, QStringLiteral("expected \"PATH\" of the stain picture after \"stain\", "
                                   "then sha256 HEX or nothing"));
    if (values.size() == 1)
        return {values.constFirst(), QByteArray()};
    const QString& hex = values.at(2);
    const bool digits =
        hex.size() == 64 && std::all_of(hex.begin(), hex.end(), [](QChar c) {
            const char16_t u = c.unicode();
            return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        });
    if (values.at(1) != QLatin1String("sha256") || !digits)
        fail(where, QStringLiteral("expected sha256 and 64 hexadecimal digits after the stain "
                                   "picture's path"));
    return {values.constFirst(), hex.toLower().toLatin1()};
}

std::pair<int, std::vector<int>> parsePickPlanValues(const QStringList& values,
                                                     const QString& where)
{
    if (values.size() != 2)
        fail(where, QStringLiteral("expected LANE K,L,... after \"pick\""));
    const int lane = wholeValue(where, QStringLiteral("LANE"), values.at(0), 1, MaxSampleLane);
    QString why;
    const std::optional<BandChoice> bands =
        parseBandChoice(QStringLiteral("bands:") + values.at(1), &why);
    if (!bands)
        fail(where, why);
    return {lane - 1, bands->picked};
}

QString stainPlanLine(const StainPicture& stain)
{
    QString line = QStringLiteral("stain ") + quotedPlanText(stain.path);
    if (!stain.sha256.isEmpty())
        line += QStringLiteral(" sha256 ") + QString::fromLatin1(stain.sha256);
    return line;
}

QString pickPlanLine(int lane, const std::vector<int>& bands)
{
    // "bands:2,3" without its kind.
    const QString picked = bandChoiceText(BandChoice::bands(bands));
    return QStringLiteral("pick %1 %2")
        .arg(lane + 1)
        .arg(picked.mid(picked.indexOf(QLatin1Char(':')) + 1));
}

QString curvePlanLine(const CurveOptions& options)
{
    return QStringList{QStringLiteral("curve"),
                       QStringLiteral("model"),
                       curveModelText(options.model),
                       QStringLiteral("weighting"),
                       curveWeightingText(options.weighting),
                       QStringLiteral("limit"),
                       numberText(options.residualLimitPercent)}
        .join(QLatin1Char(' '));
}

QString resultsPlanText(const SampleTable& table, const ResultOptions& options,
                        const CurveOptions& curve, const StainPicture& stain,
                        const LanePicks& picks)
{
    QString text;
    for (const SampleRow& row : table.rows())
        text += samplePlanLine(row) + QLatin1Char('\n');
    if (!stain.isNull())
        text += stainPlanLine(stain) + QLatin1Char('\n');
    for (const auto& [lane, bands] : picks)
        text += pickPlanLine(lane, bands) + QLatin1Char('\n');
    if (!table.isEmpty() || options != ResultOptions() || !stain.isNull() || !picks.empty())
        text += resultsPlanLine(options) + QLatin1Char('\n');
    if (curve != CurveOptions())
        text += curvePlanLine(curve) + QLatin1Char('\n');
    return text;
}

} // namespace kesto
