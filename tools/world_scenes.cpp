// Worlds built block by block into the game's grid: the parts, then the whole
// worlds made of them.
#include "tools/world_scenes.h"

#include <algorithm>

#include "worldgen/world_kinds.h"

namespace {

constexpr int kSavedBand = kBandEdge;  // x, y and levels 0..19 go into the world file
constexpr int kCentre = 10;

// The game's grid as a canvas for the parts.
struct GridCanvas {
    void set(int x, int y, int level, BlockId id) { setCell(x, y, level, id); }
};
GridCanvas grid;

}  // namespace

void fillBox(int x0, int y0, int x1, int y1, int level0, int level1, BlockId id) {
    fillBox(grid, x0, y0, x1, y1, level0, level1, id);
}

void fillGround(int top, int bottom) {
    fillBox(0, 0, kBandEdge, kBandEdge, top, top, Grass);
    fillBox(0, 0, kBandEdge, kBandEdge, top + 1, std::min(bottom, top + 2), Earth);
    fillBox(0, 0, kBandEdge, kBandEdge, top + 3, bottom, Cobblestone);
}

void digPond(int x0, int y0, int x1, int y1, int level) { digPond(grid, x0, y0, x1, y1, level); }

void buildHouse(int x0, int y0, int x1, int y1, int floor, int height) {
    buildHouse(grid, x0, y0, x1, y1, floor, height);
}

void plantTree(int x, int y, int ground) { plantTree(grid, x, y, ground); }

void pourLava(int x0, int y0, int x1, int y1, int level) { pourLava(grid, x0, y0, x1, y1, level); }

void buildStarterWorld() {
    Terrain starter;
    buildStarterTerrain(starter);
    placeTerrain(starter);
}

void buildTypicalWorld(int ground) {
    clearWorld();
    fillGround(ground, kSavedBand - 1);
    digPond(12, 13, 14, 15, ground);
    buildHouse(3, 3, 7, 7, ground, 3);
    plantTree(15, 5, ground);
    plantTree(4, 14, ground);
    plantTree(17, 10, ground);
}

void buildWorstCaseWorld(int level) {
    clearWorld();
    for (int x = 0; x <= kBandEdge; ++x)
        for (int y = 0; y <= kBandEdge; ++y)
            for (int l = 0; l <= kBandEdge; ++l) {
                // Every picture but the liquids, which flow: they come on `level` only.
                const BlockId id = 1 + (x + 3 * y + 7 * l) % 22;
                setCell(x, y, l, (id == Lava || id == Water) ? Cobblestone : id);
            }
    pourLava(0, 0, kCentre - 1, kBandEdge, level);
    fillBox(kCentre + 1, 0, kBandEdge, kBandEdge, level, level, Water);
    // Water meeting lava would turn to rock and end the flow.
    fillBox(kCentre, 0, kCentre, kBandEdge, level, level, Cobblestone);
    fillBox(4, kCentre, 16, kCentre, level - 2, level - 1, Empty);
    fillBox(kCentre, 6, kCentre, 14, level - 2, level - 1, Empty);
}

void buildFloodingWorld(int level) {
    for (int x = 0; x <= kBandEdge; ++x)
        for (int y = 0; y <= kBandEdge; ++y) {
            for (int l = 0; l <= kBandEdge; ++l) setCell(x, y, l, l % 2 ? Grass : Earth);
            setCell(x, y, level, Empty);
        }
    fillBox(1, 1, kBandEdge - 1, 1, level, level, Water);
    fillBox(kCentre, 2, kCentre, kBandEdge - 1, level, level, Lava);
}
