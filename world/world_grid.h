// The world: one fixed grid of block numbers in static storage, and the
// accessors that alone know how levels map onto storage.
#pragma once

#include <cstdint>

#include "world/blocks.h"

// The edge of the band the game lives in: columns 0..20 along x and y, levels
// 0..20. The world tick, the renderer and the mining walk stop at it, the
// set-up makes it the bounds, and the world file saves the band short of it.
constexpr int kBandEdge = 20;

constexpr int kGridSizeX = 301;
constexpr int kGridSizeY = 301;
constexpr int kGridLevels = 31;                     // levels -10..20
constexpr int kLowestLevel = kBandEdge;             // deepest stored level
constexpr int kHighestLevel = -10;                  // ten levels of headroom above level 0
constexpr int kStrideX = kGridSizeY * kGridLevels;  // 9331
constexpr int kStrideY = kGridLevels;               // 31

struct WorldGrid {
    BlockId cells[kGridSizeX * kGridSizeY * kGridLevels];  // x-major, level fastest
    std::int32_t maxX = 0, maxY = 0;  // playable bounds, inclusive; 20 once set up
    // Goes up with every cell write, so that what is drawn from the cells can
    // tell it is stale without looking at them. Only setCellOf and clearWorld
    // write cells.
    std::uint32_t revision = 0;
};
extern WorldGrid world;

// The only place that knows how levels map onto storage. Inline, since the
// world tick and the renderer visit thousands of cells per frame.
inline bool inGrid(int x, int y, int level) {
    return x >= 0 && x < kGridSizeX && y >= 0 && y < kGridSizeY && level >= kHighestLevel &&
           level <= kLowestLevel;
}

inline int cellIndex(int x, int y, int level) {
    return x * kStrideX + y * kStrideY + (level - kHighestLevel);
}

// Outside the stored grid a cell reads as empty and writes are dropped.
inline BlockId cellOf(const WorldGrid& grid, int x, int y, int level) {
    return inGrid(x, y, level) ? grid.cells[cellIndex(x, y, level)] : Empty;
}
inline BlockId cell(int x, int y, int level) { return cellOf(world, x, y, level); }

inline void setCellOf(WorldGrid& grid, int x, int y, int level, BlockId id) {
    if (!inGrid(x, y, level)) return;
    grid.cells[cellIndex(x, y, level)] = id;
    ++grid.revision;
}
inline void setCell(int x, int y, int level, BlockId id) { setCellOf(world, x, y, level, id); }

// Every stored cell empty.
void clearWorld();

// A column inside the playable bounds.
inline bool insideBounds(const WorldGrid& grid, int x, int y) {
    return x >= 0 && x <= grid.maxX && y >= 0 && y <= grid.maxY;
}

// Anything but air stands in the way; a value the game does not know (only a
// hand-edited file brings one) is treated as a block, not as air.
inline bool isSolid(BlockId id) { return id != Empty; }
// A value the game knows: it may index the count table.
inline bool isKnownBlock(BlockId id) { return id >= 0 && id < kBlockTypes; }
// A value with a tile picture; anything else (a hand-edited file) is not drawn.
inline bool hasTile(BlockId id) { return id >= 1 && id < kBlockTypes; }
