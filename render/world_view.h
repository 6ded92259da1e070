// What one pass over the world draws: the window of cells, each block's
// picture and shade, the crack and the player's sprite. Both the plain
// drawing and the cached layers ask these, so they cannot disagree.
#pragma once

#include <allegro5/allegro.h>

#include <cstdint>

#include "render/tint.h"
#include "world/world_grid.h"

constexpr int kDeepestDrawn = 20;
// Cells a pass visits along each axis at level 0; one more on each side per
// level of depth.
constexpr int kWindowSpan = 36;
constexpr int kWidestWindow = kWindowSpan + 2 * kDeepestDrawn;
constexpr int kTileWidth = 64;  // a wider tile picture is a strip of four frames
constexpr int kStripFrames = 4;

// The deepest level a pass visits; negative when it visits none.
int deepestVisitedLevel();
// The cells a pass visits at a level, along one axis, inclusive.
int windowFirst(int centre, int level);
int windowLast(int centre, int level);
bool insideBounds(int x, int y);

// Every shade a block can be drawn in.
enum Shade : std::uint8_t {
    ShadeNone,
    ShadeGrey70,
    ShadeGrey50,
    ShadeGrey40,
    ShadeGrey30,
    ShadeGrey20,
    ShadeWaterByDay,
    kShadeCount,
};
Tint shadeTint(Shade shade);
Shade blockShade(int x, int y, int level, BlockId id, bool animated);
inline bool isAnimatedWidth(int width) { return width > kTileWidth; }

// The column and level the crack marks this frame, or false for none.
bool crackedCell(int* x, int* y, int* level);
// The region of the crack picture for the current strike, or false.
bool crackRegion(int pictureWidth, int pictureHeight, int* sx, int* sw, int* sh);

struct SpriteDraw {
    ALLEGRO_BITMAP* bitmap = nullptr;
    int sx = 0, sy = 0, sw = 0, sh = 0;
    int dx = 0, dy = 0, flags = 0;
    Tint tint;
};
// Does what drawing the sprite does to the game state (the level scroll, the
// resting sheet) and tells what to draw; false when there is no picture.
bool takeSpriteDraw(bool ghost, SpriteDraw* draw);
// Whether the pass meets the player's place in the order at all.
bool passDrawsSprite();
