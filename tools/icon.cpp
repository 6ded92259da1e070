// The cube is drawn at 64 x 64; larger icons repeat each pixel so the pixel
// art stays crisp, the 32-pixel one keeps a pixel where most of its 2 x 2
// block shows, averaged, so the outline does not break up.
#include "tools/icon.h"

#include "tools/tiles.h"

namespace {

constexpr int kGrass = 1;
constexpr int kTileSize = 64;

Image halved(const Image& source) {
    Image out(source.width / 2, source.height / 2);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int r = 0, g = 0, b = 0, shown = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const Rgb c = source.get(2 * x + dx, 2 * y + dy);
                    if (c == kClear) continue;
                    r += c.r, g += c.g, b += c.b, ++shown;
                }
            }
            // Keep the average off pure black, which would read as a hole.
            if (shown >= 2) {
                out.set(
                    x, y,
                    Rgb{std::uint8_t(r / shown), std::uint8_t(g / shown), std::uint8_t(b / shown)});
                if (out.get(x, y) == kClear) out.set(x, y, Rgb{1, 1, 1});
            }
        }
    }
    return out;
}

}  // namespace

Image makeIcon(int size) {
    const Image cube = makeTile(kGrass);
    if (size < kTileSize) return halved(cube);
    return enlarged(cube, size / kTileSize);
}
