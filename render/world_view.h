// What one pass over the world draws: the window of cells, each block's
// picture and shade, the crack and the player's sprite. Both the plain
// drawing and the cached layers ask these, so they cannot disagree.
#pragma once

#include <allegro5/allegro.h>

#include <cstdint>

#include "game/frame_step.h"
#include "render/tint.h"
#include "world/world_grid.h"

constexpr int kTileWidth = 64;  // a wider tile picture is a strip of four frames
constexpr int kStripFrames = 4;

// How far past the picture's edges a pass reaches: the layers' margins plus
// the cell the camera trails the player by during a step.
constexpr int kPassReachX = 64;
constexpr int kPassReachY = 32;

// The deepest level a pass visits; negative when it visits none.
int deepestVisitedLevel(const PlayerState& p);

// Which cells a pass visits: those whose tile can land on the picture (and
// the reach around it) under either of the pass's level scrolls, so that the
// cost follows the view and not the world's size. Not clipped to the world's
// bounds.
struct PassReach {
    int x = 0, y = 0;                // the player's column
    int scrollLo = 0, scrollHi = 0;  // the level scrolls the pass places cells with
    bool classic = false;            // also kept to the first releases' window
};
PassReach passReach(const PlayerState& p, int scrollBefore, int scrollAfter);
struct CellSpan {
    int first = 0, last = -1;  // inclusive; empty when first > last
    bool isEmpty() const { return first > last; }
};
// The rows (y) a pass visits at a level, and the columns (x) in one row.
CellSpan visitedRows(const PassReach& reach, int level);
CellSpan visitedColumns(const PassReach& reach, int level, int y);

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

// What the view takes away so that the figure is seen. Where ground covers
// it (in its column, or in the cells drawn over it), the blocks above its
// head are lifted off within a disc around it, the disc taken along the line
// of sight so that it opens a window on the screen, not a shaft in the
// ground; the blocks drawn just over it at its own height, and the trees
// drawn over it at any height, are drawn faded: a tree is no ground, and a
// forest cut open around the figure would no longer read as one.
// Both are made from the cells the game holds, so they show nothing a
// joined player was not sent.
struct ViewCut {
    bool covered = false;  // the ground over the figure is lifted off
    bool seeThrough = false;
    int x = 0, y = 0, feet = 0;  // the figure's column and the level its feet stand in
    bool isCut(int x, int y, int level) const;
    bool isFaded(int x, int y, int level, BlockId id) const;
};
ViewCut viewCut(const GameView& game);
// Both are on unless switched off, as the frame benchmark does to draw the
// same views without them.
void setViewCut(bool on);
bool viewCutOn();
Shade blockShade(const GameView& game, const ViewCut& cut, int x, int y, int level, BlockId id,
                 bool animated);
// A faded block keeps its shade at this share of its opacity.
constexpr float kFadedOpacity = 0.35f;
Tint fadedTint(Tint tint);
inline bool isAnimatedWidth(int width) { return width > kTileWidth; }

// A stream is drawn as its liquid with its surface this much lower than a
// source's, the picture's foot cut by as much, so a player tells the two apart.
constexpr int kStreamDrop = 6;
inline BlockId tileOf(BlockId id) { return isStream(id) ? liquidOf(id) : id; }
inline int surfaceDrop(BlockId id) { return isStream(id) ? kStreamDrop : 0; }

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
