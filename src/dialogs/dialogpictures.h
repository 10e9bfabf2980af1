#pragma once

// Pictures for the dialogs, drawn from the program's own SVG icons.

#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QSvgRenderer>

namespace kesto::dialogs {

inline QPixmap svgPicture(const QString& resource, int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    return pixmap;
}

} // namespace kesto::dialogs
