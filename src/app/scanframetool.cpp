#include "app/scanframetool.h"

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "core/numbers.h"

#include <QApplication>
#include <QCursor>

#include <cmath>

namespace kesto {

PictureTool::~PictureTool() = default;

namespace {

// The pointer shape is set for the whole application until a later pointer event on the
// picture changes it; the arrow means no override.
void setPointerShape(Qt::CursorShape shape)
{
    if (shape == Qt::ArrowCursor) {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    } else if (QApplication::overrideCursor()) {
        if (QApplication::overrideCursor()->shape() != shape)
            QApplication::changeOverrideCursor(QCursor(shape));
    } else {
        QApplication::setOverrideCursor(QCursor(shape));
    }
}

QString positionText(const char* prefix, float x, float y)
{
    return QLatin1String(prefix) + singleText(x) + QStringLiteral(" Y=") + singleText(y);
}

// The picture pixel under a pointer position: whole at 100 %, the pixel it falls in at
// any other zoom.
float pixel(float v)
{
    return std::isfinite(v) ? std::floor(v) : v;
}

} // namespace

bool ScanFrameTool::press(Qt::MouseButton, Qt::KeyboardModifiers, float x, float y)
{
    x = pixel(x);
    y = pixel(y);
    const RectShape& frame = m_form.shpPointer;
    if (frame.contains(x, y)) {
        if (m_form.shpPoint.contains(x, y)) {
            m_sizing = true;
            m_moving = false;
            setPointerShape(Qt::SizeFDiagCursor);
        } else {
            m_moving = true;
            m_sizing = false;
            setPointerShape(Qt::SizeAllCursor);
        }
        m_grabY = y - frame.top;
        m_grabX = x - frame.left;
    } else {
        m_moving = false;
        m_form.pickBackgroundAt(x, y);
    }
    m_form.setReadout(BandMove, QStringLiteral("mnuDisplay"), positionText("X=", x, y));
    m_form.tbrMain->redraw();
    return true;
}

void ScanFrameTool::move(float x, float y)
{
    x = pixel(x);
    y = pixel(y);
    m_form.setReadout(BandMove, QStringLiteral("mnuColor"), m_form.colorReadout(x, y));
    const RectShape& frame = m_form.shpPointer;
    const FrameGeometry now = m_form.session().frame();
    const float innerWidth = float(m_form.session().picture().width());
    const float innerHeight = float(m_form.session().picture().height());
    if (m_moving) {
        float left = x - m_grabX;
        float top = y - m_grabY;
        if (left < 0)
            left = 0;
        if (top < 0)
            top = 0;
        // The upper clamps come last: a frame larger than the picture keeps its right or
        // bottom edge on the picture's edge.
        if (left > 0 + innerWidth - now.width)
            left = 0 + innerWidth - now.width;
        if (top > 0 + innerHeight - now.height)
            top = 0 + innerHeight - now.height;
        m_form.moveFrameTo(left, top);
        m_form.setReadout(BandMove, QStringLiteral("mnuDisplay"), positionText("+X=", x, y));
    } else if (m_sizing) {
        float w = x - now.left;
        float h = y - now.top;
        if (w < m_form.shpPoint.width)
            w = m_form.shpPoint.width;
        if (h < m_form.shpPoint.height)
            h = m_form.shpPoint.height;
        m_form.session().setFrame(FrameGeometry{now.left, now.top, w, h});
        m_form.setReadout(BandMove, QStringLiteral("mnuDisplay"), positionText("+X=", x, y));
    } else {
        if (frame.contains(x, y) && m_form.shpPoint.contains(x, y))
            setPointerShape(Qt::SizeFDiagCursor);
        else if (frame.contains(x, y))
            setPointerShape(Qt::SizeAllCursor);
        else
            setPointerShape(Qt::ArrowCursor);
        m_form.setReadout(BandMove, QStringLiteral("mnuDisplay"), positionText("X=", x, y));
    }
    const FrameGeometry after = m_form.session().frame();
    m_form.setReadout(BandMove, QStringLiteral("mnuSize"),
                      singleText(after.width) + QLatin1Char('x') + singleText(after.height));
    m_form.tbrMain->redraw();
}

void ScanFrameTool::release(Qt::MouseButton, float x, float y)
{
    x = pixel(x);
    y = pixel(y);
    m_moving = false;
    m_sizing = false;
    setPointerShape(Qt::ArrowCursor);
    const FrameGeometry frame = m_form.session().frame();
    m_form.setReadout(BandMove, QStringLiteral("mnuDisplay"), positionText("X=", x, y));
    m_form.setReadout(BandMove, QStringLiteral("mnuSize"),
                      singleText(frame.width) + QLatin1Char('x') + singleText(frame.height));
    m_form.CopyImage();
    m_form.commitUndo(QStringLiteral("Scan"));
}

} // namespace kesto
