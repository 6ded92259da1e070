// Rain and snow strips: every drop moves a quarter of the frame height per
// frame, so the fourth frame leads back into the first without a jump.
#include <cmath>

#include "tools/interface.h"
#include "tools/materials.h"
#include "tools/palette.h"
#include "worldgen/noise.h"

namespace {

constexpr int kFrameW = 80, kFrameH = 100, kFrames = 4;

void wrapSet(Image& img, int frame, int x, int y, Rgb c) {
    img.set(frame * kFrameW + wrapIndex(x, kFrameW), wrapIndex(y, kFrameH), c);
}

}  // namespace

Image makeRainStrip() {
    Image img(kFrameW * kFrames, kFrameH);
    const Rgb streak = hex(0xc8d8f0), head = hex(0xf4f8ff);
    for (int d = 0; d < 30; ++d) {
        const int x0 = int(random01(d, 0, 501) * kFrameW);
        const int y0 = int(random01(d, 1, 501) * kFrameH);
        const int len = 6 + int(random01(d, 2, 501) * 6);
        for (int f = 0; f < kFrames; ++f) {
            const int y = y0 + f * kFrameH / kFrames;
            const int x = x0 - f * 6;  // slanted by the wind; 24 px per loop, wraps in 80
            for (int i = 0; i < len; ++i) wrapSet(img, f, x - i / 4, y - i, i == 0 ? head : streak);
        }
    }
    return img;
}

Image makeSnowStrip() {
    Image img(kFrameW * kFrames, kFrameH);
    const Rgb flake = hex(0xf4f8ff), shade = hex(0xc8d4e8);
    for (int d = 0; d < 38; ++d) {
        const int x0 = int(random01(d, 0, 511) * kFrameW);
        const int y0 = int(random01(d, 1, 511) * kFrameH);
        const bool big = random01(d, 2, 511) > 0.6;
        const double phase = random01(d, 3, 511) * kTau;
        for (int f = 0; f < kFrames; ++f) {
            const int y = y0 + f * kFrameH / kFrames;
            const int x = x0 + int(std::lround(2 * std::sin(phase + kTau * f / kFrames)));
            wrapSet(img, f, x, y, flake);
            if (big) {
                wrapSet(img, f, x + 1, y, flake);
                wrapSet(img, f, x - 1, y, shade);
                wrapSet(img, f, x, y + 1, flake);
                wrapSet(img, f, x, y - 1, shade);
            }
        }
    }
    return img;
}
