// The isometric world drawn the plain way: every block of the band around
// the player, deepest level first, each row in increasing y and x, so that
// nearer and higher blocks cover farther and lower ones. The cached drawing
// of the game frame must give exactly this picture.
#include "render/world_renderer.h"

#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/tint.h"
#include "render/world_view.h"
#include "world/world_grid.h"

std::int32_t levelScroll = 0;

namespace {

void drawBlock(int x, int y, int level, BlockId id) {
    ALLEGRO_BITMAP* tile = assets.tileBitmap[id];
    if (tile == nullptr) return;
    int w = al_get_bitmap_width(tile);
    int h = al_get_bitmap_height(tile);
    int sx = cellScreenX(x, y);
    int sy = cellScreenY(x, y, level);
    if (isAnimatedWidth(w)) {
        int frameWidth = w / kStripFrames;
        Tint tint = shadeTint(blockShade(x, y, level, id, true));
        drawTintedBitmapRegion(tile, tint, frameWidth * worldClock.blockAnimFrame, 0, frameWidth, h,
                               sx, sy);
    } else {
        drawTintedBitmap(tile, shadeTint(blockShade(x, y, level, id, false)), sx, sy);
    }
}

void drawCrack(int x, int y, int level) {
    ALLEGRO_BITMAP* crack = assets.crackBitmap;
    int sx = 0, sw = 0, sh = 0;
    if (crack == nullptr ||
        !crackRegion(al_get_bitmap_width(crack), al_get_bitmap_height(crack), &sx, &sw, &sh)) {
        return;
    }
    drawBitmapRegion(crack, sx, 0, sw, sh, cellScreenX(x, y), cellScreenY(x, y, level));
}

void drawCell(int x, int y, int level) {
    if (!insideBounds(x, y)) return;
    BlockId id = cell(x, y, level);
    if (!hasTile(id)) return;
    drawBlock(x, y, level, id);
    int cx = 0, cy = 0, cl = 0;
    if (crackedCell(&cx, &cy, &cl) && x == cx && y == cy && level == cl) drawCrack(x, y, level);
}

}  // namespace

int cellScreenX(int x, int y) { return 32 * (x - y + 9) + camera.offsetX; }

int cellScreenY(int x, int y, int level) {
    return 16 * (x + y + 2 * level + 9) + camera.offsetY - levelScroll;
}

void drawWorld() {
    const int px = player.x, py = player.y, ground = player.level;
    for (int level = deepestVisitedLevel(); level >= 0; --level) {
        for (int y = windowFirst(py, level); y <= windowLast(py, level); ++y) {
            for (int x = windowFirst(px, level); x <= windowLast(px, level); ++x) {
                // The figure stands among the blocks: drawn before the cell in
                // front of its body, even where that cell is outside the world.
                if (level == ground - 1 && x == px + 1 && y == py) drawPlayer(false);
                drawCell(x, y, level);
            }
        }
    }
}

void drawPlayer(bool ghost) {
    SpriteDraw draw;
    if (!takeSpriteDraw(ghost, &draw)) return;
    drawTintedBitmapRegion(draw.bitmap, draw.tint, draw.sx, draw.sy, draw.sw, draw.sh, draw.dx,
                           draw.dy, draw.flags);
}
