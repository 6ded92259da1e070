// Mining and placing: the effect of an action when its animation ends.
#pragma once

#include "rules/player_state.h"
#include "world/world_grid.h"

// Whether the action cell lies where the world keeps and draws blocks: a
// column inside the bounds, levels 0..19, with the player standing inside
// them too. An action anywhere else does nothing and costs nothing.
bool actionCellInBand(const PlayerState& p, const WorldGrid& grid);
void finishAction(PlayerState& p, WorldGrid& grid);
// Why an action of this kind, started now, would change nothing ("nothing to
// mine here", "the cell is taken", ...), or nullptr when it would act: the
// player is told once per press instead of watching the figure strike air.
const char* whyActionDoesNothing(const PlayerState& p, const WorldGrid& grid, ActionMode mode);
void mineCell(const PlayerState& p, WorldGrid& grid, int cx, int cy);
void placeCell(const PlayerState& p, WorldGrid& grid, int cx, int cy);
