// The HUD, hotbar, cursor, button and the spare pictures.
#include "tools/interface.h"

#include "tools/palette.h"
#include "tools/tiles.h"

namespace {

const Rgb kFrameDark = hex(0x1c1826);
const Rgb kFrameMid = hex(0x4a4258);
const Rgb kFrameLight = hex(0x8a80a0);
const Rgb kGold = hex(0xf0c850);
const Rgb kGoldLight = hex(0xfff0a8);
const Rgb kGoldDark = hex(0xa07820);

void strokeRect(Image& img, int x, int y, int w, int h, Rgb c) {
    img.fillRect(x, y, w, 1, c);
    img.fillRect(x, y + h - 1, w, 1, c);
    img.fillRect(x, y, 1, h, c);
    img.fillRect(x + w - 1, y, 1, h, c);
}

// A raised panel: light upper-left rim, dark lower-right rim.
void bevelRect(Image& img, int x, int y, int w, int h, Rgb fill, Rgb light, Rgb dark) {
    img.fillRect(x, y, w, h, fill);
    img.fillRect(x, y, w, 1, light);
    img.fillRect(x, y, 1, h, light);
    img.fillRect(x, y + h - 1, w, 1, dark);
    img.fillRect(x + w - 1, y, 1, h, dark);
}

}  // namespace

Image makeHudFrame() {
    Image img(640, 480);
    strokeRect(img, 0, 0, 640, 480, kFrameDark);
    strokeRect(img, 1, 1, 638, 478, kFrameMid);
    strokeRect(img, 2, 2, 636, 476, kFrameDark);
    for (int cx : {0, 627})
        for (int cy : {0, 467}) {
            bevelRect(img, cx, cy, 13, 13, kFrameMid, kFrameLight, kFrameDark);
            img.fillRect(cx + 5, cy + 5, 3, 3, kGold);
            img.set(cx + 5, cy + 5, kGoldLight);
        }
    return img;
}

Image makeEmblem() {
    Image tile = makeTile(1);
    Image img(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) img.set(x, y, tile.get(x * 2, y * 2));
    return img;
}

Image makeHotbarStrip() {
    Image img(272, 31);
    for (int i = 0; i < 9; ++i) {
        const int x = 30 * i;
        bevelRect(img, x, 0, 30, 31, kFrameMid, kFrameLight, kFrameDark);
        bevelRect(img, x + 1, 2, 28, 28, hex(0x2a2636), kFrameDark, hex(0x5a5270));
        for (int y = 3; y < 29; ++y)
            for (int k = 2; k < 28; ++k)
                if ((k + y) % 2 == 0 && y > 20) img.set(x + k, y, hex(0x322d40));
    }
    bevelRect(img, 270, 0, 2, 31, kFrameMid, kFrameMid, kFrameDark);
    return img;
}

Image makeHotbarCursor() {
    Image img(30, 32);
    strokeRect(img, 0, 0, 30, 32, kGoldDark);
    strokeRect(img, 1, 1, 28, 30, kGold);
    for (int cx : {0, 25})
        for (int cy : {0, 27}) img.fillRect(cx, cy, 5, 5, kGold);
    for (int cx : {1, 27})
        for (int cy : {1, 29}) img.set(cx + (cx > 10 ? 1 : 0), cy + (cy > 10 ? 1 : 0), kGoldLight);
    img.set(1, 1, kGoldLight);
    return img;
}

Image makePickaxeIcon() {
    Image img(32, 32);
    for (int i = 0; i < 20; ++i) img.fillRect(8 + i, 26 - i, 2, 2, hex(0x8a5a2a));
    for (int i = 0; i < 14; ++i) img.fillRect(10 + i, 4 + (i - 7) * (i - 7) / 8, 2, 3, hex(0x9aa0a8));
    return img;
}

Image makeMenuButton() {
    Image img(kButtonWidth, 2 * kButtonHalfHeight);
    const Rgb normal[3] = {hex(0x3a3448), hex(0x5a5270), hex(0x1c1826)};
    const Rgb lit[3] = {hex(0x6a5a30), hex(0xf0c850), hex(0x2a2010)};
    for (int half = 0; half < 2; ++half) {
        const Rgb* c = half ? lit : normal;
        const int y = half * kButtonHalfHeight;
        bevelRect(img, 0, y, kButtonWidth, kButtonHalfHeight, c[0], c[1], c[2]);
        strokeRect(img, 0, y, kButtonWidth, kButtonHalfHeight, kFrameDark);
        img.fillRect(20, y + 6, 8, 8, c[1]);
    }
    return img;
}
