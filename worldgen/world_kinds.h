// The worlds a player can start: generated from a seed, or built by hand.
// Every kind fills a Terrain, never the game's grid, and says where the
// player starts.
#pragma once

#include <cstdint>
#include <string>

#include "worldgen/terrain.h"

enum class WorldKind : std::int32_t {
    Island = 0,   // rolling land in a sea, shaped by the seed
    Flat = 1,     // grass over earth, stone and rock, level all over
    Empty = 2,    // nothing at all: a world to build from air
    Starter = 3,  // the hand-built first world
};

// "island", "flat", "empty", "starter": the names the world files' notes and
// the command line use.
const char* kindName(WorldKind kind);
// False for a name that is none of them; `kind` is then left as it was.
bool kindFromName(const std::string& name, WorldKind& kind);

// The whole band of a new world. The same kind and seed give the same cells;
// only the island looks at the seed.
void generateWorld(WorldKind kind, std::uint32_t seed, Terrain& terrain);

// The kinds one by one.
void generateIsland(std::uint32_t seed, Terrain& terrain);
void buildFlatTerrain(Terrain& terrain);
// Grass over earth and stone, a pond with a beach, a lava pool in a cobble
// ring, a brick house with a door and two windows, trees, a marble terrace,
// and a dug pit showing ore.
void buildStarterTerrain(Terrain& terrain);

// The sizes a new world may have, in columns along each side: the band's 20
// (the only size of the classic world file) and 64, 128 and the grid's 300.
constexpr int kLargestWorld = kGridSizeX - 1;
bool isWorldSize(int size);

// Where a new world puts the player down: a column on dry land.
struct WorldStart {
    int x = 10, y = 10;
};

// An island world of `size` columns square, straight into `grid` (every
// other cell empty), with the grid's bounds set to it. At 20 it is
// generateIsland's world exactly; a size the game does not offer gives that
// too. The same seed and size give the same cells on every machine.
WorldStart generateIslandWorld(WorldGrid& grid, std::uint32_t seed, int size);
// The same into the game's grid.
WorldStart generateIslandWorld(std::uint32_t seed, int size);

// A new world of any kind and size into `grid`, as generateIslandWorld does
// the island: at 20 the kind's band exactly, larger the flat world's layers
// over every column or nothing at all, the start near the middle. The
// starter world is built by hand for 20 x 20 and comes in that size alone.
WorldStart generateWorld(WorldKind kind, std::uint32_t seed, int size, WorldGrid& grid);

// Puts a made world into a grid: the band from the terrain, every other cell
// empty; the bounds are the caller's.
void placeTerrain(const Terrain& terrain, WorldGrid& grid);
// The same into the game's grid.
void placeTerrain(const Terrain& terrain);
