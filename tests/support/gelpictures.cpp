#include "support/gelpictures.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

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

QImage blotPicture(const QList<QList<double>>& depths, const QList<int>& bandRows)
{
    const int lanes = int(depths.size());
    QImage picture(60 * lanes + 20, 220, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            double level = 235;
            const int lane = (x - 10) / 60;
            const int across = (x - 10) % 60;
            if (x >= 10 && lane < lanes && across >= 10 && across < 50) {
                const double edge = std::min(1.0, std::min(across - 10, 49 - across) / 5.0);
                for (int k = 0; k < bandRows.size() && k < depths[lane].size(); ++k)
                    level -= depths[lane][k] * edge *
                             std::exp(-0.5 * std::pow((y - bandRows[k]) / 3.0, 2));
            }
            const int v = std::clamp(int(std::lround(level)), 0, 255);
            picture.setPixel(x, y, qRgb(v, v, v));
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
