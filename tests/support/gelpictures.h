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

// Saves the picture into dir under name (format from the extension) and returns the path.
QString savePicture(const QTemporaryDir& dir, const QString& name, const QImage& picture);

} // namespace kesto::test
