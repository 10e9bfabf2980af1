#include "app/picturebox.h"

#include "core/deeppicture.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace kesto {

namespace {

// Picture pixel the integration takes for a frame coordinate: rounded half to even, kept
// within a range a painter can handle for frames sized far past the picture.
int pixelOf(float value)
{
    if (!std::isfinite(value))
        return 0;
    return int(std::nearbyint(qBound(-1.0e6, double(value), 1.0e6)));
}

// The pixels from a shape's left and top to its right and bottom, both ends included.
QRect pixelSpan(const RectShape& shape)
{
    const int left = pixelOf(shape.left);
    const int top = pixelOf(shape.top);
    const int right = pixelOf(shape.left + shape.width);
    const int bottom = pixelOf(shape.top + shape.height);
    return QRect(QPoint(left, top), QPoint(qMax(left, right), qMax(top, bottom)));
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
    m_screen = screenRendering(m_picture);
    resize(m_picture.size());
    update();
}

void PictureBox::pictureChanged()
{
    m_screen = screenRendering(m_picture);
    update();
}

void PictureBox::setShapes(const RectShape* frame, const RectShape* handle)
{
    m_frame = frame;
    m_handle = handle;
    update();
}

void PictureBox::shapeMoved(const QRectF& before, const QRectF& after)
{
    // Repaint only the outlines' neighbourhood: a pointer move costs the same on any picture.
    const auto outline = [](const QRectF& r) {
        const QRect box = r.toAlignedRect().adjusted(-2, -2, 2, 2);
        const QRect inner = box.adjusted(4, 4, -4, -4);
        QRegion region(box);
        if (inner.isValid())
            region -= QRegion(inner);
        return region;
    };
    update(outline(before) + outline(after));
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, palette().color(QPalette::Window));
    if (!m_screen.isNull())
        painter.drawImage(area.topLeft(), m_screen, area);
    else if (!m_picture.isNull())
        painter.drawImage(area.topLeft(), m_picture, area);
    if (m_frame) {
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
        painter.fillRect(pixelSpan(*m_handle), toQColor(m_handle->borderColor));
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    Q_EMIT pointerPressed(event->button(), event->modifiers(), float(p.x()), float(p.y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    Q_EMIT pointerMoved(event->buttons(), event->modifiers(), float(p.x()), float(p.y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    Q_EMIT pointerReleased(event->button(), event->modifiers(), float(p.x()), float(p.y()));
}

} // namespace kesto
