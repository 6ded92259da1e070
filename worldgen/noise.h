// Deterministic pseudo-random helpers: every texture and every generated world
// is a pure function of its coordinates and a seed, so the generators write
// the same bytes on every run.
#pragma once

#include <cmath>
#include <cstdint>

inline std::uint32_t hash32(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

inline std::uint32_t hash3(int a, int b, int seed) {
    return hash32(std::uint32_t(a) * 0x9E3779B1U ^
                  hash32(std::uint32_t(b) + 0x632BE5ABU * std::uint32_t(seed)));
}

// A value in [0, 1) for a lattice point.
inline double random01(int a, int b, int seed) {
    return double(hash3(a, b, seed) >> 8) / double(1u << 24);
}

inline int wrapIndex(int v, int period) {
    int m = v % period;
    return m < 0 ? m + period : m;
}

// Smooth value noise on a lattice of `cell` units that repeats every `period`
// units (a multiple of cell), so textures join seamlessly between cubes.
inline double periodicNoise(double x, double y, double cell, int period, int seed) {
    const int n = int(period / cell);
    const double fx = x / cell, fy = y / cell;
    const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    double tx = fx - ix, ty = fy - iy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int i, int j) { return random01(wrapIndex(i, n), wrapIndex(j, n), seed); };
    const double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
    const double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
}

// Two octaves of periodic noise, in [0, 1).
inline double periodicFractal(double x, double y, double cell, int period, int seed) {
    return 0.65 * periodicNoise(x, y, cell, period, seed) +
           0.35 * periodicNoise(x, y, cell / 2, period, seed + 17);
}

// Nearest and second-nearest feature point of a periodic cellular pattern: the
// base of stones, pebbles and ore lumps.
struct CellHit {
    double nearest = 1e9, second = 1e9;
    int id = 0;             // hash of the nearest feature, stable per stone
    double dx = 0, dy = 0;  // offset from the nearest feature to the point
};

inline CellHit cellular(double x, double y, double cell, int period, int seed) {
    const int n = int(period / cell);
    const int ix = int(std::floor(x / cell)), iy = int(std::floor(y / cell));
    CellHit hit;
    for (int j = iy - 1; j <= iy + 1; ++j) {
        for (int i = ix - 1; i <= ix + 1; ++i) {
            const int wi = wrapIndex(i, n), wj = wrapIndex(j, n);
            const double px = (i + 0.15 + 0.7 * random01(wi, wj, seed)) * cell;
            const double py = (j + 0.15 + 0.7 * random01(wi, wj, seed + 1)) * cell;
            const double d = std::hypot(x - px, y - py);
            if (d < hit.nearest) {
                hit.second = hit.nearest;
                hit.nearest = d;
                hit.id = int(hash3(wi, wj, seed + 2) & 0xFFFF);
                hit.dx = x - px;
                hit.dy = y - py;
            } else if (d < hit.second) {
                hit.second = d;
            }
        }
    }
    return hit;
}
