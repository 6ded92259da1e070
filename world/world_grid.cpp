// Storage for the world: one static grid, zero until the world file fills it.
#include "world/world_grid.h"

#include <algorithm>
#include <iterator>

WorldGrid world;

void clearGrid(WorldGrid& grid) {
    std::fill(std::begin(grid.cells), std::end(grid.cells), Empty);
    ++grid.revision;
    // Nothing can change in an empty world: the tick has nothing to look at.
    for (auto& level : grid.wake.cells) std::fill(std::begin(level), std::end(level), 0);
    std::fill(std::begin(grid.wake.columns), std::end(grid.wake.columns), 0);
    std::fill(std::begin(grid.wake.flowColumns), std::end(grid.wake.flowColumns), 0);
    grid.wake.waterDue.clear();
    grid.wake.lavaDue.clear();
    grid.wake.revision = grid.revision;
}

void clearWorld() { clearGrid(world); }
