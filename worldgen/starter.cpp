// The starter world, built block by block from the tree tops down to the rock;
// the parts claim cells of their own, but for the pit, dug last through grass
// and earth.
#include "worldgen/world_kinds.h"

namespace {

constexpr int kLast = Terrain::kEdge - 1;

void layStarterRock(Terrain& t) {
    fillBox(t, 0, 0, kLast, kLast, 13, 16, Earth);
    for (int level = 0; level <= kLast; ++level)
        for (int y = 0; y <= kLast; ++y)
            for (int x = 0; x <= kLast; ++x) {
                if (level >= 17) {
                    BlockId rock = Cobblestone;
                    if ((x * 7 + y * 3 + level) % 11 == 0) {
                        rock = CoalOre;
                    } else if ((x + y + level) % 13 == 0) {
                        rock = GoldOre;
                    }
                    t.set(x, y, level, rock);
                } else if (level >= 15 && (x + 2 * y) % 9 == 0) {
                    t.set(x, y, level, IronOre);  // veins in the deeper earth
                }
            }
}

// Opened from the grass down to gravel on level 16, its walls showing the ore.
void digStarterPit(Terrain& t) {
    fillBox(t, 12, 6, 13, 7, 12, 15, Empty);
    fillBox(t, 12, 6, 13, 7, 16, 16, Gravel);
}

void layStarterGrass(Terrain& t) {
    fillBox(t, 0, 0, kLast, kLast, 12, 12, Grass);
    fillBox(t, 0, 10, 9, 10, 12, 12, Gravel);  // the paths meet beside the player
    fillBox(t, 10, 0, 10, 9, 12, 12, Gravel);
    t.set(11, 10, 12, Lava);  // a vent by the player
    fillBox(t, 5, 11, 8, 14, 12, 12, Cobblestone);
    pourLava(t, 6, 12, 7, 13, 12);
    digPond(t, 13, 9, 16, 11, 12);
}

void buildStarterHouse(Terrain& t) {
    buildHouse(t, 4, 4, 7, 7, 12, 3);
    t.set(6, 7, 10, Glass);
    fillBox(t, 7, 6, 7, 6, 10, 11, Empty);  // the door
}

void buildStarterGarden(Terrain& t) {
    fillBox(t, 13, 13, 15, 15, 11, 11, Terracotta);
    t.set(14, 14, 11, Marble);
    t.set(14, 14, 10, Ice);
    t.set(8, 14, 10, MossyStone);
    t.set(8, 14, 11, Explosive);
    struct Spot {
        int x, y;
    };
    for (Spot tree : {Spot{9, 4}, Spot{15, 5}, Spot{3, 10}, Spot{17, 14}})
        plantRoundTree(t, tree.x, tree.y, 12);
}

}  // namespace

void buildStarterTerrain(Terrain& terrain) {
    terrain = Terrain{};
    buildStarterGarden(terrain);
    buildStarterHouse(terrain);
    layStarterGrass(terrain);
    layStarterRock(terrain);
    digStarterPit(terrain);
}
