#pragma once

// What a picture file says about itself, for Picture > Picture Information and for the
// choice of a page: size, depth, polarity, compression, layout, resolution and the text
// an imager leaves in it (description, often with the exposure; make and model;
// software; date and time).

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace kesto {

using PictureFacts = QList<QPair<QString, QString>>; // label, value; in reading order

// The facts of one page (from 1; 0 for the first) of the file at path. A file that
// cannot be read gives a single "Problem" fact with the reason.
PictureFacts pictureFacts(const QString& path, int page = 0);

// The facts as text, one "Label: value" a line.
QString pictureFactsText(const PictureFacts& facts);

// One line per page of a file of several pages ("Page 2: 1200 x 1648, 16-bit gray,
// WhiteIsZero - Exposure 30 s"), for a person choosing one; empty for a file of one
// picture (or one that cannot be read: opening it says why).
QStringList picturePageChoices(const QString& path);

} // namespace kesto
