// Worlds built block by block into the game's grid: the starter world that the
// play command offers, the typical and the worst-case worlds of the
// benchmarks, and the parts (worldgen/terrain.h) they and the tests are made
// of, here drawing on the grid, where x or y of 20 and beyond are kept too.
// Ranges are inclusive; a later part overwrites what an earlier one put in the
// same cells.
#pragma once

#include "world/world_grid.h"

void fillBox(int x0, int y0, int x1, int y1, int level0, int level1, BlockId id);
// Grass on `top`, earth below it, stone down to `bottom`, over columns 0..20.
void fillGround(int top, int bottom);
void digPond(int x0, int y0, int x1, int y1, int level);
void buildHouse(int x0, int y0, int x1, int y1, int floor, int height);
void plantTree(int x, int y, int ground);
void pourLava(int x0, int y0, int x1, int y1, int level);

// The play command's first world (worldgen/world_kinds.h), put into the grid.
void buildStarterWorld();
// A few levels of ground from `ground` down, a pond, a house and trees.
void buildTypicalWorld(int ground);
// The most a frame can draw: every cell of columns 0..20 and levels 0..20
// solid, lava on the left half of `level` and water on the right, kept apart
// by stone, and tunnels at body height through (10, 10) for walking.
void buildWorstCaseWorld(int level);
// The most a world tick can do: snowable ground in columns 0..20 on levels
// 0..20 but on `level`, where a row of water and a column of lava flood and
// harden. Only those cells are written: it is cheap enough to rebuild the
// world before every measured tick.
void buildFloodingWorld(int level);
