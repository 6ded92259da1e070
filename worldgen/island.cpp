// The island: rolling land shaped by value noise, falling on every side to a
// sea, with beaches, a snowy top, a pond, trees, ore in the stone, a pocket of
// lava deep in it and hard rock at the bottom. Everything is a pure function
// of the seed, so a seed is a world: the same seed gives the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "worldgen/noise.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr int kEdge = Terrain::kEdge;
constexpr int kLast = kEdge - 1;
constexpr int kSeaLevel = 12;  // the sea's surface, where the starter world's grass is
constexpr int kDeepest = -4;   // heights are counted upward from the sea's surface
constexpr int kHighest = 7;    // leaves room above the hill tops for a tree
constexpr int kEarthDepth = 3;
constexpr int kSandDepth = 2;
constexpr int kRockLevel = 17;  // hard rock shows from here and fills the lowest level
// The game starts the player on the diagonal, at one of these columns.
constexpr int kStartFirst = 5, kStartLast = 15;
constexpr int kNoisePeriod = 240;  // far beyond the band: the noise never repeats in it

// Each feature draws on a stream of its own from the one seed, so moving a
// tree never reshapes the hills.
enum Salt : std::uint32_t { kShape = 1, kHills, kPlace, kRock, kOre, kFloor, kPond, kLava, kTrees };

int saltedSeed(std::uint32_t seed, Salt salt) {
    return static_cast<int>(hash32(seed * 0x9E3779B1u + salt * 0x85EBCA6Bu) & 0x7FFFFFFFu);
}

double unit(std::uint32_t seed, Salt salt, int a, int b = 0) {
    return random01(a, b, saltedSeed(seed, salt));
}

std::uint32_t draw(std::uint32_t seed, Salt salt, int a, int b = 0) {
    return hash3(a, b, saltedSeed(seed, salt));
}

enum class Surface { Seabed, Beach, Grassy, Snowy };

struct Island {
    int height[kEdge][kEdge];  // of the ground above the sea's surface; below 0 it is sea
    int coast[kEdge][kEdge];   // columns to the nearest sea (Chebyshev), 0 in the sea
    Surface surface[kEdge][kEdge];
    bool claimed[kEdge][kEdge];  // the pond and its rim: no tree, no lava below
    int top(int x, int y) const { return kSeaLevel - height[x][y]; }
};

// ---- the shape

void raiseLand(std::uint32_t seed, Island& island) {
    const double cx = 8.5 + 2 * unit(seed, kPlace, 0), cy = 8.5 + 2 * unit(seed, kPlace, 1);
    // Longer along the diagonal, where the game puts the player down.
    const double length = 10.5 + 2 * unit(seed, kPlace, 2), width = 8 + 2 * unit(seed, kPlace, 3);
    // One hill stands out, off the diagonal, so that the top wears snow.
    double px = cx, py = cy;
    for (int attempt = 0; attempt < 8 && std::abs(px - py) < 2.5; ++attempt) {
        const double angle = 6.2831853 * unit(seed, kPlace, 4, attempt);
        px = cx + 3.5 * std::cos(angle);
        py = cy + 3.5 * std::sin(angle);
    }
    const int shapeSeed = saltedSeed(seed, kShape), hillSeed = saltedSeed(seed, kHills);
    for (int x = 0; x < kEdge; ++x)
        for (int y = 0; y < kEdge; ++y) {
            const double dx = x - cx, dy = y - cy;
            const double along = (dx + dy) * 0.70710678, across = (dx - dy) * 0.70710678;
            const double ragged = periodicFractal(x, y, 4, kNoisePeriod, shapeSeed) - 0.5;
            const double r = std::hypot(along / length, across / width) + 0.6 * ragged;
            const double hills = periodicFractal(x, y, 5, kNoisePeriod, hillSeed) - 0.5;
            const double peak = 3.5 * std::exp(-((x - px) * (x - px) + (y - py) * (y - py)) / 6);
            const int h = static_cast<int>(std::floor((1 - r) * 8 + 3 * hills + peak - 1));
            island.height[x][y] = std::clamp(h, kDeepest, kHighest);
        }
    for (int i = 0; i < kEdge; ++i) {  // sea all round
        for (int* h : {&island.height[i][0], &island.height[i][kLast], &island.height[0][i],
                       &island.height[kLast][i]})
            *h = std::min(*h, -1);
    }
    for (int k = kStartFirst; k <= kStartLast; ++k)
        island.height[k][k] = std::max(island.height[k][k], 1);
}

// Land rises from the water over a beach one column wide, then at most two
// levels per column: the coast is never a cliff over the sea.
void slopeCoast(Island& island) {
    std::vector<int> queue;
    for (int x = 0; x < kEdge; ++x)
        for (int y = 0; y < kEdge; ++y) {
            const bool sea = island.height[x][y] < 0;
            island.coast[x][y] = sea ? 0 : kEdge;
            if (sea) queue.push_back(x * kEdge + y);
        }
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const int x = queue[next] / kEdge, y = queue[next] % kEdge;
        for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, kLast); ++nx)
            for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, kLast); ++ny) {
                if (island.coast[nx][ny] <= island.coast[x][y] + 1) continue;
                island.coast[nx][ny] = island.coast[x][y] + 1;
                queue.push_back(nx * kEdge + ny);
            }
    }
    for (int x = 0; x < kEdge; ++x)
        for (int y = 0; y < kEdge; ++y)
            if (island.height[x][y] >= 0)
                island.height[x][y] = std::min(island.height[x][y], 2 * island.coast[x][y] - 1);
}

// Sand along the water, snow on the highest ground, grass between.
void chooseSurfaces(Island& island) {
    int highest = 0;
    for (const auto& row : island.height)
        for (int h : row) highest = std::max(highest, h);
    const int snowLine = std::max(highest - 1, 2);
    for (int x = 0; x < kEdge; ++x)
        for (int y = 0; y < kEdge; ++y) {
            const int h = island.height[x][y], coast = island.coast[x][y];
            Surface& surface = island.surface[x][y];
            if (h < 0) {
                surface = Surface::Seabed;
            } else if (coast == 1 || (coast == 2 && h <= 1)) {
                surface = Surface::Beach;
            } else {
                surface = h >= snowLine ? Surface::Snowy : Surface::Grassy;
            }
        }
}

// ---- the blocks

// Stone with ore in small clumps, hardening into rock toward the bottom.
BlockId rockAt(std::uint32_t seed, int x, int y, int level) {
    if (level >= kRockLevel) {
        const double hardness = double(level - kRockLevel + 1) / (kLast - kRockLevel + 1);
        if (unit(seed, kRock, x * kEdge + y, level) < hardness) return HardRock;
    }
    const double clump = unit(seed, kOre, (x / 2) * kEdge + y / 2, level / 2);
    const bool inClump = unit(seed, kOre, x * kEdge + y, level + 100) < 0.6;
    if (inClump) {
        if (clump < 0.07) return CoalOre;
        if (clump < 0.11 && level >= 14) return IronOre;
        if (clump < 0.13 && level >= 16) return GoldOre;
        if (clump > 0.95) return Gravel;
    }
    return Cobblestone;
}

void layColumn(std::uint32_t seed, const Island& island, int x, int y, Terrain& terrain) {
    const int top = island.top(x, y);
    const Surface surface = island.surface[x][y];
    for (int level = top; level <= kLast; ++level) {
        const int depth = level - top;
        BlockId id = rockAt(seed, x, y, level);
        if (surface == Surface::Seabed) {
            if (depth == 0 && unit(seed, kFloor, x, y) > 0.75) {
                id = Gravel;
            } else if (depth <= 1) {
                id = Sand;
            }
        } else if (surface == Surface::Beach) {
            if (depth <= kSandDepth) id = Sand;
        } else if (depth == 0) {
            id = surface == Surface::Snowy ? SnowCovered : Grass;
        } else if (depth <= kEarthDepth) {
            id = Earth;
        }
        terrain.set(x, y, level, id);
    }
    for (int level = kSeaLevel; level < top; ++level) terrain.set(x, y, level, Water);
}

// ---- the features

struct Area {
    int x0, y0, x1, y1;  // inclusive
};

template <class Check>
bool allOf(Area area, Check check) {
    for (int x = area.x0; x <= area.x1; ++x)
        for (int y = area.y0; y <= area.y1; ++y)
            if (!check(x, y)) return false;
    return true;
}

template <class Visit>
void forEach(Area area, Visit visit) {
    for (int x = area.x0; x <= area.x1; ++x)
        for (int y = area.y0; y <= area.y1; ++y) visit(x, y);
}

Area grown(Area a) { return {a.x0 - 1, a.y0 - 1, a.x1 + 1, a.y1 + 1}; }

bool insideBand(Area a) { return a.x0 >= 0 && a.y0 >= 0 && a.x1 <= kLast && a.y1 <= kLast; }

// Of the spots where `fits` holds, the one the seed likes best; false when
// there is none.
template <class Fits>
bool pickSpot(std::uint32_t seed, Salt salt, int width, int length, Fits fits, Area& chosen) {
    std::uint32_t best = 0;
    bool found = false;
    for (int x = 0; x + width <= kEdge; ++x)
        for (int y = 0; y + length <= kEdge; ++y) {
            const Area area{x, y, x + width - 1, y + length - 1};
            if (!fits(area)) continue;
            const std::uint32_t liking = draw(seed, salt, x, y);
            if (!found || liking > best) {
                best = liking;
                chosen = area;
                found = true;
            }
        }
    return found;
}

// In a hollow of the grass: the water stands at the lowest ground of the pond
// and its rim, so the rim holds it on every side.
void digIslandPond(std::uint32_t seed, Island& island, Terrain& terrain) {
    const int width = 2 + static_cast<int>(draw(seed, kPond, -1) % 2);
    // Ask for a flat stretch of grass first, then settle for any dry slope.
    for (int rise = 1; rise <= 3; ++rise) {
        auto fits = [&](Area area) {
            const Area rim = grown(area);
            if (!insideBand(grown(rim))) return false;
            int low = kHighest, high = kDeepest;
            const bool dry = allOf(rim, [&](int x, int y) {
                low = std::min(low, island.height[x][y]);
                high = std::max(high, island.height[x][y]);
                return rise == 3 ? island.height[x][y] >= 1
                                 : island.surface[x][y] == Surface::Grassy;
            });
            return dry && (high - low <= rise || rise == 3) &&
                   allOf(area, [](int x, int y) { return std::abs(x - y) >= 2; });
        };
        Area pond;
        if (!pickSpot(seed, kPond, width, 2, fits, pond)) continue;
        const Area rim = grown(pond);
        int water = 0;
        forEach(rim, [&](int x, int y) {
            water = std::max(water, island.top(x, y));
            island.claimed[x][y] = true;
        });
        // A beach where the rim meets the water; higher ground keeps its grass.
        forEach(rim, [&](int x, int y) {
            if (island.top(x, y) == water) terrain.set(x, y, water, Sand);
        });
        forEach(pond, [&](int x, int y) {
            for (int level = island.top(x, y); level < water; ++level)
                terrain.set(x, y, level, Empty);
            terrain.set(x, y, water, Water);
            terrain.set(x, y, water + 1, Sand);
        });
        return;
    }
}

// Deep in the stone under dry land, with a breath of air above it: a miner
// digging down finds it, the water never does.
void hideLavaPocket(std::uint32_t seed, const Island& island, Terrain& terrain) {
    for (int lowestHill = 3; lowestHill >= 1; --lowestHill) {
        auto fits = [&](Area area) {
            const Area ring = grown(area);
            return insideBand(ring) &&
                   allOf(ring,
                         [&](int x, int y) {
                             return island.height[x][y] >= 1 && !island.claimed[x][y];
                         }) &&
                   allOf(area, [&](int x, int y) { return island.height[x][y] >= lowestHill; });
        };
        Area pocket;
        if (!pickSpot(seed, kLava, 2, 2, fits, pocket)) continue;
        int lava = 0;
        forEach(grown(pocket),
                [&](int x, int y) { lava = std::max(lava, island.top(x, y) + kEarthDepth + 2); });
        fillBox(terrain, pocket.x0, pocket.y0, pocket.x1, pocket.y1, lava - 1, lava - 1, Empty);
        pourLava(terrain, pocket.x0, pocket.y0, pocket.x1, pocket.y1, lava);
        return;
    }
}

// On grass, away from the pond, the start diagonal and each other, where the
// crown clears the neighbouring ground.
void plantIslandTrees(std::uint32_t seed, const Island& island, Terrain& terrain) {
    struct Spot {
        std::uint32_t liking;
        int x, y;
    };
    std::vector<Spot> spots;
    for (int x = 1; x < kLast; ++x)
        for (int y = 1; y < kLast; ++y) {
            const int h = island.height[x][y];
            const bool fits = island.surface[x][y] == Surface::Grassy && std::abs(x - y) >= 3 &&
                              allOf({x - 1, y - 1, x + 1, y + 1}, [&](int i, int j) {
                                  return !island.claimed[i][j] && island.height[i][j] <= h + 2;
                              });
            if (fits) spots.push_back({draw(seed, kTrees, x, y), x, y});
        }
    std::sort(spots.begin(), spots.end(),
              [](const Spot& a, const Spot& b) { return a.liking > b.liking; });
    const std::size_t wanted = 3 + draw(seed, kTrees, -1) % 4;
    std::vector<Spot> planted;
    for (const Spot& spot : spots) {
        if (planted.size() == wanted) break;
        const bool roomy = std::all_of(planted.begin(), planted.end(), [&](const Spot& other) {
            return std::max(std::abs(other.x - spot.x), std::abs(other.y - spot.y)) >= 3;
        });
        if (!roomy) continue;
        planted.push_back(spot);
        plantRoundTree(terrain, spot.x, spot.y, island.top(spot.x, spot.y));
    }
}

// The grassy column of the start diagonal nearest its middle.
void chooseStart(const Island& island, Terrain& terrain) {
    const int middle = (kStartFirst + kStartLast) / 2;
    for (int step = 0; step <= middle - kStartFirst; ++step)
        for (int k : {middle - step, middle + step}) {
            if (island.surface[k][k] != Surface::Grassy) continue;
            terrain.startX = terrain.startY = k;
            return;
        }
    terrain.startX = terrain.startY = middle;
}

}  // namespace

void generateIsland(std::uint32_t seed, Terrain& terrain) {
    terrain = Terrain{};
    Island island{};
    raiseLand(seed, island);
    slopeCoast(island);
    chooseSurfaces(island);
    for (int x = 0; x < kEdge; ++x)
        for (int y = 0; y < kEdge; ++y) layColumn(seed, island, x, y, terrain);
    digIslandPond(seed, island, terrain);
    hideLavaPocket(seed, island, terrain);
    plantIslandTrees(seed, island, terrain);
    chooseStart(island, terrain);
}
