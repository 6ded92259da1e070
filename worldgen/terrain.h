// A world being made, apart from the game's grid, and the parts worlds are
// built of. Generating never touches the grid the game plays in, so a world
// can be made while another one is open.
#pragma once

#include <array>

#include "world/world_grid.h"

// The band a world file holds: x, y and levels 0..19, in the order of the
// game's world snapshot (x outermost, level innermost).
struct Terrain {
    static constexpr int kEdge = kBandEdge;
    std::array<BlockId, kEdge * kEdge * kEdge> cells{};
    int startX = 10, startY = 10;  // the column the player's lines name

    static bool inside(int x, int y, int level) {
        return x >= 0 && x < kEdge && y >= 0 && y < kEdge && level >= 0 && level < kEdge;
    }
    // Outside the band a cell reads as empty and writes are dropped, as in the grid.
    BlockId at(int x, int y, int level) const {
        return inside(x, y, level) ? cells[(x * kEdge + y) * kEdge + level] : Empty;
    }
    void set(int x, int y, int level, BlockId id) {
        if (inside(x, y, level)) cells[(x * kEdge + y) * kEdge + level] = id;
    }
};

// The parts draw on anything with set(x, y, level, id): a Terrain, or the
// game's grid for the tests' and benchmarks' scenes. Ranges are inclusive; a
// later part overwrites what an earlier one put in the same cells.
template <class Canvas>
void fillBox(Canvas& canvas, int x0, int y0, int x1, int y1, int level0, int level1, BlockId id) {
    for (int x = x0; x <= x1; ++x)
        for (int y = y0; y <= y1; ++y)
            for (int level = level0; level <= level1; ++level) canvas.set(x, y, level, id);
}

// Water with a rim of sand around it.
template <class Canvas>
void digPond(Canvas& canvas, int x0, int y0, int x1, int y1, int level) {
    fillBox(canvas, x0 - 1, y0 - 1, x1 + 1, y1 + 1, level, level, Sand);
    fillBox(canvas, x0, y0, x1, y1, level, level, Water);
}

// Brick walls `height` levels tall standing on `floor`, hollow inside, a glass
// window in the wall at x1, a plank roof on top.
template <class Canvas>
void buildHouse(Canvas& canvas, int x0, int y0, int x1, int y1, int floor, int height) {
    fillBox(canvas, x0, y0, x1, y1, floor - height, floor - 1, Brick);
    fillBox(canvas, x0 + 1, y0 + 1, x1 - 1, y1 - 1, floor - height, floor - 1, Empty);
    canvas.set(x1, y0 + 1, floor - 2, Glass);
    fillBox(canvas, x0, y0, x1, y1, floor - height - 1, floor - height - 1, Planks);
}

// A trunk three levels tall on `ground`, a square crown and one leaf above.
template <class Canvas>
void plantTree(Canvas& canvas, int x, int y, int ground) {
    fillBox(canvas, x, y, x, y, ground - 3, ground - 1, Log);
    fillBox(canvas, x - 1, y - 1, x + 1, y + 1, ground - 4, ground - 4, Leaves);
    canvas.set(x, y, ground - 5, Leaves);
}

// The same tree with a rounder crown: leaves on all four sides at the top.
template <class Canvas>
void plantRoundTree(Canvas& canvas, int x, int y, int ground) {
    plantTree(canvas, x, y, ground);
    fillBox(canvas, x - 1, y, x + 1, y, ground - 5, ground - 5, Leaves);
    fillBox(canvas, x, y - 1, x, y + 1, ground - 5, ground - 5, Leaves);
}

template <class Canvas>
void pourLava(Canvas& canvas, int x0, int y0, int x1, int y1, int level) {
    fillBox(canvas, x0, y0, x1, y1, level, level, Lava);
}
