// Block materials: for each block id a function that paints one face texel.
#pragma once

#include "tools/cube.h"
#include "tools/palette.h"

struct Texel {
    Face face = Face::None;
    double s = 0, t = 0;  // face coordinates (see cube.h)
    int px = 0, py = 0;   // pixel in the 64 x 64 frame
    int frame = 0;        // animation frame 0..3
};

// What a material paints at a texel: a tone on one of its ramps. The tile
// builder lowers the tone on the side faces (light from the upper left).
struct Shade {
    const Ramp* ramp = nullptr;  // nullptr leaves the pixel transparent
    double tone = 0;
    bool glows = false;  // lit from within: no face shading, no bevel
};

using MaterialFn = Shade (*)(const Texel&);

struct Material {
    MaterialFn paint;
    double bevel;   // strength of the rim highlight and shadow
    double dither;  // ordered dither mixed into the tone
    bool animated;  // written as a four-frame strip
};

constexpr int kBlockTypeCount = 22;
constexpr double kTau = 6.283185307179586;
const Material& materialFor(int blockId);

// Shared painters that several materials build on.
Shade paintNaturalStone(const Texel& x, int seed);
Shade paintCobble(const Texel& x, int seed);
Shade paintEarth(const Texel& x);
Shade paintSoil(const Texel& x, const Ramp& soil);
// Soil sides with a fringe of another cover (grass, snow) hanging from the top.
Shade paintFringedSide(const Texel& x, const Ramp& cover, const Ramp& soil, double depth, int seed);
// A seamless face position: side faces continue round the front corner.
double faceRun(const Texel& x);
// The horizontal texture coordinate and its repeat: 32 on the top face (so top
// faces tile), 64 round the two side faces.
inline double faceU(const Texel& x) { return x.face == Face::Top ? x.s : faceRun(x); }
inline int facePeriod(const Texel& x) { return x.face == Face::Top ? 32 : 64; }

Shade paintGrass(const Texel& x);
Shade paintEarthBlock(const Texel& x);
Shade paintSand(const Texel& x);
Shade paintGravel(const Texel& x);
Shade paintSnowGround(const Texel& x);
Shade paintLeaves(const Texel& x);
Shade paintCobbleBlock(const Texel& x);
Shade paintCoalOre(const Texel& x);
Shade paintIronOre(const Texel& x);
Shade paintGoldOre(const Texel& x);
Shade paintHardRock(const Texel& x);
Shade paintMarble(const Texel& x);
Shade paintMossyStone(const Texel& x);
Shade paintBrick(const Texel& x);
Shade paintTerracotta(const Texel& x);
Shade paintExplosive(const Texel& x);
Shade paintPlanks(const Texel& x);
Shade paintLog(const Texel& x);
Shade paintGlass(const Texel& x);
Shade paintIce(const Texel& x);
Shade paintWater(const Texel& x);
Shade paintLava(const Texel& x);
