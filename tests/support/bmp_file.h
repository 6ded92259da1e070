// Pictures as the tests see them: the pixels of a BMP file as the asset
// generator writes them and the game loads them, read against the file format
// itself rather than with any image library; screen tests compare against them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

struct Pixel {
    int r = 0, g = 0, b = 0;
    // Pure black, which loading turns transparent.
    bool clear() const { return r == 0 && g == 0 && b == 0; }
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Rows of pixels, top row first.
struct Image {
    int width = 0, height = 0;
    std::vector<Pixel> pixels;
    Pixel at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    // Pixels in the rectangle that are not the transparent black.
    int visibleIn(int x, int y, int w, int h) const;
};

// An uncompressed 24-bit bottom-up BMP; an empty image when the file is
// missing or of any other kind.
Image readBmp(const std::filesystem::path& path);
