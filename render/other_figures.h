// The other players of a joined world, as the renderer draws them: each
// figure among the blocks in the painter's order, and its name above it.
#pragma once

#include <string>
#include <vector>

#include "game/frame_step.h"
#include "rules/player_state.h"

struct OtherFigure {
    PlayerState figure;  // column, level, facing, looks, sheet and frame
    // Where a step began and how many quarters of it are walked (0..4).
    int fromX = 0, fromY = 0, fromLevel = 0, quarters = 4;
    std::string name;
};
// Empty in single player; the app fills it for each frame of a joined world.
std::vector<OtherFigure>& otherFigures();

// Where in a pass a figure standing on (x, y, level) comes: before the cell
// in front of its body, as one's own figure.
int figureOrder(int x, int y, int level);
// The order key of a cell of the pass: increasing along the painter's order.
inline int passOrder(int x, int y, int level) { return ((kBandEdge - level) * 512 + y) * 512 + x; }

struct SpriteDraw;
// The figure's sprite, placed on the screen for the game's camera and level
// scroll; false when it has no picture.
bool otherSpriteDraw(const GameView& game, const OtherFigure& other, SpriteDraw* draw);
// The names, over everything else.
void drawOtherNames(const GameView& game);
