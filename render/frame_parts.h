// Pieces of the game frame that the plain and the cached drawing share.
#pragma once

#include <allegro5/allegro.h>

#include "game/frame_step.h"

struct PixelRect;

ALLEGRO_COLOR skyColour(SkyKind kind);
// The night layer in its tint, its top-left corner at (x, y).
void drawNightSky(const WorldClock& clock, int x, int y);
// Whether the weather tiles are drawn at all (they cover the whole picture).
bool weatherShows(const WeatherState& weather);
// The weather tiles: all of them, or those that overlap `within`.
void drawWeatherTiles(const WeatherState& weather, const PixelRect* within);
// The hotbar strip, its icons and counts, and the cursor.
void drawHotbar(const PlayerState& p);
// Where the count of a hotbar slot starts.
int countX(int slot, const char* count);
constexpr int kHotbarTop = 416;  // nothing of the hotbar lies above this row
