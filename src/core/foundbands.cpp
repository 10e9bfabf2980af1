#include "core/foundbands.h"

#include "core/expression.h"
#include "core/numbers.h"
#include "core/sheetdata.h"

#include <algorithm>

namespace kesto {

namespace {

// The resize corner's side, as the scan frame's handle.
constexpr int CornerSize = 5;

bool encloses(const FoundFrame& f, float x, float y)
{
    return x >= float(f.left) && x <= float(f.left + f.width) && y >= float(f.top) &&
           y <= float(f.top + f.height);
}

} // namespace

void BandProposals::setFinding(const LaneFinding& finding, LaneOrientation orientation)
{
    clear();
    m_orientation = orientation;
    for (const FoundLane& lane : finding.lanes) {
        if (lane.bands.empty())
            continue;
        m_lanes.push_back({acrossStart(lane.frame), acrossEnd(lane.frame)});
        for (const FoundFrame& band : lane.bands) {
            m_items.push_back({0, 0, band, m_nextId++});
            m_laneOf.push_back(int(m_lanes.size()) - 1);
        }
    }
    renumber();
}

void BandProposals::clear()
{
    m_lanes.clear();
    m_laneOf.clear();
    m_items.clear();
}

int BandProposals::laneCount() const
{
    int lanes = 0;
    for (const BandProposal& item : m_items)
        lanes = std::max(lanes, item.lane);
    return lanes;
}

int BandProposals::mostBands() const
{
    int most = 0;
    for (const BandProposal& item : m_items)
        most = std::max(most, item.band);
    return most;
}

int BandProposals::indexAt(float x, float y) const
{
    int best = -1;
    qint64 bestArea = 0;
    for (int i = 0; i < count(); ++i) {
        const FoundFrame& f = m_items[std::size_t(i)].frame;
        if (!encloses(f, x, y))
            continue;
        const qint64 area = qint64(f.width + 1) * (f.height + 1);
        if (best < 0 || area < bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

bool BandProposals::onCorner(int index, float x, float y) const
{
    if (index < 0 || index >= count())
        return false;
    const FoundFrame& f = m_items[std::size_t(index)].frame;
    return encloses(f, x, y) && x >= float(f.left + f.width - CornerSize + 1) &&
           y >= float(f.top + f.height - CornerSize + 1);
}

int BandProposals::setFrame(int index, const FoundFrame& frame)
{
    if (index < 0 || index >= count())
        return -1;
    BandProposal& item = m_items[std::size_t(index)];
    item.frame = frame;
    const int id = item.id;
    m_laneOf[std::size_t(index)] = laneOf(frame);
    renumber();
    return indexOfId(id);
}

int BandProposals::add(const FoundFrame& frame)
{
    const int id = m_nextId++;
    const int lane = laneOf(frame);
    m_items.push_back({0, 0, frame, id});
    m_laneOf.push_back(lane);
    renumber();
    return indexOfId(id);
}

void BandProposals::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    m_items.erase(m_items.begin() + index);
    m_laneOf.erase(m_laneOf.begin() + index);
    renumber();
}

int BandProposals::indexOfId(int id) const
{
    for (int i = 0; i < count(); ++i)
        if (m_items[std::size_t(i)].id == id)
            return i;
    return -1;
}

QString BandProposals::label(int index) const
{
    if (index < 0 || index >= count())
        return QString();
    const BandProposal& item = m_items[std::size_t(index)];
    return QStringLiteral("%1.%2").arg(item.lane).arg(item.band);
}

const BandProposal* BandProposals::find(int lane, int band) const
{
    for (const BandProposal& item : m_items)
        if (item.lane == lane && item.band == band)
            return &item;
    return nullptr;
}

int BandProposals::acrossStart(const FoundFrame& f) const
{
    return m_orientation == LaneOrientation::Vertical ? f.left : f.top;
}

int BandProposals::acrossEnd(const FoundFrame& f) const
{
    return m_orientation == LaneOrientation::Vertical ? f.left + f.width : f.top + f.height;
}

int BandProposals::alongStart(const FoundFrame& f) const
{
    return m_orientation == LaneOrientation::Vertical ? f.top : f.left;
}

int BandProposals::laneOf(const FoundFrame& frame)
{
    // The centre decides, in doubled pixels so that it stays whole.
    const int centre = acrossStart(frame) + acrossEnd(frame);
    for (std::size_t i = 0; i < m_lanes.size(); ++i)
        if (centre >= 2 * m_lanes[i].first && centre <= 2 * m_lanes[i].last)
            return int(i);
    m_lanes.push_back({acrossStart(frame), acrossEnd(frame)});
    return int(m_lanes.size()) - 1;
}

void BandProposals::renumber()
{
    // Lanes in order across, counting only those that keep a frame; bands in order along.
    std::vector<std::size_t> order(m_items.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        const LaneSpan& la = m_lanes[std::size_t(m_laneOf[a])];
        const LaneSpan& lb = m_lanes[std::size_t(m_laneOf[b])];
        if (m_laneOf[a] != m_laneOf[b])
            return la.first != lb.first ? la.first < lb.first : m_laneOf[a] < m_laneOf[b];
        return alongStart(m_items[a].frame) < alongStart(m_items[b].frame);
    });
    std::vector<BandProposal> items;
    std::vector<int> lanesOf;
    int lane = 0;
    int band = 0;
    int previous = -1;
    for (std::size_t i : order) {
        if (m_laneOf[i] != previous) {
            ++lane;
            band = 0;
            previous = m_laneOf[i];
        }
        BandProposal item = m_items[i];
        item.lane = lane;
        item.band = ++band;
        items.push_back(item);
        lanesOf.push_back(m_laneOf[i]);
    }
    m_items = std::move(items);
    m_laneOf = std::move(lanesOf);
}

std::vector<int> writeLaneRows(SheetData& sheet, const std::vector<FoundBandScan>& scans, int lanes,
                               int band, int control, int firstRow)
{
    const auto scanOf = [&scans](int lane, int number) -> const FoundBandScan* {
        for (const FoundBandScan& s : scans)
            if (s.lane == lane && s.band == number)
                return &s;
        return nullptr;
    };
    const auto write = [&sheet](int row, int column, const FoundBandScan* s) {
        if (!s) {
            sheet.setText(row, column, QString());
            return;
        }
        sheet.setText(row, column, doubleText(s->scan.value));
        if (s->scan.flagged())
            sheet.setNote(row, column, scanCountsText(s->scan));
    };
    // One spare row below, as the working cell keeps one.
    if (sheet.rowCount() < firstRow + lanes)
        sheet.setRowCount(firstRow + lanes);
    std::vector<int> missing;
    for (int lane = 1; lane <= lanes; ++lane) {
        const int row = firstRow + lane - 1;
        const FoundBandScan* b = scanOf(lane, band);
        const FoundBandScan* c = control > 0 ? scanOf(lane, control) : nullptr;
        write(row, 2, b);
        write(row, 3, c);
        if (!b || (control > 0 && !c))
            missing.push_back(lane);
    }
    return missing;
}

int appendFoundBandsToReport(const std::vector<FoundBandScan>& scans, int control,
                             SheetData& report, const QStringList& sizes)
{
    int next = usedRowCount(report) + 1;
    if (report.rowCount() < next + int(scans.size()))
        report.setRowCount(next + int(scans.size()));
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const FoundBandScan& s = scans[i];
        QString description = QStringLiteral("Lane %1").arg(s.lane);
        if (qsizetype(i) < sizes.size() && !sizes[qsizetype(i)].isEmpty())
            description += QStringLiteral(", ") + sizes[qsizetype(i)];
        report.setText(next, ReportDescriptionColumn, description);
        if (s.band == control)
            report.setText(next, ReportTypeColumn, QStringLiteral("control"));
        report.setText(next, ReportScanColumn, doubleText(s.scan.value));
        if (s.scan.flagged())
            report.setNote(next, ReportScanColumn, scanCountsText(s.scan));
        ++next;
    }
    return int(scans.size());
}

std::vector<FoundBandScan> laneTotalScans(const std::vector<FoundBandScan>& volumes)
{
    std::vector<FoundBandScan> totals;
    for (const FoundBandScan& v : volumes) {
        if (!v.source.isVolume())
            continue;
        const bool known = std::any_of(totals.begin(), totals.end(),
                                       [&v](const FoundBandScan& t) { return t.lane == v.lane; });
        if (known)
            continue;
        FoundBandScan total = v;
        total.band = LaneTotalBand;
        total.scan = ScanResult{};
        total.scan.value = v.source.total;
        total.source.mode = QuantifyMode::Profile;
        total.source.group = {BandBounds{v.source.lane.first, v.source.lane.last}};
        total.source.index = 0;
        total.source.error = 0;
        total.source.residual = 0;
        totals.push_back(total);
    }
    return totals;
}

std::optional<int> bandNumberText(const QString& text, bool allowEmpty)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return allowEmpty ? std::optional<int>(0) : std::nullopt;
    bool ok = false;
    const int number = trimmed.toInt(&ok);
    if (!ok || number < 1)
        return std::nullopt;
    return number;
}

} // namespace kesto
