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

void buildFlatTerrain(Terrain& terrain) {
    terrain = Terrain{};
    const int last = Terrain::kEdge - 1;
    fillBox(terrain, 0, 0, last, last, kFlatGround, kFlatGround, Grass);
    fillBox(terrain, 0, 0, last, last, kFlatGround + 1, kFlatGround + 3, Earth);
    fillBox(terrain, 0, 0, last, last, kFlatGround + 4, kFlatRock - 1, Cobblestone);
    fillBox(terrain, 0, 0, last, last, kFlatRock, last, HardRock);
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

void placeTerrain(const Terrain& terrain) {
    clearWorld();
    for (int x = 0; x < Terrain::kEdge; ++x)
        for (int y = 0; y < Terrain::kEdge; ++y)
            for (int level = 0; level < Terrain::kEdge; ++level)
                setCell(x, y, level, terrain.at(x, y, level));
}
