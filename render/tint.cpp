// The drawing tint on top of Allegro 5.2's premultiplied alpha.
//
// The game's look is "source times tint, blended by source alpha over the
// destination". Pictures load premultiplied, so the same result comes from the
// premultiplied blender (ONE, INVERSE_ALPHA) once the tint's colour is
// premultiplied by its own alpha too: (1, 1, 1, 0.6) then fades a picture to
// 60 % instead of brightening it, and (0.5, 0.5, 0.5, 1) halves its colour.
#include "render/tint.h"

namespace {

ALLEGRO_COLOR activeTint = {1, 1, 1, 1};

}  // namespace

ALLEGRO_COLOR tintColour(Tint tint) {
    return al_map_rgba_f(tint.r * tint.a, tint.g * tint.a, tint.b * tint.a, tint.a);
}

void setTint(Tint tint) {
    activeTint = tintColour(tint);
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_INVERSE_ALPHA);
}

void resetTint() { setTint(kNoTint); }

ALLEGRO_COLOR currentTint() { return activeTint; }

void drawBitmap(ALLEGRO_BITMAP* bitmap, int x, int y, int flags) {
    if (bitmap == nullptr) return;
    al_draw_tinted_bitmap(bitmap, activeTint, x, y, flags);
}

void drawBitmapRegion(ALLEGRO_BITMAP* bitmap, int sx, int sy, int sw, int sh, int x, int y,
                      int flags) {
    if (bitmap == nullptr) return;
    al_draw_tinted_bitmap_region(bitmap, activeTint, sx, sy, sw, sh, x, y, flags);
}

void drawTintedBitmap(ALLEGRO_BITMAP* bitmap, Tint tint, int x, int y) {
    setTint(tint);
    drawBitmap(bitmap, x, y);
    resetTint();
}

void drawTintedBitmapRegion(ALLEGRO_BITMAP* bitmap, Tint tint, int sx, int sy, int sw, int sh,
                            int x, int y, int flags) {
    setTint(tint);
    drawBitmapRegion(bitmap, sx, sy, sw, sh, x, y, flags);
    resetTint();
}
