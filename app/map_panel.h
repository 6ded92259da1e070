// The map panel: the whole world from above, with the player's place and
// facing, home and the player's marks. Opened with the map key (M unless
// rebound) over the game; that key or Escape closes it, Tab chooses a mark
// and Delete removes the chosen one. The game goes on behind it, but the
// player's keys wait until it closes. The mark key names a new mark where
// the player stands on a line of its own. The classic game has neither.
#pragma once

#include <allegro5/allegro.h>

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

// A typed key while the game is shown: the mark key opens the naming line,
// which then takes the keys until Enter keeps the mark or Escape drops it.
void markNamingKey(const ALLEGRO_KEYBOARD_EVENT& key, bool gameTakesKeys);
// The naming line is open, or the Escape that closed it is still held.
bool markNamingTakesKeys();
void drawMarkNaming();
