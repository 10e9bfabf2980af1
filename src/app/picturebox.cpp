#include "app/picturebox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace kesto {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picImage"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setPicture(const QImage& picture)
{
    m_picture = picture;
    resize(m_picture.size());
    update();
}

void PictureBox::pictureChanged() { update(); }

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
    if (!m_picture.isNull())
        painter.drawImage(area.topLeft(), m_picture, area);
    for (const RectShape* shape : {m_frame, m_handle}) {
        if (!shape)
            continue;
        // A one-pixel outline whose outer edge is the shape's rectangle.
        QPen pen(toQColor(shape->borderColor));
        pen.setWidth(1);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(shape->left + 0.5f, shape->top + 0.5f, shape->width - 1.0f,
                                shape->height - 1.0f));
    }
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
