// Readers for the generated files, written against the file formats
// themselves rather than the generator's code.
#include "tools/asset_files.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

}  // namespace

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

int Bitmap::visibleIn(int x, int y, int w, int h) const {
    int n = 0;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) n += at(i, j).clear() ? 0 : 1;
    return n;
}

Bitmap readBmp(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> b = readFile(path);
    Bitmap bmp;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return bmp;
    const std::uint32_t offset = le(b, 10, 4);
    const std::int32_t width = std::int32_t(le(b, 18, 4)), height = std::int32_t(le(b, 22, 4));
    if (le(b, 28, 2) != 24 || le(b, 30, 4) != 0 || width <= 0 || height <= 0) return bmp;
    const std::size_t row = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    if (b.size() < offset + row * std::size_t(height)) return bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.pixels.resize(std::size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        const std::size_t start = offset + row * std::size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = &b[start + std::size_t(x) * 3];
            bmp.pixels[std::size_t(y) * width + x] = Pixel{p[2], p[1], p[0]};
        }
    }
    return bmp;
}

Wave readWav(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> b = readFile(path);
    Wave w;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) return w;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::uint32_t size = le(b, at + 4, 4);
        if (at + 8 + size > b.size()) break;
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0) {
            w.format = int(le(b, at + 8, 2));
            w.channels = int(le(b, at + 10, 2));
            w.sampleRate = int(le(b, at + 12, 4));
            w.bitsPerSample = int(le(b, at + 22, 2));
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            for (std::size_t i = 0; i + 1 < size; i += 2) w.samples.push_back(std::int16_t(le(b, at + 8 + i, 2)));
        }
        at += 8 + size + (size & 1);
    }
    return w;
}
