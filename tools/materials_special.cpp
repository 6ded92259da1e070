// Crafted and special blocks: the explosive, planks, log, glass, ice, and the
// two animated liquids.
#include <cmath>

#include "tools/materials.h"
#include "worldgen/noise.h"

namespace {

const Ramp kCrate{0x4a0a0c, 0x6e1014, 0x961a1c, 0xbc2824, 0xdc3e30, 0xf05a44};
const Ramp kHazard{0x8a6a08, 0xc89a10, 0xf0c020, 0xffe050};
const Ramp kSoot{0x101012, 0x1e1e22, 0x303036, 0x4a4a52};
const Ramp kSpark{0xff8a20, 0xffd040, 0xffffc0};
const Ramp kPlanks{0x4a2a12, 0x6a3e1c, 0x8a5426, 0xa86c32, 0xc28842, 0xd8a45a, 0xe8c07a};
const Ramp kBark{0x2e1c10, 0x3f2716, 0x52341d, 0x664325, 0x7c542e, 0x946838};
const Ramp kHeartwood{0x7a5430, 0x9a6e3e, 0xb88a50, 0xd0a466, 0xe4c080, 0xf0d49a};
const Ramp kGlassFrame{0x3e5a6c, 0x5a7c90, 0x7ea2b6, 0xa6c8d8, 0xd0ecf6};
const Ramp kGlassPane{0x9ccce0, 0xc4e6f4, 0xeefaff};
const Ramp kIce{0x4a8aa8, 0x6aaec8, 0x88c8dc, 0xa6dcec, 0xc4ecf6, 0xe4f8fc, 0xffffff};
const Ramp kWater{0x12306a, 0x1a428a, 0x2258a6, 0x2e6ebe, 0x4488d4, 0x66a6e6, 0x9acbf4, 0xd4ecff};
const Ramp kLava{0x3a0804, 0x5a0e04, 0x8a1e06, 0xc03a08, 0xe8620c, 0xff9a1a, 0xffd040, 0xfff0a0};

double edgeDistance(const Texel& x) {
    return std::min(std::min(x.s, x.t), std::min(32 - x.s, 32 - x.t));
}

// The fuse stands up from the middle of the lid with a lit spark on its tip.
Shade explosiveFuse(const Texel& x) {
    static const char* const kFuse[] = {
        "..*..", ".*S*.", "..*S.", "...#.", "..#..", "..#..", "..#..", "...#.", "...#.", "..##.",
    };
    const int row = x.py - 5, col = x.px - 30;
    if (row < 0 || row >= 10 || col < 0 || col >= 5) return {};
    switch (kFuse[row][col]) {
        case '*':
            return {&kSpark, 0.6};
        case 'S':
            return {&kSpark, 1.0};
        case '#':
            return {&kSoot, col == 2 ? 0.9 : 0.5};
        default:
            return {};
    }
}

Shade explosiveTop(const Texel& x) {
    const Shade fuse = explosiveFuse(x);
    if (fuse.ramp) {
        Shade lit = fuse;
        lit.glows = true;
        return lit;
    }
    const double du = x.s - 16, dv = x.t - 16;
    const double r = std::hypot(du, dv);
    if (r < 2.2) return {&kSoot, 0.6 - 0.2 * r};
    if (std::fabs(r - 4) < 1.0 && std::atan2(dv, du) > -2.2) return {&kSoot, 0.7};
    if (edgeDistance(x) < 2) return {&kSoot, 0.55};
    double tone = 0.55 + 0.15 * (periodicNoise(x.s, x.t, 8, 32, 301) - 0.5);
    if (std::fabs(x.s - x.t) < 1.5 || std::fabs(x.s + x.t - 32) < 1.5) tone -= 0.2;
    return {&kCrate, tone};
}

Shade explosiveSide(const Texel& x) {
    if (x.s < 1.5 || x.s > 30.5 || x.t > 30.5) return {&kSoot, 0.5};
    if (x.t >= 11 && x.t < 21) {
        if (x.t < 12 || x.t >= 20) return {&kSoot, 0.3};
        const bool yellow = std::fmod(x.s + (x.t - 12) + 64, 8) < 4;
        return yellow ? Shade{&kHazard, 0.8 - 0.05 * (x.t - 12)} : Shade{&kSoot, 0.35};
    }
    double tone = 0.6 + 0.15 * (periodicNoise(faceRun(x), x.t, 8, 64, 302) - 0.5);
    if (std::fmod(x.s, 8) < 1) tone -= 0.22;
    if (x.t < 2) tone += 0.15;
    return {&kCrate, tone};
}

Shade plankBoard(double along, double across, int seed) {
    const int board = int(std::floor(across / 8));
    const double within = across - board * 8;
    const double cut = 4 + 24 * random01(board, 0, seed);
    const double ends = std::fmod(along - cut + 64, 32);
    if (within < 1 || ends < 1) return {&kPlanks, 0.05};
    double tone = 0.5 + 0.12 * (board % 3) - 0.06;
    tone += 0.18 *
            std::sin(kTau * (within * 0.9) / 8 + 4 * periodicNoise(along, board, 8, 32, seed + 1));
    if (within < 2) tone += 0.15;
    if ((ends > 1.5 && ends < 2.5) || (ends > 29.5 && ends < 30.5)) {
        if (std::fabs(within - 4.5) < 0.8) return {&kSoot, 0.4};
    }
    return {&kPlanks, tone};
}

}  // namespace

Shade paintExplosive(const Texel& x) {
    return x.face == Face::Top ? explosiveTop(x) : explosiveSide(x);
}

Shade paintPlanks(const Texel& x) {
    return x.face == Face::Top ? plankBoard(x.s, x.t, 311) : plankBoard(faceRun(x), x.t, 312);
}

Shade paintLog(const Texel& x) {
    if (x.face == Face::Top) {
        const double r = std::hypot(x.s - 16, x.t - 16) + 1.2 * periodicNoise(x.s, x.t, 8, 32, 321);
        if (r > 14.5) return {&kBark, 0.45};
        if (r < 1.5) return {&kHeartwood, 0.15};
        return {&kHeartwood, 0.6 + 0.22 * std::sin(r * 1.7) - 0.1 * r / 14};
    }
    const double run = faceRun(x);
    const double fissure = periodicNoise(run * 1.0, x.t * 0.2, 4, 64, 322);
    if (fissure < 0.32) return {&kBark, 0.08};
    double tone = 0.35 + 0.7 * (fissure - 0.32);
    if (random01(int(run), int(x.t / 3), 323) > 0.9) tone += 0.15;
    return {&kBark, tone};
}

Shade paintGlass(const Texel& x) {
    const double edge = edgeDistance(x);
    if (edge < 2.2) return {&kGlassFrame, edge < 1 ? 0.85 : 0.45};
    const double streak = std::fmod(x.s + x.t * (x.face == Face::Top ? 0.0 : 1.0) + 64, 16);
    if (x.face != Face::Top && streak > 3 && streak < 5) return {&kGlassPane, 0.9};
    if (x.face == Face::Top && std::fabs(x.t - 8) < 0.9 && x.s > 6 && x.s < 14)
        return {&kGlassPane, 0.9};
    if ((x.px + x.py * 2) % 8 == 0) return {&kGlassPane, 0.2};
    return {};
}

Shade paintIce(const Texel& x) {
    const double u = faceU(x);
    double tone = 0.55 + 0.3 * (periodicFractal(u, x.t, 8, facePeriod(x), 331) - 0.5);
    const double streak = std::fmod(u - x.t * 0.5 + 64, 11);
    if (streak < 1.2) tone += 0.35;
    else if (streak < 2.0) tone += 0.15;
    const CellHit bubble = cellular(u, x.t, 8, facePeriod(x), 332);
    if (bubble.id % 3 == 0 && bubble.nearest < 0.8) tone = 1.0;
    return {&kIce, tone};
}

Shade paintWater(const Texel& x) {
    const double shift = 8.0 * x.frame;
    if (x.face == Face::Top) {
        const double n = periodicFractal(x.s + shift, x.t, 8, 32, 341);
        const double m = periodicNoise(x.s, x.t - shift, 8, 32, 342);
        const double w = std::sin(kTau * (x.s - x.t) / 16 + kTau * x.frame / 4 + 3 * m);
        double tone = 0.5 + 0.25 * (n - 0.5) + 0.12 * w;
        if (w > 0.9 && n > 0.55) tone = 0.95;
        return {&kWater, tone};
    }
    const double run = faceRun(x);
    const double sideShift = 16.0 * x.frame;  // a quarter of the side faces' repeat
    const double c = periodicNoise(run + sideShift, x.t - sideShift, 8, 64, 343);
    double tone = 0.45 - 0.25 * x.t / 32 + 0.2 * (c - 0.5);
    if (x.t < 1.5) tone += 0.3;
    else if (std::fabs(c - 0.55) < 0.03) tone += 0.2;
    return {&kWater, tone};
}

Shade paintLava(const Texel& x) {
    const double u = faceU(x);
    const int period = facePeriod(x);
    const double shift = period / 4.0 * x.frame;
    const double flowA = periodicFractal(u + shift, x.t, 8, period, 351);
    const double flowB =
        periodicNoise(u, x.t + (x.face == Face::Top ? shift : -shift), 8, period, 352);
    const double heat = 0.5 * (flowA + flowB);
    double tone = 0.3 + 1.4 * (heat - 0.35);
    if (std::fabs(flowA - flowB) < 0.06) tone += 0.35;
    if (x.face != Face::Top) tone -= 0.1 * x.t / 32;
    Shade s{&kLava, tone};
    s.glows = true;
    return s;
}
