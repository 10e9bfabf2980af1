#include "core/results.h"

#include "core/numbers.h"

#include <gsl/gsl_statistics_double.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace kesto {

namespace {

constexpr int MaxChoiceBand = 10000;

// The whole number in text from 1 to MaxChoiceBand, or 0.
int bandNumber(const QString& text)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok && number >= 1 && number <= MaxChoiceBand ? number : 0;
}

QString bandList(const std::vector<int>& bands, const QString& separator)
{
    QStringList numbers;
    for (int band : bands)
        numbers << QString::number(band + 1);
    return numbers.join(separator);
}

// What a choice found in one lane.
struct Pick
{
    std::optional<double> value;
    QString flag;    // why the value is not to be trusted
    QString trace;   // where it came from
    QString missing; // why there is no value
};

QString bandTrace(const LaneBands& lane, int band)
{
    const MeasuredBand& measured = lane.bands[std::size_t(band)];
    QString trace = QStringLiteral("band %1").arg(band + 1);
    if (measured.size)
        trace += QStringLiteral(" (size %1)").arg(doubleText(*measured.size));
    if (!measured.trace.isEmpty())
        trace += QStringLiteral(": ") + measured.trace;
    return trace;
}

Pick pickBands(const LaneBands& lane, const std::vector<int>& bands)
{
    Pick pick;
    const int count = int(lane.bands.size());
    double sum = 0;
    QStringList flags;
    QStringList traces;
    for (int band : bands) {
        if (band < 0 || band >= count) {
            pick.missing =
                count == 0 ? QStringLiteral("the lane has no bands, so no band %1").arg(band + 1)
                           : QStringLiteral("the lane has %1 band%2, so no band %3")
                                 .arg(count)
                                 .arg(count == 1 ? QString() : QStringLiteral("s"))
                                 .arg(band + 1);
            return pick;
        }
        const MeasuredBand& measured = lane.bands[std::size_t(band)];
        if (!measured.volume || !std::isfinite(*measured.volume)) {
            pick.missing = QStringLiteral("band %1 has no volume").arg(band + 1);
            if (!measured.flag.isEmpty())
                pick.missing += QStringLiteral(" (") + measured.flag + QLatin1Char(')');
            return pick;
        }
        sum += *measured.volume;
        if (!measured.flag.isEmpty())
            flags << (bands.size() > 1 ? QStringLiteral("band %1 ").arg(band + 1) : QString()) +
                         measured.flag;
        traces << bandTrace(lane, band);
    }
    pick.value = sum;
    pick.flag = flags.join(QStringLiteral("; "));
    pick.trace = traces.join(QStringLiteral("; "));
    return pick;
}

Pick pickNearestSize(const LaneBands& lane, double size, double tolerance)
{
    Pick pick;
    const int nearest = nearestSizedBand(lane, size);
    if (nearest < 0) {
        pick.missing = QStringLiteral("the lane's bands have no sizes");
        return pick;
    }
    const double found = *lane.bands[std::size_t(nearest)].size;
    if (std::abs(found - size) > tolerance * size) {
        pick.missing =
            QStringLiteral("no band within %1 % of size %2 (the nearest, band %3, has size %4)")
                .arg(doubleText(tolerance * 100), doubleText(size))
                .arg(nearest + 1)
                .arg(doubleText(found));
        return pick;
    }
    return pickBands(lane, {nearest});
}

Pick pickTotal(const std::optional<double>& total, const QString& flag, const QString& what,
               const QString& trace)
{
    Pick pick;
    if (!total || !std::isfinite(*total)) {
        pick.missing = QStringLiteral("the lane has no %1").arg(what);
        if (!flag.isEmpty())
            pick.missing += QStringLiteral(" (") + flag + QLatin1Char(')');
        return pick;
    }
    pick.value = *total;
    pick.flag = flag;
    pick.trace = what + (trace.isEmpty() ? QString() : QStringLiteral(": ") + trace);
    return pick;
}

Pick pickOf(const LaneBands& lane, const BandChoice& choice, const std::vector<int>& ownPicks,
            double tolerance)
{
    switch (choice.kind) {
    case BandChoice::Kind::None:
        return Pick{};
    case BandChoice::Kind::Band:
        return pickBands(lane, {choice.band});
    case BandChoice::Kind::Size:
        return pickNearestSize(lane, choice.size, tolerance);
    case BandChoice::Kind::Picked: {
        const std::vector<int>& picks = ownPicks.empty() ? choice.picked : ownPicks;
        if (picks.empty()) {
            Pick pick;
            pick.missing = QStringLiteral("no bands picked");
            return pick;
        }
        return pickBands(lane, picks);
    }
    case BandChoice::Kind::LaneTotal:
        return pickTotal(lane.total, lane.totalFlag, QStringLiteral("lane total"), lane.trace);
    case BandChoice::Kind::Stain:
        return pickTotal(lane.stainTotal, lane.stainFlag, QStringLiteral("stain lane total"),
                         lane.stainTrace);
    }
    return Pick{};
}

QString optionalText(const std::optional<double>& value)
{
    return value ? doubleText(*value) : QString();
}

double meanOf(const std::vector<double>& values)
{
    return gsl_stats_mean(values.data(), 1, values.size());
}

QString laneName(const LaneResult& lane, bool withBlot)
{
    return withBlot ? QStringLiteral("lane %1 of blot %2").arg(lane.lane + 1).arg(lane.blot + 1)
                    : QStringLiteral("lane %1").arg(lane.lane + 1);
}

} // namespace

std::optional<BandChoice> parseBandChoice(const QString& text, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::optional<BandChoice>();
    };
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("none"))
        return BandChoice::none();
    if (t == QLatin1String("lane-total"))
        return BandChoice::laneTotal();
    if (t == QLatin1String("stain"))
        return BandChoice::stain();
    const qsizetype colon = t.indexOf(QLatin1Char(':'));
    const QString kind = colon < 0 ? t : t.left(colon);
    const QString value = colon < 0 ? QString() : t.mid(colon + 1).trimmed();
    if (kind == QLatin1String("band")) {
        const int band = bandNumber(value);
        if (band == 0)
            return fail(QStringLiteral("\"%1\": expected band:K with K a band number from 1 to %2")
                            .arg(text)
                            .arg(MaxChoiceBand));
        return BandChoice::nth(band - 1);
    }
    if (kind == QLatin1String("size")) {
        bool ok = false;
        const double size = value.toDouble(&ok);
        if (!ok || !std::isfinite(size) || !(size > 0))
            return fail(QStringLiteral("\"%1\": expected size:S with S a size above 0").arg(text));
        return BandChoice::nearestSize(size);
    }
    if (kind == QLatin1String("bands")) {
        std::vector<int> picked;
        for (const QString& part : value.split(QLatin1Char(','))) {
            const int band = bandNumber(part);
            if (band == 0)
                return fail(
                    QStringLiteral("\"%1\": expected bands:K,L,... with band numbers from 1 to %2")
                        .arg(text)
                        .arg(MaxChoiceBand));
            if (std::find(picked.begin(), picked.end(), band - 1) != picked.end())
                return fail(QStringLiteral("\"%1\": band %2 is picked twice").arg(text).arg(band));
            picked.push_back(band - 1);
        }
        std::sort(picked.begin(), picked.end());
        return BandChoice::bands(std::move(picked));
    }
    return fail(
        QStringLiteral("\"%1\": expected band:K, size:S, bands:K,L,..., lane-total, stain or none")
            .arg(text));
}

QString bandChoiceText(const BandChoice& choice)
{
    switch (choice.kind) {
    case BandChoice::Kind::None:
        return QStringLiteral("none");
    case BandChoice::Kind::Band:
        return QStringLiteral("band:%1").arg(choice.band + 1);
    case BandChoice::Kind::Size:
        return QStringLiteral("size:") + doubleText(choice.size);
    case BandChoice::Kind::Picked:
        return QStringLiteral("bands:") + bandList(choice.picked, QStringLiteral(","));
    case BandChoice::Kind::LaneTotal:
        return QStringLiteral("lane-total");
    case BandChoice::Kind::Stain:
        return QStringLiteral("stain");
    }
    return QString();
}

QString bandChoiceLabel(const BandChoice& choice)
{
    switch (choice.kind) {
    case BandChoice::Kind::None:
        return QStringLiteral("none");
    case BandChoice::Kind::Band:
        return QStringLiteral("band %1").arg(choice.band + 1);
    case BandChoice::Kind::Size:
        return QStringLiteral("band nearest ") + doubleText(choice.size);
    case BandChoice::Kind::Picked:
        return choice.picked.empty()
                   ? QStringLiteral("bands picked")
                   : QStringLiteral("bands ") + bandList(choice.picked, QStringLiteral(" + "));
    case BandChoice::Kind::LaneTotal:
        return QStringLiteral("lane total");
    case BandChoice::Kind::Stain:
        return QStringLiteral("stain lane total");
    }
    return QString();
}

std::optional<ResultReference> parseResultReference(const QString& text, QString* error)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        if (error)
            *error = QStringLiteral("expected a group's name or lane:N");
        return std::nullopt;
    }
    ResultReference reference;
    if (!t.startsWith(QLatin1String("lane:"), Qt::CaseInsensitive)) {
        reference.group = t;
        return reference;
    }
    const QStringList parts = t.mid(5).split(QLatin1Char(':'));
    const int lane = bandNumber(parts.value(0));
    const int blot = parts.size() == 2 ? bandNumber(parts[1]) : 1;
    if (parts.size() > 2 || lane == 0 || lane > MaxSampleLane || blot == 0 ||
        blot > MaxSampleBlot) {
        if (error)
            *error = QStringLiteral("\"%1\": expected lane:N or lane:N:B with a lane from 1 to %2 "
                                    "and a blot from 1 to %3")
                         .arg(text)
                         .arg(MaxSampleLane)
                         .arg(MaxSampleBlot);
        return std::nullopt;
    }
    reference.lane = lane - 1;
    reference.blot = blot - 1;
    return reference;
}

QString resultReferenceText(const ResultReference& reference)
{
    if (reference.lane < 0)
        return reference.group;
    return reference.blot == 0
               ? QStringLiteral("lane:%1").arg(reference.lane + 1)
               : QStringLiteral("lane:%1:%2").arg(reference.lane + 1).arg(reference.blot + 1);
}

QString spreadText(Spread spread)
{
    return spread == Spread::SD ? QStringLiteral("sd") : QStringLiteral("sem");
}

std::optional<Spread> parseSpread(const QString& text, QString* error)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("sd"))
        return Spread::SD;
    if (t == QLatin1String("sem"))
        return Spread::SEM;
    if (error)
        *error = QStringLiteral("\"%1\": expected sd or sem").arg(text);
    return std::nullopt;
}

int nearestSizedBand(const LaneBands& lane, double size)
{
    int nearest = -1;
    double distance = 0;
    for (std::size_t b = 0; b < lane.bands.size(); ++b) {
        const std::optional<double>& s = lane.bands[b].size;
        if (!s || !(*s > 0))
            continue;
        const double d = std::abs(std::log(*s / size));
        if (nearest < 0 || d < distance) {
            nearest = int(b);
            distance = d;
        }
    }
    return nearest;
}

Results computeResults(const SampleTable& table, const std::vector<LaneBands>& measured,
                       const ResultOptions& options)
{
    if (options.target.kind == BandChoice::Kind::None ||
        options.target.kind == BandChoice::Kind::Stain)
        throw ResultsError(
            QStringLiteral("the target must be a band, bands or the lane total, not %1")
                .arg(bandChoiceLabel(options.target)));
    if (!(options.sizeTolerance >= 0) || !std::isfinite(options.sizeTolerance))
        throw ResultsError(QStringLiteral("the size tolerance must be a share from 0"));
    for (const BandChoice* choice : {&options.target, &options.control}) {
        const bool badPick =
            std::any_of(choice->picked.begin(), choice->picked.end(),
                        [](int band) { return band < 0 || band >= MaxChoiceBand; });
        if ((choice->kind == BandChoice::Kind::Band &&
             (choice->band < 0 || choice->band >= MaxChoiceBand)) ||
            (choice->kind == BandChoice::Kind::Size &&
             !(std::isfinite(choice->size) && choice->size > 0)) ||
            (choice->kind == BandChoice::Kind::Picked && badPick))
            throw ResultsError(
                QStringLiteral("%1 is no band that can be chosen").arg(bandChoiceLabel(*choice)));
    }
    for (const LaneBands& lane : measured)
        if (lane.lane < 0 || lane.lane >= MaxSampleLane || lane.blot < 0 ||
            lane.blot >= MaxSampleBlot)
            throw ResultsError(
                QStringLiteral("lane %1 of blot %2 is beyond the lanes a result holds")
                    .arg(lane.lane + 1)
                    .arg(lane.blot + 1));
    const bool stainControl = options.control.kind == BandChoice::Kind::Stain;
    if (stainControl && std::none_of(measured.begin(), measured.end(),
                                     [](const LaneBands& l) { return l.stainTotal.has_value(); }))
        throw ResultsError(QStringLiteral(
            "the control is the stain picture's lane total, but no stain picture was measured"));

    // The lanes measured, in blot and lane order; each lane once.
    std::vector<const LaneBands*> lanes;
    for (const LaneBands& lane : measured)
        lanes.push_back(&lane);
    std::sort(lanes.begin(), lanes.end(), [](const LaneBands* a, const LaneBands* b) {
        return std::make_pair(a->blot, a->lane) < std::make_pair(b->blot, b->lane);
    });
    for (std::size_t i = 1; i < lanes.size(); ++i)
        if (lanes[i]->blot == lanes[i - 1]->blot && lanes[i]->lane == lanes[i - 1]->lane)
            throw ResultsError(QStringLiteral("lane %1 of blot %2 was measured twice")
                                   .arg(lanes[i]->lane + 1)
                                   .arg(lanes[i]->blot + 1));
    int blots = 0;
    std::map<std::pair<int, int>, int> laneIndex;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        laneIndex[{lanes[i]->blot, lanes[i]->lane}] = int(i);
        blots = std::max(blots, lanes[i]->blot + 1);
    }
    const bool severalBlots = blots > 1 || table.blotCount() > 1;

    // The table must fit the lanes measured: a row for a lane that is not there is a
    // table made for another picture.
    {
        std::vector<int> laneCounts(std::size_t(blots), 0);
        bool contiguous = true;
        for (const LaneBands* lane : lanes) {
            int& count = laneCounts[std::size_t(lane->blot)];
            contiguous = contiguous && lane->lane == count;
            ++count;
        }
        QString fault;
        if (contiguous) {
            fault = sampleTableFault(table, laneCounts);
        } else {
            int index = 0;
            for (const SampleRow& row : table.rows()) {
                ++index;
                if (!laneIndex.count({row.blot, row.lane})) {
                    fault = QStringLiteral("row %1 names lane %2%3, which was not measured")
                                .arg(index)
                                .arg(row.lane + 1)
                                .arg(severalBlots ? QStringLiteral(" of blot %1").arg(row.blot + 1)
                                                  : QString());
                    break;
                }
            }
        }
        if (!fault.isEmpty())
            throw ResultsError(QStringLiteral("the sample table does not fit the lanes: ") + fault);
    }

    Results results;
    results.lanes.resize(lanes.size());
    std::vector<Pick> controls(lanes.size());
    // The groups in the table's order; only samples with a group enter one.
    QStringList groupNames;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        const LaneBands& lane = *lanes[i];
        LaneResult& r = results.lanes[i];
        r.lane = lane.lane;
        r.blot = lane.blot;
        if (const SampleRow* row = table.rowFor(lane.lane, lane.blot)) {
            r.inTable = true;
            r.sample = row->sample;
            r.group = row->group;
            r.replicate = row->replicate;
            r.role = row->role;
        }
        const Pick target = pickOf(lane, options.target, lane.targetPicks, options.sizeTolerance);
        r.target = target.value;
        r.targetTrace = target.trace;
        if (!target.flag.isEmpty())
            r.flags << QStringLiteral("target: ") + target.flag;
        if (target.value && !(*target.value > 0))
            r.flags << QStringLiteral("target: not above the background");
        const Pick control =
            options.control.kind == BandChoice::Kind::None
                ? Pick{}
                : pickOf(lane, options.control, lane.controlPicks, options.sizeTolerance);
        controls[i] = control;
        r.control = control.value;
        r.controlTrace = control.trace;
        if (!control.flag.isEmpty())
            r.flags << QStringLiteral("control: ") + control.flag;
        QStringList why;
        if (!r.target)
            why << QStringLiteral("no target: ") + target.missing;
        if (options.control.kind != BandChoice::Kind::None) {
            if (!r.control)
                why << QStringLiteral("no control: ") + control.missing;
            else if (!(*r.control > 0))
                why << QStringLiteral("no control: it is not above the background");
        }
        const bool groupLane = r.inTable && r.role == SampleRole::Sample && !r.group.isEmpty();
        if (!r.inTable)
            why << QStringLiteral("not in the sample table");
        else if (r.role != SampleRole::Sample)
            why << QStringLiteral("a %1 lane").arg(sampleRoleText(r.role));
        else if (r.group.isEmpty())
            why << QStringLiteral("no group");
        else if (!r.flags.isEmpty() && options.excludeFlagged)
            why << QStringLiteral("left out: ") + r.flags.join(QStringLiteral("; "));
        r.leftOut = !why.isEmpty();
        r.reason = why.join(QStringLiteral("; "));
        if (groupLane && !groupNames.contains(r.group))
            groupNames << r.group;
    }
    // The table's order, not the lanes': a group whose lanes were all measured first is
    // still listed where the person put it.
    {
        QStringList ordered;
        for (const QString& group : table.groups())
            if (groupNames.contains(group))
                ordered << group;
        groupNames = ordered;
    }

    // The reference lanes.
    QString referenceName;
    QString referenceGroup;
    if (options.reference.lane >= 0) {
        if (severalBlots)
            throw ResultsError(QStringLiteral("a reference lane is on one blot only; with several "
                                              "blots name a reference group that each blot holds"));
        const auto found = laneIndex.find({options.reference.blot, options.reference.lane});
        if (found == laneIndex.end())
            throw ResultsError(QStringLiteral("the reference lane %1 was not measured")
                                   .arg(options.reference.lane + 1));
        results.lanes[std::size_t(found->second)].reference = true;
        referenceName = QStringLiteral("lane %1").arg(options.reference.lane + 1);
    } else {
        const QString group =
            options.reference.group.isEmpty() ? groupNames.value(0) : options.reference.group;
        if (group.isEmpty())
            throw ResultsError(
                QStringLiteral("no lane of the sample table is a sample with a group"));
        if (!groupNames.contains(group))
            throw ResultsError(
                QStringLiteral(
                    "the reference group \"%1\" is not in the sample table (its groups: %2)")
                    .arg(group, groupNames.isEmpty() ? QStringLiteral("none")
                                                     : groupNames.join(QStringLiteral(", "))));
        for (LaneResult& r : results.lanes)
            r.reference = r.inTable && r.role == SampleRole::Sample && r.group == group;
        referenceName = QStringLiteral("group \"%1\"").arg(group);
        referenceGroup = group;
    }
    // A reference lane counts unless it is flagged and flagged lanes are left out.
    auto usableReference = [&](const LaneResult& r) {
        return r.reference && !(options.excludeFlagged && !r.flags.isEmpty());
    };
    // Why none of a blot's reference lanes could be used, lane by lane.
    auto referenceFaults = [&](int blot) {
        QStringList faults;
        for (const LaneResult& r : results.lanes)
            if (r.reference && r.blot == blot)
                faults << laneName(r, false) + QStringLiteral(": ") +
                              (r.reason.isEmpty() ? r.flags.join(QStringLiteral("; ")) : r.reason);
        return faults.isEmpty() ? QStringLiteral("it has no lane there")
                                : faults.join(QStringLiteral("; "));
    };
    // Blots that hold lanes to be counted need the reference.
    std::vector<bool> blotInUse(std::size_t(blots), false);
    for (const LaneResult& r : results.lanes)
        if (r.inTable && r.role == SampleRole::Sample && !r.group.isEmpty())
            blotInUse[std::size_t(r.blot)] = true;
    if (options.reference.lane >= 0)
        blotInUse[std::size_t(options.reference.blot)] = true;
    auto blotText = [&](int blot) {
        return severalBlots ? QStringLiteral(" on blot %1").arg(blot + 1) : QString();
    };

    // Factors: each lane's control over the mean control of its blot's reference lanes.
    std::vector<std::optional<double>> referenceControl(static_cast<std::size_t>(blots));
    if (options.control.kind != BandChoice::Kind::None) {
        for (int blot = 0; blot < blots; ++blot) {
            if (!blotInUse[std::size_t(blot)])
                continue;
            std::vector<double> values;
            for (const LaneResult& r : results.lanes)
                if (r.blot == blot && usableReference(r) && r.control && *r.control > 0)
                    values.push_back(*r.control);
            if (values.empty())
                throw ResultsError(
                    QStringLiteral("the reference %1 has no lane with a usable control%2 (%3)")
                        .arg(referenceName, blotText(blot), referenceFaults(blot)));
            referenceControl[std::size_t(blot)] = meanOf(values);
        }
    }
    for (LaneResult& r : results.lanes) {
        if (options.control.kind == BandChoice::Kind::None)
            r.factor = 1.0;
        else if (r.control && *r.control > 0 && referenceControl[std::size_t(r.blot)])
            r.factor = *r.control / *referenceControl[std::size_t(r.blot)];
        if (r.target && r.factor)
            r.normalized = *r.target / *r.factor;
    }

    // Blots scaled to the first blot in use through their reference lanes' mean.
    std::vector<std::optional<double>> referenceMean(static_cast<std::size_t>(blots));
    for (int blot = 0; blot < blots; ++blot) {
        if (!blotInUse[std::size_t(blot)])
            continue;
        std::vector<double> values;
        for (const LaneResult& r : results.lanes)
            if (r.blot == blot && usableReference(r) && r.normalized)
                values.push_back(*r.normalized);
        if (values.empty())
            throw ResultsError(
                QStringLiteral("the reference %1 has no lane with a usable target%2 (%3)")
                    .arg(referenceName, blotText(blot), referenceFaults(blot)));
        referenceMean[std::size_t(blot)] = meanOf(values);
    }
    int firstBlot = -1;
    for (int blot = 0; blot < blots && firstBlot < 0; ++blot)
        if (blotInUse[std::size_t(blot)])
            firstBlot = blot;
    std::vector<double> blotScale(std::size_t(blots), 1.0);
    if (severalBlots && firstBlot >= 0) {
        for (int blot = 0; blot < blots; ++blot) {
            if (!blotInUse[std::size_t(blot)] || blot == firstBlot)
                continue;
            const double mean = *referenceMean[std::size_t(blot)];
            if (!(mean > 0))
                throw ResultsError(
                    QStringLiteral("the reference %1 on blot %2 is not above the background; the "
                                   "blots cannot be scaled to each other")
                        .arg(referenceName)
                        .arg(blot + 1));
            blotScale[std::size_t(blot)] = *referenceMean[std::size_t(firstBlot)] / mean;
        }
        for (LaneResult& r : results.lanes) {
            r.blotScale = blotScale[std::size_t(r.blot)];
            if (r.normalized)
                *r.normalized *= r.blotScale;
        }
    }

    // A lane with no value cannot be counted whatever its role.
    for (LaneResult& r : results.lanes) {
        if (!r.normalized && !r.leftOut) {
            r.leftOut = true;
            if (r.reason.isEmpty())
                r.reason = QStringLiteral("no normalized value");
        }
    }

    // The reference's value: the mean of its lanes' normalized values, over every blot.
    {
        std::vector<double> values;
        for (const LaneResult& r : results.lanes)
            if (usableReference(r) && r.normalized)
                values.push_back(*r.normalized);
        if (!values.empty())
            results.referenceValue = meanOf(values);
    }

    for (const QString& name : groupNames) {
        GroupResult g;
        g.group = name;
        g.reference = name == referenceGroup;
        for (std::size_t i = 0; i < results.lanes.size(); ++i) {
            const LaneResult& r = results.lanes[i];
            if (!r.inTable || r.role != SampleRole::Sample || r.group != name)
                continue;
            g.allLanes.push_back(int(i));
            if (r.leftOut)
                continue;
            g.values.push_back(*r.normalized);
            g.lanes.push_back(int(i));
        }
        g.n = int(g.values.size());
        if (g.n > 0) {
            const double mean = meanOf(g.values);
            g.mean = mean;
            if (g.n > 1) {
                // The sample standard deviation, n - 1 in its denominator.
                const double sd = gsl_stats_sd_m(g.values.data(), 1, g.values.size(), mean);
                g.sd = sd;
                g.sem = sd / std::sqrt(double(g.n));
                if (mean > 0)
                    g.cv = sd / mean * 100;
            }
            if (results.referenceValue && *results.referenceValue > 0) {
                const double fold = mean / *results.referenceValue;
                g.fold = fold;
                if (fold > 0)
                    g.log2Fold = std::log2(fold);
            }
        }
        results.groups.push_back(std::move(g));
    }

    // How it was made.
    results.notes << QStringLiteral("target: ") + bandChoiceLabel(options.target);
    if (options.control.kind == BandChoice::Kind::None)
        results.notes << QStringLiteral("control: none (every factor is 1)");
    else
        results.notes << QStringLiteral(
                             "control: %1; factor = the lane's control / the mean control of the "
                             "reference lanes%2; normalized = target / factor")
                             .arg(bandChoiceLabel(options.control),
                                  severalBlots ? QStringLiteral(" on its blot") : QString());
    results.notes << QStringLiteral("reference: ") + referenceName +
                         (results.referenceValue
                              ? QStringLiteral(
                                    ", mean normalized value %1; fold = a group's mean / it")
                                    .arg(doubleText(*results.referenceValue))
                              : QStringLiteral(", no normalized value: no fold changes"));
    if (severalBlots)
        for (int blot = 0; blot < blots; ++blot)
            if (blotInUse[std::size_t(blot)] && blot != firstBlot)
                results.notes << QStringLiteral("blot %1 scaled by %2 so that its reference lanes' "
                                                "mean equals blot %3's")
                                     .arg(blot + 1)
                                     .arg(doubleText(blotScale[std::size_t(blot)]))
                                     .arg(firstBlot + 1);
    results.notes << (options.excludeFlagged
                          ? QStringLiteral("flagged lanes are left out")
                          : QStringLiteral("flagged lanes are counted and marked"));
    return results;
}

QList<QStringList> resultLaneTable(const Results& results, bool withDetails)
{
    QList<QStringList> table;
    QStringList heading{QStringLiteral("LANE"),   QStringLiteral("SAMPLE"),
                        QStringLiteral("GROUP"),  QStringLiteral("REPLICATE"),
                        QStringLiteral("TARGET"), QStringLiteral("CONTROL"),
                        QStringLiteral("FACTOR"), QStringLiteral("NORMALIZED")};
    if (withDetails)
        heading << QStringLiteral("BLOT") << QStringLiteral("BLOT_SCALE") << QStringLiteral("ROLE")
                << QStringLiteral("COUNTED") << QStringLiteral("FLAGS") << QStringLiteral("NOTE")
                << QStringLiteral("TARGET_FROM") << QStringLiteral("CONTROL_FROM");
    table << heading;
    for (const LaneResult& r : results.lanes) {
        QStringList row{QString::number(r.lane + 1),
                        r.sample,
                        r.group,
                        r.replicate > 0 ? QString::number(r.replicate) : QString(),
                        optionalText(r.target),
                        optionalText(r.control),
                        optionalText(r.factor),
                        optionalText(r.normalized)};
        if (withDetails)
            row << QString::number(r.blot + 1) << doubleText(r.blotScale)
                << (r.inTable ? sampleRoleText(r.role) : QString())
                << (r.leftOut ? QStringLiteral("no") : QStringLiteral("yes"))
                << r.flags.join(QStringLiteral("; ")) << r.reason << r.targetTrace
                << r.controlTrace;
        table << row;
    }
    return table;
}

QList<QStringList> resultGroupTable(const Results& results, bool withDetails)
{
    QList<QStringList> table;
    QStringList heading{QStringLiteral("GROUP"), QStringLiteral("N"),   QStringLiteral("MEAN"),
                        QStringLiteral("SD"),    QStringLiteral("SEM"), QStringLiteral("CV"),
                        QStringLiteral("FOLD")};
    if (withDetails)
        heading << QStringLiteral("LOG2_FOLD") << QStringLiteral("REFERENCE")
                << QStringLiteral("VALUES") << QStringLiteral("LANES");
    table << heading;
    for (const GroupResult& g : results.groups) {
        QStringList row{g.group,
                        QString::number(g.n),
                        optionalText(g.mean),
                        optionalText(g.sd),
                        optionalText(g.sem),
                        optionalText(g.cv),
                        optionalText(g.fold)};
        if (withDetails) {
            QStringList values;
            for (double v : g.values)
                values << doubleText(v);
            QStringList lanes;
            for (int i : g.lanes) {
                const LaneResult& lane = results.lanes[std::size_t(i)];
                lanes << (results.lanes.empty() || lane.blot == 0
                              ? QString::number(lane.lane + 1)
                              : QStringLiteral("%1:%2").arg(lane.lane + 1).arg(lane.blot + 1));
            }
            row << optionalText(g.log2Fold) << (g.reference ? QStringLiteral("yes") : QString())
                << values.join(QStringLiteral(", ")) << lanes.join(QStringLiteral(", "));
        }
        table << row;
    }
    return table;
}

} // namespace kesto
