// Islands larger than the band: one or several in a sea, hills and valleys at
// several scales, beaches, lakes, forests, snow on the highest ground, ore
// veins and lava underground. Written straight into a grid, since a 300 x 300
// world does not fit a Terrain.
//
// Every number here is an integer: a world is shared by its seed, and floating
// point may round differently from one compiler or machine to the next.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "worldgen/noise.h"
#include "worldgen/world_kinds.h"

namespace {

constexpr int kSeaLevel = 12;  // as on the small island
constexpr int kDeepest = -5;   // heights are counted upward from the sea's surface
// The peaks stand at level 3: room above them to build, and below the sea
// enough stone for mines.
constexpr int kHighest = 9;
constexpr int kEarthDepth = 3;
constexpr int kSandDepth = 2;
constexpr int kRockLevel = 17;
constexpr int kBottom = kBandEdge - 1;
constexpr int kOne = 65536;  // fixed point: 1.0

enum Salt : std::uint32_t {
    kIslands = 101,
    kCoast,
    kHills,
    kValleys,
    kLakes,
    kRock,
    kFloor,
    kVeins,
    kLava,
    kForest,
    kTrees,
};

int saltedSeed(std::uint32_t seed, Salt salt) {
    return static_cast<int>(hash32(seed * 0x9E3779B1u + salt * 0x85EBCA6Bu) & 0x7FFFFFFFu);
}

std::uint32_t draw(std::uint32_t seed, Salt salt, int a, int b = 0) {
    return hash3(a, b, saltedSeed(seed, salt));
}

// A whole number in [0, n).
int below(std::uint32_t seed, Salt salt, int n, int a, int b = 0) {
    return static_cast<int>(draw(seed, salt, a, b) % std::uint32_t(n));
}

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Smooth value noise on a lattice `cell` columns apart, in [0, kOne).
std::int64_t valueNoise(int x, int y, int cell, int seed) {
    const int ix = floorDiv(x, cell), iy = floorDiv(y, cell);
    const std::int64_t c = cell, tx = x - ix * cell, ty = y - iy * cell;
    const std::int64_t cube = c * c * c;
    const std::int64_t wx = tx * tx * (3 * c - 2 * tx) * kOne / cube;
    const std::int64_t wy = ty * ty * (3 * c - 2 * ty) * kOne / cube;
    auto at = [&](int i, int j) { return std::int64_t(hash3(i, j, seed) >> 16); };
    const std::int64_t top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * wx / kOne;
    const std::int64_t bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * wx / kOne;
    return top + (bottom - top) * wy / kOne;
}

// Octaves from `cell` down to four columns, each half the one before, in [0, kOne).
std::int64_t fractal(int x, int y, int cell, int seed) {
    std::int64_t sum = 0, weight = 0, amplitude = 256;
    for (int octave = 0; cell >= 4; ++octave, cell /= 2, amplitude /= 2) {
        sum += valueNoise(x, y, cell, seed + octave * 7919) * amplitude;
        weight += amplitude;
    }
    return weight ? sum / weight : kOne / 2;
}

// The parts in terrain.h draw on anything with set().
struct GridCanvas {
    WorldGrid& grid;
    void set(int x, int y, int level, BlockId id) { setCellOf(grid, x, y, level, id); }
};

enum class Surface : std::uint8_t { Seabed, Beach, Grassy, Snowy, Lake };

struct Land {
    int size;
    std::vector<int> height;  // above the sea's surface; below 0 it is sea
    std::vector<int> coast;   // columns to the nearest sea (Chebyshev), 0 in the sea
    std::vector<Surface> surface;
    std::vector<bool> claimed;  // lakes and their shores, the start: no tree, no lava
    explicit Land(int n)
        : size(n), height(n * n), coast(n * n), surface(n * n), claimed(n * n, false) {}
    int index(int x, int y) const { return x * size + y; }
    int& h(int x, int y) { return height[index(x, y)]; }
    int top(int x, int y) const { return kSeaLevel - height[index(x, y)]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < size && y < size; }
};

// ---- the shape

struct Blob {
    int x, y, radius;
};

std::vector<Blob> placeIslands(std::uint32_t seed, int n) {
    // The main island holds the middle, where the player starts.
    std::vector<Blob> blobs{{n / 2 + below(seed, kIslands, n / 8 + 1, 0) - n / 16,
                             n / 2 + below(seed, kIslands, n / 8 + 1, 1) - n / 16,
                             n * (28 + below(seed, kIslands, 8, 2)) / 100}};
    const int others = n / 100 + below(seed, kIslands, n / 100 + 2, 3);
    for (int k = 0; k < others; ++k) {
        blobs.push_back({n * 15 / 100 + below(seed, kIslands, n * 70 / 100, 10, k),
                         n * 15 / 100 + below(seed, kIslands, n * 70 / 100, 11, k),
                         n * (8 + below(seed, kIslands, 8, 12, k)) / 100});
    }
    return blobs;
}

void raiseLand(std::uint32_t seed, Land& land) {
    const int n = land.size;
    const std::vector<Blob> blobs = placeIslands(seed, n);
    const int coastSeed = saltedSeed(seed, kCoast), hillSeed = saltedSeed(seed, kHills);
    const int valleySeed = saltedSeed(seed, kValleys);
    const int margin = std::max(4, n / 12);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            std::int64_t mass = -kOne;
            for (const Blob& blob : blobs) {
                const std::int64_t dx = x - blob.x, dy = y - blob.y;
                const std::int64_t r2 = std::int64_t(blob.radius) * blob.radius;
                mass = std::max(mass, kOne - (dx * dx + dy * dy) * kOne / r2);
            }
            mass += (fractal(x, y, std::max(8, n / 5), coastSeed) - kOne / 2) * 5 / 4;
            const int edge = std::min({x, y, n - 1 - x, n - 1 - y});
            if (edge < margin) mass -= std::int64_t(margin - edge) * kOne / margin;
            // Hills on the land, and valleys where a ridge noise crosses its middle.
            const std::int64_t hills = fractal(x, y, std::max(8, n / 10), hillSeed) - kOne / 2;
            std::int64_t valley = valueNoise(x, y, std::max(12, n / 6), valleySeed) - kOne / 2;
            valley = valley < 0 ? -valley : valley;
            std::int64_t height = mass * 7 + hills * 18 - kOne / 2;
            if (valley < kOne / 16 && height > 2 * kOne)
                height -= (kOne / 16 - valley) * 40;  // at most 2.5 levels deep
            // Above five levels the ground rises half as fast: peaks, not plateaus.
            if (height > 5 * kOne) height = 5 * kOne + (height - 5 * kOne) / 2;
            int h = static_cast<int>(floorDiv(static_cast<int>(height / 256), 256));
            if (edge <= 1) h = std::min(h, -2);
            land.h(x, y) = std::clamp(h, kDeepest, kHighest);
        }
}

// Land rises from the water over a beach, then at most two levels per column.
void slopeCoast(Land& land) {
    const int n = land.size;
    std::vector<int> queue;
    queue.reserve(n * n);
    for (int i = 0; i < n * n; ++i) {
        const bool sea = land.height[i] < 0;
        land.coast[i] = sea ? 0 : n;
        if (sea) queue.push_back(i);
    }
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const int x = queue[next] / n, y = queue[next] % n;
        for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, n - 1); ++nx)
            for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, n - 1); ++ny) {
                const int i = land.index(nx, ny);
                if (land.coast[i] <= land.coast[queue[next]] + 1) continue;
                land.coast[i] = land.coast[queue[next]] + 1;
                queue.push_back(i);
            }
    }
    for (int i = 0; i < n * n; ++i)
        if (land.height[i] >= 0) land.height[i] = std::min(land.height[i], 2 * land.coast[i] - 1);
}

// Snow on about the highest twentieth of the land: peaks, not a cap over the
// whole island.
int snowLine(const Land& land) {
    int count[kHighest + 1] = {}, dry = 0, highest = 0;
    for (int h : land.height)
        if (h >= 0) ++count[h], ++dry, highest = std::max(highest, h);
    int line = kHighest, above = count[kHighest];
    while (line > 2 && (above + count[line - 1]) * 20 <= dry) above += count[--line];
    return std::max(std::min(line, highest), 2);
}

void chooseSurfaces(Land& land) {
    const int snow = snowLine(land);
    for (int i = 0; i < land.size * land.size; ++i) {
        const int h = land.height[i], coast = land.coast[i];
        Surface& surface = land.surface[i];
        if (h < 0) {
            surface = Surface::Seabed;
        } else if (coast == 1 || (coast <= 3 && h <= 1)) {
            surface = Surface::Beach;
        } else {
            surface = h >= snow ? Surface::Snowy : Surface::Grassy;
        }
    }
}

// ---- the blocks

BlockId stoneAt(std::uint32_t seed, int n, int x, int y, int level) {
    if (level >= kRockLevel) {
        const int hardness = (level - kRockLevel + 1) * 256 / (kBottom - kRockLevel + 1);
        if (below(seed, kRock, 256, x * n + y, level) < hardness) return HardRock;
    }
    return Cobblestone;
}

void layColumn(WorldGrid& grid, std::uint32_t seed, const Land& land, int x, int y) {
    const int n = land.size, top = land.top(x, y);
    const Surface surface = land.surface[land.index(x, y)];
    for (int level = top; level <= kBottom; ++level) {
        const int depth = level - top;
        BlockId id = stoneAt(seed, n, x, y, level);
        if (surface == Surface::Seabed) {
            if (depth == 0 && below(seed, kFloor, 4, x, y) == 0) {
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
        setCellOf(grid, x, y, level, id);
    }
    for (int level = kSeaLevel; level < top; ++level) setCellOf(grid, x, y, level, Water);
}

// ---- the features

// Hollows of the lake noise, away from the sea and the snow: each fills to the
// lowest ground of its shore, so the shore holds it on every side.
void fillLakes(WorldGrid& grid, std::uint32_t seed, Land& land) {
    const int n = land.size, lakeSeed = saltedSeed(seed, kLakes), snow = snowLine(land);
    const int cell = std::max(8, n / 10);
    std::vector<bool> wet(n * n, false), seen(n * n, false);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            const int i = land.index(x, y);
            wet[i] = land.coast[i] >= 5 && land.height[i] >= 1 && land.height[i] < snow &&
                     valueNoise(x, y, cell, lakeSeed) > kOne * 80 / 100;
        }
    const int dx[] = {1, -1, 0, 0}, dy[] = {0, 0, 1, -1};
    for (int start = 0; start < n * n; ++start) {
        if (!wet[start] || seen[start]) continue;
        std::vector<int> lake{start};
        seen[start] = true;
        for (std::size_t next = 0; next < lake.size(); ++next)
            for (int k = 0; k < 4; ++k) {
                const int x = lake[next] / n + dx[k], y = lake[next] % n + dy[k];
                if (!land.inside(x, y) || !wet[land.index(x, y)] || seen[land.index(x, y)])
                    continue;
                seen[land.index(x, y)] = true;
                lake.push_back(land.index(x, y));
            }
        if (lake.size() < 4) continue;
        // The shore: every column touching the lake, corners too.
        std::vector<int> shore;
        int water = 0;
        for (int i : lake)
            for (int x = i / n - 1; x <= i / n + 1; ++x)
                for (int y = i % n - 1; y <= i % n + 1; ++y) {
                    const int j = land.index(x, y);
                    if (wet[j]) continue;
                    land.claimed[j] = true;
                    shore.push_back(j);
                    water = std::max(water, land.top(x, y));
                }
        for (int j : shore)
            if (land.top(j / n, j % n) == water) setCellOf(grid, j / n, j % n, water, Sand);
        for (int i : lake) {
            const int x = i / n, y = i % n;
            int inner = 0;
            for (int k = 0; k < 4; ++k) inner += wet[land.index(x + dx[k], y + dy[k])];
            // A hollow deeper than the lake keeps its ground; the water fills it.
            const int bed = std::max(water + (inner == 4 ? 2 : 1), land.top(x, y));
            for (int level = land.top(x, y); level < water; ++level)
                setCellOf(grid, x, y, level, Empty);
            for (int level = water; level < bed; ++level) setCellOf(grid, x, y, level, Water);
            setCellOf(grid, x, y, bed, Sand);
            land.claimed[i] = true;
            land.surface[i] = Surface::Lake;
        }
    }
}

// Short crooked runs through the stone, richer ores deeper down.
void threadVeins(WorldGrid& grid, std::uint32_t seed, const Land& land) {
    const int n = land.size, veins = n * n / 40;
    const int step[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int v = 0; v < veins; ++v) {
        int x = below(seed, kVeins, n, v, 0), y = below(seed, kVeins, n, v, 1);
        int level = 13 + below(seed, kVeins, kBottom - 13, v, 2);
        const int kind = below(seed, kVeins, 100, v, 3);
        BlockId ore = CoalOre;
        if (level >= 15 && kind < 40) ore = IronOre;
        if (level >= 17 && kind < 12) ore = GoldOre;
        if (kind >= 92) ore = Gravel;
        const int length = 3 + below(seed, kVeins, 6, v, 4);
        for (int s = 0; s < length; ++s) {
            if (cellOf(grid, x, y, level) == Cobblestone) setCellOf(grid, x, y, level, ore);
            const int* d = step[below(seed, kVeins, 6, v, 10 + s)];
            x = std::clamp(x + d[0], 0, n - 1);
            y = std::clamp(y + d[1], 0, n - 1);
            level = std::clamp(level + d[2], 13, kBottom - 1);
        }
    }
}

// Deep in the stone under dry land, with a breath of air above: a miner digging
// down finds one, the water never does.
void hideLavaPockets(WorldGrid& grid, std::uint32_t seed, Land& land) {
    const int n = land.size, wanted = std::max(2, n * n / 1500);
    int made = 0;
    for (int attempt = 0; attempt < std::max(wanted * 30, 500) && made < wanted; ++attempt) {
        const int w = 2 + below(seed, kLava, 2, attempt, 0),
                  l = 2 + below(seed, kLava, 2, attempt, 1);
        const int x0 = 1 + below(seed, kLava, n - w - 2, attempt, 2);
        const int y0 = 1 + below(seed, kLava, n - l - 2, attempt, 3);
        int lava = 0;
        bool dry = true;
        for (int x = x0 - 1; x <= x0 + w && dry; ++x)
            for (int y = y0 - 1; y <= y0 + l && dry; ++y) {
                const int i = land.index(x, y);
                dry = land.height[i] >= 1 && !land.claimed[i];
                lava = std::max(lava, land.top(x, y) + kEarthDepth + 2);
            }
        if (!dry || lava > kBottom - 1) continue;
        GridCanvas canvas{grid};
        fillBox(canvas, x0, y0, x0 + w - 1, y0 + l - 1, lava - 1, lava - 1, Empty);
        pourLava(canvas, x0, y0, x0 + w - 1, y0 + l - 1, lava);
        // Two pockets side by side would pour one into the other's air.
        for (int x = x0 - 1; x <= x0 + w; ++x)
            for (int y = y0 - 1; y <= y0 + l; ++y) land.claimed[land.index(x, y)] = true;
        ++made;
    }
}

void growIfEmpty(WorldGrid& grid, int x, int y, int level, BlockId id) {
    if (level >= 0 && cellOf(grid, x, y, level) == Empty) setCellOf(grid, x, y, level, id);
}

void plantBush(WorldGrid& grid, int x, int y, int ground, std::uint32_t shape) {
    growIfEmpty(grid, x, y, ground - 1, Leaves);
    if (shape & 1) growIfEmpty(grid, x, y, ground - 2, Leaves);
    if (shape & 2) growIfEmpty(grid, x + 1, y, ground - 1, Leaves);
    if (shape & 4) growIfEmpty(grid, x, y + 1, ground - 1, Leaves);
}

// A trunk five levels tall in a narrow crown: the trees of the high slopes.
void plantTallTree(WorldGrid& grid, int x, int y, int ground) {
    for (int level = ground - 5; level < ground; ++level) growIfEmpty(grid, x, y, level, Log);
    for (int level = ground - 5; level <= ground - 3; ++level) {
        growIfEmpty(grid, x - 1, y, level, Leaves);
        growIfEmpty(grid, x + 1, y, level, Leaves);
        growIfEmpty(grid, x, y - 1, level, Leaves);
        growIfEmpty(grid, x, y + 1, level, Leaves);
    }
    growIfEmpty(grid, x, y, ground - 6, Leaves);
    growIfEmpty(grid, x, y, ground - 7, Leaves);
}

// Forests where the forest noise runs high, a tree here and there elsewhere;
// one candidate in every four by four columns keeps trunks apart.
void growForests(WorldGrid& grid, std::uint32_t seed, const Land& land) {
    const int n = land.size, forestSeed = saltedSeed(seed, kForest);
    const int cell = std::max(8, n / 8);
    for (int gx = 0; gx + 4 <= n; gx += 4)
        for (int gy = 0; gy + 4 <= n; gy += 4) {
            const std::uint32_t roll = draw(seed, kTrees, gx, gy);
            const int x = gx + int(roll % 3), y = gy + int((roll >> 2) % 3);
            if (x < 1 || y < 1 || x >= n - 1 || y >= n - 1) continue;
            const int i = land.index(x, y);
            const Surface surface = land.surface[i];
            if ((surface != Surface::Grassy && surface != Surface::Snowy) || land.claimed[i])
                continue;
            const std::int64_t forest = valueNoise(x, y, cell, forestSeed);
            const int chance = forest > kOne * 60 / 100 ? 85 : forest > kOne * 50 / 100 ? 25 : 3;
            if (int((roll >> 8) % 100) >= chance) continue;
            const int h = land.height[i], ground = land.top(x, y);
            bool clear = true;  // a crown must not run into the hill beside it
            for (int a = x - 1; a <= x + 1; ++a)
                for (int b = y - 1; b <= y + 1; ++b)
                    clear = clear && !land.claimed[land.index(a, b)] &&
                            land.height[land.index(a, b)] <= h + 2;
            const int kind = int((roll >> 16) % 10);
            if (!clear || forest <= kOne * 55 / 100 || kind < 2 || surface == Surface::Snowy) {
                plantBush(grid, x, y, ground, roll >> 24);
            } else if ((h >= 4 || kind < 5) && ground >= 7) {
                plantTallTree(grid, x, y, ground);
            } else if (ground >= 5) {
                GridCanvas canvas{grid};
                plantRoundTree(canvas, x, y, ground);
            } else {
                plantBush(grid, x, y, ground, roll >> 24);
            }
        }
}

// The grassy column nearest the middle, ring by ring outward.
WorldStart chooseStart(Land& land) {
    const int n = land.size, c = n / 2;
    for (int r = 0; r < n / 2; ++r)
        for (int x = c - r; x <= c + r; ++x)
            for (int y = c - r; y <= c + r; ++y) {
                if (std::max(std::abs(x - c), std::abs(y - c)) != r || !land.inside(x, y)) continue;
                const int i = land.index(x, y);
                if (land.surface[i] != Surface::Grassy || land.claimed[i]) continue;
                for (int a = std::max(x - 1, 0); a <= std::min(x + 1, n - 1); ++a)
                    for (int b = std::max(y - 1, 0); b <= std::min(y + 1, n - 1); ++b)
                        land.claimed[land.index(a, b)] = true;
                return {x, y};
            }
    return {c, c};
}

}  // namespace

bool isWorldSize(int size) {
    return size == kBandEdge || size == 64 || size == 128 || size == kLargestWorld;
}

WorldStart generateIslandWorld(WorldGrid& grid, std::uint32_t seed, int size) {
    if (!isWorldSize(size) || size == kBandEdge) {
        Terrain terrain;
        generateIsland(seed, terrain);
        placeTerrain(terrain, grid);
        grid.maxX = grid.maxY = kBandEdge;
        return {terrain.startX, terrain.startY};
    }
    clearGrid(grid);
    grid.maxX = grid.maxY = size - 1;
    Land land(size);
    raiseLand(seed, land);
    slopeCoast(land);
    chooseSurfaces(land);
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y) layColumn(grid, seed, land, x, y);
    fillLakes(grid, seed, land);
    threadVeins(grid, seed, land);
    const WorldStart start = chooseStart(land);
    hideLavaPockets(grid, seed, land);
    growForests(grid, seed, land);
    return start;
}

WorldStart generateIslandWorld(std::uint32_t seed, int size) {
    return generateIslandWorld(world, seed, size);
}
