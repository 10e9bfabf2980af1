#include "app/laneprofilepanel.h"

#include "components/prompts.h"
#include "core/numbers.h"

#include <QAreaSeries>
#include <QBrush>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

QString positionName(ProfileDirection direction)
{
    return direction == ProfileDirection::AlongRows ? QStringLiteral("Row")
                                                    : QStringLiteral("Column");
}

} // namespace

LaneProfilePanel::LaneProfilePanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmLaneProfile"));
    setWindowTitle(QStringLiteral("Lane Profile"));

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_areaUpper = new QLineSeries(this);
    m_areaLower = new QLineSeries(this);
    m_area = new QAreaSeries(m_areaUpper, m_areaLower);
    m_area->setName(QStringLiteral("Area"));
    QColor shade(0, 120, 215, 70);
    m_area->setBrush(shade);
    m_area->setPen(Qt::NoPen);
    m_profileLine = new QLineSeries;
    m_profileLine->setName(QStringLiteral("Mean"));
    m_profileLine->setPen(QPen(QColor(0, 70, 160), 1.5));
    m_backgroundLine = new QLineSeries;
    m_backgroundLine->setName(QStringLiteral("Background"));
    m_backgroundLine->setPen(QPen(QColor(200, 30, 30), 1.5, Qt::DashLine));
    m_boundaries = new QLineSeries;
    m_boundaries->setName(QStringLiteral("Band boundaries"));
    m_boundaries->setPen(QPen(QColor(20, 140, 60), 1.0));
    m_chart->addSeries(m_area);
    m_chart->addSeries(m_profileLine);
    m_chart->addSeries(m_backgroundLine);
    m_chart->addSeries(m_boundaries);
    m_axisX = new QValueAxis;
    m_axisX->setLabelFormat(QStringLiteral("%d"));
    m_axisY = new QValueAxis;
    m_axisY->setTitleText(QStringLiteral("Mean"));
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(m_area), static_cast<QAbstractSeries*>(m_profileLine),
          static_cast<QAbstractSeries*>(m_backgroundLine),
          static_cast<QAbstractSeries*>(m_boundaries)}) {
        series->attachAxis(m_axisX);
        series->attachAxis(m_axisY);
    }
    m_view = new QChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("chtProfile"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(420, 260);
    m_view->viewport()->installEventFilter(this);
    m_view->viewport()->setMouseTracking(true);

    m_columns = new QCheckBox(QStringLiteral("Along &columns"), this);
    m_columns->setObjectName(QStringLiteral("chkColumns"));
    m_value = new QLabel(this);
    m_value->setObjectName(QStringLiteral("lblValue"));
    m_areaText = new QLabel(this);
    m_areaText->setObjectName(QStringLiteral("lblArea"));
    m_copy = new QPushButton(QStringLiteral("&Copy"), this);
    m_copy->setObjectName(QStringLiteral("cmdCopy"));
    m_save = new QPushButton(QStringLiteral("&Save..."), this);
    m_save->setObjectName(QStringLiteral("cmdSave"));

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_columns);
    controls->addWidget(m_value, 1);
    controls->addWidget(m_copy);
    controls->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_areaText);
    layout->addLayout(controls);

    setDirection(ProfileDirection::AlongRows);
    connect(m_columns, &QCheckBox::toggled, this, [this](bool on) {
        setDirection(on ? ProfileDirection::AlongColumns : ProfileDirection::AlongRows);
        Q_EMIT directionChanged();
    });
    connect(m_profileLine, &QLineSeries::hovered, this, [this](const QPointF& point, bool on) {
        m_value->setText(on ? valueText(point.x()) : QString());
    });
    connect(m_copy, &QPushButton::clicked, this, &LaneProfilePanel::copyProfile);
    connect(m_save, &QPushButton::clicked, this, &LaneProfilePanel::saveProfile);
}

LaneProfilePanel::~LaneProfilePanel() = default;

ProfileDirection LaneProfilePanel::direction() const
{
    return m_columns->isChecked() ? ProfileDirection::AlongColumns : ProfileDirection::AlongRows;
}

void LaneProfilePanel::setDirection(ProfileDirection direction)
{
    {
        const QSignalBlocker blocker(m_columns);
        m_columns->setChecked(direction == ProfileDirection::AlongColumns);
    }
    m_axisX->setTitleText(positionName(direction));
}

void LaneProfilePanel::setProfile(const LaneProfile& profile)
{
    m_profile = profile;
    QList<QPointF> points;
    QList<QPointF> level;
    points.reserve(qsizetype(profile.means.size()));
    double low = profile.background;
    double high = profile.background;
    // The background under each position: the level, or the lane's baseline.
    auto backgroundAt = [&profile](std::size_t i) {
        return i < profile.baseline.size() ? profile.baseline[i] : profile.background;
    };
    for (std::size_t i = 0; i < profile.means.size(); ++i) {
        const double x = double(profile.first + std::int64_t(i));
        points.append(QPointF(x, profile.means[i]));
        low = std::min({low, profile.means[i], backgroundAt(i)});
        high = std::max({high, profile.means[i], backgroundAt(i)});
    }
    // The area's lower edge runs under every point so that the shading follows the curve.
    QList<QPointF> lower;
    lower.reserve(points.size());
    for (qsizetype i = 0; i < points.size(); ++i)
        lower.append(QPointF(points.at(i).x(), backgroundAt(std::size_t(i))));
    if (!profile.baseline.empty())
        level = lower;
    else if (!points.isEmpty())
        level = {QPointF(points.constFirst().x(), profile.background),
                 QPointF(points.constLast().x(), profile.background)};
    m_boundaries->clear();
    m_boundaries->setVisible(false);
    m_bounds.clear();
    m_measure = LaneMeasure{};
    m_dragBand = -1;
    m_profileLine->replace(points);
    m_areaUpper->replace(points);
    m_areaLower->replace(lower);
    m_backgroundLine->replace(level);
    const double first = points.isEmpty() ? 0.0 : points.constFirst().x();
    const double last = points.isEmpty() ? 1.0 : points.constLast().x();
    m_axisX->setRange(first, std::max(last, first + 1.0));
    const double margin = std::max(1.0, (high - low) * 0.05);
    m_axisY->setRange(low - margin, high + margin);
    m_value->clear();
    const double area = profile.across > 0 ? profile.area() / double(profile.across) : 0.0;
    if (profile.means.empty())
        m_areaText->setText(QStringLiteral("No profile: open or paste a picture, then place the "
                                           "frame over a lane."));
    else
        m_areaText->setText(QStringLiteral("Area %1 x width %2 = scan %3")
                                .arg(doubleText(area), QString::number(profile.across),
                                     doubleText(profile.area())));
}

void LaneProfilePanel::setLane(const LaneMeasure& measure, const std::vector<BandBounds>& bounds,
                               const QString& name)
{
    LaneProfile profile;
    profile.first = measure.first;
    profile.across = measure.across;
    profile.means = measure.profile;
    profile.baseline = measure.baseline;
    profile.sums.reserve(measure.profile.size());
    for (double mean : measure.profile)
        profile.sums.push_back(std::llround(mean * double(measure.across)));
    setProfile(profile);
    m_measure = measure;
    if (measure.isEmpty())
        return;
    drawBoundaries(bounds);
    QStringList volumes;
    for (std::size_t b = 0; b < bounds.size(); ++b) {
        const double volume = bandVolume(measure, bounds[b]);
        const std::optional<double> percent = percentOfLane(volume, measure.total);
        volumes << QStringLiteral("%1: %2%3")
                       .arg(b + 1)
                       .arg(doubleText(volume), percent ? QStringLiteral(" (%1 %)").arg(
                                                              QString::number(*percent, 'f', 1))
                                                        : QString());
    }
    QString text = QStringLiteral("%1: lane total %2 (width %3)")
                       .arg(name, doubleText(measure.total), QString::number(measure.across));
    if (!volumes.isEmpty())
        text += QStringLiteral("; band volumes ") + volumes.join(QStringLiteral(", "));
    text += QStringLiteral(". Drag a boundary to move it.");
    m_areaText->setText(text);
    m_areaText->setWordWrap(true);
}

void LaneProfilePanel::drawBoundaries(const std::vector<BandBounds>& bounds)
{
    m_bounds = bounds;
    // Each boundary a drop line from the profile down to the baseline, joined along the
    // baseline from one to the next.
    QList<QPointF> drops;
    for (const BandBounds& b : bounds) {
        for (int at : {b.from, b.to}) {
            if (at < m_measure.first || at > m_measure.last())
                continue;
            const std::size_t i = std::size_t(at - m_measure.first);
            // The profile read as it is plotted (the picture's values, not turned round).
            const double top = m_profile.means.size() > i ? m_profile.means[i] : 0.0;
            const double bottom = m_profile.baseline.size() > i ? m_profile.baseline[i] : 0.0;
            drops << QPointF(at, bottom) << QPointF(at, top) << QPointF(at, bottom);
        }
    }
    m_boundaries->replace(drops);
    m_boundaries->setVisible(!drops.isEmpty());
}

QPointF LaneProfilePanel::viewPointOf(double x, double y) const
{
    const QPointF inChart = m_chart->mapToPosition(QPointF(x, y), m_boundaries);
    return m_view->mapFromScene(m_chart->mapToScene(inChart));
}

QPoint LaneProfilePanel::viewPointAt(int position) const
{
    return viewPointOf(position, m_axisY->min()).toPoint() - QPoint(0, 2);
}

int LaneProfilePanel::positionAt(const QPoint& viewPoint) const
{
    const QPointF inChart = m_chart->mapFromScene(m_view->mapToScene(viewPoint));
    const double x = m_chart->mapToValue(inChart, m_boundaries).x();
    return int(std::lround(std::clamp(x, -1e9, 1e9)));
}

std::pair<int, bool> LaneProfilePanel::boundaryNear(const QPoint& viewPoint) const
{
    constexpr double Reach = 4; // pixels either side
    std::pair<int, bool> nearest{-1, false};
    double best = Reach + 1;
    const double y = m_axisY->min();
    for (std::size_t b = 0; b < m_bounds.size(); ++b) {
        for (bool end : {false, true}) {
            const int at = end ? m_bounds[b].to : m_bounds[b].from;
            const double distance = std::abs(viewPointOf(at, y).x() - viewPoint.x());
            if (distance <= Reach && distance < best) {
                best = distance;
                nearest = {int(b), end};
            }
        }
    }
    return nearest;
}

bool LaneProfilePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_view->viewport() || m_bounds.empty())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        const auto [band, end] = boundaryNear(mouse->position().toPoint());
        if (band < 0)
            break;
        m_dragBand = band;
        m_dragEnd = end;
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_dragBand >= 0) {
            std::vector<BandBounds> moved = m_bounds;
            BandBounds& b = moved[std::size_t(m_dragBand)];
            const int at = std::clamp(positionAt(mouse->position().toPoint()), m_measure.first,
                                      m_measure.last());
            (m_dragEnd ? b.to : b.from) = at;
            // Shown as it goes; the session decides where it may end up on release.
            const std::vector<BandBounds> kept = m_bounds;
            drawBoundaries(moved);
            m_bounds = kept;
            return true;
        }
        m_view->viewport()->setCursor(boundaryNear(mouse->position().toPoint()).first >= 0
                                          ? Qt::SizeHorCursor
                                          : Qt::ArrowCursor);
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_dragBand < 0 || mouse->button() != Qt::LeftButton)
            break;
        const int band = m_dragBand;
        m_dragBand = -1;
        const int at =
            std::clamp(positionAt(mouse->position().toPoint()), m_measure.first, m_measure.last());
        drawBoundaries(m_bounds);
        Q_EMIT boundaryDragged(band, m_dragEnd, at);
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void LaneProfilePanel::showMessage(const QString& text)
{
    setProfile(LaneProfile{});
    m_areaText->setText(text);
}

QString LaneProfilePanel::valueText(double x) const
{
    if (m_profile.means.empty() || !std::isfinite(x))
        return QString();
    const double offset = std::nearbyint(x - double(m_profile.first));
    const auto index = std::size_t(std::clamp(offset, 0.0, double(m_profile.means.size() - 1)));
    return positionName(direction()) + QLatin1Char(' ') +
           QString::number(m_profile.first + std::int64_t(index)) + QStringLiteral(": ") +
           doubleText(m_profile.means[index]);
}

void LaneProfilePanel::copyProfile()
{
    QGuiApplication::clipboard()->setText(laneProfileText(m_profile, direction()));
}

QImage LaneProfilePanel::plotImage() const
{
    QImage image(m_view->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    m_view->render(&painter);
    return image;
}

void LaneProfilePanel::saveProfile()
{
    int filter = 0;
    const QString path = Prompts::current().saveFileName(
        this, QStringLiteral("Save Profile"), QStringLiteral("profile.png"),
        {QStringLiteral("PNG picture (*.png)"), QStringLiteral("SVG drawing (*.svg)")}, filter);
    if (path.isEmpty())
        return;
    writePlot(path);
}

void LaneProfilePanel::writePlot(const QString& path)
{
    // Written beside the target and renamed on success, so a failed save leaves any file
    // already there as it was.
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok && path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(m_view->size());
        svg.setViewBox(QRect(QPoint(0, 0), m_view->size()));
        svg.setTitle(windowTitle());
        QPainter painter;
        ok = painter.begin(&svg);
        if (ok) {
            m_view->render(&painter);
            ok = painter.end();
        }
    } else if (ok) {
        ok = plotImage().save(&file, "PNG");
    }
    if (ok)
        ok = file.commit();
    if (!ok)
        Prompts::current().message(this, QStringLiteral("Cannot save the profile:\r\n") + path,
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
}

} // namespace kesto
