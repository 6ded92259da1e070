// The mining crack: fissures that spread over the cube with each strike.
#include <cmath>

#include "tools/cube.h"
#include "tools/palette.h"
#include "tools/tiles.h"
#include "worldgen/noise.h"

namespace {

const Rgb kFissure = hex(0x1a1418);
const Rgb kChip = hex(0xd8d0c4);

struct Branch {
    double x, y, angle;
    int length;
    int stage;  // the first strike that shows it
};

// Walks one fissure from its start; each step turns a little at random.
void drawBranch(Image& frame, const Branch& b, int seed) {
    double x = b.x, y = b.y, a = b.angle;
    for (int i = 0; i < b.length; ++i) {
        const int px = int(std::floor(x)), py = int(std::floor(y));
        if (classifyCubePixel(px, py).face == Face::None) return;
        frame.set(px, py, kFissure);
        if (i % 4 == 2 && classifyCubePixel(px + 1, py + 1).face != Face::None)
            frame.set(px + 1, py + 1, kChip);
        a += (random01(i, seed, 401) - 0.5) * 0.9;
        x += std::cos(a);
        y += std::sin(a) * 0.8;
    }
}

}  // namespace

Image makeCrackStrip() {
    static const Branch branches[] = {
        {32, 16, 2.6, 9, 0},  {32, 16, 0.3, 8, 0},  {32, 17, 1.6, 10, 1}, {31, 15, -1.9, 8, 1},
        {26, 20, 2.2, 12, 2}, {38, 19, 0.9, 12, 2}, {20, 36, 1.3, 14, 2}, {44, 36, 1.8, 14, 2},
        {32, 32, 1.5, 16, 3}, {14, 24, 1.9, 16, 3}, {50, 24, 1.2, 16, 3}, {24, 10, -2.6, 10, 3},
    };
    Image strip(kTileSize * 4, kTileSize);
    for (int stage = 0; stage < 4; ++stage) {
        Image frame(kTileSize, kTileSize);
        int seed = 0;
        for (const Branch& b : branches) {
            ++seed;
            if (b.stage <= stage) drawBranch(frame, b, seed);
        }
        strip.blit(frame, stage * kTileSize, 0);
    }
    return strip;
}
