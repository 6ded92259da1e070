// The world: one fixed grid of block numbers in static storage, and the
// accessors that alone know how levels map onto storage.
#pragma once

#include <cstdint>
#include <vector>

#include "world/blocks.h"

// The edge of the band the game lives in: columns 0..20 along x and y, levels
// 0..20. The renderer and the mining walk stop at it, the
// set-up makes it the bounds, and the world file saves the band short of it.
constexpr int kBandEdge = 20;

constexpr int kGridSizeX = 301;
constexpr int kGridSizeY = 301;
constexpr int kGridLevels = 31;                     // levels -10..20
constexpr int kLowestLevel = kBandEdge;             // deepest stored level
constexpr int kHighestLevel = -10;                  // ten levels of headroom above level 0
constexpr int kStrideX = kGridSizeY * kGridLevels;  // 9331
constexpr int kStrideY = kGridLevels;               // 31

constexpr int kGridColumns = kGridSizeX * kGridSizeY;
constexpr int kColumnWords = (kGridColumns + 63) / 64;

// The cells the world tick must look at again, so that a world at rest costs
// it nothing whatever its size. A liquid's flow hangs on its cell and the
// four beside it at its level, and snow on its own column, so a write wakes
// those; the tick puts them back to sleep once it has looked. A bit too many
// costs a look, a bit too few would freeze a flood: when in doubt, wake.
// Bits are by column, x-major like the cells, so their order is the tick's.
struct TickWake {
    std::uint64_t cells[kGridLevels][kColumnWords];  // per level, by column
    std::uint64_t columns[kColumnWords];             // for the snow
    // In a large world, the columns with a cell woken at some level: the
    // streams' steps look only there. The cells those steps look at next, for
    // water every few ticks and for lava more slowly.
    std::uint64_t flowColumns[kColumnWords];
    std::vector<std::int32_t> waterDue, lavaDue;
    // The grid's revision these bits account for: a writer that bumps the
    // revision without waking (a whole band from the network) leaves it
    // behind, and the tick then wakes everything.
    std::uint32_t revision;
    std::int32_t maxX, maxY;  // the bounds last ticked: new bounds wake everything
};

struct WorldGrid {
    BlockId cells[kGridSizeX * kGridSizeY * kGridLevels];  // x-major, level fastest
    std::int32_t maxX = 0, maxY = 0;  // playable bounds, inclusive; 20 once set up
    // Goes up with every cell write, so that what is drawn from the cells can
    // tell it is stale without looking at them. Only setCellOf and clearWorld
    // write cells.
    std::uint32_t revision = 0;
    TickWake wake;  // beside the cells, so that a copy of the grid is whole
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

inline void wakeColumn(std::uint64_t* bits, int column) {
    if (column >= 0 && column < kGridColumns)
        bits[column >> 6] |= std::uint64_t{1} << (column & 63);
}

// A neighbour off the grid's side wakes a column on the next row: a harmless
// extra look, cheaper than the test.
inline void wakeAround(WorldGrid& grid, int x, int y, int level) {
    const int column = x * kGridSizeY + y;
    std::uint64_t* atLevel = grid.wake.cells[level - kHighestLevel];
    for (const int near :
         {column - kGridSizeY, column - 1, column, column + 1, column + kGridSizeY}) {
        wakeColumn(atLevel, near);
        wakeColumn(grid.wake.flowColumns, near);
    }
    wakeColumn(grid.wake.columns, column);
    grid.wake.revision = grid.revision;
}

inline void setCellOf(WorldGrid& grid, int x, int y, int level, BlockId id) {
    if (!inGrid(x, y, level)) return;
    grid.cells[cellIndex(x, y, level)] = id;
    ++grid.revision;
    wakeAround(grid, x, y, level);
}
inline void setCell(int x, int y, int level, BlockId id) { setCellOf(world, x, y, level, id); }

// Every stored cell empty.
void clearGrid(WorldGrid& grid);
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
