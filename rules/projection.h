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

// The picture the game draws, and a block's picture in it: a frame this
// square with its top-left corner where projectX and projectY put the cell.
constexpr int kViewWidth = 640;
constexpr int kViewHeight = 480;
constexpr int kBlockFrameSize = 64;

// The furthest a column can be from the player's own (the larger of the two
// distances along x and y) and still have a block drawn in a view of width x
// height, with the camera resting on the player and its level scrolled into
// place; the player and the block each on any level from top to bottom. A
// block high above a deep player is drawn far down the picture, so the
// world's height reaches further than the picture's own size.
constexpr int viewReach(int width, int height, int top, int bottom) {
    // The block's level less the player's, at least and at most.
    const int leastShift = top - bottom, mostShift = bottom - top;
    int reach = 0;
    const int across = width / kTileHalfWidth + 2;
    const int down = (height + kLevelDrop * (bottom - top)) / kTileHalfHeight + 4;
    for (int u = -across; u <= across; ++u) {  // u = dx - dy
        const int sx = kProjectionOriginX + kTileHalfWidth * u;
        if (sx + kBlockFrameSize <= 0 || sx >= width) continue;
        for (int v = -down; v <= down; ++v) {  // v = dx + dy
            if ((u + v) % 2 != 0) continue;
            const int sy = kProjectionOriginY + kTileHalfHeight * v;
            // Each level moves the block less than the frame is tall: some
            // level between the two ends lands in the view if the ends straddle it.
            if (sy + kLevelDrop * leastShift >= height) continue;
            if (sy + kLevelDrop * mostShift + kBlockFrameSize <= 0) continue;
            const int distance = ((u < 0 ? -u : u) + (v < 0 ? -v : v)) / 2;
            if (distance > reach) reach = distance;
        }
    }
    return reach;
}
