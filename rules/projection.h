// The isometric projection: where the tile of a cell lands on the screen.
// Tiles are 64 x 32 diamonds and a level lies 32 pixels below the one above.
// The renderer places every cell with it, the camera rests where it puts the
// player's column, and the level scroll lifts the player's level into view.
#pragma once

constexpr int kTileHalfWidth = 32;   // screen x per cell along x or y
constexpr int kTileHalfHeight = 16;  // screen y per cell along x or y
constexpr int kLevelDrop = 32;       // screen y per level
// Cell (0, 0) at level 0, with no camera offset and no level scroll.
constexpr int kProjectionOriginX = 9 * kTileHalfWidth;
constexpr int kProjectionOriginY = 9 * kTileHalfHeight;

// How far apart two cells dx, dy and dLevel apart are drawn.
constexpr int screenShiftX(int dx, int dy) { return kTileHalfWidth * (dx - dy); }
constexpr int screenShiftY(int dx, int dy, int dLevel) {
    return kTileHalfHeight * (dx + dy) + kLevelDrop * dLevel;
}

// Top-left corner of the tile of cell (x, y) at level, before the camera
// offset is added and the level scroll taken off.
constexpr int projectX(int x, int y) { return kProjectionOriginX + screenShiftX(x, y); }
constexpr int projectY(int x, int y, int level) {
    return kProjectionOriginY + screenShiftY(x, y, level);
}

// The scroll that shows a level where level 0 would be.
constexpr int levelScrollFor(int level) { return kLevelDrop * level; }
