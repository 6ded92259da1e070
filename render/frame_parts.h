// Pieces of the game frame that the plain and the cached drawing share.
#pragma once

#include <allegro5/allegro.h>

struct PixelRect;

enum SkyKind { SkyDay, SkyOvercast, SkyFlash };

// The frame's lightning roll: which sky it shows, thunder requested on a flash.
SkyKind rollSky();
ALLEGRO_COLOR skyColour(SkyKind kind);
// The night layer in its tint, its top-left corner at (x, y).
void drawNightSky(int x, int y);
// The weather tiles (all of them, or those that overlap `within`), without the
// snow-cover side effect.
void drawWeatherTiles(const PixelRect* within);
// What drawing the weather overlay does to the weather state.
void noteSnowCover();
// The hotbar strip, its icons and counts, and the cursor.
void drawHotbar();
constexpr int kHotbarTop = 416;  // nothing of the hotbar lies above this row
void requestPlayerSounds();
