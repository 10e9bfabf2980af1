#include "core/sessionresults.h"

#include "core/deeppicture.h"
#include "core/lanebands.h"
#include "core/lanefinder.h"
#include "core/measurementsession.h"
#include "core/numbers.h"

#include <algorithm>
#include <map>

namespace kesto {

namespace {

QString frameText(const FrameGeometry& f)
{
    return QStringLiteral("frame %1,%2 %3x%4")
        .arg(doubleText(f.left), doubleText(f.top), doubleText(f.width), doubleText(f.height));
}

// How a value was taken, as the trace names it.
QString methodText(const MeasurementSession& session, const LaneSource& source)
{
    if (source.isVolume())
        return laneSourceLabel(source);
    QString text =
        QStringLiteral("frame scan, ") + backgroundMethodLabel(session.backgroundMethod());
    if (!source.lane.isEmpty())
        text += QStringLiteral(" on the lane's baseline");
    return text;
}

// The found bands' volumes between their boundaries on each lane's profile, over the
// lane's baseline, as the Profile measure takes them: what results read when the session
// scans frames (a frame scan's sum depends on the background picked, which a ratio
// between lanes must not). Bands in no lane are left out and said in failures.
std::vector<FoundBandScan> profileScans(const MeasurementSession& session, QStringList& failures)
{
    std::vector<FoundBandScan> scans;
    const std::vector<BandProposal>& items = session.proposals().items();
    for (int l = 0; l < int(session.lanes().size()); ++l) {
        std::vector<const BandProposal*> bands;
        for (const BandProposal& item : items)
            if (session.laneHolding(item.frame.geometry()) == l)
                bands.push_back(&item);
        if (bands.empty())
            continue;
        const LaneStrip& strip = session.lanes()[std::size_t(l)];
        const bool horizontal = strip.orientation == LaneOrientation::Horizontal;
        std::stable_sort(
            bands.begin(), bands.end(), [horizontal](const BandProposal* a, const BandProposal* b) {
                return horizontal ? a->frame.left < b->frame.left : a->frame.top < b->frame.top;
            });
        const LaneMeasure measure = session.laneMeasure(l);
        const std::vector<BandBounds> bounds = session.laneBands(l, &measure);
        const LaneQuantity quantity =
            quantifyLane(measure, bounds, QuantifyMode::Profile, session.peakShape());
        if (!quantity.ok || quantity.volumes.size() != bands.size()) {
            failures << QStringLiteral("lane %1: %2").arg(bands.front()->lane).arg(quantity.reason);
            continue;
        }
        for (std::size_t k = 0; k < bands.size(); ++k) {
            LaneSource source;
            source.mode = QuantifyMode::Profile;
            source.lane = strip;
            source.background = session.laneBackground();
            source.darkBands = session.lanesDark();
            source.group = {quantity.bounds[k]};
            source.total = quantity.total;
            ScanResult scan;
            scan.value = quantity.volumes[k];
            scans.push_back(
                {bands[k]->lane, bands[k]->band, scan, bands[k]->frame.geometry(), source});
        }
    }
    for (const BandProposal& item : items)
        if (session.laneHolding(item.frame.geometry()) < 0)
            failures << QStringLiteral("band %1.%2 lies in no lane").arg(item.lane).arg(item.band);
    return scans;
}

// The stain picture's totals on the session's lanes, into the lanes measured (each where
// the lane holding its first band lies).
void readSessionStain(const MeasurementSession& session, std::vector<LaneBands>& lanes)
{
    const StainPicture& stain = session.stainPicture();
    if (stain.isNull() || session.lanes().empty())
        return;
    LaneReading reading;
    reading.channel = session.channel();
    reading.background = session.laneBackground();
    reading.shape = session.peakShape();
    reading.darkBands = stain.darkBands;
    std::vector<LaneBands> strips(session.lanes().size());
    QString refused;
    try {
        readStainTotals(strips, stain.image, session.picture().size(), session.lanes(), reading);
    } catch (const Error& e) {
        refused = e.message();
    }
    for (LaneBands& lane : lanes) {
        const BandProposal* first = session.proposals().find(lane.lane + 1, 1);
        const int strip = first ? session.laneHolding(first->frame.geometry()) : -1;
        if (!refused.isEmpty()) {
            lane.stainFlag = refused;
        } else if (strip < 0) {
            lane.stainFlag = QStringLiteral("no lane holds the bands, so the stain has no total");
        } else {
            const LaneBands& read = strips[std::size_t(strip)];
            lane.stainTotal = read.stainTotal;
            lane.stainFlag = read.stainFlag;
            lane.stainTrace = read.stainTrace + QStringLiteral(", ") + stain.path;
        }
    }
}

} // namespace

StainPicture makeStainPicture(const QImage& stain, const QString& path, const QImage& picture,
                              Channel channel)
{
    if (stain.isNull())
        throw ResultsError(QStringLiteral("The stain picture is empty."));
    if (stain.size() != picture.size())
        throw ResultsError(
            QStringLiteral("The stain picture is %1 x %2 pixels and the picture %3 x %4: the "
                           "lanes are read at the same place on both, so both must be the same "
                           "size (the same membrane, imaged the same way).")
                .arg(stain.width())
                .arg(stain.height())
                .arg(picture.width())
                .arg(picture.height()));
    StainPicture made;
    made.image = toMeasurementImage(stain);
    made.path = path;
    LaneFinderOptions finder;
    finder.channel = channel;
    const LaneFinding found = findLanesAndBands(made.image, QRect(), finder);
    made.darkBands = found.darkOnLight;
    made.lanes = int(found.lanes.size());
    return made;
}

std::vector<LaneBands> measuredLanes(const MeasurementSession& session)
{
    const BandProposals& proposals = session.proposals();
    if (proposals.isEmpty())
        return {};
    QStringList failures;
    const std::vector<FoundBandScan> scans = session.quantifyMode() == QuantifyMode::Frame
                                                 ? profileScans(session, failures)
                                                 : session.quantifyProposals(&failures);
    const FoundBandSizes sizes = session.foundBandSizes();
    const std::vector<BandProposal>& items = proposals.items();

    // Lane by lane, as the found bands number them.
    std::map<int, LaneBands> lanes;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const BandProposal& item = items[i];
        LaneBands& lane = lanes[item.lane - 1];
        lane.lane = item.lane - 1;
        if (int(lane.bands.size()) < item.band)
            lane.bands.resize(std::size_t(item.band));
        MeasuredBand& band = lane.bands[std::size_t(item.band - 1)];
        if (i < sizes.bands.size())
            band.size = sizes.bands[i].size;
        band.trace = QStringLiteral("band %1, %2")
                         .arg(proposals.label(int(i)), frameText(item.frame.geometry()));
        // Until a scan says otherwise: the band could not be measured.
        band.flag = failures.isEmpty()
                        ? QStringLiteral("not measured")
                        : QStringLiteral("not measured: ") + failures.join(QStringLiteral("; "));
    }
    for (const FoundBandScan& scan : scans) {
        auto lane = lanes.find(scan.lane - 1);
        if (lane == lanes.end() || scan.band < 1 || scan.band > int(lane->second.bands.size()))
            continue;
        MeasuredBand& band = lane->second.bands[std::size_t(scan.band - 1)];
        band.volume = scan.scan.value;
        band.flag.clear();
        band.trace += QStringLiteral("; ") + methodText(session, scan.source);
        // A volume is read off the lane's profile, which keeps no counts: the frame's own
        // samples say whether the band reached full scale or 0.
        ScanResult counts = scan.scan;
        if (scan.source.isVolume()) {
            try {
                counts = integrateFrameCounted(session.picture(), scan.frame, session.channel(),
                                               session.backgroundLevels());
            } catch (const Error&) {
                counts = ScanResult{};
            }
        }
        if (counts.flagged())
            band.flag = scanCountsText(counts);
    }

    // Each lane's total on the session's lane that holds its bands.
    std::vector<LaneBands> result;
    for (auto& [index, lane] : lanes) {
        const BandProposal* first = proposals.find(index + 1, 1);
        const int strip = first ? session.laneHolding(first->frame.geometry()) : -1;
        if (strip < 0) {
            lane.totalFlag = QStringLiteral("no lane holds the bands, so the lane has no total");
            lane.trace = QStringLiteral("lane %1: found bands only").arg(index + 1);
        } else {
            try {
                const LaneMeasure measure = session.laneMeasure(strip);
                lane.total = measure.total;
                lane.trace = QStringLiteral("lane %1 (%2), total over baseline %3")
                                 .arg(index + 1)
                                 .arg(quantifyModeText(session.quantifyMode()),
                                      laneBackgroundLabel(session.laneBackground()));
            } catch (const Error& e) {
                lane.totalFlag = e.message();
            }
        }
        const auto picked = session.targetPicks().find(index);
        if (picked != session.targetPicks().end())
            lane.targetPicks = picked->second;
        result.push_back(std::move(lane));
    }
    readSessionStain(session, result);
    return result;
}

Results sessionResults(const MeasurementSession& session)
{
    if (session.proposals().isEmpty())
        throw ResultsError(QStringLiteral("There are no bands to make results from: find lanes "
                                          "and bands first (Image -> Find Lanes and Bands)."));
    if (session.sampleTable().isEmpty())
        throw ResultsError(QStringLiteral("The sample table is empty: say what each lane holds "
                                          "(Fill by Pattern, Paste or Import)."));
    const ResultOptions& options = session.resultOptions();
    const StainPicture& stain = session.stainPicture();
    const bool stainControl = options.control.kind == BandChoice::Kind::Stain;
    if (stainControl && stain.isNull())
        throw ResultsError(QStringLiteral("The control is the stain picture's lane totals, but "
                                          "the session has no stain picture: open one (Stain "
                                          "Picture... in the Results window)."));
    Results results = computeResults(session.sampleTable(), measuredLanes(session), options);
    const int lanes = int(session.lanes().size());
    if (stainControl && stain.lanes != lanes)
        results.notes << QStringLiteral("The stain picture shows %1 lane%2 where the picture has "
                                        "%3: check that both are the same membrane, laid the "
                                        "same way.")
                             .arg(stain.lanes)
                             .arg(stain.lanes == 1 ? QString() : QStringLiteral("s"))
                             .arg(lanes);
    return results;
}

} // namespace kesto
