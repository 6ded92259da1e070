// That saving happens, seen: a small mark in the game picture's corner for
// about a second after each save that reaches the disk, and a line on the
// title menu saying whether the world was saved when the player left it.
#pragma once

#include <cstdint>

// Once per timer tick, with how many saves have written the world so far
// and whether the player's own world is being played.
void noteSaves(std::uint32_t written, bool playing);
// The mark, while it is lit; nothing in the classic picture.
void drawSaveMark();
// Leaving a world for the title menu saves it (a joined world is its
// server's to save) and keeps what came of it for the menu to say.
void saveOnLeaving();
// "World saved", or why not, while the title menu shows after leaving.
void drawLeavingNote();
