// Hard materials: natural stone and its ores, cobblestone, hard rock, marble,
// brick and terracotta.
#include <cmath>

#include "tools/materials.h"
#include "worldgen/noise.h"

namespace {

const Ramp kStone{0x34363f, 0x474a53, 0x5b5e66, 0x70737a, 0x878a90, 0x9fa2a6, 0xb9bbbd};
const Ramp kCobble{0x26272d, 0x4a4c54, 0x60636b, 0x777a81, 0x8f9297, 0xa8aaae, 0xc3c4c6};
const Ramp kCoal{0x0d0d10, 0x1c1c22, 0x2c2c34, 0x4a4a56};
const Ramp kIron{0x6e4a32, 0x9c6e48, 0xc89a6a, 0xe0b888, 0xf0d4ac};
const Ramp kGold{0x8a6210, 0xb88a18, 0xe0b428, 0xf4d048, 0xfff088, 0xffffd0};
const Ramp kHardRock{0x0a080e, 0x141119, 0x1d1824, 0x282131, 0x352b41, 0x44375a};
const Ramp kGlint{0x5a3c8c, 0x8a5cc8, 0xb888ff, 0xe8d8ff};
const Ramp kMarble{0x9c9ca6, 0xb4b4bc, 0xc8c8ce, 0xdadade, 0xeaeaec, 0xf6f6f8};
const Ramp kVein{0x6e6e7c, 0x8a8a98, 0xa4a4b0};
const Ramp kMoss{0x22401a, 0x335a22, 0x48762c, 0x5e9036, 0x78aa44};
const Ramp kBrick{0x4a1a16, 0x6a2420, 0x86302a, 0xa03c32, 0xb84c3c, 0xcc6250};
const Ramp kMortar{0x6e665c, 0x8c8478, 0xa89f90, 0xc4bcac, 0xdcd4c4};
const Ramp kClay{0x6a2e16, 0x8a3e1e, 0xa84e26, 0xc2602e, 0xd6763c, 0xe68e52, 0xf2aa6e};
const Ramp kGlaze{0x9a6a48, 0xd8b088, 0xf4dcbc};

Shade paintOre(const Texel& x, const Ramp& ore, double radius, int seed) {
    const double u = faceU(x);
    const CellHit lump = cellular(u, x.t, 8, facePeriod(x), seed);
    const double r = radius * (0.75 + 0.5 * ((lump.id >> 3) % 8) / 7.0);
    if (lump.id % 3 != 0) {
        if (lump.nearest < r)
            return {&ore, 0.75 - 0.45 * (lump.dx + lump.dy) / r - 0.2 * lump.nearest / r};
        if (lump.nearest < r + 1) return {&kStone, 0.12};
    }
    return paintNaturalStone(x, seed + 100);
}

}  // namespace

Shade paintNaturalStone(const Texel& x, int seed) {
    const double u = faceU(x);
    const int period = facePeriod(x);
    double tone = 0.5 + 0.5 * (periodicFractal(u, x.t, 8, period, seed) - 0.5);
    const double crack = periodicNoise(u, x.t, 8, period, seed + 1);
    if (std::fabs(crack - 0.5) < 0.03) tone = 0.08;
    else if (std::fabs(crack - 0.5) < 0.06) tone += 0.15;
    if (random01(int(u), int(x.t), seed + 2) > 0.94) tone += 0.2;
    return {&kStone, tone};
}

Shade paintCobble(const Texel& x, int seed) {
    const CellHit stone = cellular(faceU(x), x.t, 8, facePeriod(x), seed);
    if (stone.second - stone.nearest < 1.1) return {&kCobble, 0.02};
    double tone = 0.42 + 0.25 * ((stone.id >> 5) % 5) / 4.0;
    tone -= 0.05 * (stone.dx + stone.dy);
    if (stone.second - stone.nearest < 2.0 && stone.dx + stone.dy > 0) tone -= 0.12;
    tone += 0.12 * (random01(int(faceU(x)), int(x.t), seed + 1) - 0.5);
    return {&kCobble, tone};
}

Shade paintCobbleBlock(const Texel& x) { return paintCobble(x, 201); }

Shade paintCoalOre(const Texel& x) { return paintOre(x, kCoal, 2.2, 151); }

Shade paintIronOre(const Texel& x) { return paintOre(x, kIron, 2.3, 161); }

Shade paintGoldOre(const Texel& x) {
    Shade s = paintOre(x, kGold, 2.0, 171);
    if (s.ramp == &kGold && random01(int(x.s * 2), int(x.t * 2), 172) > 0.9) s.tone = 1.0;
    return s;
}

Shade paintHardRock(const Texel& x) {
    const double u = faceU(x);
    const CellHit facet = cellular(u, x.t, 8, facePeriod(x), 173);
    if (facet.second - facet.nearest < 0.8) return {&kHardRock, 0.0};
    if (facet.id % 5 == 0 && facet.nearest < 1.8)
        return {&kGlint, 0.9 - 0.3 * facet.nearest - 0.2 * (facet.dx + facet.dy)};
    double tone = 0.45 + (facet.dx < 0 ? 0.2 : -0.1) + (facet.dy < 0 ? 0.1 : -0.1);
    tone += 0.15 * ((facet.id >> 4) % 4) / 3.0;
    if (random01(int(u), int(x.t), 174) > 0.985) return {&kGlint, 0.7};
    return {&kHardRock, tone};
}

Shade paintMarble(const Texel& x) {
    const double u = faceU(x);
    const int period = facePeriod(x);
    const double warp = 5 * periodicFractal(u, x.t, 8, period, 181);
    const double vein = std::sin(kTau * (u + 2 * x.t) / 32 + warp);
    const double fine = std::sin(kTau * (2 * u - x.t) / 32 + 2 * warp);
    if (std::fabs(vein) < 0.16) return {&kVein, 0.35 + 0.6 * periodicNoise(u, x.t, 8, period, 182)};
    if (std::fabs(fine) < 0.06) return {&kVein, 0.9};
    double tone = 0.62 + 0.3 * (periodicNoise(u, x.t, 16, period, 183) - 0.5);
    const double inset = std::min(std::min(x.s, x.t), std::min(32 - x.s, 32 - x.t));
    if (inset > 2 && inset < 3) tone -= 0.25;
    return {&kMarble, tone};
}

Shade paintMossyStone(const Texel& x) {
    const double u = faceU(x);
    const double moss = periodicFractal(u, x.t, 8, facePeriod(x), 191);
    const double cover = x.face == Face::Top ? 0.45 : 0.5 + 0.02 * x.t;
    Shade stone = paintCobble(x, 192);
    if (moss > cover && (stone.tone > 0.05 || moss > cover + 0.1)) {
        return {&kMoss,
                0.35 + 1.2 * (moss - cover) + 0.2 * (random01(int(u), int(x.t), 193) - 0.5)};
    }
    return stone;
}

Shade paintBrick(const Texel& x) {
    const double u = x.s;
    const double row = std::floor(x.t / 8);
    const double shift = std::fmod(row, 2) == 0 ? 0 : 8;
    const double along = std::fmod(u + shift, 16);
    const double within = std::fmod(x.t, 8);
    if (within < 1.2 || along < 1.2)
        return {&kMortar, 0.55 + 0.2 * (random01(int(u), int(x.t), 211) - 0.5)};
    const int brick = int(hash3(int(std::floor((u + shift) / 16)), int(row), 212) % 97);
    double tone = 0.35 + 0.35 * (brick % 5) / 4.0;
    if (within < 2.2) tone += 0.2;
    else if (within > 7) tone -= 0.15;
    if (along < 2.2) tone += 0.1;
    tone += 0.15 * (random01(int(u), int(x.t), 213) - 0.5);
    return {&kBrick, tone};
}

Shade paintTerracotta(const Texel& x) {
    const double u = faceU(x);
    double tone = 0.5 + 0.25 * (periodicNoise(u, x.t, 8, facePeriod(x), 221) - 0.5);
    if (x.face != Face::Top) {
        const double band = std::fabs(x.t - 16);
        const double zig = std::fabs(std::fmod(x.s, 8) - 4);
        if (band < 5 && std::fabs(band - zig * 0.75) < 0.8) return {&kGlaze, 0.7};
        if (band > 5 && band < 6.2) tone -= 0.25;
    } else {
        const double ring = std::max(std::fabs(x.s - 16), std::fabs(x.t - 16));
        if (std::fabs(ring - 8) < 0.8) return {&kGlaze, 0.6};
        if (ring < 3) tone += 0.2;
    }
    tone += 0.1 * (random01(int(u), int(x.t), 222) - 0.5);
    return {&kClay, tone};
}
