// The map panel: the whole world from above, with the player's place and
// facing. Opened with the map key (M unless rebound) over the game; that key
// or Escape closes it. The game goes on behind it, but the player's keys
// wait until it closes. The classic game has no map.
#pragma once

#include "game/key_bindings.h"
#include "rules/player_state.h"

bool mapOpen();
// Once per timer tick: the map key and Escape, acted on when pressed. True
// when Escape belongs to the panel this tick (it closed it, or has not been
// let go since), so it must not also open the pause menu.
bool updateMapKeys(KeyDownFn pressed, KeyDownFn down, bool gameShown);
void closeMap();
void drawMapPanel(const WorldGrid& grid, const PlayerState& p);
// The box the map is drawn in, inside the panel.
constexpr int kMapBoxX = 110, kMapBoxY = 40, kMapBoxWidth = 420, kMapBoxHeight = 326;
