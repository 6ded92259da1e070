// Worlds built block by block: parts first, then the whole worlds made of them.
#include "tools/world_scenes.h"

#include <algorithm>

namespace {

constexpr int kSavedBand = kBandEdge;  // x, y and levels 0..19 go into the world file
constexpr int kCentre = 10;

// ---- the starter world, from the tree tops down to the rock; the parts
// claim cells of their own, but for the pit, dug last through grass and earth.

void layStarterRock() {
    const int last = kSavedBand - 1;
    fillBox(0, 0, last, last, 13, 16, Earth);
    for (int level = 0; level < kSavedBand; ++level)
        for (int y = 0; y < kSavedBand; ++y)
            for (int x = 0; x < kSavedBand; ++x) {
                if (level >= 17) {
                    BlockId rock = Cobblestone;
                    if ((x * 7 + y * 3 + level) % 11 == 0) {
                        rock = CoalOre;
                    } else if ((x + y + level) % 13 == 0) {
                        rock = GoldOre;
                    }
                    setCell(x, y, level, rock);
                } else if (level >= 15 && (x + 2 * y) % 9 == 0) {
                    setCell(x, y, level, IronOre);  // veins in the deeper earth
                }
            }
}

// Opened from the grass down to gravel on level 16, its walls showing the ore.
void digStarterPit() {
    fillBox(12, 6, 13, 7, 12, 15, Empty);
    fillBox(12, 6, 13, 7, 16, 16, Gravel);
}

void layStarterGrass() {
    const int last = kSavedBand - 1;
    fillBox(0, 0, last, last, 12, 12, Grass);
    fillBox(0, 10, 9, 10, 12, 12, Gravel);  // the paths meet beside the player
    fillBox(10, 0, 10, 9, 12, 12, Gravel);
    setCell(11, 10, 12, Lava);  // a vent by the player
    fillBox(5, 11, 8, 14, 12, 12, Cobblestone);
    pourLava(6, 12, 7, 13, 12);
    digPond(13, 9, 16, 11, 12);
}

void buildStarterHouse() {
    buildHouse(4, 4, 7, 7, 12, 3);
    setCell(6, 7, 10, Glass);
    fillBox(7, 6, 7, 6, 10, 11, Empty);  // the door
}

void buildStarterGarden() {
    fillBox(13, 13, 15, 15, 11, 11, Terracotta);
    setCell(14, 14, 11, Marble);
    setCell(14, 14, 10, Ice);
    setCell(8, 14, 10, MossyStone);
    setCell(8, 14, 11, Explosive);
    struct Spot {
        int x, y;
    };
    for (Spot tree : {Spot{9, 4}, Spot{15, 5}, Spot{3, 10}, Spot{17, 14}}) {
        plantTree(tree.x, tree.y, 12);
        // A rounder crown than the plain tree's: leaves on all four sides at the top.
        fillBox(tree.x - 1, tree.y, tree.x + 1, tree.y, 7, 7, Leaves);
        fillBox(tree.x, tree.y - 1, tree.x, tree.y + 1, 7, 7, Leaves);
    }
}

}  // namespace

void fillBox(int x0, int y0, int x1, int y1, int level0, int level1, BlockId id) {
    for (int x = x0; x <= x1; ++x)
        for (int y = y0; y <= y1; ++y)
            for (int level = level0; level <= level1; ++level) setCell(x, y, level, id);
}

void fillGround(int top, int bottom) {
    fillBox(0, 0, kBandEdge, kBandEdge, top, top, Grass);
    fillBox(0, 0, kBandEdge, kBandEdge, top + 1, std::min(bottom, top + 2), Earth);
    fillBox(0, 0, kBandEdge, kBandEdge, top + 3, bottom, Cobblestone);
}

void digPond(int x0, int y0, int x1, int y1, int level) {
    fillBox(x0 - 1, y0 - 1, x1 + 1, y1 + 1, level, level, Sand);
    fillBox(x0, y0, x1, y1, level, level, Water);
}

void buildHouse(int x0, int y0, int x1, int y1, int floor, int height) {
    fillBox(x0, y0, x1, y1, floor - height, floor - 1, Brick);
    fillBox(x0 + 1, y0 + 1, x1 - 1, y1 - 1, floor - height, floor - 1, Empty);
    setCell(x1, y0 + 1, floor - 2, Glass);
    fillBox(x0, y0, x1, y1, floor - height - 1, floor - height - 1, Planks);
}

void plantTree(int x, int y, int ground) {
    fillBox(x, y, x, y, ground - 3, ground - 1, Log);
    fillBox(x - 1, y - 1, x + 1, y + 1, ground - 4, ground - 4, Leaves);
    setCell(x, y, ground - 5, Leaves);
}

void pourLava(int x0, int y0, int x1, int y1, int level) {
    fillBox(x0, y0, x1, y1, level, level, Lava);
}

void buildStarterWorld() {
    clearWorld();
    buildStarterGarden();
    buildStarterHouse();
    layStarterGrass();
    layStarterRock();
    digStarterPit();
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
