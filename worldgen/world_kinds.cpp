// The kinds of world by name, the plain ones, and the way into the grid.
#include "worldgen/world_kinds.h"

namespace {

struct KindName {
    WorldKind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {WorldKind::Island, "island"},
    {WorldKind::Flat, "flat"},
    {WorldKind::Empty, "empty"},
    {WorldKind::Starter, "starter"},
};

// The flat world's ground stands where the starter world's does.
constexpr int kFlatGround = 12;
constexpr int kFlatRock = 17;  // stone above, hard rock from here down

}  // namespace

const char* kindName(WorldKind kind) {
    for (const KindName& entry : kKindNames)
        if (entry.kind == kind) return entry.name;
    return "island";
}

bool kindFromName(const std::string& name, WorldKind& kind) {
    for (const KindName& entry : kKindNames) {
        if (name == entry.name) {
            kind = entry.kind;
            return true;
        }
    }
    return false;
}

namespace {

// The flat world's layers under columns 0..last each way.
template <class Canvas>
void layFlatGround(Canvas& canvas, int last) {
    const int bottom = Terrain::kEdge - 1;
    fillBox(canvas, 0, 0, last, last, kFlatGround, kFlatGround, Grass);
    fillBox(canvas, 0, 0, last, last, kFlatGround + 1, kFlatGround + 3, Earth);
    fillBox(canvas, 0, 0, last, last, kFlatGround + 4, kFlatRock - 1, Cobblestone);
    fillBox(canvas, 0, 0, last, last, kFlatRock, bottom, HardRock);
}

struct GridCanvas {
    WorldGrid& grid;
    void set(int x, int y, int level, BlockId id) { setCellOf(grid, x, y, level, id); }
};

}  // namespace

void buildFlatTerrain(Terrain& terrain) {
    terrain = Terrain{};
    layFlatGround(terrain, Terrain::kEdge - 1);
}

void generateWorld(WorldKind kind, std::uint32_t seed, Terrain& terrain) {
    switch (kind) {
        case WorldKind::Island:
            generateIsland(seed, terrain);
            return;
        case WorldKind::Flat:
            buildFlatTerrain(terrain);
            return;
        case WorldKind::Starter:
            buildStarterTerrain(terrain);
            return;
        case WorldKind::Empty:
            break;
    }
    terrain = Terrain{};
}

WorldStart generateWorld(WorldKind kind, std::uint32_t seed, int size, WorldGrid& grid) {
    if (kind == WorldKind::Island) return generateIslandWorld(grid, seed, size);
    if (!isWorldSize(size) || size == kBandEdge || kind == WorldKind::Starter) {
        Terrain terrain;
        generateWorld(kind, seed, terrain);
        placeTerrain(terrain, grid);
        grid.maxX = grid.maxY = kBandEdge;
        return {terrain.startX, terrain.startY};
    }
    clearGrid(grid);
    grid.maxX = grid.maxY = size - 1;
    GridCanvas canvas{grid};
    if (kind == WorldKind::Flat) layFlatGround(canvas, size - 1);
    return {size / 2, size / 2};
}

void placeTerrain(const Terrain& terrain, WorldGrid& grid) {
    clearGrid(grid);
    for (int x = 0; x < Terrain::kEdge; ++x)
        for (int y = 0; y < Terrain::kEdge; ++y)
            for (int level = 0; level < Terrain::kEdge; ++level)
                setCellOf(grid, x, y, level, terrain.at(x, y, level));
}

void placeTerrain(const Terrain& terrain) { placeTerrain(terrain, world); }
