#include "commands/framemoves.h"

#include <QLatin1String>

namespace kesto {

namespace {

struct NamedMove
{
    const char* name;
    FrameMove move;
};

constexpr NamedMove MoveTools[] = {
    {"mnuTopLeft", FrameMove::TopLeft},
    {"mnuTopCenter", FrameMove::TopCenter},
    {"mnuTopRight", FrameMove::TopRight},
    {"mnuCenterRight", FrameMove::CenterRight},
    {"mnuBottomRight", FrameMove::BottomRight},
    {"mnuBottomCenter", FrameMove::BottomCenter},
    {"mnuBottomLeft", FrameMove::BottomLeft},
    {"mnuCenterLeft", FrameMove::CenterLeft},
    {"mnuLeft", FrameMove::Left},
    {"mnuTop", FrameMove::Top},
    {"mnuRight", FrameMove::Right},
    {"mnuBottom", FrameMove::Bottom},
};

} // namespace

std::optional<FrameMove> frameMoveForTool(const QString& toolName)
{
    for (const NamedMove& entry : MoveTools) {
        if (toolName == QLatin1String(entry.name))
            return entry.move;
    }
    return std::nullopt;
}

FramePosition moveFrame(FrameMove move, const FramePosition& frame, float width, float height,
                        const ScaleArea& area)
{
    const double sl = area.left, st = area.top, sw = area.width, sh = area.height;
    const double w = width, h = height;
    const double farLeft = sw - w + sl;
    const double farTop = sh - h + st;
    const double centreLeft = (sw - w) / 2.0 + sl;
    const double centreTop = (sh - h) / 2.0 + st;

    double left = frame.left;
    double top = frame.top;
    switch (move) {
    case FrameMove::TopLeft:
        left = sl;
        top = st;
        break;
    case FrameMove::TopCenter:
        left = centreLeft;
        top = st;
        break;
    case FrameMove::TopRight:
        left = farLeft;
        top = st;
        break;
    case FrameMove::CenterRight:
        left = farLeft;
        top = centreTop;
        break;
    case FrameMove::BottomRight:
        left = farLeft;
        top = farTop;
        break;
    case FrameMove::BottomCenter:
        left = centreLeft;
        top = farTop;
        break;
    case FrameMove::BottomLeft:
        left = sl;
        top = farTop;
        break;
    case FrameMove::CenterLeft:
        left = sl;
        top = centreTop;
        break;
    case FrameMove::Left:
        left = double(frame.left) - w;
        if (left < sl)
            left = sl;
        break;
    case FrameMove::Top:
        top = double(frame.top) - h;
        if (top < st)
            top = st;
        break;
    case FrameMove::Right: {
        left = double(frame.left) + w;
        // The limit is compared as the single it will be stored as, so a frame already at
        // the edge stays there instead of creeping past it by a rounding step.
        const float limit = float(sl + sw - w);
        if (double(limit) < left)
            left = sl + sw - w;
        break;
    }
    case FrameMove::Bottom: {
        top = double(frame.top) + h;
        const float limit = float(st + sh - h);
        if (double(limit) < top)
            top = st + sh - h;
        break;
    }
    }
    return FramePosition{float(left), float(top)};
}

FramePosition handlePosition(const FramePosition& frame, float width, float height,
                             float handleWidth, float handleHeight)
{
    return FramePosition{float(double(frame.left) + width - handleWidth),
                         float(double(frame.top) + height - handleHeight)};
}

} // namespace kesto
