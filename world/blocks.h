// The 22 blocks a cell can hold, named once: the rules, the tools, the scenes
// and the tests all say Lava, never 8. The numbers are what world files store.
#pragma once

#include <cstdint>

using BlockId = std::int32_t;

enum : BlockId {
    Empty = 0,
    Grass = 1,  // grass and earth are the ground that snow covers
    Cobblestone = 2,
    Explosive = 3,
    Planks = 4,
    Water = 5,
    Earth = 6,
    Sand = 7,
    Lava = 8,
    Gravel = 9,
    SnowCovered = 10,
    Log = 11,
    Leaves = 12,
    Brick = 13,
    Glass = 14,
    CoalOre = 15,
    IronOre = 16,
    HardRock = 17,
    Marble = 18,
    Terracotta = 19,
    GoldOre = 20,
    MossyStone = 21,
    Ice = 22,
};

constexpr BlockId kLastBlock = Ice;
constexpr int kBlockTypes = kLastBlock + 1;  // ids 0..22 have a count; 1..22 a tile
