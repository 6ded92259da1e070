// Storage for the world: one static grid, zero until the world file fills it.
#include "world/world_grid.h"

WorldGrid world;
