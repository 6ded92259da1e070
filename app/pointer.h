// The mouse as the main loop last saw it.
#pragma once

#include <cstdint>

struct PointerState {
    std::int32_t x = 0, y = 0;    // frame-buffer pixels; -1, -1 beside the picture
    std::int32_t buttonDown = 0;  // 1 while any mouse button is held
};
extern PointerState pointer;
