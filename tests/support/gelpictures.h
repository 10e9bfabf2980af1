#pragma once

// Pictures for tests, made in code so that every expected value can be worked out from
// how the picture was drawn.

#include <QImage>
#include <QString>

class QTemporaryDir;

namespace kesto::test {

// A w x h picture of one colour, in the working format.
QImage solidPicture(int width, int height, QRgb colour);

// A light gel: background grey `background` with dark rectangular bands of grey `band`
// at the given rectangles.
QImage gelPicture(int width, int height, int background, int band, const QList<QRect>& bands);

// A western blot: lanes 40 columns wide, 60 apart from column 20, on a background of grey
// 235, each band a dark row of Gaussian profile (sigma 3 rows) at bandRows[k], darkened
// by depths[lane][k] grey levels at its peak and fading to the lane's edges. A depth
// beyond 235 is clipped at 0: a saturated band. 220 rows.
QImage blotPicture(const QList<QList<double>>& depths, const QList<int>& bandRows);

// Saves the picture into dir under name (format from the extension) and returns the path.
QString savePicture(const QTemporaryDir& dir, const QString& name, const QImage& picture);

} // namespace kesto::test
