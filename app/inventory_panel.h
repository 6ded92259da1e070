// The inventory panel: every block one can hold with its count; a click on
// one puts it into the selected hotbar slot. Opened with the inventory key
// (E unless rebound) over the game; that key or Escape closes it. The game
// goes on behind it, but the player's keys wait until it closes.
#pragma once

#include "game/key_bindings.h"
#include "rules/player_state.h"

bool inventoryOpen();
// A block's material in words; "" for none.
const char* blockName(BlockId id);
// Once per timer tick: the inventory key and Escape, acted on when pressed
// (`keyDown` may answer "went down since the last tick", so a tap counts).
// True when Escape belongs to the panel this tick (it closed it, or has not
// been let go since), so it must not also return to the menu.
bool updateInventoryKeys(KeyDownFn pressed, KeyDownFn down, bool gameShown);
// After every event: a click on a block puts it in the selected slot.
void updateInventoryPointer(PlayerState& p, int pointerX, int pointerY, bool buttonDown);
// The block whose cell lies under a point of the picture; 0 for none.
BlockId inventoryBlockAt(int x, int y);
void drawInventoryPanel(const PlayerState& p);
void closeInventory();
