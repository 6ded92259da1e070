// A small isometric world drawn from the generated tiles: the title menu's
// backdrop, composed with the same grid the game uses (64 across, 32 down per
// cell and per level).
#pragma once

#include <vector>

#include "tools/image.h"

struct Scene {
    int size;                 // cells per side
    int levels;               // height of each column in blocks
    std::vector<int> blocks;  // size * size * levels block ids, 0 empty
    Scene(int n, int h) : size(n), levels(h), blocks(std::size_t(n) * n * h, 0) {}
    int& at(int x, int y, int z) { return blocks[(std::size_t(x) * size + y) * levels + z]; }
    int get(int x, int y, int z) const {
        if (x < 0 || y < 0 || z < 0 || x >= size || y >= size || z >= levels) return 0;
        return blocks[(std::size_t(x) * size + y) * levels + z];
    }
};

// Draws back to front with z upwards; cell (0, 0, 0) has its tile's top-left
// corner at (originX, originY).
void drawScene(Image& target, const Scene& scene, int originX, int originY);
Scene makeTitleIsland();
