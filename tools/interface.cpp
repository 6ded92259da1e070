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
    for (int i = 0; i < 18; ++i) {
        img.fillRect(6 + i, 26 - i, 2, 2, hex(0x8a5a2a));
        img.set(6 + i, 26 - i, hex(0xb8844a));
    }
    for (int i = -9; i <= 9; ++i) {
        const int x = 22 + i, y = 9 + i + (i * i) / 9 - 9 / 2;
        img.fillRect(x - 1, y - 1, 3, 3, hex(0x1c1826));
    }
    for (int i = -9; i <= 9; ++i) {
        const int x = 22 + i, y = 9 + i + (i * i) / 9 - 9 / 2;
        img.set(x, y, hex(0xa0a8b4));
        img.set(x, y - 1, hex(0xe0e8f0));
    }
    return img;
}

// A small cube in three flat tones, the button's emblem.
void drawMiniCube(Image& img, int x0, int y0, Rgb top, Rgb left, Rgb right) {
    for (int r = 0; r < 7; ++r) {
        const int half = r < 4 ? 2 * r + 1 : 2 * (6 - r) + 1;
        img.fillRect(x0 + 7 - half, y0 + r, 2 * half, 1, top);
    }
    for (int x = 0; x < 14; ++x) {
        const int rim = x < 7 ? 4 + x / 2 : 4 + (13 - x) / 2;
        img.fillRect(x0 + x, y0 + rim, 1, 7, x < 7 ? left : right);
    }
}

Image makeMenuButton() {
    Image img(kButtonWidth, 2 * kButtonHalfHeight);
    const int h = kButtonHalfHeight;
    // Normal: a slate panel; highlighted: warm gold with a grass cube.
    bevelRect(img, 0, 0, kButtonWidth, h, hex(0x2e2a3c), hex(0x6a6284), hex(0x15121e));
    img.fillRect(1, 1, kButtonWidth - 2, 1, hex(0x4a4460));
    drawMiniCube(img, 32, 3, hex(0x8a8aa0), hex(0x5e5e74), hex(0x44445a));
    bevelRect(img, 0, h, kButtonWidth, h, hex(0x5a4418), hex(0xffe08a), hex(0x2a1e08));
    img.fillRect(1, h + 1, kButtonWidth - 2, 1, hex(0xc8a040));
    strokeRect(img, 0, h, kButtonWidth, h, hex(0xf0c850));
    drawMiniCube(img, 32, h + 3, hex(0x78c850), hex(0x8c5a37), hex(0x5c3823));
    for (int i = 0; i < 3; ++i) img.set(8 + 6 * i, h + h / 2, hex(0xfff0a8));
    return img;
}
