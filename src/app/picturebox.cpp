#include "app/picturebox.h"

#include "core/labelplacement.h"

#include "core/error.h"
#include "core/integration.h"

#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kesto {

namespace {

// The pixels the integration takes for a shape, both ends included, kept within a range
// a painter can handle for frames sized far past the picture.
QRect pixelSpan(const RectShape& shape)
{
    static constexpr std::int64_t Reach = 1000000;
    const auto kept = [](std::int64_t v) { return int(std::clamp(v, -Reach, Reach)); };
    PixelSpan span;
    try {
        span = framePixels(FrameGeometry{shape.left, shape.top, shape.width, shape.height});
    } catch (const Error&) {
        // Ends past 32 bits: the outline lies far off the picture either way.
        const auto far = [](float v) {
            return std::isfinite(v) ? std::int64_t(std::clamp(double(v), -1.0e6, 1.0e6)) : 0;
        };
        span.x0 = far(shape.left);
        span.y0 = far(shape.top);
        span.x1 = far(shape.left + shape.width);
        span.y1 = far(shape.top + shape.height);
    }
    const int left = kept(span.x0);
    const int top = kept(span.y0);
    return QRect(QPoint(left, top), QPoint(qMax(left, kept(span.x1)), qMax(top, kept(span.y1))));
}

} // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picImage"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setPicture(const QImage& picture)
{
    // The old rendering goes first, so two never coexist with the new picture.
    m_screen = QImage();
    m_picture = picture;
    renderShown();
    resize(zoomedSize());
}

void PictureBox::pictureChanged()
{
    renderShown();
}

void PictureBox::setLevels(const DisplayLevels& levels)
{
    m_levelsChosen = true;
    m_levels = levels;
    renderShown();
}

void PictureBox::renderShown()
{
    const DisplayLevels before = m_levels;
    if (!m_levelsChosen)
        m_levels = defaultDisplayLevels(m_picture);
    else if (m_levels.automatic)
        m_levels = autoDisplayLevels(m_picture);
    m_screen = QImage();
    m_screen = screenView(m_picture, m_levels);
    m_reduced = QImage();
    update();
    if (m_levels != before)
        Q_EMIT levelsChanged();
}

void PictureBox::setShapes(const RectShape* frame, const RectShape* handle)
{
    m_frame = frame;
    m_handle = handle;
    update();
}

void PictureBox::shapeMoved(const QRectF& beforeShape, const QRectF& afterShape)
{
    // A frame sized far past the picture keeps to a range widget rectangles can hold; its
    // outline beyond that is never on the screen.
    const auto bounded = [](const QRectF& r) {
        const auto keep = [](qreal v) { return qBound(-1.0e6, v, 1.0e6); };
        return QRectF(QPointF(keep(r.left()), keep(r.top())),
                      QPointF(keep(r.right()), keep(r.bottom())));
    };
    const QRectF before = bounded(beforeShape);
    const QRectF after = bounded(afterShape);
    // Repaint only the outlines' neighbourhood: a pointer move costs the same on any picture.
    const auto outline = [](const QRectF& r) {
        const QRect box = r.toAlignedRect().adjusted(-2, -2, 2, 2);
        const QRect inner = box.adjusted(4, 4, -4, -4);
        QRegion region(box);
        if (inner.isValid())
            region -= QRegion(inner);
        return region;
    };
    if (m_zoom == 1.0) {
        update(outline(before) + outline(after));
        return;
    }
    // Zoomed, the outline lies within the edge pixels' blocks, which a rounded end can
    // shift by a block and a half.
    const double margin = 2.0 + 2.0 * std::ceil(m_zoom);
    const auto zoomedOutline = [this, margin](const QRectF& r) {
        const QRectF scaled(r.left() * m_zoom, r.top() * m_zoom, r.width() * m_zoom,
                            r.height() * m_zoom);
        const QRectF box = scaled.adjusted(-margin, -margin, margin, margin);
        const QRectF inner = scaled.adjusted(margin, margin, -margin, -margin);
        QRegion region(box.toAlignedRect());
        if (inner.isValid())
            region -= QRegion(inner.toRect());
        return region;
    };
    update(zoomedOutline(before) + zoomedOutline(after));
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, palette().color(QPalette::Window));
    if (!m_picture.isNull()) {
        if (m_zoom == 1.0) {
            painter.drawImage(area.topLeft(), shown(), area);
        } else if (m_zoom < 1.0) {
            painter.drawImage(area.topLeft(), reducedPicture(), area);
        } else {
            // Only the picture pixels under the exposed area are drawn, each as a block.
            const QRect source = QRect(QPoint(int(std::floor(area.left() / m_zoom)),
                                              int(std::floor(area.top() / m_zoom))),
                                       QPoint(int(std::floor(area.right() / m_zoom)),
                                              int(std::floor(area.bottom() / m_zoom))))
                                     .intersected(m_picture.rect());
            if (source.isValid())
                painter.drawImage(QRectF(toWidget(source)), shown(), QRectF(source));
        }
    }
    paintOverlays(painter);
    if (m_frame && m_zoom != 1.0) {
        const QRect r = toWidget(pixelSpan(*m_frame));
        const QColor colour = toQColor(m_frame->borderColor);
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
    } else if (m_frame) {
        // The outline lies on the frame's first and last columns and rows, the pixels the
        // integration takes as the frame's edges, so it encloses exactly what is summed.
        // Filled one-pixel strips stay sharp at any device pixel ratio.
        const QRect r = pixelSpan(*m_frame);
        const QColor colour = toQColor(m_frame->borderColor);
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
    }
    // The handle is a solid square so that it is easy to see and to aim at.
    if (m_handle)
        painter.fillRect(toWidget(pixelSpan(*m_handle)), toQColor(m_handle->borderColor));
    if (m_origin && m_origin->width >= 0) {
        const QRect r = toWidget(pixelSpan(*m_origin));
        const QColor colour = toQColor(m_origin->borderColor);
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 2), colour);
        painter.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), colour);
        painter.fillRect(QRect(r.left(), r.top(), 2, r.height()), colour);
        painter.fillRect(QRect(r.right() - 1, r.top(), 2, r.height()), colour);
    }
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    const QPointF p = toPicture(event->position());
    Q_EMIT pointerPressed(event->button(), event->modifiers(), float(p.x()), float(p.y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = toPicture(event->position());
    Q_EMIT pointerMoved(event->buttons(), event->modifiers(), float(p.x()), float(p.y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF p = toPicture(event->position());
    Q_EMIT pointerReleased(event->button(), event->modifiers(), float(p.x()), float(p.y()));
}

void PictureBox::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    // One step per notch; high-resolution wheels add up their smaller angles first.
    m_wheelAngle += event->angleDelta().y();
    const int steps = m_wheelAngle / 120;
    m_wheelAngle -= steps * 120;
    event->accept();
    if (steps != 0)
        Q_EMIT zoomRequested(steps, event->position());
}

void PictureBox::setZoom(double zoom)
{
    if (!(zoom > 0.0) || zoom == m_zoom)
        return;
    m_zoom = zoom;
    m_reduced = QImage();
    resize(zoomedSize());
    update();
}

QSize PictureBox::zoomedSize() const
{
    if (m_zoom == 1.0 || m_picture.isNull())
        return m_picture.size();
    // A hair below the exact product so that a fitted picture never gains a pixel.
    const auto scaled = [this](int extent) {
        return qMax(1, int(std::ceil(double(extent) * m_zoom - 1e-6)));
    };
    return QSize(scaled(m_picture.width()), scaled(m_picture.height()));
}

QRect PictureBox::toWidget(const QRect& pictureRect) const
{
    if (m_zoom == 1.0)
        return pictureRect;
    const auto start = [this](int v) { return int(std::floor(double(v) * m_zoom)); };
    const auto end = [this](int v) { return int(std::ceil(double(v + 1) * m_zoom)) - 1; };
    const int left = start(pictureRect.left());
    const int top = start(pictureRect.top());
    return QRect(QPoint(left, top), QPoint(qMax(left, end(pictureRect.right())),
                                           qMax(top, end(pictureRect.bottom()))));
}

QPointF PictureBox::toPicture(const QPointF& widgetPoint) const
{
    if (m_zoom == 1.0)
        return widgetPoint;
    return widgetPoint / m_zoom;
}

void PictureBox::setOverlays(const QList<PictureOverlay>& overlays)
{
    if (m_overlays.isEmpty() && overlays.isEmpty())
        return;
    m_overlays = overlays;
    update();
}

void PictureBox::setLaneOutlines(const QList<QPolygon>& outlines)
{
    if (m_lanes.isEmpty() && outlines.isEmpty())
        return;
    m_lanes = outlines;
    update();
}

void PictureBox::paintOverlays(QPainter& painter) const
{
    if (!m_lanes.isEmpty()) {
        // Lanes: dashed green outlines under the bands' frames.
        painter.save();
        painter.setPen(QPen(QColor(60, 220, 90), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        for (const QPolygon& outline : m_lanes) {
            QPolygon shape;
            for (const QPoint& p : outline)
                shape << toWidget(QRect(p, QSize(1, 1))).topLeft();
            painter.drawPolygon(shape);
        }
        painter.restore();
    }
    if (m_overlays.isEmpty())
        return;
    // Cyan stands apart from the red scan frame on light and dark gels alike; the chosen
    // one is drawn twice as thick, in yellow.
    const QColor normal(0, 200, 255);
    const QColor chosen(255, 220, 0);
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    // Labels go where they cover no other label and no other band (core/labelplacement).
    std::vector<QRect> outlines;
    std::vector<QSize> sizes;
    for (const PictureOverlay& overlay : m_overlays) {
        outlines.push_back(toWidget(overlay.span));
        sizes.push_back(
            overlay.label.isEmpty()
                ? QSize()
                : QSize(metrics.horizontalAdvance(overlay.label) + 4, metrics.height()));
    }
    const std::vector<QRect> labels = placeLabels(outlines, sizes, rect(), /*inset=*/2);
    for (qsizetype i = 0; i < m_overlays.size(); ++i) {
        const PictureOverlay& overlay = m_overlays.at(i);
        const QRect& r = outlines[std::size_t(i)];
        const QColor colour = overlay.selected ? chosen : normal;
        const int t = overlay.selected ? 2 : 1;
        painter.fillRect(QRect(r.left(), r.top(), r.width(), t), colour);
        painter.fillRect(QRect(r.left(), r.bottom() - t + 1, r.width(), t), colour);
        painter.fillRect(QRect(r.left(), r.top(), t, r.height()), colour);
        painter.fillRect(QRect(r.right() - t + 1, r.top(), t, r.height()), colour);
        const QRect& box = labels[std::size_t(i)];
        if (overlay.label.isEmpty() || box.isNull())
            continue;
        painter.fillRect(box, QColor(0, 0, 0, 160));
        painter.setPen(colour);
        painter.drawText(box, Qt::AlignCenter, overlay.label);
    }
}

const QImage& PictureBox::reducedPicture()
{
    if (m_reduced.isNull() && !m_picture.isNull()) {
        // A gray picture is reduced in its own byte a pixel, not through a 32-bit copy.
        m_reduced = reducedGrayView(shown(), zoomedSize());
        if (m_reduced.isNull())
            m_reduced =
                shown().scaled(zoomedSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return m_reduced;
}

} // namespace kesto
