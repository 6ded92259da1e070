// Storage for the world: one static grid, zero until the world file fills it.
#include "world/world_grid.h"

#include <algorithm>
#include <iterator>

WorldGrid world;

void clearWorld() {
    std::fill(std::begin(world.cells), std::end(world.cells), Empty);
    ++world.revision;
}
