#pragma once

// The scan frame's pointer tool: a press inside the frame grabs it (by its lower-right
// handle to size it, anywhere else to move it), a press outside picks the background, and
// every release scans the frame into the working cell, as one undo step. Pointer positions
// are taken at the picture pixel under them, so a frame dragged at any zoom stays on whole
// pixels.

#include "app/picturetool.h"

namespace kesto {

class frmScan;

class ScanFrameTool : public PictureTool
{
public:
    explicit ScanFrameTool(frmScan& form) : m_form(form) {}

    bool press(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y) override;
    void move(float x, float y) override;
    void release(Qt::MouseButton button, float x, float y) override;

    bool moving() const { return m_moving; }
    bool sizing() const { return m_sizing; }

private:
    frmScan& m_form;
    bool m_moving = false;
    bool m_sizing = false;
    float m_grabX = 0;
    float m_grabY = 0;
};

} // namespace kesto
