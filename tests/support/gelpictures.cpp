#include "support/gelpictures.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace kesto::test {

QImage solidPicture(int width, int height, QRgb colour)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

QImage gelPicture(int width, int height, int background, int band, const QList<QRect>& bands)
{
    QImage picture = solidPicture(width, height, qRgb(background, background, background));
    for (const QRect& r : bands) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x)
                picture.setPixel(x, y, qRgb(band, band, band));
        }
    }
    return picture;
}

QString savePicture(const QTemporaryDir& dir, const QString& name, const QImage& picture)
{
    const QString path = dir.filePath(name);
    if (!picture.save(path))
        QTest::qFail("could not save a test picture", __FILE__, __LINE__);
    return path;
}

} // namespace kesto::test
