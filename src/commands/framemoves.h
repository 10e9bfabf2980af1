#pragma once

// The twelve commands that move the scan frame without the mouse: eight anchors of the
// picture (corners and edge centres) and four steps by the frame's own size that stop at
// the picture's edge, so a row of equal lanes can be scanned one after another.

#include <QString>

#include <optional>

namespace kesto {

// The picture's scale area, in its scale units (picture pixels).
struct ScaleArea
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

enum class FrameMove {
    TopLeft,
    TopCenter,
    TopRight,
    CenterRight,
    BottomRight,
    BottomCenter,
    BottomLeft,
    CenterLeft,
    Left,
    Top,
    Right,
    Bottom,
};

// The move named by a tool: mnuTopLeft ... mnuCenterLeft, mnuLeft, mnuTop, mnuRight,
// mnuBottom, compared exactly and case-sensitively; nullopt for any other name.
std::optional<FrameMove> frameMoveForTool(const QString& toolName);

struct FramePosition
{
    float left = 0;
    float top = 0;
};

// The frame's left and top after the move; its width and height never change. Anchors do
// not clamp (a frame larger than the area ends up partly outside it); steps stop at the
// area's edges. Sums are taken in double precision and stored as single.
FramePosition moveFrame(FrameMove move, const FramePosition& frame, float width, float height,
                        const ScaleArea& area);

// Where the corner handle goes so that its lower-right corner is the frame's:
// frame left + frame width - handle width, and the same for top.
FramePosition handlePosition(const FramePosition& frame, float width, float height,
                             float handleWidth, float handleHeight);

} // namespace kesto
