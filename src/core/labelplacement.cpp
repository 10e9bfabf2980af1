#include "core/labelplacement.h"

namespace kesto {

std::vector<QRect> placeLabels(const std::vector<QRect>& outlines, const std::vector<QSize>& sizes,
                               const QRect& bounds, int inset)
{
    const std::size_t n = std::min(outlines.size(), sizes.size());
    std::vector<QRect> placed(n);
    for (std::size_t i = 0; i < n; ++i) {
        const QRect& r = outlines[i];
        const QSize& size = sizes[i];
        const QRect candidates[] = {
            QRect(QPoint(r.left(), r.top() - size.height()), size),
            QRect(QPoint(r.left() + inset, r.top() + inset), size),
            QRect(QPoint(r.right() + 2, r.top()), size),
            QRect(QPoint(r.left() - size.width() - 1, r.top()), size),
            QRect(QPoint(r.left(), r.bottom() + 1), size),
        };
        for (const QRect& candidate : candidates) {
            bool free = bounds.contains(candidate);
            for (std::size_t j = 0; free && j < n; ++j) {
                if (j != i && outlines[j].intersects(candidate))
                    free = false;
                else if (j < i && placed[j].intersects(candidate))
                    free = false;
            }
            if (free) {
                placed[i] = candidate;
                break;
            }
        }
    }
    return placed;
}

} // namespace kesto
