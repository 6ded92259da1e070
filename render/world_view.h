// What one pass over the world draws: the window of cells, each block's
// picture and shade, the crack and the player's sprite. Both the plain
// drawing and the cached layers ask these, so they cannot disagree.
#pragma once

#include <allegro5/allegro.h>

#include <cstdint>

#include "game/frame_step.h"
#include "render/tint.h"
#include "world/world_grid.h"

// Cells a pass visits along each axis at level 0; one more on each side per
// level of depth, down to the band's edge.
constexpr int kWindowSpan = 36;
constexpr int kWidestWindow = kWindowSpan + 2 * kBandEdge;
constexpr int kTileWidth = 64;  // a wider tile picture is a strip of four frames
constexpr int kStripFrames = 4;

// The deepest level a pass visits; negative when it visits none.
int deepestVisitedLevel(const PlayerState& p);
// The cells a pass visits at a level, along one axis, inclusive.
int windowFirst(int centre, int level);
int windowLast(int centre, int level);

// Every shade a block can be drawn in.
enum Shade : std::uint8_t {
    ShadeNone,
    ShadeGrey70,
    ShadeGrey50,
    ShadeGrey40,
    ShadeGrey30,
    ShadeGrey20,
    ShadeWaterByDay,
    // Moonlight and the glow of lava: nights that keep the blocks' colours.
    ShadeMoon2,
    ShadeMoon3,
    ShadeMoon4,
    ShadeMoon5,
    ShadeLavaNear,
    ShadeLavaFar,
    kShadeCount,
};
Tint shadeTint(Shade shade);
Shade blockShade(const GameView& game, int x, int y, int level, BlockId id, bool animated);
inline bool isAnimatedWidth(int width) { return width > kTileWidth; }

// The column and level the crack marks this frame, or false for none.
bool crackedCell(const PlayerState& p, int* x, int* y, int* level);
// The region of the crack picture for the current strike, or false.
bool crackRegion(const PlayerState& p, int pictureWidth, int pictureHeight, int* sx, int* sw,
                 int* sh);

struct SpriteDraw {
    ALLEGRO_BITMAP* bitmap = nullptr;
    int sx = 0, sy = 0, sw = 0, sh = 0;
    int dx = 0, dy = 0, flags = 0;
    Tint tint;
};
// What drawing the figure (or its ghost) draws; false when there is no picture.
bool spriteDraw(const GameView& game, bool ghost, SpriteDraw* draw);
// Whether the pass draws the figure at all (on the top level, after every block).
bool passDrawsSprite(const PlayerState& p);
// The level scroll the pass draws the cells after the figure with: the new
// one once it has met the figure, else still the last frame's.
int scrollAfterSprite(const GameView& game, const GameFrame& frame);
