#include "app/foundbands.h"

#include "core/measurementsession.h"

#include "app/foundbandspanel.h"
#include "app/frmscan.h"
#include "app/ladderchoice.h"
#include "app/mainbar.h"
#include "app/sizecalibrationwindow.h"
#include "components/commandbar.h"
#include "components/prompts.h"
#include "components/worksheet.h"
#include "core/deeppicture.h"
#include "core/error.h"
#include "core/expression.h"
#include "core/sheetdata.h"
#include "core/workingsheet.h"
#include "report/frmreport.h"

#include <QDockWidget>
#include <QFile>
#include <QKeyEvent>

#include <QMouseEvent>
#include <algorithm>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

// The channel and background exactly as Calculate takes them for a hand-placed frame.
// The lane's two edges, along its path from end to end and back.
QPolygon laneOutline(const LaneStrip& lane)
{
    const bool horizontal = lane.orientation == LaneOrientation::Horizontal;
    std::vector<int> alongs{lane.first};
    for (const QPoint& p : lane.path) {
        const int along = horizontal ? p.x() : p.y();
        if (along > alongs.back() && along < lane.last)
            alongs.push_back(along);
    }
    alongs.push_back(lane.last + 1);
    QPolygon outline;
    auto point = [horizontal](int along, int across) {
        return horizontal ? QPoint(along, across) : QPoint(across, along);
    };
    for (int along : alongs)
        outline << point(along, lane.acrossStart(std::min(along, lane.last)));
    for (auto a = alongs.rbegin(); a != alongs.rend(); ++a)
        outline << point(*a, lane.acrossStart(std::min(*a, lane.last)) + lane.width);
    return outline;
}

Channel scanChannel(const frmScan& form)
{
    return form.session().channel();
}

ChannelLevels scanBackground(const frmScan& form)
{
    return form.session().backgroundLevels();
}

// The picture pixel under a pointer position.
int nearestPixel(double value)
{
    return int(std::nearbyint(qBound(-1.0e6, value, 1.0e6)));
}

QRect spanOf(const FoundFrame& f)
{
    return QRect(QPoint(f.left, f.top), QPoint(f.left + f.width, f.top + f.height));
}

QString frameText(const FoundFrame& f)
{
    return QStringLiteral("%1,%2  %3x%4").arg(f.left).arg(f.top).arg(f.width).arg(f.height);
}

// The unit the sizes of a gel are read in: the first ladder lane's.
SizeUnit sizesUnit(const MeasurementSession& session)
{
    return session.ladderLanes().empty() ? SizeUnit::BasePairs
                                         : session.ladderLanes().front().ladder.unit;
}

// "Rf 0.42, 1 520 bp" and the like, for the list; the size alone for the picture.
QString sizeEntry(const MeasurementSession& session, const FoundBandSizes& sizes, int index,
                  QString* shortText)
{
    const BandSize& band = sizes.bands[std::size_t(index)];
    const int lane = sizes.lanes[std::size_t(index)];
    if (lane < 0)
        return QStringLiteral("in no lane");
    const LadderLane* ladder = session.ladderOf(lane);
    const SizeUnit unit = ladder ? ladder->ladder.unit : sizesUnit(session);
    QString text =
        band.rf ? QStringLiteral("Rf %1").arg(*band.rf, 0, 'f', 2) : QStringLiteral("no Rf");
    if (band.size) {
        const QString size = bandSizeText(*band.size, unit);
        *shortText = size;
        text += QStringLiteral(", ") + size;
        if (band.ladder)
            text += QStringLiteral(" (ladder)");
        else if (band.extrapolated)
            text += QStringLiteral(" (extrapolated beyond the ladder)");
    } else if (band.ladder) {
        text += QStringLiteral(", no ladder size");
    } else if (band.extrapolated) {
        text += QStringLiteral(", size beyond the ladder");
    } else {
        text += QStringLiteral(", no size");
    }
    return text;
}

} // namespace

FoundBandsTool& FoundBandsTool::of(frmScan& form)
{
    if (auto* tool = form.findChild<FoundBandsTool*>(QString(), Qt::FindDirectChildrenOnly))
        return *tool;
    return *new FoundBandsTool(form);
}

FoundBandsTool::FoundBandsTool(frmScan& form)
    : QObject(&form), m_form(form), m_proposals(form.session().proposals())
{
    setObjectName(QStringLiteral("foundBands"));
    // Another picture, or an undo: show the session's proposals as they now are.
    connect(&form.session(), &MeasurementSession::proposalsChanged, this, [this] {
        m_selected = -1;
        m_drag = Drag::None;
        if (m_proposals.isEmpty())
            m_searched.clear();
        refresh();
    });
    connect(&form.session(), &MeasurementSession::lanesChanged, this, [this] { refresh(); });
    m_box = m_form.picImage;
    m_box->installEventFilter(this);
    m_form.addPictureTool(this);
}

QRect FoundBandsTool::searchRegion() const
{
    const FrameGeometry frame = m_form.session().frame();
    if (!(frame.width > float(StartFrameWidth) && frame.height > float(StartFrameHeight)))
        return QRect();
    const QRect picture = m_form.session().picture().rect();
    // The pixels the frame's scan takes, edges included, as far as they lie on the picture.
    PixelSpan span;
    try {
        span = framePixels(frame);
    } catch (const Error&) {
        return picture;
    }
    const auto kept = [](std::int64_t v) {
        return int(std::clamp<std::int64_t>(v, -1000000, 1000000));
    };
    return QRect(QPoint(kept(span.x0), kept(span.y0)), QPoint(kept(span.x1), kept(span.y1)))
        .intersected(picture);
}

void FoundBandsTool::find()
{
    const QImage& picture = m_form.picImage->picture();
    if (picture.isNull()) {
        Prompts::current().message(&m_form, QStringLiteral("Open a gel picture first."), appTitle(),
                                   MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    LaneFinderOptions options;
    options.channel = scanChannel(m_form);
    options.orientation = m_form.tool(BandView, QStringLiteral("mnuHorizontalLanes")).isChecked()
                              ? LaneOrientation::Horizontal
                              : LaneOrientation::Vertical;
    if (m_form.session().backgroundPicked())
        options.background = levelOf(scanBackground(m_form), options.channel);
    const QRect region = searchRegion();
    // Found at the highest sensitivity once; the slider then only filters.
    options.sensitivity = 100;
    LaneFinding finding;
    try {
        finding = findLanesAndBands(picture, region, options);
    } catch (const Error& e) {
        Prompts::current().message(&m_form, e.message(), appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
        return;
    }
    m_all = std::move(finding);
    m_orientation = options.orientation;
    if (region.isEmpty()) {
        m_region = QStringLiteral("Searched the whole picture. To search part of it, size "
                                  "the scan frame around the lanes first.");
    } else {
        m_region = QStringLiteral("Searched inside the scan frame (%1,%2  %3x%4), as it is "
                                  "larger than its start size %5x%6; size it to %5x%6 or "
                                  "smaller to search the whole picture.")
                       .arg(region.left())
                       .arg(region.top())
                       .arg(region.width() - 1)
                       .arg(region.height() - 1)
                       .arg(StartFrameWidth)
                       .arg(StartFrameHeight);
    }
    setSensitivity(m_sensitivity);
    showPanel();
    refresh();
}

void FoundBandsTool::addLaneFromFrame()
{
    if (m_form.picImage->picture().isNull()) {
        Prompts::current().message(&m_form, QStringLiteral("Open a gel picture first."), appTitle(),
                                   MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    const PixelSpan span = framePixels(m_form.session().frame());
    const auto kept = [](std::int64_t v) {
        return int(std::clamp<std::int64_t>(v, -1000000, 1000000));
    };
    const FoundFrame frame{kept(span.x0), kept(span.y0), kept(span.x1) - kept(span.x0),
                           kept(span.y1) - kept(span.y0)};
    const LaneOrientation orientation =
        m_form.tool(BandView, QStringLiteral("mnuHorizontalLanes")).isChecked()
            ? LaneOrientation::Horizontal
            : LaneOrientation::Vertical;
    if (!m_form.session().addLane(LaneStrip::straight(frame, orientation))) {
        Prompts::current().message(&m_form,
                                   QStringLiteral("The scan frame lies off the picture: place it "
                                                  "over the lane first."),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    m_form.commitUndo(QStringLiteral("Scan Frame as Lane"));
}

void FoundBandsTool::setSensitivity(double sensitivity)
{
    m_sensitivity = std::clamp(sensitivity, 0.0, 100.0);
    m_drag = Drag::None;
    m_selected = -1;
    const LaneFinding shown = atSensitivity(m_all, m_sensitivity);
    m_proposals.setFinding(shown, m_orientation);
    // The lanes that have bands at this sensitivity, as the proposals number them.
    std::vector<LaneStrip> lanes;
    for (const FoundLane& lane : shown.lanes) {
        if (!lane.bands.empty())
            lanes.push_back(LaneStrip::of(lane, m_orientation));
    }
    m_form.session().setLanes(std::move(lanes), m_all.darkOnLight);
    m_searched = m_region;
    if (m_proposals.isEmpty())
        m_searched += QStringLiteral("\nNo bands found.");
    else
        m_searched += QStringLiteral("\nFound %1 lanes with %2 bands (%3).")
                          .arg(m_proposals.laneCount())
                          .arg(m_proposals.count())
                          .arg(m_all.darkOnLight ? QStringLiteral("dark bands on light")
                                                 : QStringLiteral("light bands on dark"));
    if (m_panel)
        m_panel->setSensitivity(int(std::lround(m_sensitivity)));
    refresh();
    m_form.commitUndo(QStringLiteral("Find Lanes and Bands"));
}

void FoundBandsTool::showPanel()
{
    if (!m_panel) {
        m_panel = new FoundBandsPanel(m_form.foundBandsDock());
        m_form.foundBandsDock()->setWidget(m_panel);
        connect(m_panel, &FoundBandsPanel::currentChanged, this, &FoundBandsTool::select);
        connect(m_panel, &FoundBandsPanel::deleteRequested, this, &FoundBandsTool::removeSelected);
        connect(m_panel, &FoundBandsPanel::clearRequested, this, &FoundBandsTool::clear);
        connect(m_panel, &FoundBandsPanel::scanRequested, this, &FoundBandsTool::scanIntoSheet);
        connect(m_panel, &FoundBandsPanel::reportRequested, this, &FoundBandsTool::sendToReport);
        connect(m_panel, &FoundBandsPanel::ladderRequested, this, &FoundBandsTool::markLadder);
        connect(m_panel, &FoundBandsPanel::sensitivityChanged, this,
                [this](int value) { setSensitivity(value); });
        connect(m_panel, &FoundBandsPanel::measureChanged, this,
                [this](QuantifyMode mode, PeakShape shape, const LaneBackground& background) {
                    MeasurementSession& session = m_form.session();
                    session.setQuantifyMode(mode);
                    session.setPeakShape(shape);
                    session.setLaneBackground(background);
                    m_form.commitUndo(QStringLiteral("Measure Found Bands"));
                });
        m_panel->setSensitivity(int(std::lround(m_sensitivity)));
    }
    m_form.foundBandsDock()->show();
    m_form.foundBandsDock()->raise();
}

void FoundBandsTool::refresh()
{
    QList<PictureOverlay> overlays;
    QStringList entries;
    const std::vector<BandProposal>& items = m_proposals.items();
    const MeasurementSession& session = m_form.session();
    // With a ladder lane, every band's Rf and size; without, the entries as they always were.
    const FoundBandSizes sizes = session.foundBandSizes();
    const bool sized = sizes.any() && sizes.bands.size() == items.size();
    const bool sizesShown =
        sized && m_form.tool(BandView, QStringLiteral("mnuShowSizes")).isChecked();
    for (int i = 0; i < int(items.size()); ++i) {
        FoundFrame frame = items[std::size_t(i)].frame;
        if (i == m_selected && (m_drag == Drag::Move || m_drag == Drag::Size))
            frame = m_start;
        const QString label = m_proposals.label(i);
        QString entry = label + QStringLiteral(":  ") + frameText(frame);
        QString shown = label;
        if (sized) {
            QString size;
            entry += QStringLiteral("  ") + sizeEntry(session, sizes, i, &size);
            if (sizesShown && !size.isEmpty())
                shown += QLatin1Char(' ') + size;
        }
        overlays.append({spanOf(frame), shown, i == m_selected});
        entries.append(entry);
    }
    if (m_drag == Drag::Draw)
        overlays.append({spanOf(m_start), QString(), true});
    m_form.picImage->setOverlays(overlays);
    QList<QPolygon> lanes;
    for (const LaneStrip& lane : m_form.session().lanes())
        lanes.append(laneOutline(lane));
    m_form.picImage->setLaneOutlines(lanes);
    if (m_panel) {
        m_panel->setEntries(entries, m_selected);
        QString notice = m_searched;
        for (const LadderLane& ladder : session.ladderLanes())
            notice += QStringLiteral("\nLane %1 runs the ladder %2; sizes %3.")
                          .arg(ladder.lane + 1)
                          .arg(ladder.ladder.name, sizeFitText(session.sizeFit()));
        for (const QString& note : sizes.notes)
            notice += QLatin1Char('\n') + note.left(1).toUpper() + note.mid(1) + QLatin1Char('.');
        m_panel->setNotice(notice.trimmed());
        m_panel->setMeasure(session.quantifyMode(), session.peakShape(), session.laneBackground());
    }
    if (m_calibration && m_calibration->isVisible()) {
        m_calibration->setFit(session.sizeFit(), session.extrapolateSizes());
        // The curve the chosen band was read on; else the first ladder lane's own.
        int lane = m_selected >= 0 && std::size_t(m_selected) < sizes.lanes.size()
                       ? sizes.lanes[std::size_t(m_selected)]
                       : -1;
        if (lane < 0 && !session.ladderLanes().empty())
            lane = session.ladderLanes().front().lane;
        if (lane >= 0 && std::size_t(lane) < sizes.calibrations.size()) {
            QStringList ladders;
            for (const LadderLane& ladder : session.ladderLanes())
                ladders << QStringLiteral("%1 in lane %2")
                               .arg(ladder.ladder.name, QString::number(ladder.lane + 1));
            m_calibration->setCalibration(
                sizes.calibrations[std::size_t(lane)],
                QStringLiteral("Lane %1, read against %2; %3.")
                    .arg(lane + 1)
                    .arg(ladders.join(QStringLiteral(" and ")), sizeFitText(session.sizeFit())),
                sizesUnit(session));
        } else {
            m_calibration->setCalibration(SizeCalibration(),
                                          QStringLiteral("No lane is marked as a ladder."),
                                          SizeUnit::BasePairs);
        }
    }
}

void FoundBandsTool::markLadder()
{
    MeasurementSession& session = m_form.session();
    int lane = -1;
    if (m_selected >= 0 && m_selected < m_proposals.count()) {
        lane = session.laneHolding(m_proposals.items()[std::size_t(m_selected)].frame.geometry());
        if (lane < 0) {
            Prompts::current().message(&m_form,
                                       QStringLiteral("Band %1 lies in no lane: find the lanes "
                                                      "again, or make one with Image -> Scan "
                                                      "Frame as Lane.")
                                           .arg(m_proposals.label(m_selected)),
                                       appTitle(), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
    } else {
        // No band chosen: the lane is asked for (the outermost are the usual ladders).
        const int count = int(session.lanes().size());
        if (count == 0) {
            Prompts::current().message(&m_form,
                                       QStringLiteral("There are no lanes to mark: use Image -> "
                                                      "Find Lanes and Bands first."),
                                       appTitle(), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        QStringList lanes;
        for (int i = 0; i < count; ++i) {
            const LadderLane* ladder = session.ladderOf(i);
            lanes << (ladder ? QStringLiteral("Lane %1 (%2)")
                                   .arg(QString::number(i + 1), ladder->ladder.name)
                             : QStringLiteral("Lane %1").arg(i + 1));
        }
        const std::optional<int> which =
            Prompts::current().chooseItem(&m_form, QStringLiteral("The lane that runs a ladder:"),
                                          QStringLiteral("Mark as Ladder"), lanes, 0);
        if (!which || *which < 0 || *which >= count)
            return;
        lane = *which;
    }

    const LadderLane* marked = session.ladderOf(lane);
    const LadderChoice choice =
        chooseLadder(&m_form, lane, marked ? std::optional<Ladder>(marked->ladder) : std::nullopt);
    if (choice.kind == LadderChoice::Kind::Cancelled)
        return;
    std::optional<Ladder> ladder;
    if (choice.kind == LadderChoice::Kind::Chosen)
        ladder = choice.ladder;
    session.setLaneLadder(lane, ladder);
    refresh();
    m_form.commitUndo(ladder ? QStringLiteral("Mark as Ladder") : QStringLiteral("Not a Ladder"));
}

void FoundBandsTool::assignLadderSize()
{
    MeasurementSession& session = m_form.session();
    const FoundBandSizes sizes = session.foundBandSizes();
    const int lane = m_selected >= 0 && std::size_t(m_selected) < sizes.lanes.size()
                         ? sizes.lanes[std::size_t(m_selected)]
                         : -1;
    const LadderLane* ladder = lane >= 0 ? session.ladderOf(lane) : nullptr;
    if (!ladder) {
        Prompts::current().message(&m_form,
                                   QStringLiteral("Choose a band of a ladder lane in the Found "
                                                  "Bands list first (Image -> Mark as Ladder)."),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    const int place = sizes.places[std::size_t(m_selected)];
    const auto k = std::size_t(ladder - session.ladderLanes().data());
    int current = int(ladder->ladder.sizes.size()); // "No size"
    QString mismatch;
    if (k < sizes.assignments.size()) {
        const LadderAssignment& assignment = sizes.assignments[k];
        if (place >= 0 && place < assignment.bandCount() &&
            assignment.sizeIndex[std::size_t(place)] != LadderAssignment::Skipped)
            current = assignment.sizeIndex[std::size_t(place)];
        mismatch = assignment.mismatchText();
    }
    QStringList items;
    for (double size : ladder->ladder.sizes)
        items << bandSizeText(size, ladder->ladder.unit);
    items << QStringLiteral("No size: not a band of the ladder");
    QString prompt = QStringLiteral("Band %1 of the ladder %2 stands for:")
                         .arg(m_proposals.label(m_selected), ladder->ladder.name);
    if (!mismatch.isEmpty())
        prompt = mismatch + QStringLiteral(".\n") + prompt;
    const std::optional<int> choice = Prompts::current().chooseItem(
        &m_form, prompt, QStringLiteral("Ladder Band Size"), items, current);
    if (!choice || *choice < 0 || *choice >= int(items.size()))
        return;
    const int sizeIndex =
        *choice == int(ladder->ladder.sizes.size()) ? LadderAssignment::Skipped : *choice;
    QString error;
    if (!session.reassignLadderBand(lane, place, sizeIndex, &error)) {
        Prompts::current().message(&m_form,
                                   error.left(1).toUpper() + error.mid(1) + QLatin1Char('.'),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    refresh();
    m_form.commitUndo(QStringLiteral("Ladder Band Size"));
}

void FoundBandsTool::showCalibration()
{
    const MeasurementSession& session = m_form.session();
    if (session.ladderLanes().empty()) {
        Prompts::current().message(&m_form,
                                   QStringLiteral("No lane is marked as a ladder: choose a band "
                                                  "of the ladder's lane in the Found Bands list "
                                                  "and use Mark as Ladder first."),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    if (!m_calibration) {
        m_calibration = new SizeCalibrationWindow(&m_form);
        connect(m_calibration, &SizeCalibrationWindow::fitChanged, this,
                [this](SizeFit fit, bool extrapolate) {
                    MeasurementSession& measuring = m_form.session();
                    measuring.setSizeFit(fit);
                    measuring.setExtrapolateSizes(extrapolate);
                    m_form.commitUndo(QStringLiteral("Size Calibration"));
                });
    }
    m_calibration->show();
    m_calibration->raise();
    refresh();
}

void FoundBandsTool::select(int index)
{
    m_selected = index >= 0 && index < m_proposals.count() ? index : -1;
    refresh();
}

void FoundBandsTool::removeSelected()
{
    if (m_selected < 0)
        return;
    m_proposals.remove(m_selected);
    m_selected = -1;
    refresh();
    m_form.commitUndo(QStringLiteral("Delete Found Band"));
}

void FoundBandsTool::clear()
{
    m_proposals.clear();
    m_form.session().setLanes({}, false);
    m_all = LaneFinding();
    m_selected = -1;
    m_drag = Drag::None;
    refresh();
    m_form.commitUndo(QStringLiteral("Clear Found Bands"));
}

bool FoundBandsTool::editing() const
{
    return !m_proposals.isEmpty() || (m_panel && m_panel->isVisibleTo(&m_form));
}

bool FoundBandsTool::eventFilter(QObject* watched, QEvent* event)
{
    // Only the picture box's own events, read through it: while the window is being
    // destroyed, it alone is still whole.
    auto* box = qobject_cast<PictureBox*>(watched);
    if (!box || box != m_box)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && m_selected >= 0) {
            removeSelected();
            return true;
        }
    }
    return false;
}

bool FoundBandsTool::press(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x,
                           float y)
{
    if (button != Qt::LeftButton || m_drag != Drag::None)
        return false;
    return pointerPressed(modifiers, x, y);
}

void FoundBandsTool::move(float x, float y)
{
    if (m_drag != Drag::None)
        pointerMoved(x, y);
}

void FoundBandsTool::release(Qt::MouseButton button, float x, float y)
{
    if (m_drag != Drag::None && button == Qt::LeftButton)
        pointerReleased(x, y);
}

bool FoundBandsTool::pointerPressed(Qt::KeyboardModifiers modifiers, float x, float y)
{
    if (m_form.picImage->picture().isNull() || !editing())
        return false;
    if (modifiers & Qt::ShiftModifier) {
        const int index = m_proposals.indexAt(x, y);
        if (index < 0)
            return false;
        m_selected = index;
        m_start = m_proposals.items()[std::size_t(index)].frame;
        m_drag = m_proposals.onCorner(index, x, y) ? Drag::Size : Drag::Move;
        m_grabX = x - float(m_start.left);
        m_grabY = y - float(m_start.top);
    } else if (modifiers & Qt::ControlModifier) {
        m_selected = -1;
        m_drag = Drag::Draw;
        m_grabX = x;
        m_grabY = y;
        m_start = draggedFrame(x, y);
    } else {
        return false;
    }
    // Keys go to the picture now, so that Delete reaches the chosen frame.
    m_form.picImage->setFocus(Qt::MouseFocusReason);
    refresh();
    return true;
}

FoundFrame FoundBandsTool::draggedFrame(float x, float y) const
{
    const QImage& picture = m_form.picImage->picture();
    const int lastX = qMax(0, picture.width() - 1);
    const int lastY = qMax(0, picture.height() - 1);
    const FoundFrame& before = m_proposals.items().empty() || m_selected < 0
                                   ? m_start
                                   : m_proposals.items()[std::size_t(m_selected)].frame;
    FoundFrame f;
    switch (m_drag) {
    case Drag::Move:
        f.width = qMin(before.width, lastX);
        f.height = qMin(before.height, lastY);
        f.left = qBound(0, nearestPixel(double(x - m_grabX)), lastX - f.width);
        f.top = qBound(0, nearestPixel(double(y - m_grabY)), lastY - f.height);
        break;
    case Drag::Size:
        f.left = before.left;
        f.top = before.top;
        f.width = qBound(qMin(2, lastX - f.left), nearestPixel(double(x)) - f.left, lastX - f.left);
        f.height = qBound(qMin(2, lastY - f.top), nearestPixel(double(y)) - f.top, lastY - f.top);
        break;
    case Drag::Draw:
    case Drag::None: {
        const int x0 = qBound(0, nearestPixel(double(qMin(x, m_grabX))), lastX);
        const int x1 = qBound(0, nearestPixel(double(qMax(x, m_grabX))), lastX);
        const int y0 = qBound(0, nearestPixel(double(qMin(y, m_grabY))), lastY);
        const int y1 = qBound(0, nearestPixel(double(qMax(y, m_grabY))), lastY);
        f = FoundFrame{x0, y0, x1 - x0, y1 - y0};
        break;
    }
    }
    return f;
}

void FoundBandsTool::pointerMoved(float x, float y)
{
    m_start = draggedFrame(x, y);
    refresh();
}

void FoundBandsTool::pointerReleased(float x, float y)
{
    const FoundFrame frame = draggedFrame(x, y);
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (drag == Drag::Move || drag == Drag::Size) {
        m_selected = m_proposals.setFrame(m_selected, frame);
    } else if (drag == Drag::Draw) {
        // A click without a drag draws nothing.
        if (frame.width >= 2 && frame.height >= 2) {
            m_selected = m_proposals.add(frame);
            showPanel();
        }
    }
    refresh();
    m_form.commitUndo(QStringLiteral("Edit Found Bands"));
}

QString FoundBandsTool::alongWord() const
{
    return m_proposals.orientation() == LaneOrientation::Vertical ? QStringLiteral("top")
                                                                  : QStringLiteral("left");
}

bool FoundBandsTool::haveProposals()
{
    if (!m_proposals.isEmpty())
        return true;
    Prompts::current().message(&m_form,
                               QStringLiteral("There are no found bands to scan. Use Image -> "
                                              "Find Lanes and Bands first, or Ctrl+drag to "
                                              "draw frames."),
                               appTitle(), MessageButtons::Ok, MessageIcon::Information);
    return false;
}

bool FoundBandsTool::scanAll(std::vector<FoundBandScan>& scans)
{
    if (m_form.picImage->picture().isNull())
        return false;
    scans.clear();
    try {
        // The same scan as a hand-placed frame gets, with the chosen background method, or
        // the bands' volumes on their lanes' profiles.
        QStringList failures;
        scans = m_form.session().quantifyProposals(&failures);
        if (!failures.isEmpty())
            Prompts::current().message(
                &m_form,
                QStringLiteral("These bands have no fitted volume, so their cells are left "
                               "empty:\r\n") +
                    failures.join(QStringLiteral("\r\n")),
                appTitle(), MessageButtons::Ok, MessageIcon::Warning);
    } catch (const Error& e) {
        Prompts::current().message(&m_form, e.message(), appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
        return false;
    }
    return true;
}

namespace {

// Asks for a band number; nullopt when cancelled or not a number (after saying so).
std::optional<int> askBand(QWidget* parent, const QString& prompt, const QString& suggestion,
                           bool allowNone, bool allowTotal = false)
{
    const std::optional<QString> answer =
        Prompts::current().inputText(parent, prompt, appTitle(), suggestion);
    if (!answer)
        return std::nullopt;
    if (allowTotal && answer->trimmed().compare(QLatin1String("total"), Qt::CaseInsensitive) == 0)
        return LaneTotalBand;
    const std::optional<int> number = bandNumberText(*answer, allowNone);
    if (!number)
        Prompts::current().message(parent,
                                   QStringLiteral("\"%1\" is no band number: type a whole "
                                                  "number from 1.")
                                       .arg(*answer),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
    return number;
}

} // namespace

void FoundBandsTool::scanIntoSheet()
{
    if (!haveProposals())
        return;
    const std::optional<int> band =
        askBand(&m_form,
                QStringLiteral("Band for the \"Band\" column, counted from the %1 of each lane:")
                    .arg(alongWord()),
                QStringLiteral("1"), false);
    if (!band)
        return;
    const QString suggestion = *band != 1                     ? QStringLiteral("1")
                               : m_proposals.mostBands() >= 2 ? QStringLiteral("2")
                                                              : QString();
    const bool volumes = m_form.session().quantifyMode() != QuantifyMode::Frame;
    const std::optional<int> control = askBand(
        &m_form,
        QStringLiteral("Control band for the \"Int.Ctrl\" column, counted from the %1 of "
                       "each lane (empty for none%2):")
            .arg(alongWord(),
                 volumes ? QStringLiteral("; \"total\" for the lane's total, so that "
                                          "\"% to Ctrl\" is the band's per cent of its lane")
                         : QString()),
        suggestion, true, volumes);
    if (!control)
        return;
    std::vector<FoundBandScan> scans;
    if (!scanAll(scans))
        return;
    if (*control == LaneTotalBand) {
        const std::vector<FoundBandScan> totals = laneTotalScans(scans);
        scans.insert(scans.end(), totals.begin(), totals.end());
    }
    Worksheet& sheet = *m_form.f1Report;
    // Below everything the sheet holds, so that no result is overwritten.
    const int first = usedRowCount(sheet.data()) + 1;
    const int lanes = m_proposals.laneCount();
    std::vector<int> missing;
    try {
        missing = writeLaneRows(sheet.data(), scans, lanes, *band, *control, first);
    } catch (const Error& e) {
        Prompts::current().message(&m_form, e.message(), appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
        return;
    }
    // Every value written is recorded as a hand-placed scan is, with its band's size.
    const FoundBandSizes sizes = m_form.session().foundBandSizes();
    for (const FoundBandScan& s : scans) {
        const int column = s.band == *band ? 2 : (*control > 0 && s.band == *control ? 3 : 0);
        if (column != 0 && s.lane >= 1 && s.lane <= lanes)
            m_form.session().recordScan(CellAddress{first + s.lane - 1, column}, s.frame, s.scan,
                                        s.source,
                                        m_form.session().bandSizeSource(sizes, proposalOf(s)));
    }
    sheet.updateSheet();
    runWorkingSheetPass(sheet);
    m_form.commitUndo(QStringLiteral("Scan Found Bands"));
    m_searched += QStringLiteral("\nLanes 1 to %1 scanned into rows %2 to %3.")
                      .arg(lanes)
                      .arg(first)
                      .arg(first + lanes - 1);
    refresh();
    if (!missing.empty()) {
        QStringList names;
        for (int lane : missing)
            names << QString::number(lane);
        Prompts::current().message(
            &m_form,
            QStringLiteral("Lanes without band %1%2, whose cells are left empty: %3.")
                .arg(*band)
                .arg(*control == LaneTotalBand ? QStringLiteral(" or a lane total")
                     : *control > 0            ? QStringLiteral(" or control band %1").arg(*control)
                                               : QString())
                .arg(names.join(QStringLiteral(", "))),
            appTitle(), MessageButtons::Ok, MessageIcon::Information);
    }
}

int FoundBandsTool::proposalOf(const FoundBandScan& scan) const
{
    const std::vector<BandProposal>& items = m_proposals.items();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].lane == scan.lane && items[i].band == scan.band)
            return int(i);
    return -1;
}

QStringList FoundBandsTool::reportSizes(const std::vector<FoundBandScan>& scans) const
{
    const MeasurementSession& session = m_form.session();
    const FoundBandSizes sizes = session.foundBandSizes();
    const std::vector<BandProposal>& items = m_proposals.items();
    QStringList texts;
    if (!sizes.any() || sizes.bands.size() != items.size())
        return texts;
    for (const FoundBandScan& scan : scans) {
        QString text;
        if (const int i = proposalOf(scan); i >= 0) {
            const BandSize& band = sizes.bands[std::size_t(i)];
            const int lane = sizes.lanes[std::size_t(i)];
            const LadderLane* ladder = lane >= 0 ? session.ladderOf(lane) : nullptr;
            if (band.size) {
                text = bandSizeText(*band.size, ladder ? ladder->ladder.unit : sizesUnit(session));
                if (band.ladder)
                    text += QStringLiteral(" (ladder)");
                else if (band.extrapolated)
                    text += QStringLiteral(" (extrapolated)");
            } else if (band.extrapolated) {
                text = QStringLiteral("size beyond the ladder");
            } else if (lane >= 0 && !band.ladder) {
                text = QStringLiteral("no size");
            }
        }
        texts << text;
    }
    return texts;
}

void FoundBandsTool::sendToReport()
{
    if (!haveProposals())
        return;
    const std::optional<int> control = askBand(
        &m_form,
        QStringLiteral("Control band, typed \"control\" in the report, counted from the %1 of "
                       "each lane (empty for none):")
            .arg(alongWord()),
        m_proposals.mostBands() >= 2 ? QStringLiteral("2") : QStringLiteral("1"), true);
    if (!control)
        return;
    std::vector<FoundBandScan> scans;
    if (!scanAll(scans))
        return;
    frmReport& report = frmReport::showReport();
    int sent = 0;
    try {
        sent =
            appendFoundBandsToReport(scans, *control, report.f1Report->data(), reportSizes(scans));
    } catch (const Error& e) {
        Prompts::current().message(&m_form, e.message(), appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
        return;
    }
    report.f1Report->updateSheet();
    m_searched += QStringLiteral("\n%1 bands sent to the report window.").arg(sent);
    refresh();
}

} // namespace kesto
