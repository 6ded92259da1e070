// The isometric world: blocks back to front, the player among them, the crack.
#pragma once

#include <cstdint>

extern std::int32_t levelScroll;  // 32 * the player's level, as the sprite last drew it

void drawWorld();
void drawPlayer(bool ghost);

// Top-left corner of the tile of cell (x, y) at level, as drawn now.
int cellScreenX(int x, int y);
int cellScreenY(int x, int y, int level);
