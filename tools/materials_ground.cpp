// Soft materials: soil, grass, sand, gravel, snow and leaves.
#include <cmath>

#include "tools/materials.h"
#include "worldgen/noise.h"

namespace {

const Ramp kEarth{0x2e1c12, 0x45291a, 0x5c3823, 0x74482c, 0x8c5a37, 0xa57044, 0xbd8a58};
// Earth under snow: the same soil, colder and paler with frost.
const Ramp kFrozenEarth{0x2c2226, 0x43343a, 0x5a464a, 0x725a5c, 0x8a7270, 0xa48c88, 0xbcaaa4};
const Ramp kPebble{0x4a3f38, 0x6b5e52, 0x8c7e70, 0xad9f8e};
const Ramp kGrass{0x1d4a1f, 0x2a6428, 0x3a7d2e, 0x4f9636, 0x68ad40, 0x88c452, 0xa8d866};
const Ramp kFlower{0xb08a10, 0xf0c830, 0xfff4a0};
const Ramp kSand{0x8a6c3c, 0xa88a52, 0xc0a264, 0xd6ba7a, 0xe6cd8e, 0xf2e0a8, 0xfbefc4};
const Ramp kGravelGrey{0x2c2a2a, 0x4a4746, 0x66625f, 0x827d78, 0x9f9a93, 0xbdb8b0};
const Ramp kGravelBrown{0x2c2622, 0x4e4238, 0x6c5c4e, 0x8a7866, 0xa69480, 0xc0b09a};
const Ramp kSnow{0x8796b4, 0xa6b6cf, 0xc2d0e2, 0xd9e3ef, 0xecf2f8, 0xfafcff};
const Ramp kLeaves{0x0f2a14, 0x173d1c, 0x215224, 0x2d682c, 0x3b7e34, 0x4f9640, 0x69ae4e};
const Ramp kBerry{0x6a1020, 0xa81c2c, 0xe04a4a};

double grain(const Texel& x, int seed) {
    return random01(int(std::floor(x.s)), int(std::floor(x.t)), seed);
}

Shade grassTop(const Texel& x) {
    double tone = 0.42 + 0.32 * (periodicFractal(x.s, x.t, 8, 32, 11) - 0.5) * 2;
    const double g = grain(x, 12);
    if (g > 0.86) tone += 0.22;
    else if (g < 0.12) tone -= 0.18;
    const CellHit flower = cellular(x.s, x.t, 16, 32, 13);
    if (flower.id % 3 == 0 && flower.nearest < 1.1) return {&kFlower, flower.dy < 0 ? 0.9 : 0.5};
    return {&kGrass, tone};
}

}  // namespace

double faceRun(const Texel& x) { return x.face == Face::Right ? 32 + x.s : x.s; }

Shade paintEarth(const Texel& x) { return paintSoil(x, kEarth); }

Shade paintSoil(const Texel& x, const Ramp& soil) {
    const double u = faceU(x), v = x.t;
    const int period = facePeriod(x);
    double tone = 0.5 + 0.45 * (periodicFractal(u, v, 8, period, 21) - 0.5);
    const CellHit pebble = cellular(u, v, 8, period, 22);
    if (pebble.id % 4 == 0 && pebble.nearest < 1.6)
        return {&kPebble, pebble.dy + pebble.dx < 0 ? 0.8 : 0.4};
    if (pebble.id % 4 == 0 && pebble.nearest < 2.4 && pebble.dy > 0) tone -= 0.25;
    const double g = random01(int(u), int(v), 23);
    if (g > 0.93) tone -= 0.3;
    else if (g < 0.06) tone += 0.2;
    return {&soil, tone};
}

Shade paintFringedSide(const Texel& x, const Ramp& cover, const Ramp& soilRamp, double depth,
                       int seed) {
    const double run = faceRun(x);
    const double column = std::floor(run / 2);
    double edge = depth + 2.5 * periodicNoise(run, 0, 4, 64, seed);
    if (random01(int(column), 0, seed + 1) > 0.7)
        edge += 2 + 3 * random01(int(column), 1, seed + 1);
    if (x.t < edge) {
        double tone = 0.75 - 0.35 * (x.t / edge) + 0.15 * (grain(x, seed + 2) - 0.5);
        if (x.t < 1) tone += 0.15;
        return {&cover, tone};
    }
    Shade soil = paintSoil(x, soilRamp);
    if (x.t < edge + 1.5) soil.tone -= 0.3;  // the cover's shadow on the soil
    return soil;
}

Shade paintGrass(const Texel& x) {
    return x.face == Face::Top ? grassTop(x) : paintFringedSide(x, kGrass, kEarth, 9, 31);
}

Shade paintEarthBlock(const Texel& x) { return paintEarth(x); }

Shade paintSand(const Texel& x) {
    const double u = faceU(x);
    const int period = facePeriod(x);
    double tone = 0.58 + 0.3 * (periodicNoise(u, x.t, 8, period, 41) - 0.5);
    tone += 0.22 * (grain(x, 42) - 0.5);
    if (x.face == Face::Top) {
        const double ripple =
            std::sin(kTau * (x.s + 3 * x.t) / 32 + 3 * periodicNoise(x.s, x.t, 16, 32, 43));
        if (ripple > 0.82) tone += 0.18;
        else if (ripple < -0.85) tone -= 0.14;
    } else {
        tone +=
            0.1 * std::sin(x.t * 0.8 + 3 * periodicNoise(u, x.t, 16, period, 44)) - 0.05 * x.t / 32;
    }
    return {&kSand, tone};
}

Shade paintGravel(const Texel& x) {
    const double u = faceU(x);
    const int period = facePeriod(x);
    const CellHit p = cellular(u, x.t, 4.0, period, 51);
    if (p.second - p.nearest < 0.7) return {&kGravelGrey, 0.05};
    const Ramp& ramp = p.id % 3 == 0 ? kGravelBrown : kGravelGrey;
    double tone = 0.35 + 0.4 * ((p.id >> 4) % 7) / 6.0;
    tone -= 0.1 * (p.dx + p.dy);
    return {&ramp, tone};
}

Shade paintSnowGround(const Texel& x) {
    if (x.face != Face::Top) return paintFringedSide(x, kSnow, kFrozenEarth, 10, 61);
    double tone = 0.72 + 0.3 * (periodicFractal(x.s, x.t, 16, 32, 62) - 0.5);
    const double g = grain(x, 63);
    if (g > 0.97) tone = 1.0;
    else if (g < 0.04) tone -= 0.15;
    return {&kSnow, tone};
}

Shade paintLeaves(const Texel& x) {
    const double u = faceU(x);
    const int period = facePeriod(x);
    const CellHit clump = cellular(u, x.t, 4.0, period, 71);
    if (x.face != Face::Top && clump.second - clump.nearest < 0.5 && clump.id % 5 == 0) return {};
    if (clump.id % 23 == 0 && clump.nearest < 0.9) return {&kBerry, clump.dy < 0 ? 0.8 : 0.4};
    double tone = 0.8 - 0.18 * clump.nearest - 0.12 * (clump.dx + clump.dy);
    tone += 0.2 * (periodicNoise(u, x.t, 8, period, 72) - 0.5);
    if (clump.second - clump.nearest < 0.6) tone = 0.05;
    return {&kLeaves, tone};
}
