// The drawing tint: one blend colour that multiplies every bitmap and text.
#pragma once

#include <allegro5/allegro.h>

struct Tint {
    float r = 1, g = 1, b = 1, a = 1;
};
constexpr Tint kNoTint{};
constexpr Tint kYellow{1, 1, 0, 1};  // the menus' lit and typed text

// Sets the current tint (and the blender the game draws with).
void setTint(Tint tint);
// Back to opaque white.
void resetTint();
// The current tint as an Allegro colour, for the tinted drawing calls.
ALLEGRO_COLOR currentTint();
// The Allegro colour a tint draws with (its colour premultiplied by its alpha).
ALLEGRO_COLOR tintColour(Tint tint);

// Bitmaps drawn in the current tint. A missing bitmap draws nothing.
void drawBitmap(ALLEGRO_BITMAP* bitmap, int x, int y, int flags = 0);
void drawBitmapRegion(ALLEGRO_BITMAP* bitmap, int sx, int sy, int sw, int sh, int x, int y,
                      int flags = 0);
// One draw in the given tint, with the tint set back to opaque white after it.
void drawTintedBitmap(ALLEGRO_BITMAP* bitmap, Tint tint, int x, int y);
void drawTintedBitmapRegion(ALLEGRO_BITMAP* bitmap, Tint tint, int sx, int sy, int sw, int sh,
                            int x, int y, int flags = 0);
