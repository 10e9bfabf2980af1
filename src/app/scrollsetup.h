#pragma once

// Scroll-bar set-up for one axis of the picture viewport.

#include <cstdint>

namespace kesto {

struct ScrollSetup
{
    bool visible = false;
    std::int16_t maximum = 0, smallStep = 1, largeStep = 1;
    // Picture pixels per scroll unit: 1 unless the picture exceeds the viewport by more
    // than a 16-bit range holds.
    double pixelsPerUnit = 1.0;
};

// d = picture extent - viewport extent, in single precision.
ScrollSetup verticalScrollSetup(float d);
ScrollSetup horizontalScrollSetup(float d);

} // namespace kesto
