// Paints cube tiles from the block materials, with the face lighting and bevel
// shared by every block.
#include "tools/tiles.h"

#include <cmath>

#include "tools/materials.h"
#include "worldgen/noise.h"

namespace {

// Light from the upper left: the top face keeps its tone, the left face is a
// step darker, the right face two.
double faceBias(Face face) {
    switch (face) {
        case Face::Left:
            return -0.17;
        case Face::Right:
            return -0.32;
        default:
            return 0.0;
    }
}

double rimBias(Rim rim) {
    switch (rim) {
        case Rim::TopBack:
            return -0.6;
        case Rim::TopFront:
            return 1.0;
        case Rim::SideFront:
            return 0.6;
        case Rim::SideOuter:
            return -0.4;
        case Rim::SideBottom:
            return -1.0;
        default:
            return 0.0;
    }
}

Rgb paintPixel(const Material& m, int px, int py, int frame) {
    const CubePixel p = classifyCubePixel(px, py);
    if (p.face == Face::None) return kClear;
    Texel x;
    x.face = p.face;
    x.s = p.s;
    x.t = p.t;
    x.px = px;
    x.py = py;
    x.frame = frame;
    const Shade shade = m.paint(x);
    if (!shade.ramp) return kClear;
    double tone = shade.tone;
    const double scale = shade.glows ? 0.35 : 1.0;
    tone += faceBias(p.face) * scale;
    if (!shade.glows) tone += m.bevel * rimBias(p.rim);
    tone += m.dither * (bayer4(px, py) - 0.5);
    return visible(shade.ramp->pick(tone));
}

}  // namespace

Image makeTile(int blockId) {
    const Material& m = materialFor(blockId);
    const int frames = m.animated ? 4 : 1;
    Image tile(kTileSize * frames, kTileSize);
    for (int f = 0; f < frames; ++f)
        for (int y = 0; y < kTileSize; ++y)
            for (int x = 0; x < kTileSize; ++x)
                tile.set(f * kTileSize + x, y, paintPixel(m, x, y, f));
    return tile;
}

const Material& materialFor(int blockId) {
    static const Material table[kBlockTypeCount] = {
        {paintGrass, 0.10, 0.10, false},        // 1
        {paintCobbleBlock, 0.12, 0.05, false},  // 2
        {paintExplosive, 0.10, 0.0, false},     // 3
        {paintPlanks, 0.12, 0.05, false},       // 4
        {paintWater, 0.0, 0.10, true},          // 5
        {paintEarthBlock, 0.10, 0.10, false},   // 6
        {paintSand, 0.08, 0.12, false},         // 7
        {paintLava, 0.0, 0.10, true},           // 8
        {paintGravel, 0.10, 0.05, false},       // 9
        {paintSnowGround, 0.08, 0.08, false},   // 10
        {paintLog, 0.12, 0.05, false},          // 11
        {paintLeaves, 0.08, 0.08, false},       // 12
        {paintBrick, 0.10, 0.0, false},         // 13
        {paintGlass, 0.0, 0.0, false},          // 14
        {paintCoalOre, 0.12, 0.05, false},      // 15
        {paintIronOre, 0.12, 0.05, false},      // 16
        {paintHardRock, 0.15, 0.05, false},     // 17
        {paintMarble, 0.08, 0.05, false},       // 18
        {paintTerracotta, 0.10, 0.05, false},   // 19
        {paintGoldOre, 0.12, 0.05, false},      // 20
        {paintMossyStone, 0.12, 0.05, false},   // 21
        {paintIce, 0.08, 0.05, false},          // 22
    };
    return table[(blockId - 1 + kBlockTypeCount) % kBlockTypeCount];
}
