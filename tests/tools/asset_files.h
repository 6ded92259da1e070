// Small independent readers for the generator's output: BMP and WAV headers
// and pixels, read without any image library.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct Pixel {
    std::uint8_t r = 0, g = 0, b = 0;
    bool clear() const { return r == 0 && g == 0 && b == 0; }
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Bitmap {
    int width = 0, height = 0;
    std::vector<Pixel> pixels;
    Pixel at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
    // Pixels in the rectangle that are not the transparent black.
    int visibleIn(int x, int y, int w, int h) const;
};

// Reads a 24-bit uncompressed bottom-up BMP; an empty bitmap on any mismatch.
Bitmap readBmp(const std::filesystem::path& path);

struct Wave {
    int channels = 0, sampleRate = 0, bitsPerSample = 0, format = 0;
    std::vector<std::int16_t> samples;
};

Wave readWav(const std::filesystem::path& path);

std::vector<std::uint8_t> readFile(const std::filesystem::path& path);
