#pragma once

// picImage: shows the gel picture (at its natural size unless zoomed) with the scan frame
// and its handle drawn over it, and reports pointer events in picture pixels.

#include "components/module1.h"
#include "core/displaylevels.h"

#include <QImage>
#include <QList>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QWidget>

class QPainter;

namespace kesto {

// A rectangle shape over the picture, in picture pixels (single precision).
struct RectShape
{
    float left = 0, top = 0, width = 0, height = 0;
    ColorValue borderColor = rgbValue(255, 0, 0);

    QRectF rect() const { return QRectF(left, top, width, height); }
    // Strictly inside: a point on the border is outside. Sums in single precision.
    bool contains(float x, float y) const
    {
        const float right = left + width;
        const float bottom = top + height;
        return x > left && x < right && y > top && y < bottom;
    }
};

// An outline drawn over the picture under the scan frame (a found band), with a label at
// its top-left corner. span is in picture pixels, both edges included.
struct PictureOverlay
{
    QRect span;
    QString label;
    bool selected = false;
    // A lane: its outline in picture pixels, drawn dashed instead of the span's frame.
    QPolygon outline = {};
};

class PictureBox : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Assigns the picture (a measurement picture: 8-bit working or 16-bit, see
    // core/deeppicture.h) and sizes the box to it. The picture is shown at the display
    // levels through an 8-bit rendering, which pictureChanged() renews.
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }
    // For in-place changes (inversion); call pictureChanged() afterwards.
    QImage& picture() { return m_picture; }
    void pictureChanged();

    // The display levels: how the picture's counts are shown (core/displaylevels.h); the
    // picture itself never changes with them. Chosen levels stay while the picture changes
    // in place (Auto levels are taken again from the changed picture); a new picture opens
    // at its own default after forgetLevels().
    void setLevels(const DisplayLevels& levels);
    const DisplayLevels& levels() const { return m_levels; }
    void forgetLevels() { m_levelsChosen = false; }
    // What the screen shows (the rendering at the levels, or the picture as it is).
    const QImage& shownPicture() const { return shown(); }

    // The shapes drawn over the picture; the box repaints only what a move touches.
    void setShapes(const RectShape* frame, const RectShape* handle);
    void shapeMoved(const QRectF& before, const QRectF& after);
    // A further outline in its own colour (a value's origin frame); shown while its width
    // is 0 or more.
    void setOriginShape(const RectShape* origin) { m_origin = origin; }

    // View scale, widget pixels per picture pixel: 1 shows the picture at its natural size.
    // Zoomed in, pixels show as sharp blocks; zoomed out, a smoothly reduced copy is shown.
    // Pointer events and shapes stay in picture pixels at every zoom.
    void setZoom(double zoom);
    double zoom() const { return m_zoom; }
    // The box's size for the picture at the zoom.
    QSize zoomedSize() const;
    // The widget pixels that show the picture pixels of rect.
    QRect toWidget(const QRect& pictureRect) const;

    // The outlines drawn over the picture; an empty list draws none.
    void setOverlays(const QList<PictureOverlay>& overlays);
    const QList<PictureOverlay>& overlays() const { return m_overlays; }

Q_SIGNALS:
    // The levels in use changed (chosen, or Auto levels taken from a changed picture).
    void levelsChanged();
    // Ctrl+wheel over the picture: steps up (positive) or down, about a widget point.
    void zoomRequested(int steps, const QPointF& widgetPoint);
    void pointerPressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);
    void pointerMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, float x, float y);
    void pointerReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QPointF toPicture(const QPointF& widgetPoint) const;
    const QImage& reducedPicture();
    // What the screen shows: the rendering at the levels, else the picture as it is.
    const QImage& shown() const { return m_screen.isNull() ? m_picture : m_screen; }

    double m_zoom = 1.0;
    QImage m_reduced; // the picture reduced to the zoom below 1, made on first paint
    int m_wheelAngle = 0;

    QImage m_picture;
    QImage m_screen; // the 8-bit rendering at the levels; null when shown as it is
    DisplayLevels m_levels;
    bool m_levelsChosen = false;
    void renderShown();
    const RectShape* m_frame = nullptr;
    const RectShape* m_handle = nullptr;

    void paintOverlays(QPainter& painter) const;
    QList<PictureOverlay> m_overlays;
    const RectShape* m_origin = nullptr;
};

} // namespace kesto
