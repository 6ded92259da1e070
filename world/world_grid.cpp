// Storage for the world: one static grid, zero until the world file fills it.
#include "world/world_grid.h"

#include <algorithm>
#include <iterator>

WorldGrid world;

void clearWorld() {
    std::fill(std::begin(world.cells), std::end(world.cells), Empty);
    ++world.revision;
    // Nothing can change in an empty world: the tick has nothing to look at.
    for (auto& level : world.wake.cells) std::fill(std::begin(level), std::end(level), 0);
    std::fill(std::begin(world.wake.columns), std::end(world.wake.columns), 0);
    world.wake.revision = world.revision;
}
