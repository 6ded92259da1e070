// The title island: hills of grass over earth, a beach and a pond, a snowy
// peak, a lava pool in a stone ring, trees and a little brick tower.
#include "tools/scene.h"

#include <algorithm>
#include <cmath>

#include "tools/tiles.h"
#include "worldgen/noise.h"

namespace {

constexpr int kGrass = 1, kCobble = 2, kPlanks = 4, kWater = 5, kEarth = 6, kSand = 7, kLava = 8,
              kGravel = 9, kSnow = 10, kLog = 11, kLeaves = 12, kBrick = 13, kGlass = 14,
              kCoal = 15, kGold = 20, kMossy = 21;

int islandHeight(int x, int y, int size) {
    const double cx = (x - size * 0.48) / (size * 0.5), cy = (y - size * 0.5) / (size * 0.5);
    const double fall = 1.0 - std::sqrt(cx * cx + cy * cy);
    const double hills = periodicFractal(x * 4.0, y * 4.0, 16, 256, 801);
    const double ridge = std::max(0.0, 1.0 - std::hypot(x - size * 0.75, y - size * 0.3) / 3.0);
    return int(std::floor(fall * 4.0 + hills * 1.5 + ridge * 3.0 - 0.6));
}

// A trunk two blocks high under a crown shaped like a plus sign.
void plantTree(Scene& s, int x, int y, int base) {
    for (int z = base; z < base + 2; ++z) s.at(x, y, z) = kLog;
    const int crown = base + 2;
    for (int d = -1; d <= 1; ++d) {
        if (s.get(x + d, y, crown) == 0) s.at(x + d, y, crown) = kLeaves;
        if (s.get(x, y + d, crown) == 0) s.at(x, y + d, crown) = kLeaves;
    }
    s.at(x, y, crown + 1) = kLeaves;
}

void buildTower(Scene& s, int x0, int y0, int base) {
    for (int x = x0; x < x0 + 2; ++x)
        for (int y = y0; y < y0 + 2; ++y)
            for (int z = base; z < base + 4; ++z)
                s.at(x, y, z) = (z == base + 2 && x == x0 + 1) ? kGlass : kBrick;
    for (int x = x0; x < x0 + 2; ++x)
        for (int y = y0; y < y0 + 2; ++y) s.at(x, y, base + 4) = kPlanks;
}

}  // namespace

Scene makeTitleIsland() {
    const int n = 13;
    Scene s(n, 10);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            const int h = std::min(islandHeight(x, y, n), 8);
            if (h < 1) {
                s.at(x, y, 0) = kWater;
                continue;
            }
            for (int z = 0; z < h; ++z) {
                const bool top = z == h - 1;
                int id =
                    z < h - 2 ? (hash3(x, y * 16 + z, 802) % 9 == 0 ? kCoal : kCobble) : kEarth;
                if (top) id = h <= 1 ? kSand : h >= 5 ? kSnow : kGrass;
                if (!top && h >= 5 && z >= h - 2) id = kGravel;
                s.at(x, y, z) = id;
            }
        }
    // A lava pool ringed with mossy stone on the shoulder of the hill.
    const int lx = 6, ly = 10, lz = 1;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
            for (int z = lz + 1; z < s.levels; ++z) s.at(lx + dx, ly + dy, z) = 0;
            s.at(lx + dx, ly + dy, lz) = (dx || dy) ? kMossy : kLava;
            for (int z = 0; z < lz; ++z) s.at(lx + dx, ly + dy, z) = kCobble;
        }
    s.at(lx + 1, ly, lz) = kLava;
    s.at(lx + 1, ly + 1, lz - 1) = kGold;
    auto topOf = [&s](int x, int y) {
        int z = s.levels - 1;
        while (z > 0 && s.get(x, y, z) == 0) --z;
        return z + 1;
    };
    plantTree(s, 3, 5, topOf(3, 5));
    plantTree(s, 9, 11, topOf(9, 11));
    plantTree(s, 10, 4, topOf(10, 4));
    plantTree(s, 2, 10, topOf(2, 10));
    buildTower(s, 3, 8, topOf(3, 8));
    return s;
}

void drawScene(Image& target, const Scene& scene, int originX, int originY) {
    std::vector<Image> tiles(23);
    for (int id = 1; id <= 22; ++id) tiles[id] = makeTile(id);
    for (int z = 0; z < scene.levels; ++z)
        for (int y = 0; y < scene.size; ++y)
            for (int x = 0; x < scene.size; ++x) {
                const int id = scene.get(x, y, z);
                if (id <= 0) continue;
                const int sx = originX + 32 * (x - y), sy = originY + 16 * (x + y) - 32 * z;
                target.blitRegion(tiles[id], 0, 0, 64, 64, sx, sy);
            }
}
