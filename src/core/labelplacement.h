#pragma once

// Where the labels of outlined boxes go so that none covers another label or another
// box: above the box at its left edge where that is free, else inside its top-left
// corner, else beside it on the right or the left, else below it. A label with no free
// place is left out (a null rectangle); the boxes are still drawn.

#include <QRect>
#include <QSize>

#include <vector>

namespace kesto {

// outlines and sizes pair up; bounds is the area labels must stay in (the picture as
// shown). inset is how far a label inside its box sits from the box's edge. Earlier
// boxes choose first.
std::vector<QRect> placeLabels(const std::vector<QRect>& outlines, const std::vector<QSize>& sizes,
                               const QRect& bounds, int inset = 1);

} // namespace kesto
