// The outline of the cell that mining and placing act on: drawn in the
// painter's order like a block, so whatever stands in front of it hides it.
// A solid outline means body height, a dashed one the ground ahead.
#pragma once

#include <allegro5/allegro.h>

#include "game/frame_step.h"

struct TargetCell {
    int x = 0, y = 0, level = 0;
    bool raised = false;  // at body height rather than on the ground ahead
};

// The action cell when there is something to act on there (a block to mine,
// or room and stock to place), and the classic picture is off.
bool targetCell(const GameView& game, TargetCell* target);
// The outline picture, a 64 x 64 tile frame of blank and opaque pixels.
ALLEGRO_BITMAP* outlinePicture(bool raised);
// The same edges one pixel wide, drawn where the figure stands over the outline.
ALLEGRO_BITMAP* thinOutlinePicture(bool raised);
// Whether the pass draws the target after the figure (in front of it).
bool targetAfterFigure(const PlayerState& p, const TargetCell& target);
void releaseOutlinePictures();
