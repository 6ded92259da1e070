// Mining and placing: the effect of an action when its animation ends.
#pragma once

#include "rules/player_state.h"
#include "world/world_grid.h"

void finishAction(PlayerState& p, WorldGrid& grid);
void mineCell(const PlayerState& p, WorldGrid& grid, int cx, int cy);
void placeCell(const PlayerState& p, WorldGrid& grid, int cx, int cy);
