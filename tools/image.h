// The generator's picture type: 24-bit colour, black means transparent in the game.
#pragma once

#include <cstdint>
#include <vector>

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

constexpr Rgb kClear{0, 0, 0};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Image() = default;
    Image(int w, int h, Rgb fill = kClear)
        : width(w), height(h), pixels(std::size_t(w) * h, fill) {}

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    Rgb get(int x, int y) const {
        return inside(x, y) ? pixels[std::size_t(y) * width + x] : kClear;
    }
    void set(int x, int y, Rgb c) {
        if (inside(x, y)) pixels[std::size_t(y) * width + x] = c;
    }
    // Copies the visible (non-black) pixels of src with its top-left at (dx, dy).
    void blit(const Image& src, int dx, int dy);
    // Copies a region of src, optionally mirrored left to right.
    void blitRegion(const Image& src, int sx, int sy, int w, int h, int dx, int dy,
                    bool mirror = false);
    void fillRect(int x, int y, int w, int h, Rgb c);
};

// Every pixel of src as a factor x factor block: bigger, never blurred.
Image enlarged(const Image& src, int factor);
