// Colour ramps: each material is painted from a few hand-picked colours, dark to
// light, and a tone in 0..1 picks one of them (no blending, so edges stay crisp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "tools/image.h"

constexpr Rgb hex(std::uint32_t v) {
    return Rgb{std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

struct Ramp {
    int count = 0;
    Rgb colors[8];
    Ramp(std::initializer_list<std::uint32_t> list) {
        for (std::uint32_t v : list) {
            if (count < 8) colors[count++] = hex(v);
        }
    }
    Rgb pick(double tone) const {
        const int i = int(tone * count);
        return colors[std::clamp(i, 0, count - 1)];
    }
};

// Blends two colours; used only for pictures drawn without a mask (the menu
// background and the night layer), never on masked edges.
inline Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](int x, int y) {
        return std::uint8_t(std::clamp(int(x + (y - x) * t + 0.5), 0, 255));
    };
    return Rgb{m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

// Keeps a colour visible under the black mask.
inline Rgb visible(Rgb c) {
    if (c == kClear) return Rgb{1, 1, 1};
    return c;
}

// 4 x 4 ordered-dither threshold in [0, 1).
inline double bayer4(int x, int y) {
    static const int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (m[y & 3][x & 3] + 0.5) / 16.0;
}
