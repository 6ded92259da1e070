// The BMP reader: the 54-byte headers, then rows padded to four bytes, the
// bottom row first, each pixel blue, green, red.
#include "support/bmp_file.h"

#include <cstdint>

#include "support/files.h"

namespace {

std::uint32_t littleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
    return value;
}

}  // namespace

int Image::visibleIn(int x, int y, int w, int h) const {
    int count = 0;
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column) count += at(column, row).clear() ? 0 : 1;
    return count;
}

Image readBmp(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = readFile(path);
    Image image;
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return image;
    const std::uint32_t offset = littleEndian(bytes, 10, 4);
    const auto width = static_cast<std::int32_t>(littleEndian(bytes, 18, 4));
    const auto height = static_cast<std::int32_t>(littleEndian(bytes, 22, 4));
    const bool uncompressed24 = littleEndian(bytes, 28, 2) == 24 && littleEndian(bytes, 30, 4) == 0;
    if (!uncompressed24 || width <= 0 || height <= 0) return image;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (bytes.size() < offset + stride * static_cast<std::size_t>(height)) return image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const std::size_t row = offset + stride * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = &bytes[row + 3 * static_cast<std::size_t>(x)];
            image.pixels[static_cast<std::size_t>(y) * width + x] = Pixel{p[2], p[1], p[0]};
        }
    }
    return image;
}
