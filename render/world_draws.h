// The draws one world pass makes, in the painter's order, with blocks (or the
// parts of them) that opaque blocks drawn later cover left out.
#pragma once

#include "render/world_layers.h"

struct PassDraws {
    const WorldDraw* draws = nullptr;
    int count = 0;
    int spriteIndex = 0;       // where the sprite stands in the order
    bool translucent = false;  // some draw lets what lies below show through
    bool animated = false;     // some draw shows the tile animation frame
};

// Lists the pass for the game as it is. Cells before the sprite are placed
// with scrollBefore, those after it with scrollAfter.
PassDraws listPassDraws(const GameView& game, int scrollBefore, int scrollAfter);
