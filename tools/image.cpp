// Picture copying helpers shared by every generated asset.
#include "tools/image.h"

void Image::blit(const Image& src, int dx, int dy) {
    blitRegion(src, 0, 0, src.width, src.height, dx, dy);
}

void Image::blitRegion(const Image& src, int sx, int sy, int w, int h, int dx, int dy,
                       bool mirror) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Rgb c = src.get(sx + (mirror ? w - 1 - x : x), sy + y);
            if (c != kClear) set(dx + x, dy + y, c);
        }
    }
}

void Image::fillRect(int x, int y, int w, int h, Rgb c) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) set(i, j, c);
}

Image enlarged(const Image& src, int factor) {
    Image out(src.width * factor, src.height * factor);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) out.set(x, y, src.get(x / factor, y / factor));
    return out;
}
