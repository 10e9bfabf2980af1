#include "core/measurementsession.h"

#include "core/backgroundscan.h"
#include "core/deeppicture.h"
#include "core/error.h"
#include "core/gelimage.h"
#include "core/measurementrecord.h"
#include "core/numbers.h"
#include "core/pictureops.h"
#include "core/sheetlayout.h"
#include "core/workingsheet.h"

#include <QDateTime>
#include <QFileInfo>
#include <QtConcurrentRun>

#include <QtNumeric>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

QString oneDecimal(double value)
{
    return QString::number(value, 'f', 1);
}

QString levelsText(const ChannelLevels& levels)
{
    return QStringLiteral("%1,%2,%3").arg(levels.red).arg(levels.green).arg(levels.blue);
}

// The hash of the pixels as they were opened.
QByteArray originalPixelHash(const QImage& picture, bool inverted)
{
    if (!inverted)
        return pixelSha256(picture);
    QImage original = picture;
    kesto::invertPicture(original);
    return pixelSha256(original);
}

// The identity the record gives a picture: the file's hash, or (a pasted picture, or a
// file that went away since it was opened) its pixels' hash. Reads only its arguments, so
// it may run on any thread.
PictureIdentity identityOf(const QImage& picture, const QString& path, bool inverted)
{
    PictureIdentity identity;
    try {
        identity = kesto::pictureIdentity(picture, path);
    } catch (const Error&) {
        // The file went away after loading: its pixels still say which picture it was.
        identity = kesto::pictureIdentity(picture, QString());
        identity.path = path;
    }
    if (path.isEmpty() && inverted)
        identity.sha256 = originalPixelHash(picture, inverted);
    return identity;
}

} // namespace

// --- SheetCells

SheetCells SheetCells::of(const SheetData& sheet)
{
    SheetCells cells;
    cells.rows = sheet.rowCount();
    cells.columns = sheet.columnCount();
    const std::size_t count = std::size_t(cells.rows) * std::size_t(cells.columns);
    cells.texts.reserve(count);
    cells.notes.reserve(count);
    for (int r = 1; r <= cells.rows; ++r) {
        for (int c = 1; c <= cells.columns; ++c) {
            cells.texts.push_back(sheet.text(r, c));
            cells.notes.push_back(sheet.note(r, c));
        }
    }
    return cells;
}

void SheetCells::restore(SheetData& sheet) const
{
    sheet.resize(rows, columns);
    std::size_t i = 0;
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= columns; ++c, ++i) {
            if (sheet.text(r, c) != texts[i])
                sheet.setText(r, c, texts[i]);
            // A new text cleared the note; put back the one the cell had.
            if (sheet.note(r, c) != notes[i])
                sheet.setNote(r, c, notes[i]);
        }
    }
}

bool SheetCells::operator==(const SheetCells& other) const
{
    return rows == other.rows && columns == other.columns && texts == other.texts &&
           notes == other.notes;
}

// --- MeasurementSession

MeasurementSession::MeasurementSession(QObject* parent)
    : QObject(parent),
      m_ownSheet(std::make_unique<SheetData>(MainSheet::StartRows, MainSheet::Columns)),
      m_sheet(m_ownSheet.get())
{
    startSheet();
}

MeasurementSession::MeasurementSession(SheetData& sheet, QObject* parent)
    : QObject(parent), m_sheet(&sheet)
{
}

MeasurementSession::MeasurementSession(const QImage& picture) : MeasurementSession()
{
    m_picture = toMeasurementImage(picture);
}

MeasurementSession::~MeasurementSession()
{
    // The hash taken aside reads its own copy of the pixels; it is not left running past
    // the session that asked for it.
    abandonPictureHash();
    for (QFuture<std::optional<PictureIdentity>>& hash : m_abandonedIdentities)
        hash.waitForFinished();
}

void MeasurementSession::startSheet()
{
    const QString headings[MainSheet::Columns] = {QStringLiteral("#"), QStringLiteral("Band"),
                                                  QStringLiteral("Int.Ctrl"),
                                                  QStringLiteral("% to Ctrl")};
    for (int c = 1; c <= MainSheet::Columns; ++c) {
        m_sheet->setHeadingText(c, headings[c - 1]);
        m_sheet->setColumnWidth(c, MainSheet::StartColumnWidths[c - 1]);
    }
}

bool MeasurementSession::isDeep() const
{
    return isDeepPicture(m_picture);
}

QString MeasurementSession::setPicture(const QImage& picture, const QString& path)
{
    const bool wasDeep = hasPicture() && isDeep();
    const bool hadPicture = hasPicture();
    const ChannelLevels before = backgroundLevels();
    m_picture = toMeasurementImage(picture);
    m_picturePath = path;
    m_identity = PictureIdentity();
    abandonPictureHash();
    resetPictureState();
    QString notice;
    const bool deep = isDeep();
    if (hadPicture && wasDeep != deep) {
        // The same background in the new picture's units: 8-bit bytes widen to 16 bits
        // (255 becomes 65535), 16-bit counts keep their top byte.
        if (deep) {
            m_levels = widenedLevels(rgbValue(before.red, before.green, before.blue));
            m_background = narrowedColor(m_levels);
        } else {
            m_background = narrowedColor(before);
            m_levels = widenedLevels(m_background);
        }
        if (before != backgroundLevels()) {
            notice = QStringLiteral("The background %1 of the %2-bit picture is %3 in this "
                                    "%4-bit picture's units.")
                         .arg(levelsText(before))
                         .arg(wasDeep ? 16 : 8)
                         .arg(levelsText(backgroundLevels()))
                         .arg(deep ? 16 : 8);
        }
    }
    recomputeAverage();
    Q_EMIT pictureChanged();
    Q_EMIT backgroundChanged();
    Q_EMIT frameChanged();
    Q_EMIT proposalsChanged();
    Q_EMIT lanesChanged();
    Q_EMIT sampleTableChanged();
    Q_EMIT resultOptionsChanged();
    return notice;
}

void MeasurementSession::resetPictureState()
{
    m_inverted = false;
    // A pick point belongs to the picture it was picked on.
    m_picked = false;
    m_pickX = 0;
    m_pickY = 0;
    m_lastMethodScan = MethodScan{};
    m_proposals.clear();
    m_lanes.clear();
    m_handBounds.clear();
    m_ladderLanes.clear();
    m_lanesDark = false;
    m_samples = SampleTable();
    m_stain = StainPicture();
    m_picks.clear();
    m_lastLane = LaneSource{};
    m_frame.left = 0;
    m_frame.top = 0;
}

void MeasurementSession::setPicturePath(const QString& path)
{
    m_picturePath = path;
    m_identity = PictureIdentity();
    abandonPictureHash();
}

const PictureIdentity& MeasurementSession::pictureIdentity()
{
    if (m_identity.sha256.isEmpty() && m_pendingIdentity.isValid()) {
        const std::optional<PictureIdentity> taken = m_pendingIdentity.result();
        m_pendingIdentity = {};
        if (taken)
            m_identity = *taken;
    }
    // Not started, or it failed where it ran: taken here, failing here as it would have.
    if (m_identity.sha256.isEmpty())
        m_identity = identityOf(m_picture, m_picturePath, m_inverted);
    return m_identity;
}

void MeasurementSession::startPictureHash()
{
    if (!hasPicture() || !m_identity.sha256.isEmpty() || m_pendingIdentity.isValid())
        return;
    // The thread keeps its own reference to the pixels: a later change to the session's
    // picture (an inversion) copies it first and leaves these alone.
    m_pendingIdentity =
        QtConcurrent::run([picture = m_picture, path = m_picturePath,
                           inverted = m_inverted]() -> std::optional<PictureIdentity> {
            try {
                return identityOf(picture, path, inverted);
            } catch (...) {
                return std::nullopt;
            }
        });
}

bool MeasurementSession::pictureHashPending() const
{
    return m_pendingIdentity.isValid() && !m_pendingIdentity.isFinished();
}

std::vector<QFuture<std::optional<PictureIdentity>>> MeasurementSession::pictureHashTasks() const
{
    std::vector<QFuture<std::optional<PictureIdentity>>> tasks;
    for (const QFuture<std::optional<PictureIdentity>>& hash : m_abandonedIdentities)
        if (!hash.isFinished())
            tasks.push_back(hash);
    if (pictureHashPending())
        tasks.push_back(m_pendingIdentity);
    return tasks;
}

void MeasurementSession::abandonPictureHash()
{
    // Opening another picture does not wait: a hash not begun is cancelled, one running is
    // kept until it ends or the session goes. Those that ended are let go.
    m_abandonedIdentities.erase(
        std::remove_if(
            m_abandonedIdentities.begin(), m_abandonedIdentities.end(),
            [](const QFuture<std::optional<PictureIdentity>>& hash) { return hash.isFinished(); }),
        m_abandonedIdentities.end());
    if (m_pendingIdentity.isValid() && !m_pendingIdentity.isFinished()) {
        m_pendingIdentity.cancel();
        m_abandonedIdentities.push_back(m_pendingIdentity);
    }
    m_pendingIdentity = {};
}

QByteArray MeasurementSession::pixelHash() const
{
    return originalPixelHash(m_picture, m_inverted);
}

void MeasurementSession::setChannel(Channel channel)
{
    if (channel == m_channel)
        return;
    m_channel = channel;
    Q_EMIT backgroundChanged();
    Q_EMIT changed();
}

void MeasurementSession::setBackground(ColorValue colour)
{
    m_picked = false;
    m_background = colour;
    m_levels = widenedLevels(colour);
    recomputeAverage();
    Q_EMIT backgroundChanged();
    Q_EMIT changed();
}

void MeasurementSession::setBackgroundLevels(const ChannelLevels& levels)
{
    m_picked = false;
    m_levels = levels;
    m_background =
        isDeep() ? narrowedColor(levels) : rgbValue(levels.red, levels.green, levels.blue);
    recomputeAverage();
    Q_EMIT backgroundChanged();
    Q_EMIT changed();
}

ChannelLevels MeasurementSession::backgroundLevels() const
{
    return isDeep() ? m_levels : levelsOf(m_background);
}

void MeasurementSession::recomputeAverage()
{
    if (m_picked)
        m_averaged = areaMean(m_picture, m_pickX, m_pickY, m_method.areaSize);
    else
        m_averaged = BackgroundValues::of(backgroundLevels());
}

void MeasurementSession::setBackgroundMethod(const BackgroundMethod& method)
{
    m_method = method;
    // The area's mean follows the new size; like a channel choice, nothing is rescanned
    // until the next scan.
    recomputeAverage();
    m_lastMethodScan = MethodScan{};
    Q_EMIT backgroundChanged();
    Q_EMIT changed();
}

void MeasurementSession::pickBackground(float x, float y)
{
    if (isDeep()) {
        m_levels = levelsAt(m_picture, x, y);
        m_background = narrowedColor(m_levels);
    } else {
        m_background = pixelAt(m_picture, x, y);
        m_levels = widenedLevels(m_background);
    }
    m_picked = true;
    m_pickX = x;
    m_pickY = y;
    recomputeAverage();
    Q_EMIT backgroundChanged();
    Q_EMIT changed();
}

QString MeasurementSession::backgroundReadout() const
{
    const BackgroundMethod& m = m_method;
    switch (m.kind) {
    case BackgroundMethod::Kind::PickedPixel:
        break;
    case BackgroundMethod::Kind::PickedArea:
        return QStringLiteral("Area %1x%1=%2,%3,%4")
            .arg(m.areaSize)
            .arg(oneDecimal(m_averaged.red), oneDecimal(m_averaged.green),
                 oneDecimal(m_averaged.blue));
    case BackgroundMethod::Kind::FrameBorder: {
        const QString statistic = m.statistic == BackgroundMethod::Statistic::Mean
                                      ? QStringLiteral("mean")
                                      : QStringLiteral("median");
        // The level the last scan took from the border, once there is one.
        if (m_lastMethodScan.ok && m_lastMethodScan.scan.samples > 0)
            return QStringLiteral("Border %1 %2=%3")
                .arg(m.borderWidth)
                .arg(statistic, oneDecimal(m_lastMethodScan.level));
        return QStringLiteral("Border %1 %2").arg(m.borderWidth).arg(statistic);
    }
    case BackgroundMethod::Kind::LaneBaseline:
        return m.baseline == BackgroundMethod::Baseline::Minima
                   ? QStringLiteral("Lane minima")
                   : QStringLiteral("Lane ball %1").arg(m.ballRadius);
    }
    return QStringLiteral("Bkgrnd (RGB)=") + levelsText(backgroundLevels());
}

void MeasurementSession::setFrame(const FrameGeometry& frame)
{
    if (frame.left == m_frame.left && frame.top == m_frame.top && frame.width == m_frame.width &&
        frame.height == m_frame.height)
        return;
    m_frame = frame;
    Q_EMIT frameChanged();
    Q_EMIT changed();
}

bool MeasurementSession::pickCell(int row, int column)
{
    if (row < 1 || column < 2 || column > 3)
        return false;
    m_cell = CellAddress{row, column};
    // Keep a next row to pick: the sheet grows when the working cell reaches its end.
    if (row >= m_sheet->rowCount())
        m_sheet->setRowCount(row + 1);
    Q_EMIT workingCellChanged();
    Q_EMIT changed();
    return true;
}

void MeasurementSession::invertPicture()
{
    if (!hasPicture())
        return;
    kesto::invertPicture(m_picture);
    m_inverted = !m_inverted;
    recomputeAverage();
    Q_EMIT pictureChanged();
    Q_EMIT changed();
}

void MeasurementSession::invert()
{
    invertPicture();
    calculate();
}

double MeasurementSession::scanFrame(const FrameGeometry& frame)
{
    setFrame(frame);
    return calculate();
}

double MeasurementSession::calculate()
{
    if (!hasPicture())
        return m_scanValue;
    LaneSource lane;
    const MethodScan scan = scanFrameWithMethod(m_frame, &lane);
    if (!scan.ok)
        throw PlanError(scan.reason);
    m_lastMethodScan = scan;
    m_lastLane = lane;
    const ScanResult& result = scan.scan;
    const double sum = result.value;
    m_scanValue = sum;
    const CellAddress cell = m_cell;
    if (cell.row > 0 && cell.column > 1 && cell.column < 4) {
        m_sheet->setText(cell.row, cell.column, doubleText(sum));
        if (result.flagged())
            m_sheet->setNote(cell.row, cell.column, scanCountsText(result));
        recordScan(cell, m_frame, result, lane);
        rowsChanged(cell.row, cell.row);
    }
    m_nextSize = BandSizeSource{};
    passSheet();
    Q_EMIT scanned();
    Q_EMIT changed();
    return sum;
}

void MeasurementSession::recordScan(const CellAddress& cell, const FrameGeometry& frame,
                                    const ScanResult& scan, const LaneSource& lane,
                                    const BandSizeSource& size)
{
    m_unsaved = true;
    if (!m_recording)
        return;
    MeasurementEntry entry;
    entry.cell = cell;
    entry.text = m_sheet->text(cell.row, cell.column);
    entry.time = QDateTime::currentDateTimeUtc();
    entry.picture = pictureIdentity();
    entry.channel = m_channel;
    entry.inverted = m_inverted;
    entry.background = backgroundLevels();
    entry.picked = m_picked;
    entry.pickX = m_pickX;
    entry.pickY = m_pickY;
    entry.method = m_method;
    entry.frame = frame;
    entry.scan = scan;
    entry.lane = lane;
    entry.size = size.any() ? size : m_nextSize;
    m_record.add(std::move(entry));
}

void MeasurementSession::setValue(int row, int column, const QString& text, ValueSource source)
{
    m_sheet->setText(row, column, text);
    recordEdits(SheetRange{row, column, row, column}, source == ValueSource::Pasted);
}

void MeasurementSession::setPassingChangedRows(bool on)
{
    m_passChangedRows = on;
    m_allRowsChanged = true;
    m_changedRows.clear();
}

void MeasurementSession::rowsChanged(int first, int last)
{
    if (!m_passChangedRows || m_allRowsChanged)
        return;
    if (last - first > 64 || m_changedRows.size() > 4096) {
        m_allRowsChanged = true;
        m_changedRows.clear();
        return;
    }
    for (int r = first; r <= last; ++r)
        m_changedRows.push_back(r);
}

void MeasurementSession::passSheet()
{
    if (!m_passChangedRows || m_allRowsChanged) {
        runWorkingSheetPass(*m_sheet);
    } else {
        std::sort(m_changedRows.begin(), m_changedRows.end());
        m_changedRows.erase(std::unique(m_changedRows.begin(), m_changedRows.end()),
                            m_changedRows.end());
        for (int row : m_changedRows)
            runWorkingSheetRows(*m_sheet, row, row);
    }
    m_changedRows.clear();
    m_allRowsChanged = false;
}

void MeasurementSession::recordEdits(const SheetRange& range, bool pasted)
{
    rowsChanged(range.firstRow, range.lastRow);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const int lastRow = qMin(range.lastRow, m_sheet->rowCount());
    const int lastColumn = qMin(range.lastColumn, m_sheet->columnCount());
    for (int r = range.firstRow; r <= lastRow; ++r) {
        for (int c = range.firstColumn; c <= lastColumn; ++c) {
            const QString text = m_sheet->text(r, c);
            if (!m_recording)
                continue;
            // Deleting an empty cell changes nothing worth replaying.
            if (text.isEmpty() && !m_record.entryAt(r, c))
                continue;
            MeasurementEntry entry;
            entry.cell = CellAddress{r, c};
            entry.text = text;
            entry.source = pasted ? ValueSource::Pasted : ValueSource::Typed;
            entry.time = now;
            m_record.add(std::move(entry));
        }
    }
    m_unsaved = true;
    Q_EMIT changed();
}

void MeasurementSession::clearSheet()
{
    const int rows = m_sheet->rowCount();
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= 4 && c <= m_sheet->columnCount(); ++c)
            m_sheet->setText(r, c, QString());
    }
    m_record.clear();
    m_unsaved = false;
    m_allRowsChanged = true;
    Q_EMIT changed();
}

void MeasurementSession::markSaved()
{
    m_unsaved = false;
}

void MeasurementSession::proposalsEdited()
{
    Q_EMIT proposalsChanged();
    Q_EMIT changed();
}

SessionState MeasurementSession::state() const
{
    SessionState s;
    s.sheet = SheetCells::of(*m_sheet);
    s.record = m_record;
    s.channel = m_channel;
    s.inverted = m_inverted;
    s.background = m_background;
    s.levels = m_levels;
    s.method = m_method;
    s.averaged = m_averaged;
    s.picked = m_picked;
    s.pickX = m_pickX;
    s.pickY = m_pickY;
    s.frame = m_frame;
    s.cell = m_cell;
    s.scanValue = m_scanValue;
    s.proposals = m_proposals;
    s.lanes = m_lanes;
    s.handBounds = m_handBounds;
    s.ladderLanes = m_ladderLanes;
    s.sizeFit = m_sizeFit;
    s.extrapolateSizes = m_extrapolate;
    s.lanesDark = m_lanesDark;
    s.laneBackground = m_laneBackground;
    s.quantify = m_quantify;
    s.shape = m_shape;
    s.samples = m_samples;
    s.results = m_resultOptions;
    s.stain = m_stain;
    s.picks = m_picks;
    s.curve = m_curveOptions;
    return s;
}

void MeasurementSession::restore(const SessionState& s)
{
    s.sheet.restore(*m_sheet);
    m_record = s.record;
    m_channel = s.channel;
    if (s.inverted != m_inverted && hasPicture()) {
        kesto::invertPicture(m_picture);
        m_inverted = s.inverted;
        Q_EMIT pictureChanged();
    }
    m_background = s.background;
    m_levels = s.levels;
    m_method = s.method;
    m_averaged = s.averaged;
    m_picked = s.picked;
    m_pickX = s.pickX;
    m_pickY = s.pickY;
    m_frame = s.frame;
    m_cell = s.cell;
    m_scanValue = s.scanValue;
    m_proposals = s.proposals;
    m_lanes = s.lanes;
    m_handBounds = s.handBounds;
    m_ladderLanes = s.ladderLanes;
    m_sizeFit = s.sizeFit;
    m_extrapolate = s.extrapolateSizes;
    m_lanesDark = s.lanesDark;
    m_laneBackground = s.laneBackground;
    m_quantify = s.quantify;
    m_shape = s.shape;
    const bool samplesDiffer = m_samples != s.samples;
    m_samples = s.samples;
    const bool optionsDiffer =
        m_resultOptions != s.results || m_stain != s.stain || m_picks != s.picks;
    m_resultOptions = s.results;
    m_stain = s.stain;
    m_picks = s.picks;
    const bool curveDiffers = m_curveOptions != s.curve;
    m_curveOptions = s.curve;
    m_lastMethodScan = MethodScan{};
    m_unsaved = true;
    m_allRowsChanged = true;
    Q_EMIT backgroundChanged();
    Q_EMIT frameChanged();
    Q_EMIT workingCellChanged();
    Q_EMIT proposalsChanged();
    Q_EMIT lanesChanged();
    if (samplesDiffer)
        Q_EMIT sampleTableChanged();
    if (optionsDiffer)
        Q_EMIT resultOptionsChanged();
    if (curveDiffers)
        Q_EMIT curveOptionsChanged();
}

void MeasurementSession::setResultOptions(const ResultOptions& options)
{
    if (options == m_resultOptions)
        return;
    m_resultOptions = options;
    Q_EMIT resultOptionsChanged();
    Q_EMIT changed();
}

void MeasurementSession::setStainPicture(const StainPicture& stain)
{
    if (stain == m_stain)
        return;
    m_stain = stain;
    Q_EMIT resultOptionsChanged();
    Q_EMIT changed();
}

void MeasurementSession::setTargetPicks(int lane, const std::vector<int>& bands)
{
    const auto found = m_picks.find(lane);
    if (bands.empty() ? found == m_picks.end() : found != m_picks.end() && found->second == bands)
        return;
    if (bands.empty())
        m_picks.erase(found);
    else
        m_picks[lane] = bands;
    Q_EMIT resultOptionsChanged();
    Q_EMIT changed();
}

void MeasurementSession::setCurveOptions(const CurveOptions& options)
{
    if (options == m_curveOptions)
        return;
    m_curveOptions = options;
    Q_EMIT curveOptionsChanged();
    Q_EMIT changed();
}

void MeasurementSession::setSampleTable(SampleTable table)
{
    if (table == m_samples)
        return;
    m_samples = std::move(table);
    Q_EMIT sampleTableChanged();
    Q_EMIT changed();
}

void MeasurementSession::setSampleRow(const SampleRow& row)
{
    std::vector<SampleRow> rows = m_samples.rows();
    const auto same = std::find_if(rows.begin(), rows.end(), [&](const SampleRow& r) {
        return r.lane == row.lane && r.blot == row.blot;
    });
    if (same != rows.end())
        *same = row;
    else
        rows.push_back(row);
    setSampleTable(SampleTable(std::move(rows)));
}

// --- Lanes

namespace {

// The lane clipped to the picture: its ends along and its width within the picture's
// size. Empty when nothing of it is left.
LaneStrip clippedLane(LaneStrip lane, const QImage& picture)
{
    const bool horizontal = lane.orientation == LaneOrientation::Horizontal;
    const int along = horizontal ? picture.width() : picture.height();
    const int across = horizontal ? picture.height() : picture.width();
    lane.first = std::max(lane.first, 0);
    lane.last = std::min(lane.last, along - 1);
    lane.width = std::min(lane.width, across);
    if (lane.path.empty() || lane.last < lane.first || lane.width < 1)
        return LaneStrip{};
    return lane;
}

LaneBackground backgroundOfMethod(const BackgroundMethod& method)
{
    LaneBackground background;
    if (method.baseline == BackgroundMethod::Baseline::RollingBall) {
        background.kind = LaneBackground::Kind::RollingBall;
        background.ballRadius = method.ballRadius;
    }
    return background;
}

} // namespace

void MeasurementSession::setLanes(std::vector<LaneStrip> lanes, bool darkBands)
{
    std::vector<LaneStrip> kept;
    for (LaneStrip& lane : lanes) {
        LaneStrip clipped = clippedLane(std::move(lane), m_picture);
        if (!clipped.isEmpty())
            kept.push_back(std::move(clipped));
    }
    if (kept == m_lanes && darkBands == m_lanesDark)
        return;
    m_lanes = std::move(kept);
    m_handBounds.clear();
    m_ladderLanes.clear();
    m_lanesDark = darkBands;
    Q_EMIT lanesChanged();
    Q_EMIT changed();
}

bool MeasurementSession::addLane(const LaneStrip& lane)
{
    LaneStrip clipped = clippedLane(lane, m_picture);
    if (clipped.isEmpty())
        return false;
    m_lanes.push_back(std::move(clipped));
    m_handBounds.clear();
    m_ladderLanes.clear();
    Q_EMIT lanesChanged();
    Q_EMIT changed();
    return true;
}

void MeasurementSession::removeLane(int index)
{
    if (index < 0 || index >= int(m_lanes.size()))
        return;
    m_lanes.erase(m_lanes.begin() + index);
    m_handBounds.clear();
    m_ladderLanes.clear();
    Q_EMIT lanesChanged();
    Q_EMIT changed();
}

int MeasurementSession::laneHolding(const FrameGeometry& frame) const
{
    int found = -1;
    for (int i = 0; i < int(m_lanes.size()); ++i) {
        if (m_lanes[std::size_t(i)].holds(frame) &&
            (found < 0 || m_lanes[std::size_t(i)].width < m_lanes[std::size_t(found)].width))
            found = i;
    }
    return found;
}

void MeasurementSession::setLaneBackground(const LaneBackground& background)
{
    if (background == m_laneBackground)
        return;
    m_laneBackground = background;
    Q_EMIT lanesChanged();
    Q_EMIT changed();
}

void MeasurementSession::setQuantifyMode(QuantifyMode mode)
{
    if (mode == m_quantify)
        return;
    m_quantify = mode;
    Q_EMIT lanesChanged();
    Q_EMIT changed();
}

void MeasurementSession::setPeakShape(PeakShape shape)
{
    if (shape == m_shape)
        return;
    m_shape = shape;
    Q_EMIT lanesChanged();
    Q_EMIT changed();
}

LaneMeasure MeasurementSession::laneMeasure(int index) const
{
    if (!hasPicture() || index < 0 || index >= int(m_lanes.size()))
        return LaneMeasure{};
    return measureLane(m_picture, m_lanes[std::size_t(index)], m_channel, m_laneBackground,
                       m_lanesDark);
}

namespace {

// The found bands a lane holds, in order along it.
std::vector<const BandProposal*> bandsOfLane(const MeasurementSession& session, int index)
{
    std::vector<const BandProposal*> bands;
    for (const BandProposal& item : session.proposals().items()) {
        if (session.laneHolding(item.frame.geometry()) == index)
            bands.push_back(&item);
    }
    const bool horizontal =
        session.lanes()[std::size_t(index)].orientation == LaneOrientation::Horizontal;
    std::stable_sort(
        bands.begin(), bands.end(), [horizontal](const BandProposal* a, const BandProposal* b) {
            return horizontal ? a->frame.left < b->frame.left : a->frame.top < b->frame.top;
        });
    return bands;
}

std::vector<BandBounds> boundsOf(const LaneMeasure& measure, const LaneStrip& lane,
                                 const std::vector<const BandProposal*>& bands)
{
    std::vector<FoundFrame> frames;
    for (const BandProposal* b : bands)
        frames.push_back(b->frame);
    return bandBoundaries(measure, bandPeaks(measure, frames, lane.orientation));
}

} // namespace

std::vector<BandBounds> MeasurementSession::laneBands(int index, const LaneMeasure* measure) const
{
    if (!hasPicture() || index < 0 || index >= int(m_lanes.size()))
        return {};
    const std::vector<const BandProposal*> bands = bandsOfLane(*this, index);
    if (std::size_t(index) < m_handBounds.size() && !bands.empty() &&
        m_handBounds[std::size_t(index)].size() == bands.size())
        return m_handBounds[std::size_t(index)];
    if (measure)
        return boundsOf(*measure, m_lanes[std::size_t(index)], bands);
    return boundsOf(laneMeasure(index), m_lanes[std::size_t(index)], bands);
}

bool MeasurementSession::moveBandBoundary(int lane, int band, bool end, int position)
{
    if (lane < 0 || lane >= int(m_lanes.size()))
        return false;
    std::vector<BandBounds> bounds = laneBands(lane);
    if (band < 0 || band >= int(bounds.size()))
        return false;
    const LaneStrip& strip = m_lanes[std::size_t(lane)];
    bounds = withBoundaryMoved(std::move(bounds), band, end, position, strip.first, strip.last);
    if (m_handBounds.size() < m_lanes.size())
        m_handBounds.resize(m_lanes.size());
    if (m_handBounds[std::size_t(lane)] == bounds)
        return true;
    m_handBounds[std::size_t(lane)] = std::move(bounds);
    Q_EMIT lanesChanged();
    Q_EMIT changed();
    return true;
}

// --- Ladder lanes

const LadderLane* MeasurementSession::ladderOf(int lane) const
{
    for (const LadderLane& l : m_ladderLanes)
        if (l.lane == lane)
            return &l;
    return nullptr;
}

bool MeasurementSession::setLaneLadder(int lane, const std::optional<Ladder>& ladder)
{
    if (lane < 0 || lane >= int(m_lanes.size()))
        return false;
    std::vector<LadderLane> ladders;
    for (const LadderLane& l : m_ladderLanes)
        if (l.lane != lane)
            ladders.push_back(l);
    if (ladder)
        ladders.push_back(LadderLane{lane, *ladder, std::nullopt});
    std::sort(ladders.begin(), ladders.end(),
              [](const LadderLane& a, const LadderLane& b) { return a.lane < b.lane; });
    const bool same = ladders.size() == m_ladderLanes.size() &&
                      std::equal(ladders.begin(), ladders.end(), m_ladderLanes.begin(),
                                 [](const LadderLane& a, const LadderLane& b) {
                                     return a.lane == b.lane && a.ladder == b.ladder;
                                 });
    if (same)
        return true;
    m_ladderLanes = std::move(ladders);
    Q_EMIT lanesChanged();
    Q_EMIT changed();
    return true;
}

bool MeasurementSession::reassignLadderBand(int lane, int band, int sizeIndex, QString* error)
{
    const auto marked = std::find_if(m_ladderLanes.begin(), m_ladderLanes.end(),
                                     [lane](const LadderLane& l) { return l.lane == lane; });
    if (marked == m_ladderLanes.end()) {
        if (error)
            *error = QStringLiteral("lane %1 is not marked as a ladder").arg(lane + 1);
        return false;
    }
    // The assignment the bands are read with now: the person's, or top to bottom.
    const FoundBandSizes sizes = foundBandSizes();
    const std::size_t k = std::size_t(marked - m_ladderLanes.begin());
    if (k >= sizes.assignments.size()) {
        if (error)
            *error = sizes.notes.isEmpty() ? QStringLiteral("the ladder lane cannot be read")
                                           : sizes.notes.join(QStringLiteral("; "));
        return false;
    }
    LadderAssignment assignment = sizes.assignments[k];
    if (!kesto::reassignLadderBand(assignment, band, sizeIndex, error))
        return false;
    if (marked->assignment && marked->assignment->sizeIndex == assignment.sizeIndex)
        return true;
    marked->assignment = assignment;
    Q_EMIT lanesChanged();
    Q_EMIT changed();
    return true;
}

void MeasurementSession::setSizeFit(SizeFit fit)
{
    if (fit == m_sizeFit)
        return;
    m_sizeFit = fit;
    Q_EMIT lanesChanged();
    Q_EMIT changed();
}

void MeasurementSession::setExtrapolateSizes(bool on)
{
    if (on == m_extrapolate)
        return;
    m_extrapolate = on;
    Q_EMIT lanesChanged();
    Q_EMIT changed();
}

FoundBandSizes MeasurementSession::foundBandSizes() const
{
    FoundBandSizes result;
    const std::vector<BandProposal>& items = m_proposals.items();
    result.bands.resize(items.size());
    result.lanes.assign(items.size(), -1);
    result.places.assign(items.size(), -1);
    if (m_ladderLanes.empty() || m_lanes.empty())
        return result;

    // Each lane's bands in order along, as the sizing numbers them.
    std::vector<SizedLane> sized(m_lanes.size());
    std::vector<std::vector<std::size_t>> members(m_lanes.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int lane = laneHolding(items[i].frame.geometry());
        result.lanes[i] = lane;
        if (lane >= 0)
            members[std::size_t(lane)].push_back(i);
    }
    for (std::size_t l = 0; l < m_lanes.size(); ++l) {
        const LaneStrip& lane = m_lanes[l];
        const bool horizontal = lane.orientation == LaneOrientation::Horizontal;
        const auto middle = [horizontal](const FoundFrame& f) {
            return horizontal ? f.left + f.width / 2.0 : f.top + f.height / 2.0;
        };
        std::stable_sort(members[l].begin(), members[l].end(), [&](std::size_t a, std::size_t b) {
            return middle(items[a].frame) < middle(items[b].frame);
        });
        SizedLane& s = sized[l];
        s.across = lane.centreAt((lane.first + lane.last) / 2);
        s.start = lane.first;
        s.front = lane.last;
        for (std::size_t i : members[l])
            s.bands.push_back(middle(items[i].frame));
    }

    GelSizes gel;
    try {
        gel = sizeGelBands(sized, m_ladderLanes, m_sizeFit, m_extrapolate);
    } catch (const Error& e) {
        result.notes << e.message();
        return result;
    }
    result.notes = gel.notes;
    result.assignments = gel.assignments;
    for (std::size_t l = 0; l < members.size(); ++l)
        for (std::size_t b = 0; b < members[l].size(); ++b) {
            result.bands[members[l][b]] = gel.bands[l][b];
            result.places[members[l][b]] = int(b);
        }

    // The curves the bands were read on, for showing them.
    std::vector<SizeStandard> standards;
    for (std::size_t k = 0; k < m_ladderLanes.size() && k < gel.assignments.size(); ++k) {
        const LadderLane& ladder = m_ladderLanes[k];
        std::vector<double> rf;
        for (const BandSize& b : gel.bands[std::size_t(ladder.lane)])
            rf.push_back(b.rf.value_or(qQNaN()));
        SizeStandard standard{sized[std::size_t(ladder.lane)].across, {}};
        for (const LadderPoint& p : ladderPoints(rf, ladder.ladder.sizes, gel.assignments[k]))
            if (std::isfinite(p.rf))
                standard.points.push_back(p);
        standards.push_back(std::move(standard));
    }
    for (const SizedLane& lane : sized) {
        result.calibrations.push_back(calibrationAt(standards, lane.across, m_sizeFit));
        result.across.push_back(lane.across);
    }
    result.standards = std::move(standards);
    return result;
}

BandSizeSource MeasurementSession::bandSizeSource(const FoundBandSizes& sizes, int index) const
{
    BandSizeSource source;
    if (index < 0 || std::size_t(index) >= sizes.bands.size() || sizes.standards.empty())
        return source;
    const BandSize& band = sizes.bands[std::size_t(index)];
    const int lane = sizes.lanes[std::size_t(index)];
    if (lane < 0 || std::size_t(lane) >= sizes.across.size() || !band.rf ||
        (band.ladder && !band.size))
        return source;
    source.ladders = sizes.standards;
    source.unit = m_ladderLanes.front().ladder.unit;
    if (const LadderLane* ladder = ladderOf(lane))
        source.unit = ladder->ladder.unit;
    source.fit = m_sizeFit;
    source.extrapolate = m_extrapolate;
    source.across = sizes.across[std::size_t(lane)];
    source.rf = *band.rf;
    if (band.ladder)
        source.ladderSize = band.size;
    return source;
}

std::vector<BandBounds> withBoundaryMoved(std::vector<BandBounds> bounds, int band, bool end,
                                          int position, int first, int last)
{
    if (band < 0 || band >= int(bounds.size()))
        return bounds;
    const std::size_t b = std::size_t(band);
    if (end) {
        const bool shared = b + 1 < bounds.size() && bounds[b + 1].from == bounds[b].to + 1;
        // Not past the next band's end (less one position for it), nor before this start.
        const int limit = b + 1 < bounds.size() ? bounds[b + 1].to - 1 : last;
        const int to = std::clamp(position, bounds[b].from, std::max(bounds[b].from, limit));
        bounds[b].to = to;
        if (b + 1 < bounds.size() && (shared || bounds[b + 1].from <= to))
            bounds[b + 1].from = to + 1;
    } else {
        const bool shared = b > 0 && bounds[b - 1].to + 1 == bounds[b].from;
        const int limit = b > 0 ? bounds[b - 1].from + 1 : first;
        const int from = std::clamp(position, std::min(limit, bounds[b].to), bounds[b].to);
        bounds[b].from = from;
        if (b > 0 && (shared || bounds[b - 1].to >= from))
            bounds[b - 1].to = from - 1;
    }
    return bounds;
}

MethodScan MeasurementSession::scanFrameWithMethod(const FrameGeometry& frame,
                                                   LaneSource* lane) const
{
    if (lane)
        *lane = LaneSource{};
    if (m_method.kind == BackgroundMethod::Kind::LaneBaseline) {
        const int index = laneHolding(frame);
        if (index >= 0) {
            const LaneStrip& strip = m_lanes[std::size_t(index)];
            const LaneBackground background = backgroundOfMethod(m_method);
            // Read as the frame's samples are: the picture's own values, no contrast turned.
            const LaneMeasure measure = measureLane(m_picture, strip, m_channel, background, false);
            if (lane) {
                lane->lane = strip;
                lane->background = background;
                lane->total = measure.total;
            }
            return scanOnLaneBaseline(m_picture, frame, m_channel, measure, strip.orientation);
        }
    }
    return scanWithMethod(m_picture, frame, m_channel, backgroundLevels(), m_averaged, m_method);
}

std::vector<FoundBandScan> MeasurementSession::quantifyProposals(QStringList* failures) const
{
    std::vector<FoundBandScan> scans;
    const std::vector<BandProposal>& items = m_proposals.items();
    if (m_quantify == QuantifyMode::Frame) {
        for (const BandProposal& item : items) {
            LaneSource lane;
            const MethodScan scan = scanFrameWithMethod(item.frame.geometry(), &lane);
            if (!scan.ok)
                throw Error(Error::InvalidValue, QStringLiteral("Lane %1, band %2: %3")
                                                     .arg(item.lane)
                                                     .arg(item.band)
                                                     .arg(scan.reason));
            scans.push_back({item.lane, item.band, scan.scan, item.frame.geometry(), lane});
        }
        return scans;
    }
    for (const BandProposal& item : items) {
        if (laneHolding(item.frame.geometry()) < 0)
            throw Error(Error::InvalidValue,
                        QStringLiteral("Band %1.%2 lies in no lane, so it has no lane profile to "
                                       "be measured on: move it into a lane, or add a lane "
                                       "around it (Image -> Scan Frame as Lane)")
                            .arg(item.lane)
                            .arg(item.band));
    }
    for (std::size_t l = 0; l < m_lanes.size(); ++l) {
        const std::vector<const BandProposal*> bands = bandsOfLane(*this, int(l));
        if (bands.empty())
            continue;
        const LaneStrip& strip = m_lanes[l];
        const LaneMeasure measure = laneMeasure(int(l));
        const std::vector<BandBounds> bounds = laneBands(int(l), &measure);
        // Volumes band by band; fits of the bands that touch together, bands standing
        // apart alone (one fit of a whole lane fails far more often on real gels).
        const std::vector<std::pair<int, int>> groups =
            m_quantify == QuantifyMode::Fit
                ? touchingGroups(bounds)
                : std::vector<std::pair<int, int>>{{0, int(bounds.size()) - 1}};
        for (const auto& [first, last] : groups) {
            const std::vector<BandBounds> group(bounds.begin() + first, bounds.begin() + last + 1);
            const LaneQuantity quantity = quantifyLane(measure, group, m_quantify, m_shape);
            if (!quantity.ok) {
                const QString why =
                    QStringLiteral("Lane %1, band%2 %3: %4")
                        .arg(bands[std::size_t(first)]->lane)
                        .arg(first == last ? QString() : QStringLiteral("s"))
                        .arg(first == last ? QString::number(bands[std::size_t(first)]->band)
                                           : QStringLiteral("%1 to %2")
                                                 .arg(bands[std::size_t(first)]->band)
                                                 .arg(bands[std::size_t(last)]->band))
                        .arg(quantity.reason);
                if (!failures)
                    throw Error(Error::InvalidValue, why);
                failures->append(why);
                continue;
            }
            for (int k = first; k <= last; ++k) {
                const std::size_t i = std::size_t(k - first);
                const BandProposal& band = *bands[std::size_t(k)];
                LaneSource source;
                source.mode = m_quantify;
                source.lane = strip;
                source.background = m_laneBackground;
                source.darkBands = m_lanesDark;
                source.shape = m_shape;
                source.total = quantity.total;
                if (m_quantify == QuantifyMode::Fit) {
                    source.group = quantity.bounds;
                    source.index = int(i);
                    source.error = quantity.errors[i];
                    source.residual = quantity.residual;
                } else {
                    source.group = {quantity.bounds[i]};
                }
                ScanResult scan;
                scan.value = quantity.volumes[i];
                scans.push_back({band.lane, band.band, scan, band.frame.geometry(), source});
            }
        }
    }
    return scans;
}

double MeasurementSession::quantifyBand(const LaneSource& source)
{
    if (!hasPicture())
        throw PlanError(QStringLiteral("expected a picture to be open"));
    if (source.lane.isEmpty())
        throw PlanError(QStringLiteral("expected a lane line before the band's volume"));
    const LaneMeasure measure =
        measureLane(m_picture, source.lane, m_channel, source.background, source.darkBands);
    const LaneQuantity quantity = quantifyLane(measure, source.group, source.mode, source.shape);
    if (!quantity.ok)
        throw PlanError(quantity.reason);
    const std::size_t index = std::size_t(source.mode == QuantifyMode::Fit ? source.index : 0);
    if (index >= quantity.volumes.size())
        throw PlanError(QStringLiteral("expected a band that was quantified"));
    LaneSource taken = source;
    taken.total = quantity.total;
    if (source.mode == QuantifyMode::Fit) {
        taken.error = quantity.errors[index];
        taken.residual = quantity.residual;
    }
    const double value = quantity.volumes[index];
    m_scanValue = value;
    const CellAddress cell = m_cell;
    if (cell.row > 0 && cell.column > 1 && cell.column < 4) {
        m_sheet->setText(cell.row, cell.column, doubleText(value));
        ScanResult scan;
        scan.value = value;
        recordScan(cell, FrameGeometry{}, scan, taken);
        rowsChanged(cell.row, cell.row);
    }
    m_nextSize = BandSizeSource{};
    passSheet();
    Q_EMIT changed();
    return value;
}

// --- Plans

QString pictureHashMessage(const QString& where, const QByteArray& expected,
                           const QByteArray& found)
{
    return QStringLiteral("%1: the plan was made on a picture whose SHA-256 is %2, but this "
                          "picture's SHA-256 is %3; another picture gives other numbers")
        .arg(where, QString::fromLatin1(expected), QString::fromLatin1(found));
}

QStringList planPictures(const MeasurementPlan& plan)
{
    QStringList pictures;
    QByteArray lastHash;
    QString lastPath;
    bool any = false;
    for (const PlanStep& step : plan.steps) {
        if (step.kind == PlanStep::Kind::Picture) {
            if (!any || step.text != lastPath)
                pictures.append(step.text);
            lastPath = step.text;
            any = true;
        }
    }
    pictures.removeDuplicates();
    return pictures;
}

std::vector<double> runMeasurementPlan(MeasurementSession& session, const MeasurementPlan& plan,
                                       bool ignoreHash)
{
    std::vector<double> values;
    for (const ScanResult& scan : runMeasurementPlanCounted(session, plan, ignoreHash))
        values.push_back(scan.value);
    return values;
}

std::vector<ScanResult> runMeasurementPlanCounted(MeasurementSession& session,
                                                  const MeasurementPlan& plan, bool ignoreHash)
{
    ReplayOptions options;
    options.ignoreHash = ignoreHash;
    return runMeasurementPlanCounted(session, plan, options);
}

std::vector<ScanResult> runMeasurementPlanCounted(MeasurementSession& session,
                                                  const MeasurementPlan& plan,
                                                  const ReplayOptions& options)
{
    if (!options.openPicture) {
        const QStringList pictures = planPictures(plan);
        if (pictures.size() > 1) {
            // Named at the line of the picture the replay could not open.
            QString where;
            for (const PlanStep& step : plan.steps)
                if (step.kind == PlanStep::Kind::Picture && step.text == pictures.at(1)) {
                    where = step.where + QStringLiteral(": ");
                    break;
                }
            throw PlanError(where + QStringLiteral("the plan was made on %1 pictures; replay it "
                                                   "without naming a picture, so that each is "
                                                   "opened in turn")
                                        .arg(pictures.size()));
        }
    }
    std::vector<ScanResult> scans;
    bool pastedPicture = false; // the current picture came from the clipboard
    BandSizeSource sizing;      // the ladder lanes and curve the plan gave so far
    // Each scan passes only the rows the plan changed since the last: linear in the plan.
    struct ChangedRowsOnly
    {
        MeasurementSession& session;
        explicit ChangedRowsOnly(MeasurementSession& s) : session(s)
        {
            session.setPassingChangedRows(true);
        }
        ~ChangedRowsOnly()
        {
            session.setPassingChangedRows(false);
            // A band-size line with no value after it gives the next scan by hand no size.
            session.setNextBandSize(BandSizeSource{});
        }
        ChangedRowsOnly(const ChangedRowsOnly&) = delete;
        ChangedRowsOnly& operator=(const ChangedRowsOnly&) = delete;
    } changedRowsOnly(session);
    // A step that rescans says where it stands in the plan when it cannot scan.
    auto rescanning = [](const PlanStep& step, auto&& run) {
        try {
            run();
        } catch (const PlanError& error) {
            throw PlanError(step.where + QStringLiteral(": ") + error.message());
        } catch (const Error& error) {
            throw PlanError(step.where + QStringLiteral(": ") + error.message());
        }
    };
    const auto needPicture = [&session](const PlanStep& step) {
        if (!session.hasPicture())
            throw PlanError(step.where + QStringLiteral(": expected a picture to be open"));
    };
    for (const PlanStep& step : plan.steps) {
        switch (step.kind) {
        case PlanStep::Kind::Channel:
            session.setChannel(step.channel);
            break;
        case PlanStep::Kind::Invert:
            needPicture(step);
            rescanning(step, [&] { session.invert(); });
            break;
        case PlanStep::Kind::Background: {
            needPicture(step);
            const QImage& picture = session.picture();
            if (!(step.x >= 0 && step.y >= 0 && double(step.x) < picture.width() &&
                  double(step.y) < picture.height())) {
                throw PlanError(
                    step.where +
                    QStringLiteral(": expected a background point on the picture "
                                   "(X from 0 to below %1, Y from 0 to below %2), found %3, %4")
                        .arg(picture.width())
                        .arg(picture.height())
                        .arg(singleText(step.x), singleText(step.y)));
            }
            session.pickBackground(step.x, step.y);
            rescanning(step, [&] { session.calculate(); });
            break;
        }
        case PlanStep::Kind::BackgroundColor:
            if (session.isDeep()) {
                session.setBackgroundLevels(step.levels);
            } else {
                // A plan over pictures of several depths is read in 16-bit units; on an
                // 8-bit picture each value must be a byte.
                const int values[3] = {step.levels.red, step.levels.green, step.levels.blue};
                const char* names[3] = {"RED", "GREEN", "BLUE"};
                for (int i = 0; i < 3; ++i) {
                    if (values[i] > 255)
                        throw PlanError(step.where +
                                        QStringLiteral(": expected %1 from 0 to 255 on this "
                                                       "8-bit picture, found \"%2\"")
                                            .arg(QLatin1String(names[i]))
                                            .arg(values[i]));
                }
                session.setBackground(rgbValue(values[0], values[1], values[2]));
            }
            break;
        case PlanStep::Kind::Cell:
            session.pickCell(step.cell.row, step.cell.column);
            break;
        case PlanStep::Kind::Frame:
            needPicture(step);
            rescanning(step, [&] { session.scanFrame(step.frame); });
            scans.push_back(session.lastScan());
            break;
        case PlanStep::Kind::BackgroundMethod:
            session.setBackgroundMethod(step.method);
            break;
        case PlanStep::Kind::Picture:
            pastedPicture = step.text.isEmpty();
            // Where the picture was found; the hash that follows is what is checked.
            if (options.openPicture && !pastedPicture)
                options.openPicture(step);
            break;
        case PlanStep::Kind::PictureSha256:
            needPicture(step);
            if (!options.ignoreHash) {
                const QByteArray found =
                    pastedPicture ? session.pixelHash() : session.pictureIdentity().sha256;
                if (found != step.sha256)
                    throw PictureHashError(pictureHashMessage(step.where, step.sha256, found),
                                           step.sha256, found);
            }
            break;
        case PlanStep::Kind::Lane:
            needPicture(step);
            session.setLanes({step.lane}, session.lanesDark());
            if (session.lanes().empty())
                throw PlanError(step.where + QStringLiteral(": expected a lane on the picture"));
            break;
        case PlanStep::Kind::NoLane:
            session.setLanes({}, session.lanesDark());
            break;
        case PlanStep::Kind::BandVolume:
        case PlanStep::Kind::FitBand: {
            needPicture(step);
            LaneSource source;
            source.mode =
                step.kind == PlanStep::Kind::FitBand ? QuantifyMode::Fit : QuantifyMode::Profile;
            source.lane = session.lanes().empty() ? LaneStrip{} : session.lanes().front();
            source.background = step.laneBackground;
            source.darkBands = step.darkBands;
            source.group = step.bounds;
            source.index = step.band - 1;
            source.shape = step.shape;
            rescanning(step, [&] { session.quantifyBand(source); });
            ScanResult scan;
            scan.value = session.scanValue();
            scans.push_back(scan);
            break;
        }
        case PlanStep::Kind::LadderLane:
            if (sizing.any() && step.unit != sizing.unit)
                throw PlanError(step.where +
                                QStringLiteral(": expected sizes in %1 as the ladder "
                                               "lanes before, found %2")
                                    .arg(sizeUnitText(sizing.unit), sizeUnitText(step.unit)));
            sizing.ladders.push_back(step.standard);
            sizing.unit = step.unit;
            break;
        case PlanStep::Kind::NoLadder:
            sizing.ladders.clear();
            break;
        case PlanStep::Kind::SizeFit:
            sizing.fit = step.sizeFit;
            sizing.extrapolate = step.extrapolate;
            break;
        case PlanStep::Kind::BandSize: {
            if (!sizing.any())
                throw PlanError(
                    step.where +
                    QStringLiteral(": expected a ladder-lane line before the band's size"));
            BandSizeSource band = sizing;
            band.across = step.across;
            band.rf = step.rf;
            band.ladderSize = step.ladderSize;
            session.setNextBandSize(band);
            break;
        }
        case PlanStep::Kind::Sample:
            try {
                session.setSampleRow(step.sample);
            } catch (const SampleTableError& e) {
                throw PlanError(step.where + QStringLiteral(": ") + e.message());
            }
            break;
        case PlanStep::Kind::Results:
            session.setResultOptions(step.results);
            break;
        case PlanStep::Kind::Stain: {
            needPicture(step);
            QImage stain;
            QByteArray stainHash;
            if (options.openStain) {
                stain = options.openStain(step);
            } else {
                if (!QFileInfo::exists(step.text))
                    throw PlanError(step.where + QStringLiteral(": the stain picture \"%1\" is "
                                                                "not there")
                                                     .arg(step.text));
                const GelImageLoad load = loadMeasurementPicture(step.text);
                if (!load.ok())
                    throw PlanError(step.where +
                                    QStringLiteral(": cannot load the stain picture ") + step.text +
                                    QStringLiteral(": ") + load.reason);
                stain = load.image;
                // Another stain gives other controls, so its file is checked as a picture's.
                stainHash = fileSha256(step.text);
                if (!step.sha256.isEmpty() && !options.ignoreHash && stainHash != step.sha256)
                    throw PictureHashError(
                        QStringLiteral("%1: the plan was made with a stain picture whose SHA-256 "
                                       "is %2, but %3 has the SHA-256 %4; another stain gives "
                                       "other controls")
                            .arg(step.where, QString::fromLatin1(step.sha256), step.text,
                                 QString::fromLatin1(stainHash)),
                        step.sha256, stainHash);
            }
            try {
                StainPicture made =
                    makeStainPicture(stain, step.text, session.picture(), session.channel());
                made.sha256 = stainHash;
                session.setStainPicture(made);
            } catch (const ResultsError& e) {
                throw PlanError(step.where + QStringLiteral(": ") + e.message());
            }
            break;
        }
        case PlanStep::Kind::Pick:
            session.setTargetPicks(step.pick.first, step.pick.second);
            break;
        case PlanStep::Kind::Curve:
            session.setCurveOptions(step.curve);
            break;
        case PlanStep::Kind::Value:
        case PlanStep::Kind::PastedValue:
            session.setValue(step.cell.row, step.cell.column, step.text,
                             step.kind == PlanStep::Kind::Value ? ValueSource::Typed
                                                                : ValueSource::Pasted);
            break;
        }
    }
    return scans;
}

} // namespace kesto
