// Mining and placing: the effect of an action when its animation ends.
#pragma once

#include "rules/player_state.h"
#include "world/world_grid.h"

// Whether the action cell lies where the world keeps and draws blocks: a
// column inside the bounds, levels 0..19, with the player standing inside
// them too. An action anywhere else does nothing and costs nothing.
bool actionCellInBand(const PlayerState& p, const WorldGrid& grid);
void finishAction(PlayerState& p, WorldGrid& grid);
void mineCell(const PlayerState& p, WorldGrid& grid, int cx, int cy);
void placeCell(const PlayerState& p, WorldGrid& grid, int cx, int cy);
