// Storage for the world and the only place that knows the +10 level shift.
#include "world/world_grid.h"

WorldGrid world;

namespace {

inline bool inGrid(int x, int y, int level) {
    return x >= 0 && x < kGridSizeX && y >= 0 && y < kGridSizeY && level >= kHighestLevel &&
           level <= kLowestLevel;
}

inline int cellIndex(int x, int y, int level) {
    return x * kStrideX + y * kStrideY + (level - kHighestLevel);
}

}  // namespace

BlockId cell(int x, int y, int level) {
    return inGrid(x, y, level) ? world.cells[cellIndex(x, y, level)] : Empty;
}

void setCell(int x, int y, int level, BlockId id) {
    if (inGrid(x, y, level)) world.cells[cellIndex(x, y, level)] = id;
}
