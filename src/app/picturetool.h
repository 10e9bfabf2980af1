#pragma once

// A pointer tool on the picture. The window offers each press on the picture to its tools
// in turn, the latest added first and the scan frame last; the tool that takes the press
// gets the moves of the drag that follows and the release. Moves with no drag under way
// go to the scan frame, which shows the pointer's place and colour. Positions are picture
// pixels at every zoom.

#include <Qt>

namespace kesto {

class PictureTool
{
public:
    virtual ~PictureTool();

    // True when the tool takes the press and the drag that follows.
    virtual bool press(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x,
                       float y) = 0;
    virtual void move(float x, float y) = 0;
    virtual void release(Qt::MouseButton button, float x, float y) = 0;
};

} // namespace kesto
