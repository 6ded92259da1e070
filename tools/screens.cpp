// Full-screen pictures: the night layer, the title-menu scene and the logo.
#include <cmath>

#include "tools/interface.h"
#include "tools/materials.h"
#include "tools/palette.h"
#include "tools/scene.h"
#include "tools/tiles.h"
#include "worldgen/noise.h"

namespace {

// Letters of the logo on a 5 x 7 grid, one string per row.
struct Glyph {
    char letter;
    int width;
    const char* rows[7];
};

const Glyph kGlyphs[] = {
    {'T', 5, {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'E', 5, {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'S', 5, {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'A', 5, {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'R', 5, {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'I', 3, {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
};

const Glyph& glyphFor(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.letter == c) return g;
    return kGlyphs[0];
}

constexpr int kVoxel = 8, kDepth = 3;

// One block of a logo letter: a front square with its top and right side
// showing, in the grass-over-earth colours of the first block.
void drawVoxel(Image& img, int x, int y, int row, bool back) {
    const Ramp front{0x2a6428, 0x3f8a32, 0x5aa83a, 0x8c5a37, 0x74482c, 0x5c3823};
    const Rgb face = row < 2 ? front.colors[2 - row] : front.colors[std::min(3 + (row - 2) / 2, 5)];
    const Rgb top = row < 2 ? hex(0x9ad45a) : hex(0xb8865a);
    const Rgb side = row < 2 ? hex(0x1d4a1f) : hex(0x45291a);
    if (back) {
        for (int d = 1; d <= kDepth; ++d) {
            img.fillRect(x + d, y - d, kVoxel, 1, top);
            img.fillRect(x + kVoxel - 1 + d, y - d, 1, kVoxel, side);
        }
        return;
    }
    img.fillRect(x, y, kVoxel, kVoxel, face);
    img.fillRect(x, y, kVoxel, 1, mix(face, hex(0xffffff), 0.25));
    img.fillRect(x, y + kVoxel - 1, kVoxel, 1, mix(face, hex(0x101010), 0.3));
}

void drawWord(Image& img, const char* word, int x0, int y0) {
    for (int pass = 0; pass < 2; ++pass) {
        int x = x0;
        for (const char* c = word; *c; ++c) {
            const Glyph& g = glyphFor(*c);
            for (int r = 0; r < 7; ++r)
                for (int k = 0; k < g.width; ++k)
                    if (g.rows[r][k] == '#')
                        drawVoxel(img, x + k * kVoxel, y0 + r * kVoxel, r, pass == 0);
            x += (g.width + 1) * kVoxel;
        }
    }
}

}  // namespace

Image makeNightLayer() {
    Image img(640, 480);
    for (int y = 0; y < 480; ++y) {
        const Rgb row = mix(hex(0x0a0e2a), hex(0x2a2a5a), y / 479.0);
        for (int x = 0; x < 640; ++x) img.set(x, y, row);
    }
    for (int s = 0; s < 140; ++s) {
        const int x = int(random01(s, 0, 601) * 640), y = int(random01(s, 1, 601) * 480);
        const double b = random01(s, 2, 601);
        img.set(x, y, b > 0.8 ? hex(0xffffff) : hex(0x8a90c0));
        if (b > 0.93) {
            img.set(x - 1, y, hex(0x6a70a0));
            img.set(x + 1, y, hex(0x6a70a0));
            img.set(x, y - 1, hex(0x6a70a0));
            img.set(x, y + 1, hex(0x6a70a0));
        }
    }
    for (int y = -14; y <= 14; ++y)
        for (int x = -14; x <= 14; ++x) {
            const double r = std::hypot(x, y), r2 = std::hypot(x + 6, y - 3);
            if (r <= 14 && r2 > 12)
                img.set(540 + x, 70 + y, r > 12.5 ? hex(0xd8d8b0) : hex(0xf4f0cc));
        }
    return img;
}

Image makeLogo() {
    Image img(460, 66);
    const Image cube = makeTile(1);
    img.blit(cube, 0, 1);
    drawWord(img, "TESSARIA", 80, 6);
    return img;
}

namespace {

// A panel darkens the scene behind the button column, where the game writes
// white text on every menu; the game darkens the scene the same way beside
// it and along the bottom where a screen writes there.
void darkenPanel(Image& img, int x, int y, int w, int h) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            const bool corner = (j == y || j == y + h - 1) && (i == x || i == x + w - 1);
            if (!corner) img.set(i, j, visible(mix(img.get(i, j), hex(0x141022), 0.6)));
        }
}

void drawSky(Image& img) {
    for (int y = 0; y < 480; ++y) {
        const double t = y / 479.0;
        const Rgb row = t < 0.45 ? mix(hex(0x28386e), hex(0x6a78b4), t / 0.45)
                                 : mix(hex(0x6a78b4), hex(0xf0b48a), (t - 0.45) / 0.55);
        for (int x = 0; x < 640; ++x) img.set(x, y, row);
    }
    for (int c = 0; c < 7; ++c) {
        const int cx = int(random01(c, 0, 611) * 640), cy = 40 + int(random01(c, 1, 611) * 200);
        const int w = 40 + int(random01(c, 2, 611) * 70);
        for (int j = 0; j < 3; ++j) {
            const int inset = (2 - j) * w / 6;
            img.fillRect(cx + inset, cy + 6 * j, w - 2 * inset, 6,
                         mix(img.get(cx, cy + 6 * j), hex(0xffe8d8), 0.35 + 0.1 * j));
        }
    }
}

}  // namespace

Image makeMenuBackground() {
    Image img(640, 480);
    drawSky(img);
    drawScene(img, makeTitleIsland(), 288, 96);
    drawWord(img, "TESSARIA", 28, 36);
    darkenPanel(img, 212, 200, 214, 168);
    return img;
}
