// The isometric world renderer: every block of the band around the player,
// deepest level first, each row in increasing y and x, so that nearer and
// higher blocks cover farther and lower ones.
#include "render/world_renderer.h"

#include <algorithm>

#include "player/player_state.h"
#include "player/world_tick.h"
#include "render/assets.h"
#include "render/tint.h"
#include "world/world_grid.h"

std::int32_t levelScroll = 0;

namespace {

constexpr int kTileWidth = 64;     // a wider tile picture is a strip of four frames
constexpr int kStripFrames = 4;
constexpr int kDeepestDrawn = 20;
constexpr int kLevelsBelowPlayer = 4;
constexpr int kRoofReach = 11;     // a roof further up lets the daylight in
constexpr int kWindowBefore = 10;  // cells drawn before the player's row and column
constexpr int kWindowAfter = 25;   // and after it, both growing by one per level of depth

constexpr Tint grey(float level) { return Tint{level, level, level, 1}; }
constexpr Tint kRoofShade = grey(0.7f);
constexpr Tint kNearLava = grey(0.5f);
constexpr Tint kTwoFromLava = grey(0.3f);
constexpr Tint kWaterByDay{1, 1, 1, 0.6f};

// The player sheets by number (0 unused): a position offset and how many
// column groups a sheet has.
struct SheetLayout {
    int offsetX, offsetY, groups;
};
constexpr SheetLayout kSheets[5] = {{0, 0, 1}, {0, 0, 1}, {-4, -1, 4}, {0, 0, 1}, {0, 0, 1}};
constexpr int kRestingSheet = 3;
constexpr int kSheetRows = 7;
constexpr int kActingColumns = 8;
constexpr int kSpriteX = 311;
constexpr int kSpriteY = 106;
constexpr Tint kGhost{1, 1, 1, 0.3f};
constexpr Tint kHurt{1.0f, 0.1f, 0.1f, 0.5f};

bool isNight() { return worldClock.nightLevel > 0; }

// The darker night levels, compared exactly; other values leave the colour.
bool darkNightShade(Tint* shade) {
    static constexpr struct {
        double nightLevel;
        float grey;
    } kShades[] = {{2, 0.5f}, {3, 0.4f}, {4, 0.3f}, {5, 0.2f}};
    for (const auto& entry : kShades) {
        if (worldClock.nightLevel == entry.nightLevel) {
            *shade = grey(entry.grey);
            return true;
        }
    }
    return false;
}

// The shade of a block that no lava lights: night darkness, or by day (below
// level 1) the shade of a roof. Night level 1 itself leaves blocks bright.
Tint shadeByNightLevel() {
    Tint shade;
    if (darkNightShade(&shade)) return shade;
    return worldClock.nightLevel < 1 ? kRoofShade : kNoTint;
}

bool isRoofed(int x, int y, int level) {
    for (int above = level - 1; above >= level - kRoofReach; --above) {
        if (isSolid(cell(x, y, above))) return true;
    }
    return false;
}

bool lavaAtDistance(int x, int y, int level, int d) {
    return cell(x, y - d, level) == Lava || cell(x, y + d, level) == Lava ||
           cell(x - d, y, level) == Lava || cell(x + d, y, level) == Lava;
}

// Animated tiles: water glistens by day, lava and what touches it glow at night.
Tint animatedTileTint(int x, int y, int level, BlockId id) {
    if (!isNight() && !isRoofed(x, y, level)) return id == Water ? kWaterByDay : kNoTint;
    if (isNight() && (id == Lava || lavaAtDistance(x, y, level, 1))) return kNoTint;
    return shadeByNightLevel();
}

// Static tiles: lava lights its neighbours at night, roofs shade by day.
Tint staticTileTint(int x, int y, int level) {
    if (isNight()) {
        if (lavaAtDistance(x, y, level, 1)) return kNearLava;
        if (lavaAtDistance(x, y, level, 2)) return kTwoFromLava;
        return shadeByNightLevel();
    }
    return isRoofed(x, y, level) ? kRoofShade : kNoTint;
}

void drawBlock(int x, int y, int level, BlockId id) {
    ALLEGRO_BITMAP* tile = assets.tileBitmap[id];
    if (tile == nullptr) return;
    int w = al_get_bitmap_width(tile);
    int h = al_get_bitmap_height(tile);
    int sx = cellScreenX(x, y);
    int sy = cellScreenY(x, y, level);
    if (w > kTileWidth) {
        int frameWidth = w / kStripFrames;
        drawTintedBitmapRegion(tile, animatedTileTint(x, y, level, id),
                               frameWidth * worldClock.blockAnimFrame, 0, frameWidth, h, sx, sy);
    } else {
        drawTintedBitmap(tile, staticTileTint(x, y, level), sx, sy);
    }
}

// The column the player works on, or false for a facing that points nowhere.
bool columnAhead(int* ax, int* ay) {
    static constexpr int kStepX[4] = {0, 0, -1, 1};
    static constexpr int kStepY[4] = {-1, 1, 0, 0};
    if (player.facing < 0 || player.facing > 3) return false;
    *ax = player.x + kStepX[player.facing];
    *ay = player.y + kStepY[player.facing];
    return true;
}

bool isMinedCell(int x, int y, int level) {
    int ax = 0, ay = 0;
    return player.actionMode == 0 && player.acting &&
           level == player.level - player.targetRaised && columnAhead(&ax, &ay) && x == ax &&
           y == ay;
}

void drawCrack(int x, int y, int level) {
    ALLEGRO_BITMAP* crack = assets.crackBitmap;
    if (crack == nullptr || player.strikes < 0 || player.strikes >= kStripFrames) return;
    int frameWidth = al_get_bitmap_width(crack) / kStripFrames;
    drawBitmapRegion(crack, frameWidth * player.strikes, 0, frameWidth,
                     al_get_bitmap_height(crack), cellScreenX(x, y), cellScreenY(x, y, level));
}

void drawCell(int x, int y, int level) {
    if (x < 0 || x > world.maxX || y < 0 || y > world.maxY) return;
    BlockId id = cell(x, y, level);
    if (!hasTile(id)) return;
    drawBlock(x, y, level, id);
    if (isMinedCell(x, y, level)) drawCrack(x, y, level);
}

// Left edge of the sheet column to draw.
int spriteSourceX(int sheetWidth, int frameWidth, int groups) {
    const PlayerState& p = player;
    bool facesAway = p.facing == 0 || p.facing == 2;
    if (p.acting) {
        int group = (sheetWidth * p.spriteGroup) / 2;
        return facesAway ? group + sheetWidth / 4 + frameWidth * p.animFrame
                         : frameWidth * p.animFrame + group;
    }
    int base = facesAway ? groups * frameWidth : 0;
    return base + frameWidth * (2 * groups * p.spriteGroup + p.animFrame);
}

// Small nudges that keep the figure's feet on the same spot in every frame.
void adjustSpritePosition(int* dx, int* dy) {
    const PlayerState& p = player;
    if (p.acting) {
        if (p.facing == 1 || p.facing == 2) {
            *dx -= 2;
            if (p.animFrame == 0) *dx -= 2;
        } else if (p.facing == 0 || p.facing == 3) {
            if (p.animFrame == 1) *dx -= 4;
            if (p.animFrame == 0) *dx -= 1;
        }
    }
    if (!p.busy && p.spriteGroup == 1) {
        if (p.facing == 1) *dx += 1;
        if (p.facing == 3) *dx -= 1;
    }
    if (p.resting) {
        *dx -= 10;
        *dy += 20;
    }
}

Tint spriteTint(bool ghost) {
    if (ghost) return kGhost;
    if (player.litByLava) return kRoofShade;
    Tint shade;
    if (darkNightShade(&shade)) return shade;
    return player.hurtFlash == 2 ? kHurt : kNoTint;
}

}  // namespace

int cellScreenX(int x, int y) { return 32 * (x - y + 9) + camera.offsetX; }

int cellScreenY(int x, int y, int level) {
    return 16 * (x + y + 2 * level + 9) + camera.offsetY - levelScroll;
}

void drawWorld() {
    const int px = player.x, py = player.y, ground = player.level;
    const int deepest = std::min(ground + kLevelsBelowPlayer, kDeepestDrawn);
    for (int level = deepest; level >= 0; --level) {
        for (int y = py - kWindowBefore - level; y <= py + kWindowAfter + level; ++y) {
            for (int x = px - kWindowBefore - level; x <= px + kWindowAfter + level; ++x) {
                // The figure stands among the blocks: drawn before the cell in
                // front of its body, even where that cell is outside the world.
                if (level == ground - 1 && x == px + 1 && y == py) drawPlayer(false);
                drawCell(x, y, level);
            }
        }
    }
}

void drawPlayer(bool ghost) {
    if (player.level >= 0 && player.level <= kDeepestDrawn) levelScroll = 32 * player.level;
    if (player.resting) player.spriteSheet = kRestingSheet;
    const int sheet = player.spriteSheet;
    if (sheet < 1 || sheet > 4 || assets.playerBitmap[sheet] == nullptr) return;
    ALLEGRO_BITMAP* bitmap = assets.playerBitmap[sheet];
    const SheetLayout& layout = kSheets[sheet];
    const int w = al_get_bitmap_width(bitmap);
    const int h = al_get_bitmap_height(bitmap);
    const int frameHeight = h / kSheetRows;
    const int frameWidth = player.acting ? w / kActingColumns : w / (4 * layout.groups);
    const int sx = spriteSourceX(w, frameWidth, layout.groups);
    const int sy = frameHeight * player.spriteRow;
    const int flags = (player.facing == 0 || player.facing == 3) ? ALLEGRO_FLIP_HORIZONTAL : 0;
    int dx = kSpriteX + layout.offsetX;
    int dy = kSpriteY + layout.offsetY;
    adjustSpritePosition(&dx, &dy);
    drawTintedBitmapRegion(bitmap, spriteTint(ghost), sx, sy, frameWidth, frameHeight, dx, dy,
                           flags);
}
